#include "logging/log_entry.h"

#include <cstdint>
#include <string>

#include "config/text_helpers.h"

namespace qf {
namespace {

// Stand-ins for "%%" and a doubled backslash while the other escapes are expanded.
constexpr TextView kPercentMark = u"\uFDD0";
constexpr TextView kBackslashMark = u"\uFDD1";

constexpr size_t kAddressWidth = 15;  // "123.123.123.123"
constexpr size_t kPortWidth = 5;      // "65535"
constexpr size_t kDataWidth = 10;     // "1234567890"

enum class Align { Left, Right };

Text Padded(Text value, size_t width, Align align, bool padding) {
    if (!padding || value.size() >= width) return value;
    const Text spaces(width - value.size(), u' ');
    return align == Align::Left ? value + spaces : spaces + value;
}

Text PortText(uint16_t port) { return AsciiText(std::to_string(port)); }

Text DataText(double bytes) {
    if (!(bytes > -1.0)) return u"-";
    return AsciiText(std::to_string(static_cast<int64_t>(bytes)));
}

// The simple part is the text up to its first "-" without trailing spaces (for HTTP only its
// first word); the details are what follows, without leading spaces and hyphens.
std::pair<Text, Text> SplitEvent(TextView event, TextView protocol) {
    TextView simple = TrimTrailingCharacters(event.substr(0, event.find(u'-')), u" ");
    if (protocol == u"HTTP") simple = simple.substr(0, simple.find(u' '));
    TextView details = event.substr(simple.size());
    const size_t start = details.find_first_not_of(u" -");
    details = start == TextView::npos ? TextView() : details.substr(start);
    return {Text(simple), Text(details)};
}

void Expand(Text& text, TextView parameter, Text value, size_t width, Align align, bool padding) {
    ReplaceAll(text, parameter, Padded(std::move(value), width, align, padding));
}

}  // namespace

Text FormatLogEntry(TextView entryTemplate, TextView dateText, const LogEntryValues& v,
                    size_t eventWidth) {
    Text text(entryTemplate);
    ReplaceAll(text, u"%%", kPercentMark);
    ReplaceAll(text, u"\\\\", kBackslashMark);
    ReplaceAll(text, u"\\n", u"\n");
    ReplaceAll(text, u"\\r", u"\r");
    const bool forcePadding = text.find(u"#Z") != Text::npos;
    const bool noPadding = text.find(u"#G") != Text::npos;
    ReplaceAll(text, u"#Z", u"");
    ReplaceAll(text, u"#G", u"");
    const bool pad = forcePadding || !noPadding;

    ReplaceAll(text, u"#DAT", dateText);
    auto [simple, details] = SplitEvent(v.eventText, v.protocol);
    Expand(text, u"#ES", simple, eventWidth, Align::Left, pad);
    Expand(text, u"#ED", details, eventWidth, Align::Left, pad);
    Expand(text, u"#E", v.eventText, eventWidth, Align::Left, pad);
    Expand(text, u"#LIP", v.localAddress, kAddressWidth, Align::Right, pad);
    Expand(text, u"#LPort", PortText(v.localPort), kPortWidth, Align::Left, pad);
    Expand(text, u"#LHost", v.localSpec, kAddressWidth, Align::Right, pad);
    Expand(text, u"#RHost", v.remoteHost, kAddressWidth, Align::Right, pad);
    Expand(text, u"#RPort", PortText(v.remotePort), kPortWidth, Align::Left, pad);
    Expand(text, u"#CIP", v.clientAddress, kAddressWidth, Align::Right, pad);
    Expand(text, u"#CPort", PortText(v.clientPort), kPortWidth, Align::Left, pad);
    Expand(text, u"#OLIP", v.outboundLocalAddress, kAddressWidth, Align::Right, pad);
    Expand(text, u"#OLPort", PortText(v.outboundLocalPort), kPortWidth, Align::Left, pad);
    ReplaceAll(text, u"#P", v.protocol);
    Expand(text, u"#TCD", DataText(v.clientData), kDataWidth, Align::Left, pad);
    Expand(text, u"#TSD", DataText(v.serverData), kDataWidth, Align::Left, pad);
    ReplaceAll(text, kPercentMark, u"%");
    ReplaceAll(text, kBackslashMark, u"\\");
    return text;
}

}  // namespace qf
