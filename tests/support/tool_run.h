#pragma once

#include <string>
#include <vector>

// A command-line tool run as a separate process with its arguments exactly as given (no shell in
// between), its standard input empty or the given text.
namespace lithora::test {

struct ToolRun {
    int exitCode = -1;     // -1 when the process did not exit by itself
    int signal = 0;        // the signal that ended it, or 0
    bool timedOut = false; // still running at the time limit, and killed
    std::string out;
    std::string err;
};

// With a time limit (seconds, 0 for none) a run still going then is killed and timedOut set.
ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& input = std::string(), int timeLimitSeconds = 0);

} // namespace lithora::test
