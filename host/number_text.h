// Numbers read from option and environment texts the way the command line and the FUR_ switches
// read them: from the leading characters, text that is no number reading as 0. Values outside
// the type's range are clamped instead of overflowing.
#pragma once

namespace vellimor {

int leading_int(const char *text);
double leading_double(const char *text);
// Reads an int at the start of text (after blanks); returns false when there is none. `end`
// receives the position after the number.
bool scan_int(const char *text, int *value, const char **end);

}  // namespace vellimor
