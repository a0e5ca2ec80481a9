#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

// Something other than a regular file in place of a data file, for the tests of every program
// that reads one. Header only: the core, tool and GUI tests all take it.
namespace lithora::test {

enum class NotAFile {
    Pipe,      // a named pipe: opening it for reading waits for a writer
    Directory, // opens for reading on some systems, then every read fails
    Device,    // a symbolic link to /dev/zero: reads without end
};

inline constexpr NotAFile kNotAFileKinds[] = {NotAFile::Pipe, NotAFile::Directory,
                                              NotAFile::Device};

inline const char* describe(NotAFile kind) {
    switch (kind) {
    case NotAFile::Pipe:
        return "pipe";
    case NotAFile::Directory:
        return "directory";
    case NotAFile::Device:
        return "device";
    }
    return "?";
}

// Replaces whatever is at path (a file, or nothing) by the kind given. False, with the reason
// in *why, when the system refuses.
inline bool putInPlace(const std::filesystem::path& path, NotAFile kind, std::string* why) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    switch (kind) {
    case NotAFile::Pipe:
        if (::mkfifo(path.c_str(), 0600) != 0) {
            *why = "mkfifo " + path.string() + ": " + std::generic_category().message(errno);
            return false;
        }
        return true;
    case NotAFile::Directory:
        std::filesystem::create_directory(path, ec);
        break;
    case NotAFile::Device:
        std::filesystem::create_symlink("/dev/zero", path, ec);
        break;
    }
    if (ec) *why = path.string() + ": " + ec.message();
    return !ec;
}

// Watches a named pipe while a test runs something that must never open it. Should anything
// open it for reading (the fault under test), the watcher opens its writing end and closes it
// again at once, so that the reader meets the end of the file instead of waiting for ever: the
// test then fails on opened() and on what it compares, rather than hanging. A watcher of a
// path that is no pipe never sees a reader.
class PipeWatch {
  public:
    explicit PipeWatch(std::filesystem::path pipe)
        : m_pipe(std::move(pipe)), m_thread([this] { watch(); }) {}
    ~PipeWatch() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    PipeWatch(const PipeWatch&) = delete;
    PipeWatch& operator=(const PipeWatch&) = delete;

    // Whether anything opened the pipe for reading while it was watched.
    bool opened() const { return m_opened.load(); }

  private:
    void watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_stop; })) {
            struct stat what;
            if (::stat(m_pipe.c_str(), &what) != 0 || !S_ISFIFO(what.st_mode)) continue;
            // Without a reader this fails with ENXIO and leaves the pipe as it was.
            const int fd = ::open(m_pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_opened = true;
                ::close(fd);
            }
        }
    }

    std::filesystem::path m_pipe;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_opened{false};
    std::thread m_thread; // last: it starts once the members above are ready
};

} // namespace lithora::test
