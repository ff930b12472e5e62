#include "app/language_loader.h"

#include "app/string_zone.h"
#include "config/language_codes.h"
#include "config/text_files.h"
#include "config/text_helpers.h"
#include "platform/files.h"
#include "resources/text_resources.h"

namespace qf {
namespace {

constexpr int kTranslationCredit = 249;
constexpr TextView kEnglishZone = u"[Zone_EN]";

Text ZoneHeader(TextView code) { return u"[Zone_" + AsciiUpperText(code) + u"]"; }

}  // namespace

LanguageLoader::LanguageLoader(TextCatalog& catalog, TextResourceReader resources,
                               PathContext paths, LoaderMessageSink messages)
    : catalog_(catalog),
      resources_(std::move(resources)),
      paths_(std::move(paths)),
      messages_(std::move(messages)) {}

void LanguageLoader::LoadLanguageTables(std::span<const Text> languageArguments) {
    english_ = {};
    FillFromZone(english_.languageNames, u"[Zone_General]", kGeneralStringsResource, {});
    FillFromZone(english_.program, kEnglishZone, kProgramStringsResource, {});
    FillFromZone(english_.general, kEnglishZone, kGeneralStringsResource, {});
    LoadLanguage(0, {});
    languageGiven_ = false;
    for (const Text& value : languageArguments) ApplyLanguageArgument(value);
}

void LanguageLoader::LoadLanguage(int index, TextView stringsFilePath) {
    languageIndex_ = index;
    stringsFilePath_ = Text(stringsFilePath);
    auto tables = std::make_shared<StringTableSet>(english_);
    tables->program[kTranslationCredit].clear();
    if (index == kExternalLanguageIndex) {
        FillFromZone(tables->program, u"[Zone_Internal]", kProgramStringsResource, stringsFilePath);
        FillFromZone(tables->general, u"[Zone_External]", kGeneralStringsResource, stringsFilePath);
    } else if (const TextView code = LanguageCode(index); !code.empty()) {
        const Text header = ZoneHeader(code);
        FillFromZone(tables->program, header, kProgramStringsResource, {});
        FillFromZone(tables->general, header, kGeneralStringsResource, {});
    }
    catalog_.Install(std::move(tables));
}

void LanguageLoader::ApplySavedLanguage(int index, TextView stringsFilePath) {
    if (index != 0 && !languageGiven_) LoadLanguage(index, stringsFilePath);
}

void LanguageLoader::ApplyLanguageArgument(TextView value) {
    int index = languageIndex_;
    Text path = stringsFilePath_;
    if (value.size() > 2) {
        index = kExternalLanguageIndex;
        path = Utf8ToText(AbsolutePath(TextToUtf8(value)));
    } else if (const auto found = FindLanguageIndex(value)) {
        index = *found;
    }
    languageGiven_ = true;
    LoadLanguage(index, path);
}

void LanguageLoader::FillFromZone(std::span<Text> table, TextView header, int resourceId,
                                  TextView filePath) const {
    if (!IsBlankText(filePath)) {
        const Text content = ReadTextFileAsWide(filePath, paths_);
        if (!IsBlankText(content)) {
            FillTableFromZone(table, NormalizeLineEnds(content), header);
            return;
        }
        messages_(u"No language information found",
                  u"Language strings file is blank; English will be used...");
        header = kEnglishZone;
    }
    FillTableFromZone(table, NormalizeLineEnds(Utf8ToText(resources_(resourceId))), header);
}

}  // namespace qf
