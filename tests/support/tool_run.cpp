#include "support/tool_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "support/test_support.h"

extern char** environ;

namespace lithora::test {

ToolRun runTool(const std::string& program, const std::vector<std::string>& args,
                const std::string& input, int timeLimitSeconds) {
    TempDir io;
    const std::string inPath = (io.path() / "in").string();
    const std::string outPath = (io.path() / "out").string();
    const std::string errPath = (io.path() / "err").string();
    writeFile(inPath, input);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    ToolRun r;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        r.err = "cannot start " + program;
        return r;
    }
    int status = 0;
    bool ended = false;
    if (timeLimitSeconds > 0) {
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
        while (!ended && std::chrono::steady_clock::now() < until) {
            ended = waitpid(pid, &status, WNOHANG) == pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!ended) {
            r.timedOut = true;
            kill(pid, SIGKILL);
        }
    }
    while (!ended && waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

} // namespace lithora::test
