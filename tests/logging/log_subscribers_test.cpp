#include "logging/log_subscribers.h"

#include <gtest/gtest.h>

namespace qf {
namespace {

TEST(LogSubscribersTest, AFullQueueMissesEntriesWhileOthersGetThemAll) {
    LogSubscribers subscribers;
    LogQueue stalled, reader;
    EXPECT_FALSE(subscribers.Any());
    subscribers.Subscribe(stalled);
    subscribers.Subscribe(reader);
    subscribers.Subscribe(reader);  // once only
    std::vector<Text> read;
    for (int i = 0; i < 5; ++i) {
        subscribers.Offer(std::make_shared<const Text>(AsciiText(std::to_string(i))), 1);
        for (const LogEntry& e : subscribers.Take(reader)) read.push_back(*e);
    }
    EXPECT_EQ(read, (std::vector<Text>{u"0", u"1", u"2", u"3", u"4"}));
    const auto waiting = subscribers.Take(stalled);
    ASSERT_EQ(waiting.size(), 1u);
    EXPECT_EQ(*waiting[0], u"0");

    subscribers.Unsubscribe(reader);
    subscribers.Offer(std::make_shared<const Text>(u"5"), 10);
    EXPECT_TRUE(subscribers.Take(reader).empty());
    EXPECT_EQ(subscribers.Take(stalled).size(), 1u);
    subscribers.Unsubscribe(stalled);
    EXPECT_FALSE(subscribers.Any());
}

}  // namespace
}  // namespace qf
