#include "datafiles/datadir.h"

namespace lithora {

std::filesystem::path resourceDirectory(const std::filesystem::path& executable) {
    const std::filesystem::path own = executable.parent_path();
    std::error_code ec;
    if (std::filesystem::is_directory(own / "INDEX", ec)) return own;
    const std::filesystem::path installed = own.parent_path() / "share" / "lithora";
    if (std::filesystem::is_directory(installed / "INDEX", ec)) return installed;
    return own;
}

std::filesystem::path dataDirectoryBeside(const std::filesystem::path& executable) {
    return resourceDirectory(executable) / "INDEX";
}

} // namespace lithora
