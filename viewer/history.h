// The viewer's record of computed views, and the rules that decide when a
// run adds a record and when the history may be exported.
#pragma once

#include <list>

#include "core/mandarea.h"

namespace zv {

// Oldest first; each record is the pending view as it stood when the run
// button was pressed.
using viewhistory = std::list<MandArea>;

// True when a and b describe the same picture: every field but the
// iteration limit compares exactly equal.
bool same_view(const MandArea& a, const MandArea& b);

// Records a run of view: when the last record differs from view only in its
// limit, that record takes view's limit; otherwise a copy of view is appended.
void record_view(viewhistory& history, const MandArea& view);

// What the batch button's sensitivity becomes after a run or a Julia toggle:
// with fewer than two records it keeps current, otherwise it is on exactly
// when Julia mode is off.
bool batch_sensitivity(const viewhistory& history, bool julia, bool current);

}  // namespace zv
