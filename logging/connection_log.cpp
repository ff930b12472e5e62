#include "logging/connection_log.h"

#include <algorithm>

#include "config/display_formats.h"
#include "net/address.h"
#include "platform/local_time.h"

namespace qf {
namespace {

constexpr int kDefaultEntryTemplateId = 1002;
constexpr int kDefaultDateTemplateId = 62;
constexpr int kLongestRejectionIds[] = {133, 142};

LogEntryValues ValuesOf(const ConnectionEvent& e) {
    return {e.text,
            FormatAddress(e.localAddress),
            e.localPort,
            e.localSpec,
            e.remoteHost,
            e.remotePort,
            FormatAddress(e.clientAddress),
            e.clientPort,
            FormatAddress(e.olAddress),
            e.olPort,
            e.protocol,
            e.clientData,
            e.serverData};
}

}  // namespace

LogOptions DefaultLogOptions(const TextCatalog& texts) {
    LogOptions options;
    options.entryTemplate = texts.Program(kDefaultEntryTemplateId);
    options.dateTemplate = texts.General(kDefaultDateTemplateId);
    return options;
}

ConnectionLog::ConnectionLog(const TextCatalog& texts)
    : texts_(texts), options_(std::make_shared<LogOptions>(DefaultLogOptions(texts))) {}

void ConnectionLog::SetOptions(LogOptions options) {
    auto shared = std::make_shared<const LogOptions>(std::move(options));
    std::lock_guard lock(optionsLock_);
    options_ = std::move(shared);
}

std::shared_ptr<const LogOptions> ConnectionLog::Options() const {
    std::lock_guard lock(optionsLock_);
    return options_;
}

void ConnectionLog::Emit(ConnectionEvent event) {
    if (event.id == EventId::RejectedBadIP && Options()->noLogBadIP) return;
    Offer(ValuesOf(event), event.when);
}

void ConnectionLog::Offer(const LogEntryValues& values,
                          std::chrono::system_clock::time_point when) {
    if (!Wanted()) return;
    const auto options = Options();
    size_t eventWidth = 0;
    for (int id : kLongestRejectionIds)
        eventWidth = std::max(eventWidth, texts_.Program(id).size());
    const Text date = FormatDateTime(options->dateTemplate, ToLocalDateTime(when));
    subscribers_.Offer(std::make_shared<const Text>(
                           FormatLogEntry(options->entryTemplate, date, values, eventWidth)),
                       options->maxBacklog);
}

}  // namespace qf
