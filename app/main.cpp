#include <fmt/format.h>

#include "app/language_loader.h"
#include "platform/process_limits.h"
#include "platform/socket.h"
#include "resources/text_resources.h"

int main(int argc, char** argv) {
    qf::IgnoreBrokenPipes();
    qf::RaiseDescriptorLimit();
    qf::TextCatalog catalog;
    qf::LanguageLoader languages(
        catalog, qf::TextResource, qf::ProcessPathContext(qf::ExecutableFolder()),
        [](qf::TextView title, qf::TextView text) {
            fmt::print(stderr, "{}: {}\n", qf::TextToUtf8(title), qf::TextToUtf8(text));
        });
    languages.LoadLanguageTables({});
    return 0;
}
