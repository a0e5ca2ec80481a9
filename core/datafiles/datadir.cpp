#include "datafiles/datadir.h"

namespace lithora {

std::filesystem::path dataDirectoryBeside(const std::filesystem::path& executable) {
    return executable.parent_path() / "INDEX";
}

} // namespace lithora
