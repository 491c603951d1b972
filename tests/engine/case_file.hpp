// Case tables kept as text in tests/data: "=== name" lines, each followed by the lines of its case.
#pragma once

#include <sstream>

#include "tests/support/test_support.hpp"

namespace vexo::testing {

struct TextCase {
    std::string name;
    std::vector<std::string> lines;
};

inline std::vector<TextCase> ReadCases(const std::string& file) {
    std::istringstream in(ReadFile(DataDir() / file));
    std::vector<TextCase> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("=== ")) {
            cases.push_back({line, {}});
        } else if (!cases.empty() && !line.empty()) {
            cases.back().lines.push_back(line);
        }
    }
    return cases;
}

}  // namespace vexo::testing
