#include "app/string_zone.h"

#include <algorithm>
#include <array>

#include "config/product.h"
#include "config/text_helpers.h"
#include "config/value_codecs.h"

namespace qf {
namespace {

constexpr TextView kEntryStart = u"\r\n[";

struct Replacement {
    TextView from;
    TextView to;
};

// Doubled-backslash escapes are parked under markers so that the single-backslash steps
// cannot take them apart.
constexpr std::array<Replacement, 11> kEscapes = {{
    {u"\\\\r", u"[_Special_Sequence_R_]"},
    {u"\\\\n", u"[_Special_Sequence_N_]"},
    {u"\\\\t", u"[_Special_Sequence_T_]"},
    {u"\\r", u"\r"},
    {u"\\n", u"\n"},
    {u"\\t", u"\t"},
    {u"[_Special_Sequence_R_]", u"\\r"},
    {u"[_Special_Sequence_N_]", u"\\n"},
    {u"[_Special_Sequence_T_]", u"\\t"},
    {u"\\\"", u"\""},
    {u"\\'", u"'"},
}};

Text ProductNameAndVersion() { return Text(kProductName) + u" v" + Text(kProductVersion); }

void ReplaceProductPlaceholders(Text& text) {
    const Text nameAndVersion = ProductNameAndVersion();
    const Text version = u"v" + Text(kProductVersion);
    const Replacement placeholders[] = {
        {u"#ProgNameAndVersion", nameAndVersion},
        {u"ProgNameAndVersion", nameAndVersion},
        {u"#ProgName", kProductName},
        {u"ProgName", kProductName},
        {u"#ProgVersion", version},
        {u"ProgVersion", version},
    };
    for (const Replacement& step : placeholders) ReplaceAll(text, step.from, step.to);
}

bool HasDecimalDigit(TextView text) { return text.find_first_of(u"0123456789") != TextView::npos; }

}  // namespace

Text ApplyZoneReplacements(TextView text) {
    Text replaced(text);
    for (const Replacement& step : kEscapes) ReplaceAll(replaced, step.from, step.to);
    ReplaceProductPlaceholders(replaced);
    return replaced;
}

void FillTableFromZone(std::span<Text> table, TextView content, TextView header) {
    const size_t headerAt = content.find(header);
    if (headerAt == TextView::npos) return;
    size_t entryAt = content.find(kEntryStart, headerAt + header.size());
    while (entryAt != TextView::npos) {
        const size_t idStart = entryAt + kEntryStart.size();
        const size_t idEnd = content.find(u']', idStart);
        if (idEnd == TextView::npos) return;
        const TextView idText = content.substr(idStart, idEnd - idStart);
        if (IsBlankText(idText) || !HasDecimalDigit(idText)) return;
        // Searching from the separator lets an entry with nothing after its "]" end at once.
        const size_t nextEntry = content.find(kEntryStart, idEnd + 1);
        const size_t textEnd = nextEntry == TextView::npos ? content.size() : nextEntry;
        const size_t textStart = std::min(idEnd + 2, textEnd);
        Text text = ApplyZoneReplacements(content.substr(textStart, textEnd - textStart));
        if (nextEntry == TextView::npos) {
            text.resize(TrimTrailingCharacters(text, kBlankCharacters).size());
        }
        const int32_t id = ScanLongText(idText).value_or(0);
        if (!text.empty() && id >= 0 && static_cast<size_t>(id) < table.size()) {
            table[static_cast<size_t>(id)] = std::move(text);
        }
        entryAt = nextEntry;
    }
}

}  // namespace qf
