#include "datafiles/regular_file.h"

#include <string>

#if defined(_WIN32)
#include <sys/stat.h>
#include <sys/types.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace lithora {

namespace {

Error notFound(const std::filesystem::path& path) {
    return makeError(ErrorCode::NotFound, "file not found: " + path.string());
}

Error cannotRead(const std::filesystem::path& path) {
    return makeError(ErrorCode::Unreadable, "cannot read " + path.string());
}

// Why a file that would not open could not: gone, or there and unreadable.
Error openFailure(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec) ? cannotRead(path) : notFound(path);
}

} // namespace

Result<std::FILE*> openRegularFile(const std::filesystem::path& path) {
    // What the path names (a symbolic link followed), before opening anything: a device is
    // never opened at all.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) return notFound(path);
    if (!std::filesystem::is_regular_file(status)) return cannotRead(path);
#if defined(_WIN32)
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return openFailure(path);
    struct _stat64 opened;
    if (_fstat64(_fileno(f), &opened) != 0 || (opened.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(f);
        return cannotRead(path);
    }
    return f;
#else
    // O_NONBLOCK: should a pipe have taken the file's place since the check above, the open
    // returns at once instead of waiting for a writer; the descriptor's own type decides.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return openFailure(path);
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        return cannotRead(path);
    }
    // A regular file reads the same either way; the flag goes so the reads block as usual.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return cannotRead(path);
    }
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return cannotRead(path);
    }
    return f;
#endif
}

} // namespace lithora
