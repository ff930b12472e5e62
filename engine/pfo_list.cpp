#include <algorithm>

#include "engine/engine_state.h"
#include "engine/lifecycle.h"

namespace qf {

PFOPtr PFOList::CreateAndAppend(EngineState& engine) {
    std::lock_guard lock(PFOListLock);
    PFOPtr pfo = CreatePFO(engine);
    items_.push_back(pfo);
    return pfo;
}

void PFOList::Append(PFOPtr pfo) {
    std::lock_guard lock(PFOListLock);
    items_.push_back(std::move(pfo));
}

bool PFOList::Remove(const PFO& pfo) {
    PFOPtr removed;
    {
        std::lock_guard lock(PFOListLock);
        auto it = std::find_if(items_.begin(), items_.end(),
                               [&](const PFOPtr& item) { return item.get() == &pfo; });
        if (it == items_.end()) return false;
        removed = std::move(*it);
        items_.erase(it);
    }
    // Its threads hold it alive; stopping them outside the lock lets it go.
    if (removed->StartAttempted && IsPFORunning(*removed)) StopPFO(*removed);
    return true;
}

void PFOList::RemoveAll() {
    for (const PFOPtr& pfo : Snapshot()) Remove(*pfo);
}

int64_t PFOList::Count() {
    std::lock_guard lock(PFOListLock);
    return static_cast<int64_t>(items_.size());
}

std::vector<PFOPtr> PFOList::Snapshot() {
    std::lock_guard lock(PFOListLock);
    return items_;
}

}  // namespace qf
