// Record framing, the key, positional and sequential reading, and the integer tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datafiles/record.h"
#include "datafiles/tables.h"
#include "support/test_support.h"

using namespace lithora;
using lithora::test::TempDir;
using lithora::test::writeFile;

namespace {

std::string framed(std::int32_t length, const std::string& body) {
    std::string out;
    appendInt32LE(out, length);
    return out + body;
}

} // namespace

TEST(RecordKey, IsEightCharactersBuiltInThreeSteps) {
    const std::string key = buildRecordKey();
    EXPECT_EQ(key.size(), 8u);
    EXPECT_EQ(recordKeyStep1().size(), 3u);
    EXPECT_EQ(recordKeyStep2().size(), 3u);
    EXPECT_EQ(recordKeyStep3().size(), 2u);
    EXPECT_EQ(key, recordKeyStep1() + recordKeyStep2() + recordKeyStep3());
}

TEST(XorWithKey, RestartsTheKeyEveryKCharactersAndIsItsOwnInverse) {
    const std::string key = "ABC";
    std::string text(7, '\0'); // 2k + 1 characters of code 0 show the key byte at each place
    xorWithKey(text, key);
    EXPECT_EQ(text, "ABCABCA");
    xorWithKey(text, key);
    EXPECT_EQ(text, std::string(7, '\0'));

    std::string plain = "Quartz|SiO2|\xC5";
    const std::string original = plain;
    xorWithKey(plain, buildRecordKey());
    EXPECT_NE(plain, original);
    xorWithKey(plain, buildRecordKey());
    EXPECT_EQ(plain, original);

    std::string same = "A"; // a body byte equal to the key byte unscrambles to code 0
    xorWithKey(same, "A");
    EXPECT_EQ(same, std::string(1, '\0'));
}

TEST(LittleEndian, DecodesSignedIntegers) {
    std::string bytes;
    appendInt32LE(bytes, -2);
    appendInt32LE(bytes, 0x01020304);
    appendInt16LE(bytes, -300);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    EXPECT_EQ(bytes.substr(4, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(readInt32LE(p), -2);
    EXPECT_EQ(readInt32LE(p + 4), 0x01020304);
    EXPECT_EQ(readInt16LE(p + 8), -300);
}

TEST(ReadRecordAt, NeverReadsBeyondTheFile) {
    TempDir dir;
    const std::string key = buildRecordKey();
    // Record 1 at position 1: "abc". Record 2 at 8: length 0. Record 3 at 12: length -5.
    // Record 4 at 16: length 2^31-1. Record 5 at 20: length 10 with 3 bytes left.
    std::string bytes = framed(3, scrambleRecord("abc", key)) + framed(0, "") + framed(-5, "") +
                        framed(0x7FFFFFFF, "") + framed(10, "xyz");
    writeFile(dir.path() / "f", bytes);
    Result<RecordFile> file = RecordFile::open(dir.path() / "f");
    ASSERT_TRUE(file.ok());
    std::int64_t next = 0;
    EXPECT_EQ(file.value().readRecordAt(1, key, &next), "abc");
    EXPECT_EQ(next, 8);
    EXPECT_EQ(file.value().readRecordAt(8, key, &next), "");
    EXPECT_EQ(next, 12); // an empty record reads no body
    EXPECT_EQ(file.value().readRecordAt(12, key), "");
    EXPECT_EQ(file.value().readRecordAt(16, key), "");
    EXPECT_EQ(file.value().readRecordAt(20, key), "");
    for (std::int64_t past : {0LL, -1LL, static_cast<long long>(bytes.size()), 1LL << 40}) {
        EXPECT_EQ(file.value().readRecordAt(past, key), "") << past;
    }
}

TEST(ReadRecordAt, MissingFileIsAnErrorNamingIt) {
    TempDir dir;
    Result<RecordFile> file = RecordFile::open(dir.path() / "lithora.a");
    ASSERT_FALSE(file.ok());
    EXPECT_EQ(file.error().code, ErrorCode::NotFound);
    EXPECT_NE(file.error().message.find("lithora.a"), std::string::npos);
}

TEST(SequentialRecords, EndsAtADamagedLengthAsAtTheEnd) {
    struct Case {
        const char* what;
        std::int32_t badLength;
        std::size_t recordsSeen; // including the empty ones
    };
    // a negative length is an empty record and reading goes on; an oversize one ends the walk
    const Case cases[] = {
        {"negative", -7, 3}, {"past the end", 1000, 1}, {"2^31-1", 0x7FFFFFFF, 1}};
    for (const Case& c : cases) {
        SequentialRecords records(framed(2, "ab") + framed(c.badLength, "") + framed(1, "z"));
        std::size_t seen = 0;
        while (!records.atEnd() && records.next())
            ++seen;
        EXPECT_EQ(seen, c.recordsSeen) << c.what;
        EXPECT_TRUE(records.atEnd()) << c.what;
    }
    SequentialRecords limited(framed(2, "ab") + framed(3, "abc"));
    EXPECT_TRUE(limited.next(2).has_value());
    EXPECT_FALSE(limited.next(2).has_value()); // longer than the caller accepts
    SequentialRecords cut(std::string("\x05\x00", 2));
    EXPECT_FALSE(cut.next().has_value()); // a length field cut short
}

class TablesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        d.assign(2 * kCardTableSize, '\0');
        setInt16(d, 0, 3);  // three entries
        setInt16(d, 17, 2); // card 17 is entry 2
        setInt16(d, 10000, 3);
        g.clear();
        for (std::int32_t p : {1, 20, 40, 60})
            appendInt32LE(g, p);
        c.assign(4 * kCardTableSize, '\0');
        setInt32(c, 17, 99);
        i.clear();
        for (std::int32_t p : {0, 0, 5})
            appendInt32LE(i, p);
    }
    static void setInt16(std::string& t, std::size_t at, std::int16_t v) {
        std::string b;
        appendInt16LE(b, v);
        t.replace(2 * at, 2, b);
    }
    static void setInt32(std::string& t, std::size_t at, std::int32_t v) {
        std::string b;
        appendInt32LE(b, v);
        t.replace(4 * at, 4, b);
    }
    void write() {
        if (!d.empty()) writeFile(dir.path() / "lithora.d", d);
        if (!g.empty()) writeFile(dir.path() / "lithora.g", g);
        if (!c.empty()) writeFile(dir.path() / "lithora.c", c);
        if (!i.empty()) writeFile(dir.path() / "lithora.i", i);
    }
    LookupTables load() {
        write();
        LookupTables t;
        ErrorSink sink = [this](std::string_view op, std::string_view msg) {
            messages.push_back(std::string(op) + ": " + std::string(msg));
        };
        getLineNumbers(dir.path(), t, sink);
        getReferenceIndex(dir.path(), t, sink);
        return t;
    }

    TempDir dir;
    std::string d, g, c, i;
    std::vector<std::string> messages;
};

TEST_F(TablesTest, LoadsEveryTable) {
    const LookupTables t = load();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(t.entryCount, 3);
    EXPECT_EQ(t.entryOf(17), 2);
    EXPECT_EQ(t.entryOf(10000), 3);
    EXPECT_EQ(t.recordPosition.size(), 5u); // 16 bytes: elements 0..4, the last always 0
    EXPECT_EQ(t.positionOfEntry(2), 40);
    EXPECT_EQ(t.positionOfEntry(4), 0);
    EXPECT_EQ(t.referencePositionOf(17), 99);
    EXPECT_EQ(t.referencePositionOf(1), 1); // card 1 always starts lithora.b
    EXPECT_EQ(t.opticalPositionOf(2), 5);
}

TEST_F(TablesTest, LookupsOutsideATableAreNone) {
    const LookupTables t = load();
    for (int outside : {-1, 10001, 40000}) {
        EXPECT_EQ(t.entryOf(outside), 0);
        EXPECT_EQ(t.referencePositionOf(outside), 0);
        EXPECT_EQ(t.opticalPositionOf(outside), 0);
    }
    EXPECT_EQ(t.opticalPositionOf(3), 0); // the always-zero element
    EXPECT_EQ(t.opticalPositionOf(4), 0); // past it
    EXPECT_EQ(t.positionOfEntry(-3), 0);
}

TEST_F(TablesTest, ShortFilesLeaveTheRestZero) {
    d.resize(2 * 18); // cards 0..17 only
    c.resize(4 * 5 + 2);
    g.resize(10); // 10 / 4 = 2.5 rounds to 2 (half to even): elements 0..2, a partial third ignored
    const LookupTables t = load();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(t.entryOf(17), 2);
    EXPECT_EQ(t.entryOf(10000), 0);
    EXPECT_EQ(t.recordPosition.size(), 3u);
    EXPECT_EQ(t.positionOfEntry(1), 20);
    EXPECT_EQ(t.positionOfEntry(2), 0);
    EXPECT_EQ(t.referencePositionOf(17), 0);
    EXPECT_EQ(positionTableSize(14), 5u); // 3.5 rounds to 4
    EXPECT_EQ(positionTableSize(0), 1u);
}

TEST_F(TablesTest, AMissingFileIsReportedAndTheTablesBeforeItStay) {
    i.clear(); // no lithora.i
    const LookupTables t = load();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("getLineNumbers: Error: ", 0), 0u) << messages[0];
    EXPECT_NE(messages[0].find("lithora.i"), std::string::npos);
    EXPECT_EQ(t.entryCount, 3);
    EXPECT_EQ(t.positionOfEntry(1), 20);
    EXPECT_TRUE(t.opticalPositionOfCard.empty());
}

TEST_F(TablesTest, AMissingReferenceTableIsReportedUnderItsOwnName) {
    c.clear();
    d.clear();
    const LookupTables t = load();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].rfind("getLineNumbers: Error: ", 0), 0u);
    EXPECT_EQ(messages[1].rfind("getReferenceIndex: Error: ", 0), 0u);
    EXPECT_EQ(t.entryCount, 0);
    EXPECT_TRUE(t.recordPosition.empty()); // nothing after the failing file is loaded
    EXPECT_EQ(t.referencePositionOf(1), 0);
}

TEST_F(TablesTest, ANegativeEntryCountCountsAsNone) {
    setInt16(d, 0, -5);
    EXPECT_EQ(load().entryCount, 0);
}

TEST(ResourceDirectory, BuildTreeFirstThenTheInstalledShare) {
    TempDir dir;
    const auto bin = dir.path() / "prefix" / "bin";
    std::filesystem::create_directories(bin);
    EXPECT_EQ(dataDirectoryBeside(bin / "lithora"), bin / "INDEX"); // neither: beside the program
    std::filesystem::create_directories(dir.path() / "prefix" / "share" / "lithora" / "INDEX");
    EXPECT_EQ(resourceDirectory(bin / "lithora"), dir.path() / "prefix" / "share" / "lithora");
    EXPECT_EQ(dataDirectoryBeside(bin / "lithora-cli"), dir.path() / "prefix" / "share" / "lithora" / "INDEX");
    std::filesystem::create_directories(bin / "INDEX"); // a build tree wins
    EXPECT_EQ(dataDirectoryBeside(bin / "lithora"), bin / "INDEX");
}
