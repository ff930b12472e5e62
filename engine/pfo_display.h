#pragma once
// What the engine's workers ask of the main window. The main-window controller implements it
// by posting messages to its own thread; tests record the calls. Any thread may call.

#include "engine/pfo.h"

namespace qf {

class PFODisplay {
  public:
    virtual ~PFODisplay() = default;
    virtual void RefreshRow(const PFO& pfo) = 0;
    virtual void Resort() = 0;
    virtual void SaveSettings() = 0;
    // Drops the selection when `pfo` is the selected PFO.
    virtual void DropSelection(const PFO& pfo) = 0;
    // Deletes the PFO's row (clearing the selection when it was selected) and waits for it.
    // False when the PFO has no row.
    virtual bool DeleteRow(const PFO& pfo) = 0;
    // Called after a deletion: the controller disables the PFO buttons when the list is empty
    // or nothing is selected.
    virtual void AfterDelete() = 0;
};

}  // namespace qf
