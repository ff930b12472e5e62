// Reading any file gives text without zero units that survives being saved as UTF-16LE with
// its byte-order mark and read again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "config/text_files.h"

namespace {

// One file per process, removed when the run ends.
class ScratchFile {
  public:
    ScratchFile()
        : path_((std::filesystem::temp_directory_path() /
                 ("ferrox-fuzz-" + std::to_string(std::random_device{}()) + ".txt"))
                    .string()) {}
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

const std::string& ScratchPath() {
    static const ScratchFile file;
    return file.path();
}

void Save(std::string_view bytes) {
    std::ofstream(ScratchPath(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const qf::PathContext context{u"/",
                                  [](const std::string&) { return std::optional<qf::Text>(); }};
    const qf::Text path = qf::Utf8ToText(ScratchPath());
    Save({reinterpret_cast<const char*>(data), size});
    const qf::Text text = qf::ReadTextFileAsWide(path, context);
    if (text.find(u'\0') != qf::Text::npos)
        std::abort();
    Save(qf::EncodeTextFileBytes(text));
    if (qf::ReadTextFileAsWide(path, context) != text)
        std::abort();
    return 0;
}
