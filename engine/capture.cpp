#include "engine/capture.h"

#include "engine/engine_state.h"

namespace qf {

CaptureFiles OpenSessionCapture(const CaptureRequest& request) {
    EngineState& engine = request.pfo.engine;
    CaptureOpener* opener = engine.captureOpener.load();
    if (!opener || !engine.preferences.DataLogEnabled) return {request.existingClientFile, nullptr};
    return opener->Open(request);
}

}  // namespace qf
