// Record framing and the text rules: a fuzzed record file read every way the program reads one
// (by position, front to back, from memory, whole), the key and its unscrambling, and the text
// operations on fuzzed text and on the text of every record.
//
// Input: the record file, then optionally a free text and a key, cut at kPartSeparator.
#include <algorithm>
#include <cmath>

#include "datafiles/record.h"
#include "fuzz_support.h"
#include "source/source_format.h"
#include "text/codepage.h"
#include "text/escapes.h"
#include "text/numeric.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

// The plain reference for xorWithKey, byte by byte.
std::string naiveXor(std::string_view text, std::string_view key) {
    std::string out(text);
    if (key.empty()) return out;
    for (std::size_t p = 0; p < out.size(); ++p)
        out[p] = static_cast<char>(out[p] ^ key[p % key.size()]);
    return out;
}

std::size_t decimalsOf(const std::string& formatted, char separator) {
    const std::size_t p = formatted.find(separator);
    return p == std::string::npos ? 0 : formatted.size() - p - 1;
}

// Text rules on one text, taken as Windows-1252 bytes and as the UTF-8 the program shows.
void exerciseText(std::string_view bytes) {
    const std::string utf8 = cp1252ToUtf8(bytes);
    std::string back;
    FUZZ_CHECK(utf8ToCp1252(utf8, back));
    FUZZ_CHECK(back == bytes);

    const std::string upper = upperCase(utf8);
    FUZZ_CHECK(characterCount(upper) == characterCount(utf8));
    // Upper case on arbitrary bytes (not valid UTF-8) must not lose or invent characters either.
    FUZZ_CHECK(characterCount(upperCase(bytes)) == characterCount(bytes));

    for (char delimiter : {'|', '\t', ' '}) {
        const std::vector<std::string_view> exact = splitExact(utf8, delimiter);
        std::string joined;
        for (std::size_t i = 0; i < exact.size(); ++i) {
            if (i > 0) joined.push_back(delimiter);
            joined.append(exact[i]);
        }
        FUZZ_CHECK(joined == utf8);
    }
    const std::vector<std::string> fields = splitFields(utf8);
    FUZZ_CHECK(!fields.empty());
    const std::vector<std::string> words = splitWords(utf8);
    FUZZ_CHECK(!words.empty());
    for (const std::string& w : words)
        FUZZ_CHECK(w.find(' ') == std::string::npos);

    // Formulas in the records are short; a longer text is cut as a record would be.
    const std::string symbols = formulaSymbols(utf8.substr(0, kMaxEntryRecordLength));
    const std::vector<std::string> each = splitWords(symbols);
    for (std::size_t i = 0; i < each.size(); ++i) {
        if (symbols.empty()) break;
        FUZZ_CHECK(!each[i].empty() && each[i][0] >= 'A' && each[i][0] <= 'Z');
        for (std::size_t j = 0; j < i; ++j)
            FUZZ_CHECK(each[j] != each[i]);
    }

    const float value = numericValue(utf8);
    FUZZ_CHECK(std::isfinite(value));
    for (const auto& [lo, hi] : {std::pair{1, 3}, std::pair{1, 2}, std::pair{3, 3}, {1, 1}}) {
        const std::string f = formatNumber(value, lo, hi, ',');
        FUZZ_CHECK(!f.empty());
        const std::size_t decimals = decimalsOf(f, ',');
        FUZZ_CHECK(decimals >= static_cast<std::size_t>(lo) &&
                   decimals <= static_cast<std::size_t>(hi));
        std::string dotted = f;
        std::replace(dotted.begin(), dotted.end(), ',', '.');
        // The picture rounds to hi decimals; reading it again lands within half a step.
        const double again = numericValue(dotted);
        FUZZ_CHECK(std::fabs(again - value) <=
                   0.5 * std::pow(10.0, -hi) + 1e-6 * std::fabs(static_cast<double>(value)) + 1e-6);
    }
    (void)formatNumber(static_cast<double>(value) * 1e300, 0, 6, '.');

    std::string plain = utf8;
    toPlainLetters(plain);
    (void)lettersForEscapeCodes(utf8);

    // A cell written by the source writer reads back as the same bytes, names included.
    if (bytes.find('|') == std::string_view::npos) {
        const std::string cell = escapeCell(bytes);
        std::string again;
        std::string why;
        FUZZ_CHECK(unescapeCell(cell, false, again, why));
        FUZZ_CHECK(again == bytes);
        FUZZ_CHECK(unescapeCell(lettersForEscapeCodes(cell), true, again, why));
        FUZZ_CHECK(again == bytes);
    }
    // And an arbitrary cell either reads or says why not.
    std::string out;
    std::string why;
    if (!unescapeCell(bytes, true, out, why)) FUZZ_CHECK(!why.empty());
}

void exerciseRecordFile(const std::filesystem::path& path, std::string_view bytes,
                        std::string_view key) {
    Result<std::string> whole = readWholeFile(path);
    FUZZ_CHECK(whole.ok() && whole.value() == bytes);

    Result<RecordFile> file = RecordFile::open(path);
    FUZZ_CHECK(file.ok());
    FUZZ_CHECK(file.value().size() == static_cast<std::int64_t>(bytes.size()));
    Result<RecordBuffer> buffer = RecordBuffer::load(path);
    FUZZ_CHECK(buffer.ok());
    Result<SequentialRecords> walk = SequentialRecords::load(path);
    FUZZ_CHECK(walk.ok());

    // Front to back, then each record again by its position: all three readers agree.
    std::int64_t previous = 0;
    int records = 0;
    while (!walk.value().atEnd()) {
        const auto raw = walk.value().next();
        if (!raw) break;
        FUZZ_CHECK(raw->position > previous);
        previous = raw->position;
        std::int64_t next = 0;
        const std::string text = file.value().readRecordAt(raw->position, key, &next);
        if (raw->length < 1) {
            FUZZ_CHECK(raw->body.empty() && text.empty());
            FUZZ_CHECK(next == raw->position + 4);
        } else {
            FUZZ_CHECK(raw->body.size() == static_cast<std::size_t>(raw->length));
            FUZZ_CHECK(text == unscramble(raw->body, key));
            FUZZ_CHECK(next == raw->position + 4 + raw->length);
            FUZZ_CHECK(buffer.value().bodyAt(raw->position) == raw->body);
            if (++records <= 64) exerciseText(text);
        }
    }

    // The entry list's walk stops at a length outside 1..2023 and never reads further.
    SequentialRecords limited{std::string(bytes)};
    while (const auto raw = limited.next(kMaxEntryRecordLength))
        FUZZ_CHECK(raw->length <= kMaxEntryRecordLength);
    FUZZ_CHECK(limited.atEnd());

    // Positions from the damaged tables of a data set may point anywhere: a few taken from the
    // file itself, and the edges.
    std::vector<std::int64_t> positions = {-1,
                                           0,
                                           1,
                                           2,
                                           static_cast<std::int64_t>(bytes.size()) - 3,
                                           static_cast<std::int64_t>(bytes.size()) - 4,
                                           static_cast<std::int64_t>(bytes.size()),
                                           static_cast<std::int64_t>(bytes.size()) + 1,
                                           INT32_MAX,
                                           INT32_MIN};
    for (std::size_t i = 0; i + 4 <= bytes.size() && positions.size() < 40; i += 4 + i / 2)
        positions.push_back(readInt32LE(reinterpret_cast<const unsigned char*>(bytes.data() + i)));
    for (std::int64_t p : positions) {
        std::int64_t next = 0;
        const std::string text = file.value().readRecordAt(p, key, &next);
        FUZZ_CHECK(text == unscramble(buffer.value().bodyAt(p), key));
        FUZZ_CHECK(next >= 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string_view> parts = splitParts(input);
    const std::string_view fileBytes = parts[0];
    const std::string_view text = parts.size() > 1 ? parts[1] : std::string_view();
    const std::string builtKey = buildRecordKey();
    const std::string_view key = parts.size() > 2 ? parts[2].substr(0, 64) : builtKey;

    // The key: assembled from its steps, eight characters; XOR is its own inverse and the block
    // path gives what the plain loop gives.
    FUZZ_CHECK(builtKey.size() == 8);
    FUZZ_CHECK(builtKey == recordKeyStep1() + recordKeyStep2() + recordKeyStep3());
    std::string scrambled(fileBytes);
    xorWithKey(scrambled, key);
    FUZZ_CHECK(scrambled == naiveXor(fileBytes, key));
    FUZZ_CHECK(scrambleRecord(scrambled, key) == fileBytes);
    // The block of the last key is kept between calls: another key must not reuse it.
    std::string other(fileBytes);
    xorWithKey(other, builtKey);
    FUZZ_CHECK(other == naiveXor(fileBytes, builtKey));

    const std::filesystem::path path = scratchDirectory("records") / "records.bin";
    writeBytes(path, fileBytes);
    exerciseRecordFile(path, fileBytes, key);
    exerciseText(text);
    return 0;
}
