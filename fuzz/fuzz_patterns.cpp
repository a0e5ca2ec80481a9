// The reader of lithora.p over fuzzed files: what it keeps obeys the format, it reads a file as
// it reads the same bytes in memory, it stops where lithora-pack verify finds the first fault,
// and the identification's lines come from what it kept.
//
// Input: the bytes of lithora.p, whole (no parts). The other eight files are a small packed set
// of cards 1 to 40, made once per process.
#include <cstdlib>
#include <cstring>

#include "datafiles/record.h"
#include "datafiles/reference_patterns.h"
#include "fuzz_support.h"
#include "patterns/identification_lines.h"
#include "source/packer.h"
#include "source/verify.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

constexpr int kCards = 40;

const std::filesystem::path& dataDirectory() {
    static const std::filesystem::path dir = [] {
        SourceSet set;
        for (int card = 1; card <= kCards; ++card) {
            SourceEntry e;
            e.cells[FieldCard] = std::to_string(card);
            e.cells[FieldName] = "Mineral" + std::to_string(card);
            e.cells[FieldDSpacings] = "3.035 2.285";
            e.cells[FieldIntensities] = "100 18";
            set.entries.push_back(std::move(e));
        }
        const std::filesystem::path d = scratchDirectory("patterns");
        FUZZ_CHECK(writePackedSet(packSourceSet(set, buildRecordKey()), d).ok());
        return d;
    }();
    return dir;
}

void checkStore(const ReferencePatterns& p) {
    std::size_t lines = 0;
    int previous = 0;
    for (std::size_t i = 0; i < p.cardCount(); ++i) {
        const PatternView v = p.at(i);
        FUZZ_CHECK(v.card > previous && v.card <= kMaxCardNumber);
        previous = v.card;
        FUZZ_CHECK(v.size() >= 1 && v.size() <= static_cast<std::size_t>(kMaxPatternLines));
        FUZZ_CHECK(v.cut <= kMaxPatternCut);
        bool full = false;
        for (std::size_t j = 0; j < v.size(); ++j) {
            FUZZ_CHECK(v.d[j] > 0.0 && v.d[j] <= 100.0 + 1e-9);
            if (j > 0) FUZZ_CHECK(v.d[j] < v.d[j - 1]);
            FUZZ_CHECK(v.intensity[j] > 0.0 && v.intensity[j] <= 100.0 + 1e-9);
            full = full || v.intensity[j] == 100.0;
            const Miller m = v.hkl[j];
            FUZZ_CHECK(std::abs(m.h) <= kMaxMillerIndex && std::abs(m.k) <= kMaxMillerIndex &&
                       std::abs(m.l) <= kMaxMillerIndex && (m.h | m.k | m.l) != 0);
            FUZZ_CHECK(v.multiplicity[j] >= 1 && v.multiplicity[j] <= kMaxMultiplicity);
        }
        FUZZ_CHECK(full);
        const std::optional<PatternView> found = p.find(v.card);
        FUZZ_CHECK(found && found->d.data() == v.d.data() && found->size() == v.size());
        lines += v.size();
    }
    FUZZ_CHECK(lines == p.lineCount());
}

// The byte a damage message names: "... is damaged at byte N: ...".
std::int64_t damagedByte(const std::string& message) {
    const std::string mark = " is damaged at byte ";
    const std::size_t at = message.find(mark);
    FUZZ_CHECK(at != std::string::npos);
    return std::stoll(message.substr(at + mark.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ReferencePatterns memory = readReferencePatterns(bytes, "lithora.p");
    FUZZ_CHECK(memory.state() == PatternFileState::Read ||
               memory.state() == PatternFileState::Damaged);
    FUZZ_CHECK(memory.message().empty() == (memory.state() == PatternFileState::Read));
    checkStore(memory);

    // Read from the file, a piece at a time, it is the same store.
    const std::filesystem::path& dir = dataDirectory();
    writeBytes(dir / DataFiles::kPatterns, bytes);
    const ReferencePatterns file = loadReferencePatterns(dir);
    FUZZ_CHECK(file.state() == memory.state() && file.cardCount() == memory.cardCount() &&
               file.lineCount() == memory.lineCount());
    for (std::size_t i = 0; i < file.cardCount(); ++i) {
        const PatternView a = file.at(i), b = memory.at(i);
        FUZZ_CHECK(a.card == b.card && a.iicThousandths == b.iicThousandths && a.cut == b.cut);
        FUZZ_CHECK(std::memcmp(a.d.data(), b.d.data(), a.size() * sizeof(float)) == 0);
        FUZZ_CHECK(std::memcmp(a.hkl.data(), b.hkl.data(), a.size() * sizeof(Miller)) == 0);
    }

    // verify finds a fault where the reader stopped, and none in a file the reader read whole
    // (but cards the entry index lacks, which the reader cannot know).
    bool faultAtStop = false;
    std::size_t faults = 0;
    const std::int64_t stop =
        memory.state() == PatternFileState::Damaged ? damagedByte(memory.message()) : -1;
    for (const std::string& p : verifyDataSet(dir, buildRecordKey())) {
        FUZZ_CHECK(p.starts_with("lithora.p: "));
        if (p.ends_with("has a pattern but no entry")) continue;
        ++faults;
        faultAtStop = faultAtStop ||
                      p.starts_with("lithora.p: byte " + std::to_string(stop) + ":") ||
                      (stop == 0 && p.find("the header") != std::string::npos);
    }
    FUZZ_CHECK(memory.state() == PatternFileState::Read ? faults == 0 : faultAtStop);

    // The identification's lines: the pattern when kept, else the card's own.
    for (const int card : {1, kCards, kMaxCardNumber}) {
        const IdentificationLines lines = identificationLines(&memory, card, "3.035 2.285", "");
        FUZZ_CHECK(lines.source() ==
                   (memory.has(card) ? LineSource::Pattern : LineSource::CardLines));
        FUZZ_CHECK(lines.d().size() == lines.intensity().size() && !lines.d().empty());
    }
    return 0;
}
