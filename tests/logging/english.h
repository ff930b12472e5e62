#pragma once
#include "app/language_loader.h"
#include "resources/text_resources.h"

namespace qf::testing {

inline void LoadEnglish(TextCatalog& catalog) {
    LanguageLoader loader(catalog, TextResource, ProcessPathContext(u"/"),
                          [](TextView, TextView) {});
    loader.LoadLanguageTables({});
}

}  // namespace qf::testing
