#pragma once

#include <cstdio>
#include <filesystem>

#include "base/result.h"

namespace lithora {

// Opens a file for reading only, and only when it is a regular file. A named pipe, a directory,
// a device or a socket in its place is refused at once: opening a pipe for reading waits for a
// writer that never comes, and a device such as /dev/zero never ends. The file is opened without
// waiting and its type checked on the open descriptor, so nothing put in its place in between
// gets through. Both errors name the file: "file not found: PATH" when nothing is there,
// "cannot read PATH" for anything that is there but cannot be read as a file.
Result<std::FILE*> openRegularFile(const std::filesystem::path& path);

} // namespace lithora
