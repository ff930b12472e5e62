#pragma once
// Data capture: the bytes of each session written to files named by the user's template.

#include <memory>
#include <mutex>

#include "config/portable_path.h"
#include "engine/capture.h"
#include "platform/text_catalog.h"

namespace qf {

struct CaptureOptions {
    Text folderPath;    // portable; empty: the base folder
    Text fileTemplate;  // "#DAT", "#LIP", ... "#SOD"
    Text dateTemplate;
};

CaptureOptions DefaultCaptureOptions(const TextCatalog& texts);

struct CaptureNameValues {
    Text localAddress;
    uint16_t localPort = 0;
    Text localSpec;
    Text remoteHost;
    uint16_t remotePort = 0;
    Text clientAddress;
    uint16_t clientPort = 0;
    Text outboundLocalAddress;
    uint16_t outboundLocalPort = 0;
    Text protocol;
    Text sourceOfData;  // "Client", "Server" or "Combined"
};

// The file name for one capture file. Inserted values cannot add folders: "/" in them
// becomes "_"; every ":" of the name becomes "#".
Text ExpandDataLogFileName(TextView fileTemplate, TextView dateText,
                           const CaptureNameValues& values);

// Opens capture files in the configured folder; thread-safe.
class CaptureFileOpener : public CaptureOpener {
  public:
    CaptureFileOpener(const TextCatalog& texts, PathContext paths);
    void SetOptions(CaptureOptions options);
    CaptureFiles Open(const CaptureRequest& request) override;

  private:
    CaptureFilePtr OpenOne(const CaptureRequest& request, const CaptureOptions& options,
                           TextView date, TextView sourceOfData);

    const TextCatalog& texts_;
    const PathContext paths_;
    std::mutex optionsLock_;
    std::shared_ptr<const CaptureOptions> options_;
};

}  // namespace qf
