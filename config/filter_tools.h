#pragma once
// The tools of the IP filter editor that do not depend on its layout. The desktop filter
// dialog and the web filter page keep the field texts and call these; the boxes the tools
// show come back through MessageBoxes, so that each front end shows them its own way.

#include <optional>
#include <vector>

#include "config/filter_files.h"
#include "engine/engine_state.h"

namespace qf {

struct DialogMessage {
    Text text;
    Text caption;  // empty: the window's own title
};

// Called on the thread that runs the tools (the desktop's window thread, or a web request).
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void Show(const DialogMessage& message) = 0;
    // True when the user answers yes.
    virtual bool Confirm(const Text& question) = 0;
};

// One of the two lists with the From and To fields that add to it.
struct RangeSide {
    Text from, to;
    std::vector<Text> ranges;  // "low - high", in list order
};

struct FilterFields {
    Text hostName;  // the field the resolver tools work on
    RangeSide accept, reject;
};

// The list that the range texts stand for, by the entry rules of filter files.
RangeListPtr BuildRangeList(const std::vector<Text>& rangeTexts);

class FilterTools {
  public:
    FilterTools(EngineState& engine, MessageBoxes& boxes) : engine_(engine), boxes_(boxes) {}

    // Adds the range From - To, lower bound first, unless the same text is listed already.
    // A blank bound means the null address, which is refused.
    void AddRange(RangeSide& side);
    // Replaces the host name by the address it resolves to; nothing (and a message) when it
    // does not resolve.
    std::optional<SocketAddress> Resolve(FilterFields& fields);
    // Replaces the host name by the name the resolved address has.
    void ReverseResolve(FilterFields& fields);
    // Puts the resolved address into the From and To fields of both sides.
    void CopyToFilters(FilterFields& fields);
    // Shows whether the resolved address passes the lists being edited.
    void TestUsingFilters(FilterFields& fields);
    // Empties every field and both lists once the user agrees.
    void ClearAll(FilterFields& fields);
    // Replaces both lists by the ranges of a profile (or any filter file).
    void LoadProfile(FilterFields& fields, TextView path, const PathContext& context);
    void SaveProfile(const FilterFields& fields, TextView path, const PathContext& context,
                     const ProfileHeader& header);

  private:
    EngineState& engine_;
    MessageBoxes& boxes_;
};

}  // namespace qf
