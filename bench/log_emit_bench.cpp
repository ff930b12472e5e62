// Entries per second through the connection-event log with three subscribers draining it,
// against the same events with no subscriber (when nothing is formatted).

#include <fmt/format.h>

#include <thread>

#include "engine/engine_state.h"
#include "logging/connection_log.h"
#include "platform/clock.h"

int main() {
    using namespace qf;
    TextCatalog texts;
    auto tables = std::make_shared<StringTableSet>();
    tables->program[1002] =
        u"\\r\\n[#DAT]\t#E\t#P\t#CIP:#CPort -> #LIP:#LPort -> #OLIP:#OLPort -> #RHost:#RPort";
    tables->program[143] = u"Session accepted";
    tables->general[62] = u"yyyy.MM.dd - HH:mm:ss.fff";
    texts.Install(tables);
    ConnectionLog log(texts);
    ConnectionEvent event{};
    event.id = EventId::Accepted;
    event.text = u"Session accepted";
    event.protocol = u"TCP";
    event.remoteHost = u"example.org";
    event.clientAddress = SocketAddress::IPv4({10, 0, 0, 5}, 50000);

    auto rate = [&](int count) {
        const int64_t start = MonotonicMs();
        for (int i = 0; i < count; ++i) {
            event.when = std::chrono::system_clock::now();
            if (log.Wanted()) log.Emit(event);
        }
        return count * 1000.0 / double(std::max<int64_t>(1, MonotonicMs() - start));
    };
    const double idle = rate(2'000'000);

    LogQueue queues[3];
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (LogQueue& q : queues) {
        log.subscribers().Subscribe(q);
        readers.emplace_back([&] {
            while (!stop) {
                log.subscribers().Take(q);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    const double subscribed = rate(300'000);
    stop = true;
    for (auto& r : readers) r.join();
    fmt::print("Connection-event log (entries per second)\n");
    fmt::print("  no subscriber        {:12.0f}\n  three subscribers    {:12.0f}\n", idle,
               subscribed);
    return 0;
}
