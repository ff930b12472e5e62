#include "config/filter_tools.h"

#include <algorithm>

#include "config/text_helpers.h"
#include "config/value_codecs.h"
#include "net/address.h"
#include "platform/name_lookup.h"

namespace qf {
namespace {

// General string table.
constexpr int kErrorOccurred = 12;
constexpr int kNoHostName = 52;
constexpr int kUnableToResolve = 53;
constexpr int kPassed = 109;
constexpr int kFailed = 110;
constexpr int kUnableToOpenForReading = 117;
constexpr int kUnableToReverseResolve = 124;
// Program string table.
constexpr int kNullAddressInRange = 160;
constexpr int kNope = 161;
constexpr int kUnableToCreateFile = 171;
constexpr int kClearAllQuestion = 172;

bool IsNullAddress(const SocketAddress& address) {
    if (address.isIPv4()) return address.ipv4Bytes() == std::array<uint8_t, 4>{};
    return address.isIPv6() && address.ipv6Bytes() == std::array<uint8_t, 16>{};
}

std::vector<Text> RangeTexts(const RangeList& list) {
    std::vector<Text> texts;
    for (size_t k = 0; k < CountUsedRanges(list); ++k) texts.push_back(FormatRangeText(list[k]));
    return texts;
}

}  // namespace

RangeListPtr BuildRangeList(const std::vector<Text>& rangeTexts) {
    std::vector<AddressRange> ranges;
    for (const Text& text : rangeTexts) ranges.push_back(ParseRangeText(text));
    return MakeRangeList(std::move(ranges));
}

void FilterTools::AddRange(RangeSide& side) {
    SocketAddress from = ParseAddress(side.from, true), to = ParseAddress(side.to, true);
    if (IsNullAddress(from) || IsNullAddress(to)) {
        boxes_.Show({engine_.texts.Program(kNullAddressInRange), engine_.texts.Program(kNope)});
        return;
    }
    if (CompareAddresses(from, to, true) < 0) std::swap(from, to);
    const Text text = FormatRangeText({from, to});
    if (std::find(side.ranges.begin(), side.ranges.end(), text) == side.ranges.end())
        side.ranges.push_back(text);
}

std::optional<SocketAddress> FilterTools::Resolve(FilterFields& fields) {
    const NameErrorReporter reporter{engine_.texts.General(kNoHostName),
                                     engine_.texts.General(kUnableToResolve),
                                     [this](const Text& message) {
                                         boxes_.Show({message, {}});
                                     }};
    if (IsBlankText(fields.hostName)) {
        reporter.show(reporter.missingNameText);
        return std::nullopt;
    }
    const Text resolved = engine_.resolver.ResolveHostSpec(
        fields.hostName, false, engine_.preferences.EnableMACBasedBinding, nullptr, &reporter);
    if (IsBlankText(resolved)) return std::nullopt;
    fields.hostName = resolved;
    return ParseAddress(resolved, true);
}

void FilterTools::ReverseResolve(FilterFields& fields) {
    const auto address = Resolve(fields);
    if (!address) return;
    const auto name = LookupAddressName(*address);
    if (name) {
        fields.hostName = Utf8ToText(*name);
        return;
    }
    boxes_.Show({engine_.texts.General(kUnableToReverseResolve) + u"\n" + FormatAddress(*address) +
                     u"\n" + Utf8ToText(name.error().detail),
                 {}});
}

void FilterTools::CopyToFilters(FilterFields& fields) {
    if (!Resolve(fields)) return;
    for (RangeSide* side : {&fields.accept, &fields.reject})
        side->from = side->to = fields.hostName;
}

void FilterTools::TestUsingFilters(FilterFields& fields) {
    const auto address = Resolve(fields);
    if (!address) return;
    const bool passed = TestAddress(*address, BuildRangeList(fields.accept.ranges).get(),
                                    BuildRangeList(fields.reject.ranges).get());
    boxes_.Show({engine_.texts.General(passed ? kPassed : kFailed), FormatAddress(*address)});
}

void FilterTools::ClearAll(FilterFields& fields) {
    if (boxes_.Confirm(engine_.texts.Program(kClearAllQuestion))) fields = {};
}

void FilterTools::LoadProfile(FilterFields& fields, TextView path, const PathContext& context) {
    const FilterFileReading reading = ReadFilterFile(path, context);
    if (!reading.lists) {
        boxes_.Show({engine_.texts.General(kUnableToOpenForReading),
                     engine_.texts.General(kErrorOccurred)});
        return;
    }
    if (reading.problem != FilterFileProblem::None) {
        const Text code = FormatIntegerText(static_cast<int32_t>(reading.problem));
        boxes_.Show({engine_.texts.General(kErrorOccurred) + u": " + code, {}});
    }
    fields.accept.ranges = RangeTexts(*reading.lists->accept);
    fields.reject.ranges = RangeTexts(*reading.lists->reject);
}

void FilterTools::SaveProfile(const FilterFields& fields, TextView path, const PathContext& context,
                              const ProfileHeader& header) {
    const RangeListPtr accept = BuildRangeList(fields.accept.ranges);
    const RangeListPtr reject = BuildRangeList(fields.reject.ranges);
    if (WriteFilterProfile(path, context, accept.get(), reject.get(), header)) return;
    boxes_.Show(
        {engine_.texts.Program(kUnableToCreateFile), engine_.texts.General(kErrorOccurred)});
}

}  // namespace qf
