// Keys set from outside the curve editor: when a slider changes a value that a curve animates, the
// curve gets (or changes) a key at the current frame.
#pragma once

#include <span>

namespace vellimor {

// Called right after a group's new values were stored. For every used component: a key at
// `frame` takes the new value; without one, a key is added when `autokey_on` (and the curve
// does not already give the value), otherwise the change is refused with a warning.
// Returns 1 when done or nothing was needed, 0 when refused or the id is unknown.
int fcurve_autokey(int id, int frame, std::span<const float> values, int autokey_on);

}  // namespace vellimor
