#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "source/source_format.h"

// One tab-separated file of a source directory as read, before its cells mean anything: the
// reading every source file shares (source_format.cpp).
namespace lithora {

struct TsvRow {
    int line = 0;
    std::vector<std::string> cells; // unescaped; a cell that does not unescape as written
};

struct TsvFile {
    std::string name;
    std::vector<TsvRow> rows;
    // The first cell of each line whose column count is wrong, as written.
    std::vector<std::string> unreadFirstCells;
};

// Reads one file: header check, column count, cell escapes. Problems are appended; a line with a
// bad cell is kept (that cell as written) so that the rules across rows still see it.
// nameColumn is the column whose letters may become escape codes (none when out of range).
TsvFile readTsv(const std::filesystem::path& dir, const char* name,
                const std::vector<std::string_view>& columns, std::size_t nameColumn,
                std::vector<SourceProblem>& problems);

// Card numbers are written plainly: 1 to 10000, no sign, no leading zero, no blanks. 0 for any
// other text.
int parseCard(std::string_view text);

} // namespace lithora
