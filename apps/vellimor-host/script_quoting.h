// Text written into a generated shell script (the Slurm batch script of farm-submit). Every value
// goes through one of these two functions, so nothing a user names can change what the script
// runs: a shell word is quoted whole, and a line's value that no line can carry is refused.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellimor::host_driver {

// The text as one shell word: single-quoted, so it arrives whole whatever it holds (line breaks
// included, which stay inside the quotes).
std::string shell_quoted(std::string_view text);

// The text as the value of an "#SBATCH" option or inside a "#" comment line: quoted for sbatch
// when it holds blanks, quotes, backslashes or '#'. Nullopt when it holds a line break or another control
// character: the line would end there and bash would run the rest as a command.
std::optional<std::string> script_line_value(std::string_view text);

}  // namespace vellimor::host_driver
