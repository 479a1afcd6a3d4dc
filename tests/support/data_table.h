// Tables of test data kept under tests/data as tab-separated lines: one row a line, '#' lines
// comments, "\n" in a field a line break.
#pragma once

#include "support/test_prelude.h"

#include "support/paths.h"

namespace vellimor::test {

inline std::vector<std::vector<std::string>> read_table(const std::string &name) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(source_dir() + "/tests/data/" + name);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("#")) continue;
        for (size_t at; (at = line.find("\\n")) != std::string::npos;) line.replace(at, 2, "\n");
        std::vector<std::string> &row = rows.emplace_back(1);
        for (char c : line) {
            if (c == '\t') {
                row.emplace_back();
            } else {
                row.back().push_back(c);
            }
        }
    }
    return rows;
}

}  // namespace vellimor::test
