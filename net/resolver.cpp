#include "net/resolver.h"

#include "net/address.h"
#include "platform/text_tools.h"

namespace qf {
namespace {

// Users paste URLs and names with stray dots and slashes; the host is what is left.
Text CleanSpec(TextView spec) {
    for (TextView prefix : {TextView(u"ftp://"), TextView(u"http://"), TextView(u"https://")}) {
        if (spec.starts_with(prefix)) {
            spec.remove_prefix(prefix.size());
            break;
        }
    }
    return Text(Trim(spec, u"/. \t\\"));
}

// Literal addresses are taken as they are, so they never cost a name lookup. The wildcard and
// broadcast IPv4 texts and the all-zero IPv6 address are left to the system's resolver.
std::optional<SocketAddress> LiteralAddress(TextView name) {
    if (name.find(u':') == TextView::npos) {
        const SocketAddress v4 = ParseAddress(name, false);
        const bool special =
            v4 == SocketAddress() || v4 == SocketAddress::IPv4({255, 255, 255, 255});
        return special ? std::nullopt : std::optional(v4);
    }
    const auto v6 = ParseNumericIPv6(TextToUtf8(name));
    if (!v6 || v6->ipv6Bytes() == std::array<uint8_t, 16>{}) return std::nullopt;
    return v6;
}

bool IsWildcardText(TextView address) {
    return address == u"0.0.0.0" || address == u"0:0:0:0:0:0:0:0" || address == u"::";
}

}  // namespace

std::optional<Text> ResolveHostName(TextView name, const NameErrorReporter* reporter,
                                    const NameLookup& lookup) {
    if (IsBlank(name)) {
        if (reporter) reporter->show(reporter->missingNameText);
        return std::nullopt;
    }
    name = Trim(name, u" \t");
    if (const auto literal = LiteralAddress(name)) return FormatAddress(*literal);
    const auto found = lookup(TextToUtf8(name));
    if (found) return FormatAddress(found.value());
    if (reporter) {
        reporter->show(reporter->failureText + u"\n\n" + Text(name) + u"\n\n" +
                       Utf8ToText(found.error().detail));
    }
    return std::nullopt;
}

std::optional<Text> Resolver::LookupResolveCache(TextView spec, bool requireUp) {
    return LookupCleaned(CleanSpec(spec), requireUp);
}

Text Resolver::ResolveHostSpec(TextView rawSpec, bool requireUp, bool macBinding, Text* detail,
                               const NameErrorReporter* reporter) {
    const Text spec = CleanSpec(rawSpec);
    if (!reporter) {
        if (auto cached = LookupCleaned(spec, requireUp)) return *cached;
    }
    const Text result = Resolve(spec, requireUp, macBinding, detail, reporter);
    Store(spec, requireUp, result);
    return result;
}

std::optional<Text> Resolver::LookupCleaned(const Text& spec, bool requireUp) {
    std::lock_guard lock(ResolveCacheLock);
    Cache& cache = caches_[requireUp];
    const auto it = cache.find(spec);
    if (it == cache.end()) return std::nullopt;
    const int64_t validMs = it->second.result.empty() ? preferences_.cacheRetryDelayMs.load()
                                                      : preferences_.cacheMaximumTimeMs.load();
    if (system_.nowMs() - it->second.storedMs <= validMs) return it->second.result;
    cache.erase(it);
    return std::nullopt;
}

void Resolver::Store(const Text& spec, bool requireUp, const Text& result) {
    std::lock_guard lock(ResolveCacheLock);
    caches_[requireUp][spec] = Entry{result, system_.nowMs()};
}

Text Resolver::Resolve(const Text& spec, bool requireUp, bool macBinding, Text* detail,
                       const NameErrorReporter* reporter) {
    const bool ipv4Localhost = preferences_.useIPv4LocalhostResolve.load();
    if (ipv4Localhost && EqualsIgnoringCase(spec, u"localhost")) return u"127.0.0.1";
    if (IsBlank(spec)) return ipv4Localhost ? u"0.0.0.0" : u"::";
    if (macBinding) {
        const auto entry = FindInterfaceByMAC(spec, system_.interfaces);
        if (detail) *detail = entry ? entry->description : Text();
        // An adapter that is not up shows its status word in place of an address: there is
        // nothing to bind to, which is a failed resolution like any other.
        if (entry) return entry->statusText == u"Up" ? FormatAddress(entry->address) : Text();
    }
    return ResolveName(spec, requireUp, reporter);
}

Text Resolver::ResolveName(const Text& spec, bool requireUp, const NameErrorReporter* reporter) {
    const Text candidate = ResolveHostName(spec, reporter, system_.lookUpName).value_or(Text());
    if (!requireUp || candidate.empty() || IsWildcardText(candidate)) return candidate;
    const bool usable = IsAddressOnUpInterface(ParseAddress(candidate, true), system_.interfaces);
    return usable ? candidate : Text();
}

}  // namespace qf
