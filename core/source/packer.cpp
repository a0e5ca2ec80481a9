#include "source/packer.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "datafiles/reference_patterns.h"
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

// The patterns of lithora.p, when the directory holds it, into the set whose entries are read.
Status unpackPatterns(const std::filesystem::path& dir, SourceSet& set) {
    const ReferencePatterns store = loadReferencePatterns(dir);
    switch (store.state()) {
    case PatternFileState::Missing:
        return Ok{};
    case PatternFileState::Damaged:
        return makeError(ErrorCode::Damaged, store.damage());
    case PatternFileState::Unreadable:
        return makeError(ErrorCode::Unreadable, store.damage());
    case PatternFileState::Read:
        break;
    }
    std::set<int> cards;
    for (const SourceEntry& e : set.entries)
        cards.insert(cardOf(e.cells[FieldCard]));
    std::vector<SourcePattern>& patterns = set.patterns.emplace();
    for (std::size_t i = 0; i < store.cardCount(); ++i) {
        const PatternView v = store.at(i);
        if (!cards.count(v.card)) {
            return makeError(ErrorCode::Damaged,
                             (dir / DataFiles::kPatterns).string() + ": the pattern of card " +
                                 std::to_string(v.card) + " belongs to no entry");
        }
        SourcePattern p{v.card, v.iicThousandths, v.cut, {}, 0};
        p.lines.resize(v.size());
        for (std::size_t j = 0; j < v.size(); ++j) {
            // The stored counts come back exactly: each double is within an ulp of count × unit.
            SourcePatternLine& l = p.lines[j];
            l.d = static_cast<std::uint32_t>(std::lround(v.d[j] / kPatternDUnit));
            l.intensity =
                static_cast<std::uint32_t>(std::lround(v.intensity[j] / kPatternIntensityUnit));
            l.h = v.hkl[j].h;
            l.k = v.hkl[j].k;
            l.l = v.hkl[j].l;
            l.multiplicity = v.multiplicity[j];
        }
        patterns.push_back(std::move(p));
    }
    return Ok{};
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
    if (set.patterns) packed.patterns = packPatterns(*set.patterns);
    return packed;
}

std::string packPatterns(const std::vector<SourcePattern>& patterns) {
    std::string out;
    appendInt32LE(out, static_cast<std::int32_t>(kPatternHeader.size()));
    out += kPatternHeader;
    auto u32 = [&out](std::uint32_t v) { appendInt32LE(out, static_cast<std::int32_t>(v)); };
    auto u16 = [&out](std::uint32_t v) { appendInt16LE(out, static_cast<std::int16_t>(v)); };
    for (const SourcePattern& p : patterns) {
        const int n = static_cast<int>(p.lines.size());
        appendInt32LE(out, patternRecordLength(n));
        appendInt32LE(out, p.card);
        u32(p.iic);
        u32(p.cut);
        u16(static_cast<std::uint32_t>(n));
        for (const SourcePatternLine& l : p.lines)
            u32(l.d);
        for (const SourcePatternLine& l : p.lines)
            u16(l.intensity);
        for (const SourcePatternLine& l : p.lines) {
            for (const int index : {l.h, l.k, l.l})
                appendInt16LE(out, static_cast<std::int16_t>(index));
        }
        for (const SourcePatternLine& l : p.lines)
            u16(l.multiplicity);
    }
    return out;
}

namespace {

Status writeThroughTemporary(const std::filesystem::path& target, const std::string& bytes) {
    std::error_code ec;
    const std::filesystem::path temporary = target.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
    return Ok{};
}

} // namespace

Status writePackedSet(const PackedSet& packed, const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec)) {
        return makeError(ErrorCode::WriteFailed, "cannot create the directory " + dir.string());
    }
    for (std::size_t i = 0; i < packed.files.size(); ++i) {
        if (Status s = writeThroughTemporary(dir / PackedSet::kNames[i], packed.files[i]); !s)
            return s;
    }
    const std::filesystem::path patterns = dir / DataFiles::kPatterns;
    if (packed.patterns) return writeThroughTemporary(patterns, *packed.patterns);
    std::filesystem::remove(patterns, ec);
    if (ec) return makeError(ErrorCode::WriteFailed, "cannot remove " + patterns.string());
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
    if (Status s = unpackPatterns(dir, set); !s) return s.error();
    return set;
}

} // namespace lithora
