// Any file given as the settings file loads without reading or writing out of bounds, and
// what was loaded, once saved, loads back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "config/settings_file.h"
#include "config/text_files.h"

namespace {

qf::Text LoadAndSave(std::string_view bytes) {
    static const qf::TextCatalog texts;
    qf::EngineState engine(texts);
    qf::Settings settings;
    qf::HeadlessSettingsPrompts prompts([](qf::TextView, qf::TextView) {});
    qf::SettingsLoadOptions options;
    options.paths = {u"/opt/ferrox", [](const std::string&) { return std::optional<qf::Text>(); }};
    qf::ApplyLoadTimeDefaults(settings, engine);
    qf::LoadSettingsContent(bytes, settings, engine, options, prompts);
    return qf::FormatSettingsFile(settings, engine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qf::Text saved = LoadAndSave({reinterpret_cast<const char*>(data), size});
    // Records of older versions may hold separators that the current form reads apart, so
    // the first save may still change; from then on saving and loading agree.
    const qf::Text resaved = LoadAndSave(qf::EncodeTextFileBytes(saved));
    if (resaved != saved && LoadAndSave(qf::EncodeTextFileBytes(resaved)) != resaved) std::abort();
    return 0;
}
