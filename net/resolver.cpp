#include "net/resolver.h"

#include "net/address.h"
#include "platform/clock.h"
#include "platform/name_lookup.h"

namespace qf {
namespace {

bool IsBlank(TextView text) { return text.find_first_not_of(u" \t\r\n") == TextView::npos; }

Text CleanSpec(TextView spec) {
    for (TextView prefix : {TextView(u"ftp://"), TextView(u"http://"), TextView(u"https://")}) {
        if (spec.substr(0, prefix.size()) == prefix) {
            spec.remove_prefix(prefix.size());
            break;
        }
    }
    constexpr TextView kTrim = u"/. \t\\";
    const size_t first = spec.find_first_not_of(kTrim);
    if (first == TextView::npos) return {};
    return Text(spec.substr(first, spec.find_last_not_of(kTrim) - first + 1));
}

bool EqualsIgnoringAsciiCase(TextView a, TextView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

Text ResolveHostName(TextView name) {
    const size_t first = name.find_first_not_of(u" \t");
    if (first == TextView::npos) return {};
    name = name.substr(first, name.find_last_not_of(u" \t") - first + 1);
    if (name.find(u':') == TextView::npos) {
        const SocketAddress v4 = ParseAddress(name.substr(0, 15), false);
        if (v4 != SocketAddress() && v4 != SocketAddress::IPv4({255, 255, 255, 255}))
            return FormatAddress(v4);
    } else if (auto v6 = ParseNumericIPv6(TextToUtf8(name)); v6 && *v6 != SocketAddress::IPv6({})) {
        return FormatAddress(*v6);
    }
    auto found = LookupHostName(TextToUtf8(name));
    return found ? FormatAddress(*found) : Text();
}

}  // namespace

std::optional<Text> Resolver::LookupResolveCache(TextView spec, bool requireUp) {
    std::lock_guard lock(ResolveCacheLock);
    Cache& cache = caches_[requireUp];
    auto it = cache.find(Text(spec));
    if (it == cache.end()) return std::nullopt;
    const int64_t age = MonotonicMs() - it->second.storedMs;
    const int64_t limit = it->second.result.empty() ? preferences_.cacheRetryDelayMs.load()
                                                    : preferences_.cacheMaximumTimeMs.load();
    if (age <= limit) return it->second.result;
    cache.erase(it);
    return std::nullopt;
}

void Resolver::Store(const Text& spec, bool requireUp, const Text& result) {
    std::lock_guard lock(ResolveCacheLock);
    caches_[requireUp][spec] = Entry{result, MonotonicMs()};
}

Text Resolver::ResolveHostSpec(TextView rawSpec, bool requireUp, bool macBinding, Text* detail) {
    const Text spec = CleanSpec(rawSpec);
    if (auto cached = LookupResolveCache(spec, requireUp)) return *cached;
    const bool ipv4Localhost = preferences_.useIPv4LocalhostResolve.load();
    Text result;
    if (ipv4Localhost && EqualsIgnoringAsciiCase(spec, u"localhost")) {
        result = u"127.0.0.1";
    } else if (IsBlank(spec)) {
        result = ipv4Localhost ? u"0.0.0.0" : u"::";
    } else {
        result = ResolveHostName(spec);
    }
    Store(spec, requireUp, result);
    return result;
}

}  // namespace qf
