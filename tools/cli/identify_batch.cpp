#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "common/tool_support.h"
#include "export/table_export.h"
#include "identify_internal.h"

namespace lithora::cli::identify {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The extensions the scan reader knows, lower case without the dot, taken from the patterns
// of its open-dialog filters ("Bruker RAW (*.raw)") so that a format the reader learns is
// batched too.
std::set<std::string> scanExtensions() {
    std::set<std::string> out;
    for (const std::string& filter : scanFileFilters()) {
        for (std::size_t at = filter.find("*."); at != std::string::npos;
             at = filter.find("*.", at + 2)) {
            const std::size_t end = filter.find_first_of(" )", at);
            out.insert(lowerCase(filter.substr(at + 2, end - at - 2)));
        }
    }
    return out;
}

// The pattern files of a folder, not of its subfolders, in name order; the extension decides,
// in any letter case (instruments write .RAW). A directory is never one, whatever its name;
// anything else is, and readScanFile says why it cannot be read.
Result<std::vector<std::filesystem::path>> patternFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return makeError(ErrorCode::NotFound, "--batch: no folder at " + folder);
    }
    const std::set<std::string> extensions = scanExtensions();
    std::vector<fs::path> files;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        const std::string extension = path.extension().string();
        std::error_code kind;
        if (extension.size() > 1 && extensions.count(lowerCase(extension.substr(1))) > 0 &&
            !it->is_directory(kind)) {
            files.push_back(path);
        }
    }
    if (ec) {
        return makeError(ErrorCode::Unreadable,
                         "--batch: the folder " + folder + " cannot be read: " + ec.message());
    }
    if (files.empty()) {
        std::string known;
        for (const std::string& e : extensions)
            known += (known.empty() ? "." : ", .") + e;
        return makeError(ErrorCode::NotFound,
                         "--batch: " + folder + " holds no pattern file (" + known + ")");
    }
    std::sort(files.begin(), files.end(), [](const fs::path& x, const fs::path& y) {
        return x.filename().string() < y.filename().string();
    });
    return files;
}

// "identify: 3 of 12, name.xy" on standard error as each file starts: rewritten in place on a
// terminal, one line a file otherwise, so that a log keeps every line and no "\r" in it.
class Progress {
  public:
    Progress() {
#if defined(_WIN32)
        m_terminal = _isatty(_fileno(stderr)) != 0;
#else
        m_terminal = isatty(fileno(stderr)) != 0;
#endif
    }

    void show(std::size_t number, std::size_t count, const std::string& name) {
        const std::string line =
            "identify: " + std::to_string(number) + " of " + std::to_string(count) + ", " + name;
        if (!m_terminal) {
            std::cerr << line << '\n';
            return;
        }
        // ESC [K clears what a longer name before left on the line.
        std::cerr << '\r' << line << "\x1b[K" << std::flush;
        m_open = true;
    }

    // Ends a line rewritten in place, so that a message or the shell's prompt starts afresh.
    void endLine() {
        if (m_open) std::cerr << '\n';
        m_open = false;
    }

  private:
    bool m_terminal = false;
    bool m_open = false;
};

// JSON Lines: the whole answer on one line.
std::string oneLine(const Json& j) {
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

} // namespace

int runBatch(Session& session, const IdentifyArguments& a, const Shared& s,
             const TableOutput& output) {
    Result<std::vector<std::filesystem::path>> files = patternFiles(a.batch);
    if (!files) {
        printError(files.error().message);
        return tools::kExitUsage;
    }
    const bool table = output.wantsTable();
    // One header for the whole batch; each file's rows follow it without their own.
    if (table) std::cout << tableText(Table{kPhaseHeaders, {}}, output.format()) << std::flush;
    Progress progress;
    bool failed = false;
    const std::size_t count = files.value().size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::filesystem::path& path = files.value()[i];
        const std::string name = path.filename().string();
        progress.show(i + 1, count, name);
        Result<Json> answer = identifyScan(session, path.string(), a, s);
        if (!answer) {
            failed = true;
            progress.endLine();
            printError(answer.error().message);
            if (!table)
                std::cout << oneLine(Json{{"file", name}, {"error", answer.error().message}});
        } else if (table) {
            const std::string text = tableText(
                Table{kPhaseHeaders, tableRows(answer.value(), name, true)}, output.format());
            std::cout << text.substr(text.find('\n') + 1);
        } else {
            Json line{{"file", name}};
            line.update(answer.value());
            std::cout << oneLine(line);
        }
        std::cout << std::flush;
    }
    progress.endLine();
    return failed ? tools::kExitDataFault : tools::kExitOk;
}

} // namespace lithora::cli::identify
