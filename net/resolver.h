#pragma once
// Host specifications to address texts, with the two caches of recent results.

#include <atomic>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "platform/text.h"

namespace qf {

struct ResolverPreferences {
    std::atomic<bool> useIPv4LocalhostResolve{true};
    std::atomic<int> cacheMaximumTimeMs{4000};
    std::atomic<int> cacheRetryDelayMs{250};
};

// Thread-safe: any thread may resolve; the cache lock is a leaf, never held across a lookup.
class Resolver {
  public:
    explicit Resolver(const ResolverPreferences& preferences) : preferences_(preferences) {}

    // Blank when the specification cannot be resolved. `detail` receives the interface
    // description when the specification names an interface.
    Text ResolveHostSpec(TextView spec, bool requireUp, bool macBinding, Text* detail);
    // The cached result for a specification when it is still fresh.
    std::optional<Text> LookupResolveCache(TextView spec, bool requireUp);

  private:
    struct Entry {
        Text result;
        int64_t storedMs;
    };
    using Cache = std::unordered_map<Text, Entry>;

    void Store(const Text& spec, bool requireUp, const Text& result);

    const ResolverPreferences& preferences_;
    std::mutex ResolveCacheLock;
    Cache caches_[2];  // [requireUp]
};

}  // namespace qf
