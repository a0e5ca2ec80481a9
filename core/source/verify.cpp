#include "source/verify.h"

#include <algorithm>
#include <map>
#include <set>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "datafiles/reference_patterns.h"
#include "source/packer.h"
#include "source/records.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

class Checker {
  public:
    Checker(const std::filesystem::path& dir, std::string_view key) : m_dir(dir), m_key(key) {}

    std::vector<std::string> run() {
        for (const char* name : PackedSet::kNames) {
            Result<std::string> bytes = readWholeFile(m_dir / name);
            if (bytes) {
                m_files[name] = std::move(bytes).value();
            } else {
                problem(name, bytes.error().message);
            }
        }
        if (m_problems.empty()) {
            checkTables();
            checkEntries();
            checkElements();
            checkReferences();
            checkOptics();
            checkPatterns();
        }
        // Listed by file, then by byte: what concerns a file as a whole before its records.
        std::stable_sort(m_problems.begin(), m_problems.end(),
                         [](const Problem& a, const Problem& b) {
                             if (a.fileRank != b.fileRank) return a.fileRank < b.fileRank;
                             return a.byte < b.byte;
                         });
        std::vector<std::string> texts;
        texts.reserve(m_problems.size());
        for (Problem& p : m_problems)
            texts.push_back(std::move(p.text));
        return texts;
    }

  private:
    struct Problem {
        std::size_t fileRank; // index in PackedSet::kNames
        std::int64_t byte;    // -1 for the file as a whole
        std::string text;
    };

    void problem(std::string_view file, const std::string& why, std::int64_t byte = -1) {
        const auto& names = PackedSet::kNames;
        const auto rank =
            static_cast<std::size_t>(std::find(names.begin(), names.end(), file) - names.begin());
        m_problems.push_back({rank, byte, std::string(file) + ": " + why});
    }
    void problemAt(std::string_view file, std::int64_t position, const std::string& why) {
        problem(file, "byte " + std::to_string(position - 1) + ": " + why, position - 1);
    }

    std::vector<std::int32_t> int32Table(const char* name) {
        const std::string& bytes = m_files[name];
        if (bytes.size() % 4 != 0)
            problem(name, "its length " + std::to_string(bytes.size()) + " is not a multiple of 4");
        std::vector<std::int32_t> table(bytes.size() / 4);
        for (std::size_t i = 0; i < table.size(); ++i) {
            table[i] = readInt32LE(reinterpret_cast<const unsigned char*>(bytes.data() + 4 * i));
        }
        return table;
    }

    void checkTables() {
        const std::string& d = m_files[DataFiles::kEntryOfCardTable];
        if (d.size() != 2 * kCardTableSize) {
            problem(DataFiles::kEntryOfCardTable,
                    "is " + std::to_string(d.size()) + " bytes long, expected 20002");
        }
        m_entryOfCard.assign(kCardTableSize, 0);
        for (std::size_t c = 0; c < kCardTableSize && 2 * c + 2 <= d.size(); ++c) {
            m_entryOfCard[c] =
                readInt16LE(reinterpret_cast<const unsigned char*>(d.data() + 2 * c));
        }
        m_entryCount = m_entryOfCard[0];
        if (m_entryCount < 1 || m_entryCount > kMaxCardNumber) {
            problem(DataFiles::kEntryOfCardTable,
                    "the entry count " + std::to_string(m_entryCount) + " is outside 1..10000");
        }
        m_recordPosition = int32Table(DataFiles::kRecordPositionTable);
        if (m_recordPosition.size() < static_cast<std::size_t>(std::max(m_entryCount, 0)) + 1) {
            problem(DataFiles::kRecordPositionTable,
                    "holds " + std::to_string(m_recordPosition.size()) +
                        " positions, fewer than the entry count + 1");
        }
        m_referencePosition = int32Table(DataFiles::kReferenceTable);
        if (m_referencePosition.size() != kCardTableSize) {
            problem(DataFiles::kReferenceTable,
                    "is " + std::to_string(m_files[DataFiles::kReferenceTable].size()) +
                        " bytes long, expected 40004");
        }
        m_opticalPosition = int32Table(DataFiles::kOpticsTable);
        if (m_opticalPosition.size() != kCardTableSize) {
            problem(DataFiles::kOpticsTable,
                    "is " + std::to_string(m_files[DataFiles::kOpticsTable].size()) +
                        " bytes long, expected 40004");
        }
    }

    void checkEntries() {
        SequentialRecords records(m_files[DataFiles::kEntries]);
        if (!records.next()) problem(DataFiles::kEntries, "the header record is cut short");
        int k = 0;
        while (!records.atEnd()) {
            const auto raw = records.next();
            if (!raw) {
                problem(DataFiles::kEntries,
                        "the last record is cut short or its length is damaged");
                break;
            }
            ++k;
            if (raw->length < 1 || raw->length > kMaxEntryRecordLength) {
                problemAt(DataFiles::kEntries, raw->position,
                          "length " + std::to_string(raw->length) + " is outside 1..2023");
                continue;
            }
            if (static_cast<std::size_t>(k) >= m_recordPosition.size() ||
                m_recordPosition[static_cast<std::size_t>(k)] != raw->position) {
                problemAt(DataFiles::kEntries, raw->position,
                          "lithora.g does not give this position for entry " + std::to_string(k));
            }
            const std::string text = unscramble(raw->body, m_key);
            const std::vector<std::string> fields = splitFields(text);
            if (std::count(text.begin(), text.end(), '|') != 27) {
                problemAt(DataFiles::kEntries, raw->position,
                          "entry " + std::to_string(k) + " does not have 28 fields");
            }
            const std::string& cardText = fieldOrEmpty(fields, 0);
            const float value = numericValue(cardText);
            const int card = value >= 1 && value <= kMaxCardNumber ? static_cast<int>(value) : 0;
            if (card == 0 || std::to_string(card) != cardText) {
                problemAt(DataFiles::kEntries, raw->position,
                          "entry " + std::to_string(k) + " has no valid card number");
                m_elementsOfEntry.push_back(normalizeBlanks(fieldOrEmpty(fields, 27)));
                continue;
            }
            if (!m_cards.insert(card).second) {
                problemAt(DataFiles::kEntries, raw->position,
                          "card " + std::to_string(card) + " appears twice");
            }
            if (m_entryOfCard[static_cast<std::size_t>(card)] != k) {
                problem(DataFiles::kEntryOfCardTable,
                        "card " + std::to_string(card) + " maps to entry " +
                            std::to_string(m_entryOfCard[static_cast<std::size_t>(card)]) +
                            ", but it is entry " + std::to_string(k));
            }
            if (trimBlanks(fieldOrEmpty(fields, 1)).empty()) {
                problemAt(DataFiles::kEntries, raw->position,
                          "card " + std::to_string(card) + " has no name");
            }
            m_elementsOfEntry.push_back(normalizeBlanks(fieldOrEmpty(fields, 27)));
        }
        if (k != m_entryCount) {
            problem(DataFiles::kEntries, "holds " + std::to_string(k) +
                                             " entries, lithora.d says " +
                                             std::to_string(m_entryCount));
        }
        for (std::size_t c = 1; c < m_entryOfCard.size(); ++c) {
            if (m_entryOfCard[c] != 0 && !m_cards.count(static_cast<int>(c))) {
                problem(DataFiles::kEntryOfCardTable,
                        "card " + std::to_string(c) + " maps to entry " +
                            std::to_string(m_entryOfCard[c]) + ", but no entry has that card");
            }
        }
    }

    void checkElements() {
        SequentialRecords records(m_files[DataFiles::kElements]);
        if (!records.next()) problem(DataFiles::kElements, "the header record is cut short");
        std::size_t r = 0;
        while (!records.atEnd()) {
            const auto raw = records.next();
            if (!raw) {
                problem(DataFiles::kElements,
                        "the last record is cut short or its length is damaged");
                break;
            }
            const std::string text = raw->length < 1 ? std::string() : unscramble(raw->body, m_key);
            if (r < m_elementsOfEntry.size() && text != m_elementsOfEntry[r]) {
                problemAt(DataFiles::kElements, raw->position,
                          "record " + std::to_string(r + 1) +
                              " differs from the elements of entry " + std::to_string(r + 1));
            }
            ++r;
        }
        if (r != m_elementsOfEntry.size()) {
            problem(DataFiles::kElements, "holds " + std::to_string(r) + " element records for " +
                                              std::to_string(m_elementsOfEntry.size()) +
                                              " entries");
        }
    }

    void checkReferences() {
        SequentialRecords records(m_files[DataFiles::kReferences]);
        std::map<int, std::int64_t> firstOfCard;
        int previous = 0;
        while (!records.atEnd()) {
            const auto raw = records.next();
            if (!raw) {
                problem(DataFiles::kReferences,
                        "the last record is cut short or its length is damaged");
                break;
            }
            const std::string text = raw->length < 1 ? std::string() : unscramble(raw->body, m_key);
            const std::size_t bar = text.find('|');
            const float value = bar == std::string::npos ? 0.0f : numericValue(text.substr(0, bar));
            const int card = value >= 1 && value <= kMaxCardNumber ? static_cast<int>(value) : 0;
            if (card == 0 || !m_cards.count(card)) {
                problemAt(DataFiles::kReferences, raw->position,
                          "the reference belongs to no card of the entry index");
                previous = 0;
                continue;
            }
            if (card != previous && !firstOfCard.emplace(card, raw->position).second) {
                problemAt(DataFiles::kReferences, raw->position,
                          "the references of card " + std::to_string(card) +
                              " are not consecutive");
            }
            previous = card;
        }
        if (!firstOfCard.empty() && firstOfCard.count(1) && firstOfCard[1] != 1) {
            problem(DataFiles::kReferences, "the references of card 1 must be the first records");
        }
        for (std::size_t c = 2; c < m_referencePosition.size(); ++c) {
            const auto it = firstOfCard.find(static_cast<int>(c));
            const std::int64_t expected = it == firstOfCard.end() ? 0 : it->second;
            if (m_referencePosition[c] != expected) {
                // A position beyond lithora.b says where the damage is more likely to lie.
                const auto size = static_cast<std::int64_t>(m_files[DataFiles::kReferences].size());
                const std::string beyond =
                    m_referencePosition[c] > size
                        ? " (past the end of lithora.b, " + std::to_string(size) + " bytes)"
                        : std::string();
                problem(DataFiles::kReferenceTable, "card " + std::to_string(c) + " points at " +
                                                        std::to_string(m_referencePosition[c]) +
                                                        beyond + ", its first reference is at " +
                                                        std::to_string(expected));
            }
        }
    }

    void checkOptics() {
        SequentialRecords records(m_files[DataFiles::kOptics]);
        std::set<std::int64_t> starts;
        while (!records.atEnd()) {
            const auto raw = records.next();
            if (!raw) {
                problem(DataFiles::kOptics,
                        "the last record is cut short or its length is damaged");
                break;
            }
            starts.insert(raw->position);
            const std::string text = raw->length < 1 ? std::string() : unscramble(raw->body, m_key);
            if (std::count(text.begin(), text.end(), '|') > 41) {
                problemAt(DataFiles::kOptics, raw->position, "has more than 42 fields");
            }
        }
        std::set<std::int64_t> used;
        for (std::size_t c = 0; c < m_opticalPosition.size(); ++c) {
            const std::int32_t p = m_opticalPosition[c];
            if (p == 0) continue;
            if (c == 0 || c > kMaxCardNumber || !m_cards.count(static_cast<int>(c))) {
                problem(DataFiles::kOpticsTable,
                        "element " + std::to_string(c) +
                            " points at a record, but no entry has that card");
            } else if (!starts.count(p)) {
                problem(DataFiles::kOpticsTable, "card " + std::to_string(c) + " points at " +
                                                     std::to_string(p) +
                                                     ", where no record of lithora.h starts");
            } else if (!used.insert(p).second) {
                problem(DataFiles::kOpticsTable,
                        "card " + std::to_string(c) +
                            " shares its optical record with another card");
            }
        }
        for (std::int64_t p : starts) {
            if (!used.count(p))
                problemAt(DataFiles::kOptics, p, "no card of lithora.i points at this record");
        }
    }

    // lithora.p is optional; when there, every record and field is checked, and each card must
    // be one of the entry index. A damaged length ends the check; any other fault is listed and
    // the check goes on.
    void checkPatterns() {
        const char* name = DataFiles::kPatterns;
        Result<std::string> read = readWholeFile(m_dir / name);
        if (!read) {
            if (read.error().code != ErrorCode::NotFound) problem(name, read.error().message);
            return;
        }
        const std::string_view bytes = read.value();
        const auto size = static_cast<std::int64_t>(bytes.size());
        auto lengthAt = [&](std::int64_t at) {
            return readInt32LE(reinterpret_cast<const unsigned char*>(bytes.data() + at));
        };
        const auto headerSize = static_cast<std::int64_t>(kPatternHeader.size());
        if (size < 4 + headerSize || lengthAt(0) != headerSize ||
            bytes.substr(4, kPatternHeader.size()) != kPatternHeader) {
            problem(name, "the first record must be the header \"PATTERNS 1\"", 0);
            return;
        }
        int previousCard = 0;
        for (std::int64_t at = 4 + headerSize; at < size;) {
            const std::string where = "byte " + std::to_string(at) + ": ";
            if (size - at < 4) {
                problem(name, where + "the file ends inside a length field", at);
                return;
            }
            // A length that breaks the format or runs past the end leaves nothing to say where
            // the next record would start: the check ends there.
            const std::int32_t length = lengthAt(at);
            if (length < patternRecordLength(1) || length > patternRecordLength(kMaxPatternLines) ||
                (length - 14) % 14 != 0) {
                problem(name,
                        where + "length " + std::to_string(length) +
                            " is not 14 + 14 n bytes for n from 1 to 500",
                        at);
                return;
            }
            if (length > size - at - 4) {
                problem(name,
                        where + "the record of " + std::to_string(length) +
                            " bytes runs past the end of the file (" +
                            std::to_string(size - at - 4) + " bytes left)",
                        at);
                return;
            }
            const std::string_view body =
                bytes.substr(static_cast<std::size_t>(at) + 4, static_cast<std::size_t>(length));
            if (auto fault = checkPatternRecord(body, at, previousCard))
                problem(name, "byte " + std::to_string(fault->byte) + ": " + fault->why,
                        fault->byte);
            if (body.size() >= 4) {
                const std::int32_t card = lengthAt(at + 4);
                if (card >= 1 && card <= kMaxCardNumber && !m_cards.count(card))
                    problem(name,
                            where + "card " + std::to_string(card) + " has a pattern but no entry",
                            at);
                previousCard = std::max(previousCard, card);
            }
            at += 4 + length;
        }
    }

    std::filesystem::path m_dir;
    std::string m_key;
    std::map<std::string, std::string> m_files;
    std::vector<Problem> m_problems;
    std::vector<std::int16_t> m_entryOfCard;
    int m_entryCount = 0;
    std::vector<std::int32_t> m_recordPosition;
    std::vector<std::int32_t> m_referencePosition;
    std::vector<std::int32_t> m_opticalPosition;
    std::set<int> m_cards;
    std::vector<std::string> m_elementsOfEntry;
};

} // namespace

std::vector<std::string> verifyDataSet(const std::filesystem::path& dir, std::string_view key) {
    return Checker(dir, key).run();
}

} // namespace lithora
