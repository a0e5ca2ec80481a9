#include "source/source_format.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "source/pattern_source.h"
#include "source/records.h"
#include "source/tsv_file.h"
#include "text/codepage.h"
#include "text/escapes.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

TsvFile readTsv(const std::filesystem::path& dir, const char* name,
                const std::vector<std::string_view>& columns, std::size_t nameColumn,
                std::vector<SourceProblem>& problems) {
    TsvFile file{name, {}, {}};
    Result<std::string> content = readWholeFile(dir / name);
    if (!content) {
        problems.push_back({name, 0, "", content.error().message});
        return file;
    }
    const std::string& text = content.value();
    std::size_t pos = 0;
    int lineNumber = 0;
    bool headerSeen = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view line = std::string_view(text).substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!headerSeen) {
            headerSeen = true;
            const std::vector<std::string_view> header = splitExact(line, '\t');
            if (header != columns) {
                std::string expected;
                for (std::string_view c : columns)
                    expected += (expected.empty() ? "" : " ") + std::string(c);
                // Without the right columns no cell below can be placed, so the file stops here.
                std::size_t first = 0;
                while (first < header.size() && first < columns.size() &&
                       header[first] == columns[first])
                    ++first;
                const bool named = first < columns.size();
                problems.push_back({name, 1, named ? std::string(columns[first]) : "",
                                    "header must be the columns: " + expected +
                                        "; the rest of the file was not read",
                                    static_cast<int>(first) + 1});
                return file;
            }
            continue;
        }
        if (line.empty()) continue;
        const std::vector<std::string_view> cells = splitExact(line, '\t');
        if (cells.size() != columns.size()) {
            problems.push_back({name, lineNumber, "",
                                "has " + std::to_string(cells.size()) + " columns, expected " +
                                    std::to_string(columns.size())});
            file.unreadFirstCells.emplace_back(cells.front());
            continue;
        }
        TsvRow row{lineNumber, std::vector<std::string>(cells.size())};
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::string why;
            if (!unescapeCell(cells[i], i == nameColumn, row.cells[i], why)) {
                problems.push_back(
                    {name, lineNumber, std::string(columns[i]), why, static_cast<int>(i) + 1});
                row.cells[i] = std::string(cells[i]);
            }
        }
        file.rows.push_back(std::move(row));
    }
    if (!headerSeen) problems.push_back({name, 1, "", "the header line is missing"});
    return file;
}

namespace {

template <std::size_t N>
std::vector<std::string_view> columnList(const std::array<std::string_view, N>& a) {
    return std::vector<std::string_view>(a.begin(), a.end());
}

} // namespace

int parseCard(std::string_view text) {
    if (text.empty() || text.size() > 5 || text[0] == '0') return 0;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return 0;
    return value >= 1 && value <= kMaxCardNumber ? value : 0;
}

namespace {

bool isNumberWord(std::string_view word) {
    if (word.empty()) return false;
    std::size_t digits = 0;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (!(c == '.' || (i == 0 && (c == '-' || c == '+')))) {
            return false;
        }
    }
    return digits > 0;
}

} // namespace

std::string SourceProblem::text() const {
    std::string out = file;
    if (line > 0) {
        out += ":" + std::to_string(line);
        if (columnNumber > 0) out += ":" + std::to_string(columnNumber);
    }
    if (!column.empty()) out += ": column " + column;
    return out + ": " + why;
}

void sortProblems(std::vector<SourceProblem>& problems) {
    auto fileRank = [](const std::string& file) {
        if (file == kEntriesFile) return 1;
        if (file == kReferencesFile) return 2;
        if (file == kOpticsFile) return 3;
        if (file == kPatternsFile) return 4;
        // Any other name is the source directory itself, which comes before what is in it.
        return 0;
    };
    std::stable_sort(problems.begin(), problems.end(),
                     [&](const SourceProblem& a, const SourceProblem& b) {
                         const int ra = fileRank(a.file);
                         const int rb = fileRank(b.file);
                         if (ra != rb) return ra < rb;
                         if (a.line != b.line) return a.line < b.line;
                         return a.columnNumber < b.columnNumber;
                     });
}

std::vector<std::string> problemLines(const std::vector<std::string>& problems, std::size_t limit) {
    std::vector<std::string> lines(
        problems.begin(),
        problems.begin() + static_cast<std::ptrdiff_t>(std::min(limit, problems.size())));
    if (problems.size() > limit)
        lines.push_back("and " + std::to_string(problems.size() - limit) + " more");
    return lines;
}

std::vector<std::string> problemLines(const std::vector<SourceProblem>& problems,
                                      std::size_t limit) {
    std::vector<std::string> texts;
    texts.reserve(problems.size());
    for (const SourceProblem& p : problems)
        texts.push_back(p.text());
    return problemLines(texts, limit);
}

bool unescapeCell(std::string_view cell, bool nameColumn, std::string& bytes, std::string& why) {
    bytes.clear();
    std::size_t pos = 0;
    while (pos < cell.size()) {
        const char c = cell[pos];
        if (c == '\\') {
            if (pos + 1 >= cell.size()) {
                why = "a backslash ends the cell (write \\\\ for a backslash)";
                return false;
            }
            const char e = cell[pos + 1];
            pos += 2;
            switch (e) {
            case '\\':
                bytes.push_back('\\');
                break;
            case 't':
                bytes.push_back('\t');
                break;
            case 'n':
                bytes.push_back('\n');
                break;
            case 'r':
                bytes.push_back('\r');
                break;
            case 'x': {
                const int hi = pos < cell.size() ? hexDigit(cell[pos]) : -1;
                const int lo = pos + 1 < cell.size() ? hexDigit(cell[pos + 1]) : -1;
                if (hi < 0 || lo < 0) {
                    why = "\\x must be followed by two hex digits";
                    return false;
                }
                bytes.push_back(static_cast<char>(hi * 16 + lo));
                pos += 2;
                break;
            }
            default:
                why = std::string("unknown escape \\") + e;
                return false;
            }
            continue;
        }
        const std::size_t start = pos;
        const char32_t cp = nextCodePoint(cell, pos);
        const int byte = codePointToCp1252(cp);
        if (cp == 0xFFFD && pos - start == 1) {
            why = "the text is not valid UTF-8";
            return false;
        }
        if (byte >= 0) {
            bytes.push_back(static_cast<char>(byte));
            continue;
        }
        const std::string_view code = nameColumn ? escapeCodeForLetter(cp) : std::string_view();
        if (code.empty()) {
            std::string letter;
            appendUtf8(letter, cp);
            why = "the character " + letter + " cannot be stored (Windows-1252 lacks it)";
            return false;
        }
        bytes.append(code);
    }
    if (bytes.find('|') != std::string::npos) {
        why = "a cell may not contain |";
        return false;
    }
    return true;
}

std::string escapeCell(std::string_view bytes) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            continue;
        case '\t':
            out += "\\t";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        default:
            break;
        }
        const char32_t cp = cp1252ToCodePoint(b);
        if (b < 0x20 || b == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            out += "\\x";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0xF]);
        } else {
            appendUtf8(out, cp);
        }
    }
    return out;
}

namespace {

int entryColumnNumber(std::string_view column) {
    for (std::size_t i = 0; i < kEntryColumns.size(); ++i) {
        if (kEntryColumns[i] == column) return static_cast<int>(i) + 1;
    }
    return 0;
}

// The rules across rows and files. unreadCards are the cards of entry lines that could not be
// split into their columns: rows of the other files that name them are not blamed for it. When
// entries.tsv could not be read at all, no row of the other files is blamed for naming a card.
std::vector<SourceProblem> validateRows(const SourceSet& set, const std::set<int>& unreadCards,
                                        bool entriesRead = true) {
    std::vector<SourceProblem> problems;
    std::map<int, int> cardLine; // card -> line of its entry
    if (entriesRead && set.entries.empty() && unreadCards.empty())
        problems.push_back({kEntriesFile, 0, "", "the data set has no entries"});
    for (const SourceEntry& e : set.entries) {
        auto problem = [&](std::string_view column, std::string why) {
            problems.push_back({kEntriesFile, e.line, std::string(column), std::move(why),
                                entryColumnNumber(column)});
        };
        const int card = parseCard(e.cells[FieldCard]);
        if (card == 0) {
            problem("card", "must be a whole number from 1 to 10000");
        } else if (const auto [it, inserted] = cardLine.emplace(card, e.line); !inserted) {
            problem("card", "card " + std::to_string(card) + " is already used on line " +
                                std::to_string(it->second));
        }
        if (trimBlanks(e.cells[FieldName]).empty()) problem("name", "an entry needs a name");
        for (std::size_t i = 0; i < e.cells.size(); ++i) {
            if (e.cells[i].find('|') != std::string::npos)
                problem(kEntryColumns[i], "a cell may not contain |");
        }
        const std::size_t length = entryRecordText(e).size();
        if (length > static_cast<std::size_t>(kMaxEntryRecordLength)) {
            problem("", "the record is " + std::to_string(length) +
                            " bytes long; at most 2023 can be read");
        }
        const std::string& cell = e.cells[FieldCell];
        if (!cell.empty()) {
            const std::vector<std::string> w = splitWords(cell);
            bool numbers = w.size() >= 7;
            for (std::size_t i = 0; numbers && i < 7; ++i)
                numbers = isNumberWord(w[i]);
            if (!numbers) {
                problem("cell", "must be empty or seven numbers: a b c alpha beta gamma volume");
            } else if (numericValue(w[0]) == 0.0f || numericValue(w[1]) == 0.0f) {
                problem("cell", "the edges a and b may not be 0");
            }
        }
    }
    auto knownCard = [&](int card) {
        return !entriesRead || cardLine.count(card) || unreadCards.count(card);
    };

    std::set<int> cardsWithReferences;
    int previousCard = 0;
    for (const SourceReference& r : set.references) {
        if (r.card == 0 || !knownCard(r.card)) {
            problems.push_back(
                {kReferencesFile, r.line, "card", "no entry has this card number", 1});
            previousCard = 0;
            continue;
        }
        if (r.card != previousCard && !cardsWithReferences.insert(r.card).second) {
            problems.push_back(
                {kReferencesFile, r.line, "card",
                 "the references of card " + std::to_string(r.card) + " must be consecutive rows",
                 1});
        }
        previousCard = r.card;
        if (r.reference.find('|') != std::string::npos)
            problems.push_back(
                {kReferencesFile, r.line, "reference", "a cell may not contain |", 2});
        if (r.addition.find('|') != std::string::npos)
            problems.push_back(
                {kReferencesFile, r.line, "addition", "a cell may not contain |", 3});
    }

    if (set.patterns) validatePatterns(*set.patterns, knownCard, problems);

    std::set<int> cardsWithOptics;
    for (const SourceOptics& o : set.optics) {
        if (o.card == 0 || !knownCard(o.card)) {
            problems.push_back({kOpticsFile, o.line, "card", "no entry has this card number", 1});
        } else if (!cardsWithOptics.insert(o.card).second) {
            problems.push_back({kOpticsFile, o.line, "card",
                                "card " + std::to_string(o.card) + " already has an optical row",
                                1});
        }
        for (std::size_t i = 0; i < o.fields.size(); ++i) {
            if (o.fields[i].find('|') != std::string::npos) {
                problems.push_back({kOpticsFile, o.line, std::string(kOpticsFieldColumns[i]),
                                    "a cell may not contain |", static_cast<int>(i) + 2});
            }
        }
    }
    sortProblems(problems);
    return problems;
}

} // namespace

std::vector<SourceProblem> validateSource(const SourceSet& set) {
    return validateRows(set, {});
}

SourceReadResult readSource(const std::filesystem::path& dir) {
    SourceReadResult result;
    std::vector<SourceProblem>& problems = result.problems;
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        problems.push_back({dir.string(), 0, "", "no such source directory"});
        return result;
    }

    const TsvFile entries =
        readTsv(dir, kEntriesFile, columnList(kEntryColumns), FieldName, problems);
    for (const TsvRow& row : entries.rows) {
        SourceEntry e;
        std::copy(row.cells.begin(), row.cells.end(), e.cells.begin());
        e.line = row.line;
        result.set.entries.push_back(std::move(e));
    }
    std::set<int> unreadCards;
    for (const std::string& first : entries.unreadFirstCells) {
        if (const int card = parseCard(first); card != 0) unreadCards.insert(card);
    }

    const TsvFile references =
        readTsv(dir, kReferencesFile, columnList(kReferenceColumns), 99, problems);
    for (const TsvRow& row : references.rows) {
        const int card = parseCard(row.cells[0]);
        if (card == 0) {
            problems.push_back(
                {kReferencesFile, row.line, "card", "must be a whole number from 1 to 10000", 1});
            continue;
        }
        result.set.references.push_back({card, row.cells[1], row.cells[2], row.line});
    }

    std::vector<std::string_view> opticsColumns{"card"};
    opticsColumns.insert(opticsColumns.end(), kOpticsFieldColumns.begin(),
                         kOpticsFieldColumns.end());
    const TsvFile optics = readTsv(dir, kOpticsFile, opticsColumns, 99, problems);
    for (const TsvRow& row : optics.rows) {
        const int card = parseCard(row.cells[0]);
        if (card == 0) {
            problems.push_back(
                {kOpticsFile, row.line, "card", "must be a whole number from 1 to 10000", 1});
            continue;
        }
        SourceOptics o;
        o.card = card;
        o.line = row.line;
        std::copy(row.cells.begin() + 1, row.cells.end(), o.fields.begin());
        result.set.optics.push_back(std::move(o));
    }

    // patterns.tsv is optional: only a file that is there (or something else in its place) is read.
    std::error_code missing;
    if (std::filesystem::symlink_status(dir / kPatternsFile, missing).type() !=
        std::filesystem::file_type::not_found) {
        const TsvFile patterns = readTsv(dir, kPatternsFile, columnList(kPatternColumns),
                                         kPatternColumns.size(), problems);
        result.set.patterns = patternsFromRows(patterns.rows, problems);
    }

    // The rules run on whatever was read, so that one bad cell does not hide the faults of other
    // rows; what they would say of a cell already found bad is left out. A missing entries.tsv,
    // or one with a wrong header, gives no rows to check the card numbers of the others against.
    bool entriesRead = true;
    std::set<std::tuple<std::string, int, int>> badCells;
    for (const SourceProblem& p : problems) {
        if (p.file == kEntriesFile && p.line <= 1) entriesRead = false;
        if (p.columnNumber > 0) badCells.emplace(p.file, p.line, p.columnNumber);
    }
    for (SourceProblem& p : validateRows(result.set, unreadCards, entriesRead)) {
        if (p.columnNumber > 0 && badCells.count({p.file, p.line, p.columnNumber})) continue;
        problems.push_back(std::move(p));
    }
    sortProblems(problems);
    return result;
}

Status writeSource(const SourceSet& set, const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    auto writeFile = [&](const char* name, const std::string& content) -> Status {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        if (!out) return makeError(ErrorCode::WriteFailed, "cannot write " + (dir / name).string());
        return Ok{};
    };
    auto joinRow = [](std::string& out, auto&& cells) {
        bool first = true;
        for (const auto& c : cells) {
            if (!first) out.push_back('\t');
            first = false;
            out += c;
        }
        out.push_back('\n');
    };

    std::string entries;
    joinRow(entries, kEntryColumns);
    for (const SourceEntry& e : set.entries) {
        std::vector<std::string> cells;
        for (const std::string& c : e.cells)
            cells.push_back(escapeCell(c));
        cells[FieldName] = lettersForEscapeCodes(cells[FieldName]);
        joinRow(entries, cells);
    }
    std::string references;
    joinRow(references, kReferenceColumns);
    for (const SourceReference& r : set.references) {
        joinRow(references,
                std::vector<std::string>{std::to_string(r.card), escapeCell(r.reference),
                                         escapeCell(r.addition)});
    }
    std::string optics;
    std::vector<std::string_view> header{"card"};
    header.insert(header.end(), kOpticsFieldColumns.begin(), kOpticsFieldColumns.end());
    joinRow(optics, header);
    for (const SourceOptics& o : set.optics) {
        std::vector<std::string> cells{std::to_string(o.card)};
        for (const std::string& f : o.fields)
            cells.push_back(escapeCell(f));
        joinRow(optics, cells);
    }
    if (Status s = writeFile(kEntriesFile, entries); !s) return s;
    if (Status s = writeFile(kReferencesFile, references); !s) return s;
    if (Status s = writeFile(kOpticsFile, optics); !s) return s;
    if (set.patterns) return writeFile(kPatternsFile, patternsText(*set.patterns));
    std::filesystem::remove(dir / kPatternsFile, ec);
    if (ec)
        return makeError(ErrorCode::WriteFailed, "cannot remove " + (dir / kPatternsFile).string());
    return Ok{};
}

} // namespace lithora
