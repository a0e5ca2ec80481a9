#include "common/tool_support.h"

#include <iostream>

namespace lithora::tools {

std::filesystem::path executablePath(const char* argv0) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && !self.empty()) return self;
    return std::filesystem::absolute(argv0, ec);
}

void printError(const std::string& program, const std::string& message) {
    std::cerr << program << ": " << message << '\n';
}

int parseArguments(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion&) {
        std::cout << app.version() << '\n';
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        for (char& c : message) {
            if (c == '\n') c = ' ';
        }
        printError(app.get_name(), message + " (see --help)");
        return kExitUsage;
    }
    return -1;
}

} // namespace lithora::tools
