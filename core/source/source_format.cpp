#include "source/source_format.h"

#include <charconv>
#include <fstream>
#include <map>
#include <set>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "source/records.h"
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

struct TsvFile {
    std::string name;
    std::vector<std::pair<int, std::vector<std::string>>> rows; // line number, unescaped cells
};

// Reads one file: header check, column count, cell escapes. Problems are appended.
TsvFile readTsv(const std::filesystem::path& dir, const char* name,
                const std::vector<std::string_view>& columns, std::size_t nameColumn,
                std::vector<SourceProblem>& problems) {
    TsvFile file{name, {}};
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
                problems.push_back({name, 1, "", "header must be the columns: " + expected});
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
            continue;
        }
        std::vector<std::string> row(cells.size());
        bool good = true;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::string why;
            if (!unescapeCell(cells[i], i == nameColumn, row[i], why)) {
                problems.push_back({name, lineNumber, std::string(columns[i]), why});
                good = false;
            }
        }
        if (good) file.rows.emplace_back(lineNumber, std::move(row));
    }
    if (!headerSeen) problems.push_back({name, 1, "", "the header line is missing"});
    return file;
}

template <std::size_t N>
std::vector<std::string_view> columnList(const std::array<std::string_view, N>& a) {
    return std::vector<std::string_view>(a.begin(), a.end());
}

// Card numbers are written plainly: 1 to 10000, no sign, no leading zero, no blanks.
int parseCard(std::string_view text) {
    if (text.empty() || text.size() > 5 || text[0] == '0') return 0;
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return 0;
    return value >= 1 && value <= kMaxCardNumber ? value : 0;
}

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
    if (line > 0) out += ":" + std::to_string(line);
    if (!column.empty()) out += ": column " + column;
    return out + ": " + why;
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

std::vector<SourceProblem> validateSource(const SourceSet& set) {
    std::vector<SourceProblem> problems;
    std::map<int, int> cardLine; // card -> line of its entry
    if (set.entries.empty())
        problems.push_back({kEntriesFile, 0, "", "the data set has no entries"});
    for (const SourceEntry& e : set.entries) {
        auto problem = [&](std::string_view column, std::string why) {
            problems.push_back({kEntriesFile, e.line, std::string(column), std::move(why)});
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

    std::set<int> cardsWithReferences;
    int previousCard = 0;
    for (const SourceReference& r : set.references) {
        if (r.card == 0 || !cardLine.count(r.card)) {
            problems.push_back({kReferencesFile, r.line, "card", "no entry has this card number"});
            continue;
        }
        if (r.card != previousCard && !cardsWithReferences.insert(r.card).second) {
            problems.push_back(
                {kReferencesFile, r.line, "card",
                 "the references of card " + std::to_string(r.card) + " must be consecutive rows"});
        }
        previousCard = r.card;
        if (r.reference.find('|') != std::string::npos ||
            r.addition.find('|') != std::string::npos) {
            problems.push_back({kReferencesFile, r.line, "", "a cell may not contain |"});
        }
    }

    std::set<int> cardsWithOptics;
    for (const SourceOptics& o : set.optics) {
        if (o.card == 0 || !cardLine.count(o.card)) {
            problems.push_back({kOpticsFile, o.line, "card", "no entry has this card number"});
        } else if (!cardsWithOptics.insert(o.card).second) {
            problems.push_back({kOpticsFile, o.line, "card",
                                "card " + std::to_string(o.card) + " already has an optical row"});
        }
        for (std::size_t i = 0; i < o.fields.size(); ++i) {
            if (o.fields[i].find('|') != std::string::npos) {
                problems.push_back({kOpticsFile, o.line, std::string(kOpticsFieldColumns[i]),
                                    "a cell may not contain |"});
            }
        }
    }
    return problems;
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
    for (const auto& [line, cells] : entries.rows) {
        SourceEntry e;
        std::move(cells.begin(), cells.end(), e.cells.begin());
        e.line = line;
        result.set.entries.push_back(std::move(e));
    }

    const TsvFile references =
        readTsv(dir, kReferencesFile, columnList(kReferenceColumns), 99, problems);
    for (const auto& [line, cells] : references.rows) {
        const int card = parseCard(cells[0]);
        if (card == 0) {
            problems.push_back(
                {kReferencesFile, line, "card", "must be a whole number from 1 to 10000"});
            continue;
        }
        result.set.references.push_back({card, cells[1], cells[2], line});
    }

    std::vector<std::string_view> opticsColumns{"card"};
    opticsColumns.insert(opticsColumns.end(), kOpticsFieldColumns.begin(),
                         kOpticsFieldColumns.end());
    const TsvFile optics = readTsv(dir, kOpticsFile, opticsColumns, 99, problems);
    for (const auto& [line, cells] : optics.rows) {
        const int card = parseCard(cells[0]);
        if (card == 0) {
            problems.push_back(
                {kOpticsFile, line, "card", "must be a whole number from 1 to 10000"});
            continue;
        }
        SourceOptics o;
        o.card = card;
        o.line = line;
        std::move(cells.begin() + 1, cells.end(), o.fields.begin());
        result.set.optics.push_back(std::move(o));
    }

    if (problems.empty()) problems = validateSource(result.set);
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
    return writeFile(kOpticsFile, optics);
}

} // namespace lithora
