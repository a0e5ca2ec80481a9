#include "source/packer.h"

#include <cstdlib>
#include <fstream>
#include <map>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "source/records.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

void appendRecord(std::string& file, std::string_view plain, std::string_view key) {
    appendInt32LE(file, static_cast<std::int32_t>(plain.size()));
    file += scrambleRecord(plain, key);
}

std::int32_t nextPosition(const std::string& file) {
    return static_cast<std::int32_t>(file.size()) + 1;
}

std::string int32Table(const std::vector<std::int32_t>& table) {
    std::string out;
    out.reserve(table.size() * 4);
    for (std::int32_t v : table)
        appendInt32LE(out, v);
    return out;
}

// The exact cells of a raw record: every "|" cuts, empty pieces and blanks are kept.
std::vector<std::string> rawCells(std::string_view text) {
    const std::vector<std::string_view> pieces = splitExact(text, '|');
    return std::vector<std::string>(pieces.begin(), pieces.end());
}

Error damaged(const char* file, std::int64_t position, const std::string& why) {
    return makeError(ErrorCode::Damaged, std::string(file) + ": record at byte " +
                                             std::to_string(position - 1) + ": " + why);
}

int cardOf(std::string_view text) {
    const float v = numericValue(text);
    return v >= 1 && v <= kMaxCardNumber ? static_cast<int>(v) : 0;
}

} // namespace

std::string& PackedSet::file(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (name == kNames[i]) return files[i];
    }
    // Only the eight names of DataFiles reach here; another would be a fault of this file.
    std::abort();
}

PackedSet packSourceSet(const SourceSet& set, std::string_view key) {
    PackedSet packed;
    std::string& a = packed.file(DataFiles::kEntries);
    std::string& e = packed.file(DataFiles::kElements);
    std::vector<std::int16_t> entryOfCard(kCardTableSize, 0);
    std::vector<std::int32_t> recordPosition{1}; // element 0: the header record

    appendRecord(a, kHeaderText, key);
    appendRecord(e, kHeaderText, key);
    entryOfCard[0] = static_cast<std::int16_t>(set.entries.size());
    for (std::size_t k = 0; k < set.entries.size(); ++k) {
        const SourceEntry& entry = set.entries[k];
        const int card = static_cast<int>(numericValue(entry.cells[FieldCard]));
        entryOfCard[static_cast<std::size_t>(card)] = static_cast<std::int16_t>(k + 1);
        recordPosition.push_back(nextPosition(a));
        appendRecord(a, entryRecordText(entry), key);
        appendRecord(e, normalizeBlanks(entry.cells[FieldElements]), key);
    }

    // Card 1's references come first: the reader always takes them from the first record.
    std::string& b = packed.file(DataFiles::kReferences);
    std::vector<std::int32_t> referencePosition(kCardTableSize, 0);
    auto addReference = [&](const SourceReference& r) {
        auto& slot = referencePosition[static_cast<std::size_t>(r.card)];
        if (slot == 0) slot = nextPosition(b);
        appendRecord(b, referenceRecordText(r), key);
    };
    for (const SourceReference& r : set.references) {
        if (r.card == 1) addReference(r);
    }
    for (const SourceReference& r : set.references) {
        if (r.card != 1) addReference(r);
    }

    std::string& h = packed.file(DataFiles::kOptics);
    std::vector<std::int32_t> opticalPosition(kCardTableSize, 0);
    for (const SourceOptics& o : set.optics) {
        opticalPosition[static_cast<std::size_t>(o.card)] = nextPosition(h);
        appendRecord(h, opticsRecordText(o), key);
    }

    std::string& d = packed.file(DataFiles::kEntryOfCardTable);
    for (std::int16_t v : entryOfCard)
        appendInt16LE(d, v);
    packed.file(DataFiles::kRecordPositionTable) = int32Table(recordPosition);
    packed.file(DataFiles::kReferenceTable) = int32Table(referencePosition);
    packed.file(DataFiles::kOpticsTable) = int32Table(opticalPosition);
    return packed;
}

Status writePackedSet(const PackedSet& packed, const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        return makeError(ErrorCode::WriteFailed, "cannot create the directory " + dir.string());
    }
    for (std::size_t i = 0; i < packed.files.size(); ++i) {
        const std::filesystem::path target = dir / PackedSet::kNames[i];
        const std::filesystem::path temporary = target.string() + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(packed.files[i].data(), static_cast<std::streamsize>(packed.files[i].size()));
            out.close();
            if (!out) {
                std::filesystem::remove(temporary, ec);
                return makeError(ErrorCode::WriteFailed, "cannot write " + target.string());
            }
        }
        std::filesystem::rename(temporary, target, ec);
        if (ec)
            return makeError(ErrorCode::WriteFailed,
                             "cannot write " + target.string() + ": " + ec.message());
    }
    return Ok{};
}

Result<SourceSet> unpackDataSet(const std::filesystem::path& dir, std::string_view key) {
    SourceSet set;

    Result<SequentialRecords> a = SequentialRecords::load(dir / DataFiles::kEntries);
    if (!a) return a.error();
    if (!a.value().next()) return damaged(DataFiles::kEntries, 1, "the header record is cut short");
    while (!a.value().atEnd()) {
        const auto raw = a.value().next();
        if (!raw)
            return makeError(ErrorCode::Damaged,
                             std::string(DataFiles::kEntries) + ": the last record is cut short");
        if (raw->length < 1 || raw->length > kMaxEntryRecordLength) {
            return damaged(DataFiles::kEntries, raw->position,
                           "length " + std::to_string(raw->length) + " is outside 1..2023");
        }
        const std::vector<std::string> cells = rawCells(unscramble(raw->body, key));
        if (cells.size() != 28) {
            return damaged(DataFiles::kEntries, raw->position,
                           "has " + std::to_string(cells.size()) + " fields, expected 28");
        }
        SourceEntry entry;
        std::copy(cells.begin(), cells.end(), entry.cells.begin());
        set.entries.push_back(std::move(entry));
    }

    Result<SequentialRecords> b = SequentialRecords::load(dir / DataFiles::kReferences);
    if (!b) return b.error();
    while (!b.value().atEnd()) {
        const auto raw = b.value().next();
        if (!raw)
            return makeError(ErrorCode::Damaged, std::string(DataFiles::kReferences) +
                                                     ": the last record is cut short");
        const std::vector<std::string> cells = rawCells(unscramble(raw->body, key));
        const int card = cardOf(cells[0]);
        if (cells.size() < 2 || cells.size() > 3 || card == 0 || std::to_string(card) != cells[0]) {
            return damaged(DataFiles::kReferences, raw->position,
                           "is not card|reference[|addition]");
        }
        set.references.push_back({card, cells[1], cells.size() == 3 ? cells[2] : std::string(), 0});
    }

    Result<std::string> i = readWholeFile(dir / DataFiles::kOpticsTable);
    if (!i) return i.error();
    std::map<std::int64_t, int> cardAtPosition;
    for (std::size_t c = 1; c * 4 + 4 <= i.value().size() && c <= kMaxCardNumber; ++c) {
        const std::int32_t p =
            readInt32LE(reinterpret_cast<const unsigned char*>(i.value().data() + 4 * c));
        if (p != 0) cardAtPosition[p] = static_cast<int>(c);
    }
    Result<SequentialRecords> h = SequentialRecords::load(dir / DataFiles::kOptics);
    if (!h) return h.error();
    while (!h.value().atEnd()) {
        const auto raw = h.value().next();
        if (!raw)
            return makeError(ErrorCode::Damaged,
                             std::string(DataFiles::kOptics) + ": the last record is cut short");
        const auto owner = cardAtPosition.find(raw->position);
        if (owner == cardAtPosition.end()) {
            return damaged(DataFiles::kOptics, raw->position, "no card of lithora.i points at it");
        }
        const std::string text = unscramble(raw->body, key);
        const std::vector<std::string> cells =
            text.empty() ? std::vector<std::string>() : rawCells(text);
        if (cells.size() > 42)
            return damaged(DataFiles::kOptics, raw->position, "has more than 42 fields");
        SourceOptics optics;
        optics.card = owner->second;
        std::copy(cells.begin(), cells.end(), optics.fields.begin());
        set.optics.push_back(std::move(optics));
    }
    return set;
}

} // namespace lithora
