#include "net/resolver.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "net/address.h"
#include "tests/net/interface_fixture.h"

namespace qf {
namespace {

// The sample machine, a name service that answers from a table, and a clock the test moves.
class FakeSystem {
  public:
    FakeSystem() : interfaces_(BuildInterfaceList(testing::SampleAdapters())) {
        names_ = {
            {"example.test", u"203.0.113.7"}, {"localhost", u"::1"},
            {"myhost", u"127.0.1.1"},         {"eth0.myhost", u"192.168.1.5"},
            {"eth1.myhost", u"192.168.2.5"},  {"elsewhere", u"198.51.100.1"},
            {"0.0.0.0", u"0.0.0.0"},          {"::", u"::"},
        };
    }

    ResolverSystem Make() {
        ResolverSystem system;
        system.nowMs = [this] { return nowMs.load(); };
        system.interfaces = [this] { return interfaces_; };
        system.lookUpName = [this](const std::string& name) { return LookUp(name); };
        return system;
    }

    void SetName(const std::string& name, const Text& address) {
        std::lock_guard lock(mutex_);
        names_[name] = address;
    }
    int lookups() const { return lookups_.load(); }

    std::atomic<int64_t> nowMs{1000};

  private:
    Result<SocketAddress> LookUp(const std::string& name) {
        ++lookups_;
        std::lock_guard lock(mutex_);
        const auto found = names_.find(name);
        if (found == names_.end())
            return SysError{0, "getaddrinfo", name, "Name or service not known"};
        return ParseAddress(found->second, false);
    }

    const InterfaceList interfaces_;
    std::mutex mutex_;
    std::map<std::string, Text> names_;
    std::atomic<int> lookups_{0};
};

class ResolverTest : public ::testing::Test {
  protected:
    Text Resolve(TextView spec, bool requireUp = false, bool macBinding = true,
                 Text* detail = nullptr) {
        return resolver.ResolveHostSpec(spec, requireUp, macBinding, detail);
    }

    FakeSystem system;
    ResolverPreferences preferences;
    Resolver resolver{preferences, system.Make()};
};

TEST_F(ResolverTest, CleansUrlsAndStrayCharactersOffTheHost) {
    for (const char16_t* spec :
         {u"example.test", u"http://example.test/", u"https://example.test", u"ftp://example.test/",
          u" example.test. ", u"\\\\example.test\\", u"\texample.test/."}) {
        EXPECT_EQ(Resolve(spec), u"203.0.113.7") << TextToUtf8(spec);
    }
    EXPECT_EQ(system.lookups(), 1) << "all forms share the cleaned text's cache entry";
}

TEST_F(ResolverTest, ResolvesLocalhostAndBlankByThePreference) {
    struct Case {
        bool ipv4Localhost;
        const char16_t* spec;
        const char16_t* expected;
    };
    const Case cases[] = {
        {true, u"localhost", u"127.0.0.1"},
        {true, u"LOCALHOST", u"127.0.0.1"},
        {true, u"", u"0.0.0.0"},
        {true, u"http:// /", u"0.0.0.0"},
        {false, u"localhost", u"::1"},
        {false, u"", u"::"},
    };
    for (const Case& c : cases) {
        ResolverPreferences own;
        own.useIPv4LocalhostResolve = c.ipv4Localhost;
        Resolver fresh(own, system.Make());
        EXPECT_EQ(fresh.ResolveHostSpec(c.spec, true, true, nullptr), c.expected)
            << TextToUtf8(c.spec) << " ipv4Localhost " << c.ipv4Localhost;
    }
}

TEST_F(ResolverTest, TakesLiteralAddressesWithoutALookup) {
    EXPECT_EQ(Resolve(u"192.168.1.5"), u"192.168.1.5");
    EXPECT_EQ(Resolve(u"10.1"), u"10.0.0.1");
    EXPECT_EQ(Resolve(u"2001:DB8:0::5"), u"2001:db8::5");
    EXPECT_EQ(Resolve(u"fe80::1%11"), u"fe80::1%11");
    EXPECT_EQ(system.lookups(), 0);
}

TEST_F(ResolverTest, WithInterfaceUpAcceptsOnlyAddressesOfUpInterfacesAndWildcards) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"192.168.1.5", u"192.168.1.5"},
        {u"eth0.myhost", u"192.168.1.5"},
        {u"192.168.2.5", u""},
        {u"eth1.myhost", u""},
        {u"10.9.9.9", u""},
        {u"elsewhere", u""},
        {u"0.0.0.0", u"0.0.0.0"},
        {u"::", u"::"},
        {u"myhost", u"127.0.1.1"},
        {u"fe80::1%12", u""},
        {u"nohost", u""},
    };
    for (const auto& [spec, expected] : cases) {
        EXPECT_EQ(Resolve(spec, true), expected) << TextToUtf8(spec);
    }
    EXPECT_EQ(Resolve(u"192.168.2.5", false), u"192.168.2.5");
    EXPECT_EQ(Resolve(u"elsewhere", false), u"198.51.100.1");
}

TEST_F(ResolverTest, MACBindingSelectsTheInterfaceAddressAndReportsItsDescription) {
    struct Case {
        const char16_t* spec;
        const char16_t* expected;
        const char16_t* detail;
    };
    const Case cases[] = {
        {u"00-1A-2B-3C-4D-5E", u"192.168.1.5", u"00-1A-2B-3C-4D-5E-00 / 192.168.1.5 / Ethernet"},
        {u"00-1A-2B-3C-4D-5E-01 / stale text", u"fe80::1%11",
         u"00-1A-2B-3C-4D-5E-01 / fe80::1%11 / Ethernet"},
        {u"00-1A-2B-3C-4D-5F", u"", u"00-1A-2B-3C-4D-5F-00 / Down / eth1"},
        {u"00-1A-2B-3C-4D-5E-09", u"", u""},
        {u"example.test", u"203.0.113.7", u""},
    };
    for (const Case& c : cases) {
        Text detail = u"previous";
        EXPECT_EQ(Resolve(c.spec, false, true, &detail), c.expected) << TextToUtf8(c.spec);
        EXPECT_EQ(detail, c.detail) << TextToUtf8(c.spec);
    }
    Resolver withoutMAC(preferences, system.Make());
    EXPECT_EQ(withoutMAC.ResolveHostSpec(u"00-1A-2B-3C-4D-5E", false, false, nullptr), u"");
}

TEST_F(ResolverTest, RetriesAFailedNameAfterTheRetryDelayAndAFoundOneAfterTheMaximumTime) {
    struct Case {
        const char* name;
        int validMs;
    };
    for (const Case& c : {Case{"nohost", 250}, Case{"example.test", 4000}}) {
        const Text spec = Utf8ToText(c.name);
        const int before = system.lookups();
        const Text first = Resolve(spec);
        system.nowMs += c.validMs;
        EXPECT_EQ(Resolve(spec), first) << c.name;
        EXPECT_EQ(system.lookups(), before + 1) << c.name << " was looked up again too early";
        system.nowMs += 1;
        EXPECT_EQ(Resolve(spec), first) << c.name;
        EXPECT_EQ(system.lookups(), before + 2) << c.name << " was not looked up again";
    }
}

TEST_F(ResolverTest, KeepsTheTwoFlavoursApartAndFollowsChangedAges) {
    Resolve(u"example.test", false);
    Resolve(u"example.test", true);
    EXPECT_EQ(system.lookups(), 2);
    preferences.cacheMaximumTimeMs = 100;
    system.SetName("example.test", u"203.0.113.8");
    system.nowMs += 100;
    EXPECT_EQ(Resolve(u"example.test", false), u"203.0.113.7");
    system.nowMs += 1;
    EXPECT_EQ(Resolve(u"example.test", false), u"203.0.113.8");
}

TEST_F(ResolverTest, LookupResolveCacheSeesFreshEntriesUnderTheirCleanedText) {
    EXPECT_FALSE(resolver.LookupResolveCache(u"nohost", false));
    Resolve(u"nohost");
    Resolve(u"example.test");
    EXPECT_EQ(resolver.LookupResolveCache(u"http://nohost/", false), Text());
    EXPECT_FALSE(resolver.LookupResolveCache(u"nohost", true));
    system.nowMs += 251;
    EXPECT_FALSE(resolver.LookupResolveCache(u"nohost", false));
    EXPECT_EQ(resolver.LookupResolveCache(u"example.test.", false), u"203.0.113.7");
}

TEST_F(ResolverTest, ResolvesFromManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const bool requireUp = (i + t) % 2;
                EXPECT_EQ(Resolve(u"eth0.myhost", requireUp), u"192.168.1.5");
                EXPECT_EQ(Resolve(u"nohost", requireUp), u"");
                system.nowMs += 3;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
}

struct ReportedMessages {
    std::vector<Text> shown;
    NameErrorReporter reporter{u"No host name.", u"Unable to resolve the host name.",
                               [this](const Text& message) { shown.push_back(message); }};
};

TEST(ResolveHostName, ReportsBlankAndUnknownNamesOnlyWithAReporter) {
    FakeSystem system;
    const NameLookup lookup = system.Make().lookUpName;
    ReportedMessages messages;
    EXPECT_FALSE(ResolveHostName(u" \t", &messages.reporter, lookup));
    EXPECT_FALSE(ResolveHostName(u" nohost\t", &messages.reporter, lookup));
    EXPECT_FALSE(ResolveHostName(u"nohost", nullptr, lookup));
    const std::vector<Text> expected = {
        u"No host name.",
        u"Unable to resolve the host name.\n\nnohost\n\nName or service not known"};
    EXPECT_EQ(messages.shown, expected);
}

TEST(ResolveHostName, LooksUpOnlyWhatIsNoUsableLiteral) {
    FakeSystem system;
    const NameLookup lookup = system.Make().lookUpName;
    EXPECT_EQ(ResolveHostName(u" 192.168.001.1 ", nullptr, lookup), u"192.168.1.1");
    EXPECT_EQ(ResolveHostName(u"fe80::0001%3", nullptr, lookup), u"fe80::1%3");
    EXPECT_EQ(system.lookups(), 0);
    EXPECT_EQ(ResolveHostName(u"\texample.test ", nullptr, lookup), u"203.0.113.7");
    EXPECT_EQ(ResolveHostName(u"0.0.0.0", nullptr, lookup), u"0.0.0.0");
    EXPECT_EQ(ResolveHostName(u"::", nullptr, lookup), u"::");
    EXPECT_EQ(system.lookups(), 3);
}

// An interactive caller wants the reason for a failure, which a cached blank result no longer
// knows: it resolves afresh, and the engine's callers still find what it stored.
TEST_F(ResolverTest, AReporterGetsAFreshLookupAndTheReason) {
    Resolve(u"nohost");
    ReportedMessages messages;
    EXPECT_EQ(resolver.ResolveHostSpec(u"http://nohost/", false, true, nullptr, &messages.reporter),
              u"");
    EXPECT_EQ(system.lookups(), 2);
    EXPECT_EQ(messages.shown, std::vector<Text>{u"Unable to resolve the host name.\n\nnohost\n\n"
                                                u"Name or service not known"});
    system.SetName("nohost", u"192.0.2.9");
    EXPECT_EQ(resolver.ResolveHostSpec(u"nohost", false, true, nullptr, &messages.reporter),
              u"192.0.2.9");
    EXPECT_EQ(Resolve(u"nohost"), u"192.0.2.9");
    EXPECT_EQ(system.lookups(), 3);
}

}  // namespace
}  // namespace qf
