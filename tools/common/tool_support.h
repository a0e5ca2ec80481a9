#pragma once

#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

namespace lithora::tools {

// Exit codes shared by both tools.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDataFault = 1;
inline constexpr int kExitUsage = 2;

// The path of the running executable (argv[0] when the system cannot say).
std::filesystem::path executablePath(const char* argv0);

// Prints one line "PROGRAM: MESSAGE" on standard error.
void printError(const std::string& program, const std::string& message);

// Runs CLI11's parser; help and version go to standard output with exit 0, a usage error is one
// line on standard error with exit 2. Returns -1 when parsing succeeded and the command runs.
int parseArguments(CLI::App& app, int argc, char** argv);

} // namespace lithora::tools
