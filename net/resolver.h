#pragma once
// Host specifications to address texts, with the two caches of recent results.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "net/interfaces.h"
#include "platform/clock.h"
#include "platform/name_lookup.h"
#include "platform/text.h"

namespace qf {

struct ResolverPreferences {
    std::atomic<bool> useIPv4LocalhostResolve{true};
    std::atomic<int> cacheMaximumTimeMs{4000};
    std::atomic<int> cacheRetryDelayMs{250};
};

// The system's name resolution; must be callable on any thread.
using NameLookup = std::function<Result<SocketAddress>(const std::string& name)>;

// Shows why a name did not resolve, for interactive callers; the engine passes none.
struct NameErrorReporter {
    Text missingNameText;  // shown alone for a blank name
    Text failureText;      // first paragraph of the message for a failed lookup
    std::function<void(const Text& message)> show;
};

// A literal address as it is (formatted), else the first address the system gives for the
// name. Nothing when the name is blank or does not resolve; `reporter` (may be null) is told.
std::optional<Text> ResolveHostName(TextView name, const NameErrorReporter* reporter,
                                    const NameLookup& lookup = LookupHostName);

// What the resolver asks of the system; tests substitute any part.
struct ResolverSystem {
    std::function<int64_t()> nowMs = MonotonicMs;
    InterfaceSource interfaces = EnumerateInterfaces;
    NameLookup lookUpName = LookupHostName;
};

// Thread-safe: any thread may resolve; the cache lock is a leaf, never held across a lookup.
class Resolver {
  public:
    explicit Resolver(const ResolverPreferences& preferences, ResolverSystem system = {})
        : preferences_(preferences), system_(std::move(system)) {}

    // The address text a specification (literal, host name, blank, "localhost", or with
    // `macBinding` an interface's MAC) stands for now; blank when it cannot be resolved.
    // With `requireUp` the address must belong to an interface that is up. `detail` (may be
    // null) receives the description of the interface a MAC specification names. An
    // interactive caller passes a `reporter`: it is told why a name did not resolve, and so it
    // gets a fresh answer rather than a cached one.
    Text ResolveHostSpec(TextView spec, bool requireUp, bool macBinding, Text* detail,
                         const NameErrorReporter* reporter = nullptr);
    // The cached result for a specification when it is still fresh: a found address for
    // `cacheMaximumTimeMs`, a failure (blank) for `cacheRetryDelayMs`.
    std::optional<Text> LookupResolveCache(TextView spec, bool requireUp);

  private:
    struct Entry {
        Text result;
        int64_t storedMs;
    };
    using Cache = std::unordered_map<Text, Entry>;

    std::optional<Text> LookupCleaned(const Text& spec, bool requireUp);
    Text Resolve(const Text& spec, bool requireUp, bool macBinding, Text* detail,
                 const NameErrorReporter* reporter);
    Text ResolveName(const Text& spec, bool requireUp, const NameErrorReporter* reporter);
    void Store(const Text& spec, bool requireUp, const Text& result);

    const ResolverPreferences& preferences_;
    const ResolverSystem system_;
    std::mutex ResolveCacheLock;
    Cache caches_[2];  // [requireUp]
};

}  // namespace qf
