#include "datafiles/record.h"

#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "datafiles/regular_file.h"

namespace lithora {

std::string recordKeyStep1() {
    return {static_cast<char>(77), static_cast<char>(105), static_cast<char>(50)};
}
std::string recordKeyStep2() {
    return {static_cast<char>(120), static_cast<char>(35), static_cast<char>(82)};
}
std::string recordKeyStep3() {
    return {static_cast<char>(117), static_cast<char>(55)};
}

std::string buildRecordKey() {
    std::string key = recordKeyStep1();
    key += recordKeyStep2();
    key += recordKeyStep3();
    return key;
}

void xorWithKey(std::string& text, std::string_view key) {
    const std::size_t k = key.size();
    if (k == 0) return;
    char* data = text.data();
    const std::size_t n = text.size();
    std::size_t p = 0;
    // A key whose length divides 64 repeats exactly in a 64-byte block; XORing whole blocks is
    // what every scan of the entry index spends its time on. The block of the last key is kept.
    if (64 % k == 0 && n >= 64) {
        thread_local std::string blockKey;
        thread_local std::array<char, 64> block{};
        if (blockKey != key) {
            for (std::size_t j = 0; j < 64; ++j)
                block[j] = key[j % k];
            blockKey.assign(key);
        }
        for (; p + 64 <= n; p += 64) {
#if defined(__SSE2__)
            for (std::size_t i = 0; i < 64; i += 16) {
                auto* at = reinterpret_cast<__m128i*>(data + p + i);
                const __m128i bytes =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.data() + i));
                _mm_storeu_si128(at, _mm_xor_si128(_mm_loadu_si128(at), bytes));
            }
#else
            for (std::size_t j = 0; j < 64; ++j)
                data[p + j] = static_cast<char>(data[p + j] ^ block[j]);
#endif
        }
        for (; p < n; ++p)
            data[p] = static_cast<char>(data[p] ^ block[p % 64]);
        return;
    }
    for (; p < n; ++p)
        data[p] = static_cast<char>(data[p] ^ key[p % k]);
}

std::string unscramble(std::string_view body, std::string_view key) {
    std::string text(body);
    xorWithKey(text, key);
    return text;
}

std::string scrambleRecord(std::string_view plain, std::string_view key) {
    return unscramble(plain, key);
}

std::int32_t readInt32LE(const unsigned char* p) {
    const std::uint32_t u =
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

std::int16_t readInt16LE(const unsigned char* p) {
    const auto u = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    std::int16_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

void appendInt32LE(std::string& out, std::int32_t value) {
    std::uint32_t u;
    std::memcpy(&u, &value, sizeof u);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

void appendInt16LE(std::string& out, std::int16_t value) {
    std::uint16_t u;
    std::memcpy(&u, &value, sizeof u);
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
}

namespace {

Error tooLarge(const std::filesystem::path& path) {
    return makeError(ErrorCode::Damaged, path.string() + " is longer than the " +
                                             std::to_string(kMaxFileSize) +
                                             " bytes a data file may have");
}

} // namespace

Result<std::string> readWholeFile(const std::filesystem::path& path) {
    Result<std::FILE*> opened = openRegularFile(path);
    if (!opened) return opened.error();
    std::FILE* f = opened.value();
    std::string bytes;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > static_cast<std::uintmax_t>(kMaxFileSize)) {
        std::fclose(f);
        return tooLarge(path);
    }
    if (!ec) bytes.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        bytes.append(buffer, n);
        if (n < sizeof buffer) break;
        // A file whose size could not be told, or that grew while it was read.
        if (bytes.size() > static_cast<std::size_t>(kMaxFileSize)) {
            std::fclose(f);
            return tooLarge(path);
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return makeError(ErrorCode::Unreadable, "read error in " + path.string());
    return bytes;
}

Result<RecordFile> RecordFile::open(const std::filesystem::path& path) {
    Result<std::FILE*> opened = openRegularFile(path);
    if (!opened) return opened.error();
    std::FILE* f = opened.value();
    // Only a regular file gets this far, so the end it seeks to is its size: every position is
    // checked against it.
    std::int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0) {
        std::fclose(f);
        return makeError(ErrorCode::Unreadable, "cannot read " + path.string());
    }
    if (size > kMaxFileSize) {
        std::fclose(f);
        return tooLarge(path);
    }
    return RecordFile(f, size);
}

RecordFile::RecordFile(RecordFile&& other) noexcept : m_file(other.m_file), m_size(other.m_size) {
    other.m_file = nullptr;
}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
    if (this != &other) {
        if (m_file) std::fclose(m_file);
        m_file = other.m_file;
        m_size = other.m_size;
        other.m_file = nullptr;
    }
    return *this;
}

RecordFile::~RecordFile() {
    if (m_file) std::fclose(m_file);
}

bool RecordFile::readExact(std::int64_t offset, void* buffer, std::size_t count) {
    if (offset < 0 || offset + static_cast<std::int64_t>(count) > m_size) return false;
    if (std::fseek(m_file, static_cast<long>(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, count, m_file) == count;
}

std::string RecordFile::readRecordAt(std::int64_t position, std::string_view key,
                                     std::int64_t* nextPosition) {
    if (nextPosition) *nextPosition = m_size + 1;
    unsigned char lengthBytes[4];
    if (position < 1 || !readExact(position - 1, lengthBytes, 4)) return std::string();
    const std::int32_t n = readInt32LE(lengthBytes);
    const std::int64_t bodyOffset = position - 1 + 4;
    if (n < 1) {
        if (nextPosition) *nextPosition = bodyOffset + 1;
        return std::string();
    }
    if (n > m_size - bodyOffset) return std::string();
    std::string body(static_cast<std::size_t>(n), '\0');
    if (!readExact(bodyOffset, body.data(), body.size())) return std::string();
    if (nextPosition) *nextPosition = bodyOffset + n + 1;
    xorWithKey(body, key);
    return body;
}

Result<RecordBuffer> RecordBuffer::load(const std::filesystem::path& path) {
    Result<std::string> bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    return RecordBuffer(std::move(bytes).value());
}

std::string_view RecordBuffer::bodyAt(std::int64_t position) const {
    const auto size = static_cast<std::int64_t>(m_bytes.size());
    if (position < 1 || position + 3 > size) return {};
    const std::int32_t n =
        readInt32LE(reinterpret_cast<const unsigned char*>(m_bytes.data() + position - 1));
    const std::int64_t bodyOffset = position - 1 + 4;
    if (n < 1 || n > size - bodyOffset) return {};
    return std::string_view(m_bytes).substr(static_cast<std::size_t>(bodyOffset),
                                            static_cast<std::size_t>(n));
}

Result<SequentialRecords> SequentialRecords::load(const std::filesystem::path& path) {
    Result<std::string> bytes = readWholeFile(path);
    if (!bytes) return bytes.error();
    return SequentialRecords(std::move(bytes).value());
}

std::optional<SequentialRecords::Raw> SequentialRecords::next(std::int32_t lengthLimit) {
    if (m_offset + 4 > m_bytes.size()) {
        m_offset = m_bytes.size();
        return std::nullopt;
    }
    const std::int32_t n =
        readInt32LE(reinterpret_cast<const unsigned char*>(m_bytes.data() + m_offset));
    const std::size_t bodyOffset = m_offset + 4;
    Raw raw{static_cast<std::int64_t>(m_offset) + 1, n, {}};
    if (n < 1) {
        m_offset = bodyOffset;
        return raw;
    }
    if (n > lengthLimit || static_cast<std::size_t>(n) > m_bytes.size() - bodyOffset) {
        m_offset = m_bytes.size();
        return std::nullopt;
    }
    raw.body = std::string_view(m_bytes).substr(bodyOffset, static_cast<std::size_t>(n));
    m_offset = bodyOffset + static_cast<std::size_t>(n);
    return raw;
}

} // namespace lithora
