#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

// Record files: a sequence of records, each a signed 32-bit little-endian length N and N
// scrambled bytes of Windows-1252 text. Records are addressed by the 1-based byte position of
// their length field; position 0 means "no record".
namespace lithora {

// The 8-character key is assembled at run time from character codes, in three steps, so that
// it never stands in the executable as one string.
std::string recordKeyStep1();
std::string recordKeyStep2();
std::string recordKeyStep3();
std::string buildRecordKey();

// Byte p (from 0) of the text is XORed with byte p mod k of the key. Its own inverse.
void xorWithKey(std::string& text, std::string_view key);

// The largest body a reader accepts anywhere; no length field can make it allocate more, and
// never more than what is left of the file.
inline constexpr std::int32_t kMaxRecordLength = 0x7FFFFFFF;

// The largest file a reader opens: far beyond any data set (10,000 entries of at most 2,027
// bytes make 20 MB), so that a damaged file of any length never makes a reader allocate more.
inline constexpr std::int64_t kMaxFileSize = std::int64_t{256} << 20;

std::int32_t readInt32LE(const unsigned char* p);
std::int16_t readInt16LE(const unsigned char* p);
void appendInt32LE(std::string& out, std::int32_t value);
void appendInt16LE(std::string& out, std::int16_t value);

// One file opened for one operation, read by position. Every length and position is checked
// against the file's size before it is used. Like every reader below it opens nothing but a
// regular file (datafiles/regular_file.h): a pipe, a directory or a device is unreadable.
class RecordFile {
  public:
    static Result<RecordFile> open(const std::filesystem::path& path);
    RecordFile(RecordFile&& other) noexcept;
    RecordFile& operator=(RecordFile&& other) noexcept;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    ~RecordFile();

    std::int64_t size() const { return m_size; }

    // The unscrambled bytes (Windows-1252) of the record at a 1-based position. A position
    // outside the file, a length of 0 or less, or a length larger than what is left of the file
    // gives the empty record. nextPosition is where the following record starts.
    std::string readRecordAt(std::int64_t position, std::string_view key,
                             std::int64_t* nextPosition = nullptr);

  private:
    RecordFile(std::FILE* file, std::int64_t size) : m_file(file), m_size(size) {}
    bool readExact(std::int64_t offset, void* buffer, std::size_t count);

    std::FILE* m_file = nullptr;
    std::int64_t m_size = 0;
};

// A whole record file read at once, walked from its start. The walker never reads past the end:
// a length that is negative or larger than what is left of the file ends the walk as the end of
// the file would.
class SequentialRecords {
  public:
    static Result<SequentialRecords> load(const std::filesystem::path& path);
    explicit SequentialRecords(std::string bytes) : m_bytes(std::move(bytes)) {}

    struct Raw {
        std::int64_t position; // 1-based position of the length field
        std::int32_t length;   // as stored (0 or negative for an empty record)
        std::string_view body; // scrambled; empty when length < 1
    };

    // The next record, or nothing at the end of the data. lengthLimit bounds the length a caller
    // accepts; a longer one also ends the walk.
    std::optional<Raw> next(std::int32_t lengthLimit = kMaxRecordLength);
    bool atEnd() const { return m_offset >= m_bytes.size(); }
    const std::string& bytes() const { return m_bytes; }

  private:
    std::string m_bytes;
    std::size_t m_offset = 0;
};

// A whole record file in memory, read by position: the searches visit thousands of records
// in card order and take each from here rather than from the disk.
class RecordBuffer {
  public:
    static Result<RecordBuffer> load(const std::filesystem::path& path);
    explicit RecordBuffer(std::string bytes) : m_bytes(std::move(bytes)) {}

    // The scrambled body of the record at a 1-based position; empty for a position outside the
    // file, a length of 0 or less, or a length larger than what is left of the file.
    std::string_view bodyAt(std::int64_t position) const;

  private:
    std::string m_bytes;
};

// Unscrambles a body into Windows-1252 text.
std::string unscramble(std::string_view body, std::string_view key);

std::string scrambleRecord(std::string_view plain, std::string_view key);

Result<std::string> readWholeFile(const std::filesystem::path& path);

} // namespace lithora
