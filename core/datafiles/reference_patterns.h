#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datafiles/dataset.h"

// The computed reference pattern of each species: lithora.p, an optional file of the data
// directory. Records are framed as in the other record files but not scrambled: the first is
// the header "PATTERNS 1", then one per card in ascending card order, all little-endian:
//
//   int32 card, uint32 I/Ic in thousandths (0 unknown), uint32 lines cut beyond those kept,
//   uint16 n, n × uint32 d (0.0001 Å), n × uint16 intensity (0.01), n × 3 int16 hkl,
//   n × uint16 multiplicity  —  so a record is exactly 14 + 14 n bytes long.
namespace lithora {

inline constexpr std::string_view kPatternHeader = "PATTERNS 1";
inline constexpr int kMaxPatternLines = 500;
inline constexpr std::uint32_t kMaxPatternD = 1'000'000;   // 100 Å in units of 0.0001 Å
inline constexpr std::uint16_t kFullIntensity = 10'000;    // 100.00 in hundredths
inline constexpr std::uint32_t kMaxPatternCut = 1'000'000; // lines dropped beyond the 500
inline constexpr int kMaxMillerIndex = 999;
inline constexpr int kMaxMultiplicity = 192;
inline constexpr double kPatternDUnit = 1e-4;         // Å per unit of a stored d
inline constexpr double kPatternIntensityUnit = 0.01; // per unit of a stored intensity
inline constexpr std::size_t kStrongestKept = 16;

constexpr std::int32_t patternRecordLength(int lines) {
    return 14 + 14 * lines;
}

struct Miller {
    std::int16_t h = 0, k = 0, l = 0;
    friend bool operator==(const Miller&, const Miller&) = default;
};

// One card's pattern, a view into the store that holds it (valid while the store lives).
struct PatternView {
    int card = 0;
    std::uint32_t iicThousandths = 0; // the reference intensity ratio I/Ic; 0 when unknown
    std::uint32_t cut = 0;            // weaker lines dropped beyond those kept
    std::span<const float> d;         // Å, strictly decreasing
    std::span<const float> intensity; // relative to the strongest line, 100
    std::span<const Miller> hkl;
    std::span<const std::uint8_t> multiplicity;
    // The strongest lines, at most kStrongestKept, as (intensity, d): strongest first, and of
    // equal ones the larger d first. A quick look at every card reads these instead of the rest;
    // empty until the store's prepareStrongest() ran.
    std::span<const std::pair<float, float>> strongest;

    std::size_t size() const { return d.size(); }
    std::optional<double> iic() const {
        if (iicThousandths == 0) return std::nullopt;
        return iicThousandths / 1000.0;
    }
};

// What a file was when it was read: a store is read again once its file changed.
struct PatternFileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified{};
    friend bool operator==(const PatternFileStamp&, const PatternFileStamp&) = default;
};
PatternFileStamp patternFileStamp(const std::filesystem::path& path);

// Where reading lithora.p ended.
enum class PatternFileState {
    Missing,    // no lithora.p: every card falls back to its eight lines, without a word
    Read,       // read to its end
    Damaged,    // a record breaks the format: the cards before it were kept
    Unreadable, // there, but not a file that can be read (a directory, a pipe, ...)
};

// A record that breaks the format: the byte (from 0) of the field at fault and why.
struct PatternFault {
    std::int64_t byte = 0;
    std::string why;
};

// Every pattern of a data set, laid out for a scan of all cards: per card an offset and a
// count into flat arrays of d, intensity, hkl and multiplicity.
class ReferencePatterns {
  public:
    PatternFileState state() const { return m_state; }
    // For Damaged and Unreadable: what the user is told, naming the file, the byte and what was
    // expected, and what the program does without the rest; empty otherwise.
    const std::string& message() const { return m_message; }
    // The fault alone ("PATH is damaged at byte N: why"), for a reader that stops at it.
    const std::string& damage() const { return m_damage; }

    std::size_t cardCount() const { return m_card.size(); }
    std::size_t lineCount() const { return m_lines; }
    bool has(int card) const { return slotOf(card) >= 0; }
    // The pattern of a card, or nothing when lithora.p holds none for it.
    std::optional<PatternView> find(int card) const;
    // The i-th pattern in card order, i < cardCount().
    PatternView at(std::size_t i) const;
    // Works out every card's strongest lines (PatternView::strongest) the first time it is
    // called; safe to call from several threads.
    void prepareStrongest() const;

  private:
    friend class PatternLoader;
    friend ReferencePatterns loadReferencePatterns(const std::filesystem::path& dataDir);
    friend std::shared_ptr<const ReferencePatterns> referencePatternsOf(DataSet& data,
                                                                        const ErrorSink& sink);
    int slotOf(int card) const {
        if (card < 0 || static_cast<std::size_t>(card) >= m_slot.size()) return -1;
        return m_slot[static_cast<std::size_t>(card)];
    }

    // Every line's values live in one block, sized once for the most lines the file can hold
    // and filled without being zeroed first (the loader writes each value before anything
    // reads it): d, then intensity, hkl and multiplicity.
    struct BlockFree {
        void operator()(void* block) const;
    };

    PatternFileState m_state = PatternFileState::Missing;
    std::string m_message;
    std::string m_damage;
    std::vector<std::int32_t> m_slot; // by card number: index into the per-card arrays, or -1
    std::vector<std::int16_t> m_card;
    std::vector<std::uint32_t> m_offset;
    std::vector<std::uint16_t> m_count;
    std::vector<std::uint32_t> m_iic;
    std::vector<std::uint32_t> m_cut;
    // kStrongestKept slots per card (see PatternView::strongest), made on demand: a card with
    // fewer lines leaves the rest of its slots unused.
    struct Strongest {
        std::once_flag made;
        std::atomic<bool> ready{false};
        std::vector<std::pair<float, float>> lines;
    };
    std::unique_ptr<Strongest> m_strongest = std::make_unique<Strongest>();
    std::size_t m_lines = 0; // of the arrays below
    std::unique_ptr<void, BlockFree> m_block;
    float* m_d = nullptr;
    float* m_intensity = nullptr;
    Miller* m_hkl = nullptr;
    std::uint8_t* m_multiplicity = nullptr;
    PatternFileStamp m_stamp;
};

// A whole count of 10^-decimals as its decimal text, as patterns.tsv and the messages write the
// stored values: 30355 with 4 decimals is "3.0355".
std::string unitsText(std::uint32_t units, int decimals);

// Reads lithora.p of a data directory whole. The header and every record are checked; the
// first record that breaks the format ends the reading, and the patterns read before it stay.
ReferencePatterns loadReferencePatterns(const std::filesystem::path& dataDir);

// The same from the bytes of a file; `file` names it in the message.
ReferencePatterns readReferencePatterns(std::string_view bytes, std::string_view file);

// The first fault of one record's body against the format, or nothing: its length, card (from
// 1 to 10000 and above previousCard), line count, cut, and every line's d (strictly decreasing,
// 0.0001..100 Å), intensity (0.01..100, one line at 100), hkl (-999..999, not all 0) and
// multiplicity (1..192). recordByte is where the record's length field lies in the file.
std::optional<PatternFault> checkPatternRecord(std::string_view body, std::int64_t recordByte,
                                               int previousCard);

// The store kept with the data set: read on the first call, read again when lithora.p changed
// since. Damage and an unreadable file are told to the sink once, when read, under the
// operation name "loadReferencePatterns"; a missing file is told to no one.
std::shared_ptr<const ReferencePatterns> referencePatternsOf(DataSet& data, const ErrorSink& sink);

} // namespace lithora
