#pragma once
// Builds the string tables: the language names, English, then the chosen language over
// English, from the built-in resources or an external strings file. Every load installs one
// complete set in the catalog, so readers on other threads never see a half-loaded language
// and no lookup needs a fallback. Not thread-safe: start-up and the main window call it.

#include <functional>
#include <span>
#include <string_view>

#include "config/portable_path.h"
#include "platform/text_catalog.h"

namespace qf {

// The bytes of a built-in text resource by number; empty when there is none.
using TextResourceReader = std::function<std::string_view(int id)>;
// A message box with the error icon. Headless, the caller logs it.
using LoaderMessageSink = std::function<void(TextView title, TextView text)>;

class LanguageLoader {
  public:
    LanguageLoader(TextCatalog& catalog, TextResourceReader resources, PathContext paths,
                   LoaderMessageSink messages);

    // Start-up: the language names and English, then each value that followed a "-Language"
    // argument: a two-letter code, or the path of a strings file when it is longer.
    void LoadLanguageTables(std::span<const Text> languageArguments);

    // `index` 0..15 loads that built-in language, kExternalLanguageIndex the strings file
    // at `stringsFilePath`; entries the language leaves empty show English.
    void LoadLanguage(int index, TextView stringsFilePath);

    // After the settings are read: their language, unless the command line chose one.
    void ApplySavedLanguage(int index, TextView stringsFilePath);

    int languageIndex() const { return languageIndex_; }
    const Text& stringsFilePath() const { return stringsFilePath_; }
    bool languageGiven() const { return languageGiven_; }

  private:
    void ApplyLanguageArgument(TextView value);
    void FillFromZone(std::span<Text> table, TextView header, int resourceId,
                      TextView filePath) const;

    TextCatalog& catalog_;
    TextResourceReader resources_;
    PathContext paths_;
    LoaderMessageSink messages_;
    // Language names and the English zones: the base of every load.
    StringTableSet english_;
    int languageIndex_ = 0;
    Text stringsFilePath_;
    bool languageGiven_ = false;
};

}  // namespace qf
