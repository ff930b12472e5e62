#include "logging/capture.h"

#include "config/display_formats.h"
#include "config/text_helpers.h"
#include "engine/connection_event.h"
#include "engine/engine_state.h"
#include "net/address.h"
#include "platform/append_file.h"

namespace qf {
namespace {

constexpr int kDefaultFileTemplateId = 1011;
constexpr int kDefaultDateTemplateId = 62;
constexpr int kBounceHostTextId = 119;
constexpr TextView kPercentMark = u"\uFDD0";

Text Inserted(Text value) {
    for (char16_t& c : value)
        if (c == u'/' || c == u'\0') c = u'_';
    return value;
}

Text Number(uint16_t value) { return AsciiText(std::to_string(value)); }

class AppendCaptureFile : public CaptureFile {
  public:
    explicit AppendCaptureFile(AppendFile file) : file_(std::move(file)) {}
    void Write(const char* data, size_t size) override {
        std::lock_guard lock(lock_);  // combined mode: chunks of both directions stay whole
        file_.Write(std::string_view(data, size));
    }

  private:
    std::mutex lock_;
    AppendFile file_;
};

}  // namespace

CaptureOptions DefaultCaptureOptions(const TextCatalog& texts) {
    return {{}, texts.Program(kDefaultFileTemplateId), texts.General(kDefaultDateTemplateId)};
}

Text ExpandDataLogFileName(TextView fileTemplate, TextView dateText, const CaptureNameValues& v) {
    Text name(fileTemplate);
    Text date(dateText);
    ReplaceAll(date, u":", u".");
    ReplaceAll(name, u"%%", kPercentMark);
    ReplaceAll(name, u"\\", u"_");
    ReplaceAll(name, u"/", u"_");
    const std::pair<TextView, Text> parameters[] = {
        {u"#DAT", date},
        {u"#LIP", v.localAddress},
        {u"#LPort", Number(v.localPort)},
        {u"#LHost", v.localSpec},
        {u"#RHost", v.remoteHost},
        {u"#RPort", Number(v.remotePort)},
        {u"#CIP", v.clientAddress},
        {u"#CPort", Number(v.clientPort)},
        {u"#OLIP", v.outboundLocalAddress},
        {u"#OLPort", Number(v.outboundLocalPort)},
        {u"#P", v.protocol},
        {u"#SOD", v.sourceOfData},
    };
    for (const auto& [parameter, value] : parameters) ReplaceAll(name, parameter, Inserted(value));
    ReplaceAll(name, kPercentMark, u"%");
    ReplaceAll(name, u":", u"#");
    return name;
}

CaptureFileOpener::CaptureFileOpener(const TextCatalog& texts, PathContext paths)
    : texts_(texts),
      paths_(std::move(paths)),
      options_(std::make_shared<const CaptureOptions>(DefaultCaptureOptions(texts))) {}

void CaptureFileOpener::SetOptions(CaptureOptions options) {
    auto shared = std::make_shared<const CaptureOptions>(std::move(options));
    std::lock_guard lock(optionsLock_);
    options_ = std::move(shared);
}

CaptureFiles CaptureFileOpener::Open(const CaptureRequest& request) {
    std::shared_ptr<const CaptureOptions> options;
    {
        std::lock_guard lock(optionsLock_);
        options = options_;
    }
    // One moment for all names, so that a session's files differ only in their source word.
    const Text date = FormatDateTime(options->dateTemplate);
    auto open = [&](TextView sourceOfData) {
        return OpenOne(request, *options, date, sourceOfData);
    };
    if (request.pfo.engine.preferences.DataLogCombineData) {
        CaptureFilePtr combined =
            request.existingClientFile ? request.existingClientFile : open(u"Combined");
        return {combined, combined};
    }
    CaptureFilePtr client =
        request.existingClientFile ? request.existingClientFile : open(u"Client");
    return {client, open(u"Server")};
}

CaptureFilePtr CaptureFileOpener::OpenOne(const CaptureRequest& request,
                                          const CaptureOptions& options, TextView date,
                                          TextView sourceOfData) {
    const PFO& pfo = request.pfo;
    const CaptureNameValues values{
        FormatAddress(pfo.LocalAddress),
        pfo.LocalPort,
        pfo.LocalIP,
        pfo.Bounce ? texts_.Program(kBounceHostTextId) : request.remoteHost,
        request.remotePort,
        FormatAddress(request.client),
        request.client.port(),
        FormatAddress(request.outboundLocal),
        request.outboundLocal.port(),
        pfo.protocol == Protocol::TCP ? u"TCP" : u"UDP",
        Text(sourceOfData),
    };
    const Text folder =
        ExpandPortablePath(TrimTrailingCharacters(options.folderPath, u"\\/"), paths_);
    const Text name = ExpandDataLogFileName(options.fileTemplate, date, values);
    if (auto file = AppendFile::Open(TextToUtf8(folder + u"/" + name)))
        return std::make_shared<AppendCaptureFile>(std::move(*file));
    EmitConnectionEvent(EventId::CaptureFileFailed, pfo,
                        {request.client, request.outboundLocal, pfo.RemoteHost, pfo.RemotePort});
    return nullptr;
}

}  // namespace qf
