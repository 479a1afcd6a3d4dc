// Function curves in the fur settings text file. A hold file carries every curve of the list
// after its OBJECT blocks, so that a session restored from it keeps its animation. Each curve is
// a run of setting lines at the top level, which the readers of objects pass over:
//
//   fcurve           = id type components use0 use1 use2 use3 use4
//   fcurve.component = index has_min has_max min max limit_flags x_min x_max y_min y_max r g b samples
//   fcurve.key       = x y in_dx in_dy out_dx out_dy type        (keys of the component above)
#pragma once

#include <string>

namespace vellimor {

// The setting lines of every curve in the list, in list order.
std::string fcurves_text();

// Adds the curves a settings file holds to the list, each under its id (a new one when the id is
// taken: callers restoring a session empty the list first). A curve with a damaged or missing
// line is left out. Returns how many curves were added.
int fetch_fcurves(const std::string &path);

}  // namespace vellimor
