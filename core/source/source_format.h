#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "source/source_set.h"

// The readable source of a data set: entries.tsv, references.tsv, optics.tsv and, when the set
// has reference patterns, patterns.tsv; UTF-8, tab-separated, a header line of fixed column
// names, escapes inside cells.
namespace lithora {

inline constexpr const char* kEntriesFile = "entries.tsv";
inline constexpr const char* kReferencesFile = "references.tsv";
inline constexpr const char* kOpticsFile = "optics.tsv";
// The reference patterns: optional, a source without it packs no lithora.p.
inline constexpr const char* kPatternsFile = "patterns.tsv";

struct SourceProblem {
    std::string file;
    int line = 0;       // physical line, the header being line 1; 0 for the file as a whole
    std::string column; // column name, or empty
    std::string why;
    int columnNumber = 0; // 1 for the first tab-separated column; 0 when no cell is at fault

    // "entries.tsv:7:3: column formula: why"; the position ends where it is not known.
    std::string text() const;
};

struct SourceReadResult {
    SourceSet set;
    // Every problem found, in file order (entries, references, optics, patterns), then line, then
    // column;
    // empty when the source is sound. Rows with a bad cell stay in the set (that cell as written)
    // so that the rules across rows still see them; a set with problems is never packed.
    std::vector<SourceProblem> problems;
};

// Reads and checks a source directory: the three files and patterns.tsv when it is there, their
// headers and cells, then every rule a packed set relies on (validateSource). A file whose
// header is wrong is not read further.
SourceReadResult readSource(const std::filesystem::path& dir);

// The rules across rows and files: card numbers, names, record lengths, the unit cell, the
// references, optical rows and patterns of known cards, every value of a pattern. Sorted as
// readSource sorts.
std::vector<SourceProblem> validateSource(const SourceSet& set);

// Sorts problems by file (a problem of the directory first, then entries.tsv, references.tsv,
// optics.tsv, patterns.tsv), line and column; problems at one place keep their order.
void sortProblems(std::vector<SourceProblem>& problems);

// How many problems a tool lists before it sums up the rest.
inline constexpr std::size_t kListedProblemLimit = 50;

// The lines a tool prints for a list of problems: the first `limit`, then "and N more".
std::vector<std::string> problemLines(const std::vector<std::string>& problems,
                                      std::size_t limit = kListedProblemLimit);
std::vector<std::string> problemLines(const std::vector<SourceProblem>& problems,
                                      std::size_t limit = kListedProblemLimit);

// Writes the three files, and patterns.tsv when the set has patterns (else a patterns.tsv there
// is removed, so that the directory holds the set and no more); the directory is created when
// missing. Names show the letters their escape codes stand for.
Status writeSource(const SourceSet& set, const std::filesystem::path& dir);

// A cell's text into the bytes of its record. In the name column the letters the code page
// lacks but the records write as codes (č ć ň ń ě ř ő Č) become those codes.
bool unescapeCell(std::string_view cell, bool nameColumn, std::string& bytes, std::string& why);

// The bytes of a record's field as a cell: backslash, tab, line feed and carriage return as
// their escapes, control characters and the five undefined codes as \xHH, the rest as UTF-8.
std::string escapeCell(std::string_view bytes);

} // namespace lithora
