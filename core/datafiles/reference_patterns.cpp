#include "datafiles/reference_patterns.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#include "datafiles/record.h"
#include "datafiles/regular_file.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace lithora {

namespace {

constexpr std::int32_t kMinPatternRecord = patternRecordLength(1);
constexpr std::int32_t kMaxPatternRecord = patternRecordLength(kMaxPatternLines);

std::uint32_t readU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint16_t readU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// A little-endian integer: copied as it lies on a little-endian machine (which the compiler
// turns into one load), put together byte by byte elsewhere.
template <typename T> T loadLE(const unsigned char* p) {
    if constexpr (std::endian::native == std::endian::little) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        std::make_unsigned_t<T> u = 0;
        for (std::size_t i = sizeof(T); i-- > 0;)
            u = static_cast<std::make_unsigned_t<T>>((u << 8) | p[i]);
        return static_cast<T>(u);
    }
}

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Where the arrays of a record of n lines begin, counted from the start of its body.
struct Layout {
    std::size_t n, d, intensity, hkl, multiplicity;
    explicit Layout(std::size_t lines)
        : n(lines), d(14), intensity(14 + 4 * lines), hkl(14 + 6 * lines),
          multiplicity(14 + 12 * lines) {}
};

std::string lengthRule() {
    return "a record is 14 + 14 n bytes long for n from 1 to " + std::to_string(kMaxPatternLines);
}

} // namespace

std::string unitsText(std::uint32_t units, int decimals) {
    std::string digits = std::to_string(units);
    if (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    return digits;
}

std::optional<PatternFault> checkPatternRecord(std::string_view body, std::int64_t recordByte,
                                               int previousCard) {
    const std::int64_t at = recordByte + 4; // the body's first byte in the file
    auto fault = [&](std::size_t offset, std::string why) {
        return PatternFault{at + static_cast<std::int64_t>(offset), std::move(why)};
    };
    const auto length = static_cast<std::int64_t>(body.size());
    if (length < kMinPatternRecord || length > kMaxPatternRecord || (length - 14) % 14 != 0) {
        return PatternFault{recordByte,
                            "length " + std::to_string(length) + " does not fit: " + lengthRule()};
    }
    const unsigned char* b = bytesOf(body);
    const Layout layout(static_cast<std::size_t>((length - 14) / 14));
    const std::int32_t card = readInt32LE(b);
    if (card < 1 || card > kMaxCardNumber)
        return fault(0, "card " + std::to_string(card) + " is outside 1..10000");
    if (card <= previousCard) {
        return fault(0, "card " + std::to_string(card) + " follows card " +
                            std::to_string(previousCard) + "; cards must ascend");
    }
    const std::string of = "card " + std::to_string(card) + ": ";
    if (const std::uint32_t cut = readU32(b + 8); cut > kMaxPatternCut) {
        return fault(8, of + "the count of lines cut, " + std::to_string(cut) + ", is above " +
                            std::to_string(kMaxPatternCut));
    }
    if (const std::uint16_t n = readU16(b + 12); n != layout.n) {
        return fault(12, of + "the line count " + std::to_string(n) + " disagrees with the " +
                             "record's length, which holds " + std::to_string(layout.n) + " lines");
    }
    auto line = [&](std::size_t i) { return of + "line " + std::to_string(i + 1) + ": "; };
    std::uint32_t previousD = kMaxPatternD + 1;
    for (std::size_t i = 0; i < layout.n; ++i) {
        const std::uint32_t d = readU32(b + layout.d + 4 * i);
        if (d < 1 || d > kMaxPatternD) {
            return fault(layout.d + 4 * i,
                         line(i) + "d " + std::to_string(d) + " (0.0001 Å) is outside 1..1000000");
        }
        if (d >= previousD) {
            return fault(layout.d + 4 * i, line(i) + "d " + unitsText(d, 4) +
                                               " Å is not below the line before's " +
                                               unitsText(previousD, 4) + " Å");
        }
        previousD = d;
    }
    bool full = false;
    for (std::size_t i = 0; i < layout.n; ++i) {
        const std::uint16_t v = readU16(b + layout.intensity + 2 * i);
        if (v < 1 || v > kFullIntensity) {
            return fault(layout.intensity + 2 * i, line(i) + "intensity " + std::to_string(v) +
                                                       " (0.01) is outside 1..10000");
        }
        full = full || v == kFullIntensity;
    }
    if (!full) return fault(layout.intensity, of + "no line has the intensity 100");
    for (std::size_t i = 0; i < layout.n; ++i) {
        const unsigned char* p = b + layout.hkl + 6 * i;
        const int h = readInt16LE(p), k = readInt16LE(p + 2), l = readInt16LE(p + 4);
        const std::string hkl =
            "hkl " + std::to_string(h) + " " + std::to_string(k) + " " + std::to_string(l);
        if (std::max({std::abs(h), std::abs(k), std::abs(l)}) > kMaxMillerIndex)
            return fault(layout.hkl + 6 * i, line(i) + hkl + " has an index outside -999..999");
        if (h == 0 && k == 0 && l == 0)
            return fault(layout.hkl + 6 * i, line(i) + hkl + " names no reflection");
    }
    for (std::size_t i = 0; i < layout.n; ++i) {
        const std::uint16_t m = readU16(b + layout.multiplicity + 2 * i);
        if (m < 1 || m > kMaxMultiplicity) {
            return fault(layout.multiplicity + 2 * i,
                         line(i) + "multiplicity " + std::to_string(m) + " is outside 1..192");
        }
    }
    return std::nullopt;
}

namespace {

// d and intensity as floats (their 5 and 4 stored digits need no more), hkl, multiplicity.
constexpr std::size_t kLineBytes = 4 + 4 + sizeof(Miller) + 1;

// The block of a store's lines. Tens of megabytes are written once, right after they are
// allocated: where a page fault is dear (a virtual machine pays microseconds for each), 4 KiB
// pages would cost more than the decoding, so on Linux the block asks for huge pages.
void* allocateLineBlock(std::size_t bytes) {
#if defined(__linux__)
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    if (bytes >= kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (void* block = std::aligned_alloc(kHugePage, rounded)) {
            ::madvise(block, rounded, MADV_HUGEPAGE);
            return block;
        }
        return nullptr;
    }
#endif
    return std::malloc(std::max<std::size_t>(bytes, 1));
}

// The bytes of lithora.p as the loader walks them, forward only: all of them in memory, or a
// window over the file read a piece at a time, so that each piece is decoded while it is still
// in the cache and no buffer of the file's size is ever made.
class ByteWindow {
  public:
    explicit ByteWindow(std::string_view whole)
        : m_whole(whole), m_size(static_cast<std::int64_t>(whole.size())) {}
    ByteWindow(std::FILE* file, std::int64_t size)
        : m_file(file), m_size(size),
          m_buffer(std::make_unique_for_overwrite<char[]>(kPiece + kMaxPatternRecord + 4)) {}

    std::int64_t size() const { return m_size; }
    bool failed() const { return m_failed; }

    // count bytes from position on, which the caller has checked to lie within the file;
    // valid until the next call. Empty when the file could not be read.
    std::string_view at(std::int64_t position, std::size_t count) {
        if (!m_file) return m_whole.substr(static_cast<std::size_t>(position), count);
        const auto end = position + static_cast<std::int64_t>(count);
        if (position < m_start || end > m_start + m_filled) {
            if (position < m_start || count > kPiece + kMaxPatternRecord + 4) return fail();
            // Keep what was read from position on, then read on after it.
            const std::int64_t kept = std::max<std::int64_t>(0, m_start + m_filled - position);
            if (kept > 0)
                std::memmove(m_buffer.get(), m_buffer.get() + (position - m_start),
                             static_cast<std::size_t>(kept));
            m_start = position;
            m_filled = kept;
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
                kPiece + kMaxPatternRecord + 4 - kept, m_size - (m_start + kept)));
            const std::size_t got = std::fread(m_buffer.get() + kept, 1, want, m_file);
            m_filled += static_cast<std::int64_t>(got);
            if (got != want || end > m_start + m_filled) return fail();
        }
        return {m_buffer.get() + (position - m_start), count};
    }

  private:
    // Small enough to stay in the cache while it is decoded, and for the allocator to hand the
    // same memory back at every load.
    static constexpr std::int64_t kPiece = 64 * 1024;

    std::string_view fail() {
        m_failed = true;
        return {};
    }

    std::string_view m_whole;
    std::FILE* m_file = nullptr;
    std::int64_t m_size = 0;
    std::unique_ptr<char[]> m_buffer;
    std::int64_t m_start = 0;  // the file position of m_buffer[0]
    std::int64_t m_filled = 0; // bytes of the buffer read
    bool m_failed = false;
};

} // namespace

// Builds the store in one pass over the file. Each record is decoded and checked at once, its
// faults only summed up; the rare record that fails is checked again by checkPatternRecord,
// which says where and why.
class PatternLoader {
  public:
    PatternLoader(ByteWindow& bytes, std::string_view file) : m_bytes(bytes), m_file(file) {}

    ReferencePatterns run() {
        ReferencePatterns& p = m_out;
        p.m_state = PatternFileState::Read;
        p.m_slot.assign(kCardTableSize, -1);
        const std::int64_t size = m_bytes.size();
        constexpr std::size_t kHeaderRecord = 4 + kPatternHeader.size();
        const std::string_view header = size < static_cast<std::int64_t>(kHeaderRecord)
                                            ? std::string_view()
                                            : m_bytes.at(0, kHeaderRecord);
        if (m_bytes.failed()) return unreadable();
        if (header.size() != kHeaderRecord ||
            readInt32LE(bytesOf(header)) != static_cast<std::int32_t>(kPatternHeader.size()) ||
            header.substr(4) != kPatternHeader) {
            return damaged({0, "the first record must be the header \"PATTERNS 1\""});
        }
        // A line takes 14 bytes of its record, so the file holds at most size / 14 of them: the
        // arrays are made that long once and never move.
        m_capacity = static_cast<std::size_t>(size) / 14;
        p.m_block.reset(allocateLineBlock(m_capacity * kLineBytes));
        if (!p.m_block) {
            return damaged(
                {0, "its " + std::to_string(m_capacity) + " lines at most do not fit in memory"});
        }
        auto* block = static_cast<unsigned char*>(p.m_block.get());
        p.m_d = reinterpret_cast<float*>(block);
        p.m_intensity = reinterpret_cast<float*>(block + 4 * m_capacity);
        p.m_hkl = reinterpret_cast<Miller*>(block + 8 * m_capacity);
        p.m_multiplicity = block + 14 * m_capacity;
        const auto maxCards = static_cast<std::size_t>(size) / (4 + kMinPatternRecord) + 1;
        for (auto* v : {&p.m_offset, &p.m_iic, &p.m_cut})
            v->reserve(maxCards);
        p.m_count.reserve(maxCards);
        p.m_card.reserve(maxCards);

        auto pos = static_cast<std::int64_t>(kHeaderRecord);
        int previousCard = 0;
        while (pos < size) {
            if (size - pos < 4) return damaged({pos, "the file ends inside a length field"});
            const std::string_view lengthField = m_bytes.at(pos, 4);
            if (m_bytes.failed()) return unreadable();
            const std::int32_t length = readInt32LE(bytesOf(lengthField));
            if (length < kMinPatternRecord || length > kMaxPatternRecord ||
                (length - 14) % 14 != 0) {
                return damaged(
                    {pos, "length " + std::to_string(length) + " does not fit: " + lengthRule()});
            }
            if (length > size - pos - 4) {
                return damaged({pos, "the record of " + std::to_string(length) +
                                         " bytes runs past the end of the file (" +
                                         std::to_string(size - pos - 4) + " bytes left)"});
            }
            const std::string_view body = m_bytes.at(pos + 4, static_cast<std::size_t>(length));
            if (m_bytes.failed()) return unreadable();
            if (!append(body, previousCard)) {
                std::optional<PatternFault> fault = checkPatternRecord(body, pos, previousCard);
                return damaged(fault ? std::move(*fault)
                                     : PatternFault{pos, "the record breaks the format"});
            }
            previousCard = p.m_card.back();
            pos += 4 + length;
        }
        return std::move(m_out);
    }

  private:
    // Decodes a record of a checked length; false, with nothing kept, when it breaks the format.
    bool append(std::string_view body, int previousCard) {
        ReferencePatterns& p = m_out;
        const unsigned char* b = bytesOf(body);
        const Layout at(body.size() / 14 - 1);
        const std::size_t n = at.n;
        const std::int32_t card = readInt32LE(b);
        if (card <= previousCard || card > kMaxCardNumber) return false;
        const std::uint32_t cut = readU32(b + 8);
        if (cut > kMaxPatternCut || readU16(b + 12) != n) return false;
        const std::size_t first = p.m_lines;
        if (n > m_capacity - first) return false; // cannot be: each line took 14 bytes

        // Faults are ORed together rather than branched on (sound data is the rule), and each
        // array has a loop of its own, simple enough for the vectoriser.
        // d strictly decreasing is in range when the first is at most 100 Å and the last at
        // least 0.0001 Å; the other arrays are checked by their least and greatest values.
        const unsigned char* pd = b + at.d;
        float* d = p.m_d + first;
        for (std::size_t i = 0; i < n; ++i) {
            // A sound d fits 31 bits; the signed conversion is the one SSE2 has. Worked out in
            // double, the float is the one nearest the stored d.
            d[i] = static_cast<float>(
                static_cast<double>(static_cast<std::int32_t>(loadLE<std::uint32_t>(pd + 4 * i))) *
                kPatternDUnit);
        }
        unsigned bad = 0;
        for (std::size_t i = 1; i < n; ++i)
            bad |= loadLE<std::uint32_t>(pd + 4 * i) >= loadLE<std::uint32_t>(pd + 4 * (i - 1));
        bad |= loadLE<std::uint32_t>(pd) > kMaxPatternD;
        bad |= loadLE<std::uint32_t>(pd + 4 * (n - 1)) == 0;
        const unsigned char* pi = b + at.intensity;
        float* intensity = p.m_intensity + first;
        std::uint16_t weakest = 0xFFFF, strongest = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint16_t v = loadLE<std::uint16_t>(pi + 2 * i);
            weakest = std::min(weakest, v);
            strongest = std::max(strongest, v);
            intensity[i] = static_cast<float>(static_cast<double>(static_cast<std::int32_t>(v)) *
                                              kPatternIntensityUnit);
        }
        // The strongest line is 100 exactly: none above it, and one at it.
        bad |= weakest == 0 || strongest != kFullIntensity;
        // An index in -999..999 is 0..1998 once 999 is added, and above it wraps round.
        const unsigned char* ph = b + at.hkl;
        std::uint16_t widest = 0;
        for (std::size_t i = 0; i < 3 * n; ++i) {
            const auto shifted =
                static_cast<std::uint16_t>(loadLE<std::uint16_t>(ph + 2 * i) + kMaxMillerIndex);
            widest = std::max(widest, shifted);
        }
        bad |= widest > 2 * kMaxMillerIndex;
        Miller* hkl = p.m_hkl + first;
        if constexpr (std::endian::native == std::endian::little) {
            static_assert(sizeof(Miller) == 6 && std::is_trivially_copyable_v<Miller>);
            std::memcpy(hkl, ph, 6 * n);
        } else {
            for (std::size_t i = 0; i < n; ++i) {
                const unsigned char* q = ph + 6 * i;
                hkl[i] = {loadLE<std::int16_t>(q), loadLE<std::int16_t>(q + 2),
                          loadLE<std::int16_t>(q + 4)};
            }
        }
        // No line's indices are all 0. Four lines are 24 bytes, three 64-bit words holding h k l
        // of each in turn; a line's 48 bits are zero when it names no reflection.
        constexpr std::uint64_t k16 = 0xFFFF, k32 = 0xFFFF'FFFF, k48 = 0xFFFF'FFFF'FFFF;
        std::size_t line = 0;
        for (; line + 4 <= n; line += 4) {
            const unsigned char* q = ph + 6 * line;
            const auto w0 = loadLE<std::uint64_t>(q), w1 = loadLE<std::uint64_t>(q + 8),
                       w2 = loadLE<std::uint64_t>(q + 16);
            bad |= ((w0 & k48) == 0) | ((w0 >> 48 | (w1 & k32) << 16) == 0) |
                   ((w1 >> 32 | (w2 & k16) << 32) == 0) | ((w2 >> 16) == 0);
        }
        // The last lines' 8 bytes run into the multiplicities that follow.
        for (; line < n; ++line)
            bad |= (loadLE<std::uint64_t>(ph + 6 * line) & k48) == 0;
        const unsigned char* pm = b + at.multiplicity;
        std::uint8_t* multiplicity = p.m_multiplicity + first;
        std::uint16_t fewest = 0xFFFF, most = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint16_t m = loadLE<std::uint16_t>(pm + 2 * i);
            fewest = std::min(fewest, m);
            most = std::max(most, m);
            multiplicity[i] = static_cast<std::uint8_t>(m);
        }
        bad |= fewest == 0 || most > kMaxMultiplicity;
        if (bad) return false;
        p.m_lines = first + n;
        p.m_slot[static_cast<std::size_t>(card)] = static_cast<std::int32_t>(p.m_card.size());
        p.m_card.push_back(static_cast<std::int16_t>(card));
        p.m_offset.push_back(static_cast<std::uint32_t>(first));
        p.m_count.push_back(static_cast<std::uint16_t>(n));
        p.m_iic.push_back(readU32(b + 4));
        p.m_cut.push_back(cut);
        return true;
    }

    // The file failed while it was read: what was read stays, as before damage.
    ReferencePatterns unreadable() {
        m_out.m_state = PatternFileState::Unreadable;
        m_out.m_message = m_out.m_damage = "read error in " + std::string(m_file);
        return std::move(m_out);
    }

    ReferencePatterns damaged(PatternFault fault) {
        ReferencePatterns& p = m_out;
        p.m_state = PatternFileState::Damaged;
        const std::size_t kept = p.m_card.size();
        p.m_damage = std::string(m_file) + " is damaged at byte " + std::to_string(fault.byte) +
                     ": " + fault.why;
        p.m_message = p.m_damage + ". " +
                      (kept == 0   ? std::string("Every card has its eight lines only")
                       : kept == 1 ? "The pattern of the 1 card before it is used; the cards "
                                     "after it have their eight lines only"
                                   : "The patterns of the " + std::to_string(kept) +
                                         " cards before it are used; the cards after it have "
                                         "their eight lines only");
        return std::move(m_out);
    }

    ByteWindow& m_bytes;
    std::string_view m_file;
    std::size_t m_capacity = 0;
    ReferencePatterns m_out;
};

void ReferencePatterns::BlockFree::operator()(void* block) const {
    std::free(block);
}

std::optional<PatternView> ReferencePatterns::find(int card) const {
    const int slot = slotOf(card);
    if (slot < 0) return std::nullopt;
    return at(static_cast<std::size_t>(slot));
}

PatternView ReferencePatterns::at(std::size_t i) const {
    const std::size_t first = m_offset[i];
    const std::size_t n = m_count[i];
    PatternView v;
    v.card = m_card[i];
    v.iicThousandths = m_iic[i];
    v.cut = m_cut[i];
    v.d = {m_d + first, n};
    v.intensity = {m_intensity + first, n};
    v.hkl = {m_hkl + first, n};
    v.multiplicity = {m_multiplicity + first, n};
    if (m_strongest->ready.load(std::memory_order_acquire)) {
        v.strongest = {m_strongest->lines.data() + i * kStrongestKept, std::min(n, kStrongestKept)};
    }
    return v;
}

void ReferencePatterns::prepareStrongest() const {
    std::call_once(m_strongest->made, [this] {
        std::vector<std::pair<float, float>>& out = m_strongest->lines;
        out.resize(m_card.size() * kStrongestKept);
        for (std::size_t c = 0; c < m_card.size(); ++c) {
            // By insertion: stable, so that of equal intensities the line met first (the larger
            // d) comes first.
            const float* d = m_d + m_offset[c];
            const float* intensity = m_intensity + m_offset[c];
            std::pair<float, float>* top = out.data() + c * kStrongestKept;
            std::size_t count = 0;
            for (std::size_t i = 0; i < m_count[c]; ++i) {
                const float I = intensity[i];
                if (count == kStrongestKept && I <= top[count - 1].first) continue;
                std::size_t k = count < kStrongestKept ? count++ : count - 1;
                for (; k > 0 && top[k - 1].first < I; --k)
                    top[k] = top[k - 1];
                top[k] = {I, d[i]};
            }
        }
        m_strongest->ready.store(true, std::memory_order_release);
    });
}

ReferencePatterns readReferencePatterns(std::string_view bytes, std::string_view file) {
    ByteWindow window(bytes);
    return PatternLoader(window, file).run();
}

PatternFileStamp patternFileStamp(const std::filesystem::path& path) {
    PatternFileStamp stamp;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    stamp.exists = std::filesystem::exists(status);
    if (!stamp.exists) return stamp;
    if (std::filesystem::is_regular_file(status)) {
        stamp.size = std::filesystem::file_size(path, ec);
        if (ec) stamp.size = 0;
    }
    stamp.modified = std::filesystem::last_write_time(path, ec);
    return stamp;
}

ReferencePatterns loadReferencePatterns(const std::filesystem::path& dataDir) {
    const std::filesystem::path path = dataDir / DataFiles::kPatterns;
    // Taken before the reading, so that a file changed meanwhile is read again next time.
    const PatternFileStamp stamp = patternFileStamp(path);
    ReferencePatterns out;
    out.m_stamp = stamp;
    auto fail = [&](PatternFileState state, std::string message) {
        out.m_state = state;
        out.m_message = out.m_damage = std::move(message);
        return std::move(out);
    };
    Result<std::FILE*> opened = openRegularFile(path);
    if (!opened) {
        if (opened.error().code == ErrorCode::NotFound) return out;
        return fail(PatternFileState::Unreadable, opened.error().message);
    }
    std::FILE* f = opened.value();
    std::int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return fail(PatternFileState::Unreadable, "cannot read " + path.string());
    }
    if (size > kMaxFileSize) {
        std::fclose(f);
        return fail(PatternFileState::Damaged, path.string() + " is longer than the " +
                                                   std::to_string(kMaxFileSize) +
                                                   " bytes a data file may have");
    }
    // The window reads pieces far larger than stdio's buffer: straight into it.
    std::setvbuf(f, nullptr, _IONBF, 0);
    ByteWindow window(f, size);
    out = PatternLoader(window, path.string()).run();
    std::fclose(f);
    out.m_stamp = stamp;
    return out;
}

std::shared_ptr<const ReferencePatterns> referencePatternsOf(DataSet& data, const ErrorSink& sink) {
    if (const ReferencePatterns* held = data.referencePatterns.get()) {
        if (held->m_stamp == patternFileStamp(data.file(DataFiles::kPatterns)))
            return data.referencePatterns;
    }
    auto loaded = std::make_shared<const ReferencePatterns>(loadReferencePatterns(data.dir));
    if (!loaded->message().empty() && sink)
        sink("loadReferencePatterns", "Error: " + loaded->message());
    data.referencePatterns = loaded;
    return loaded;
}

} // namespace lithora
