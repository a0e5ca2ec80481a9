#pragma once

#include <string>
#include <vector>

// A command-line tool run as a separate process with its arguments exactly as given (no shell in
// between), its standard input empty or the given text.
namespace lithora::test {

struct ToolRun {
    int exitCode = -1; // -1 when the process did not exit by itself
    int signal = 0;    // the signal that ended it, or 0
    std::string out;
    std::string err;
};

ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& input = std::string());

} // namespace lithora::test
