#pragma once
// What the engine asks of data capture: files that receive the bytes of a session, written
// before the bytes are forwarded. Implemented by the logging layer.

#include <memory>

#include "engine/pfo.h"

namespace qf {

// One capture file. In combined mode both directions share it; Write is then called from two
// threads and keeps each chunk whole. Write failures are ignored; the file closes with its
// last reference.
class CaptureFile {
  public:
    virtual ~CaptureFile() = default;
    virtual void Write(const char* data, size_t size) = 0;
};
using CaptureFilePtr = std::shared_ptr<CaptureFile>;

struct CaptureFiles {
    CaptureFilePtr client;  // bytes that came from the client
    CaptureFilePtr server;  // bytes that came from the server
};

struct CaptureRequest {
    const PFO& pfo;
    const SocketAddress& client;
    const SocketAddress& outboundLocal;
    const Text& remoteHost;
    uint16_t remotePort;
    // A further UDP destination shares the session's client file (and, combined, its one file).
    CaptureFilePtr existingClientFile;
};

class CaptureOpener {
  public:
    virtual ~CaptureOpener() = default;
    // Files that cannot be opened are reported by the opener and left null.
    virtual CaptureFiles Open(const CaptureRequest& request) = 0;
};

// The session's capture files when data capture is on; none otherwise.
CaptureFiles OpenSessionCapture(const CaptureRequest& request);

}  // namespace qf
