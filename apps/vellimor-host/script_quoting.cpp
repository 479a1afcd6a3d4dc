#include "apps/vellimor-host/script_quoting.h"

#include <algorithm>

namespace vellimor::host_driver {

std::string shell_quoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> script_line_value(std::string_view text) {
    const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
    if (control) return std::nullopt;
    // sbatch reads blanks, quotes, backslashes and '#' (which would start a comment) only inside
    // double quotes, with '"' and '\\' escaped.
    if (text.find_first_of(" \"'\\#") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace vellimor::host_driver
