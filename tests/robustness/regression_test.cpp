// Faults the damaged-data matrix found, each pinned down on the packed mini fixture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

#include "card/card_loader.h"
#include "datafiles/record.h"
#include "session/session.h"
#include "source/verify.h"
#include "support/test_support.h"

using namespace lithora;
using namespace lithora::test;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun cli(const std::vector<std::string>& args) {
    TempDir io;
    std::string command = quoted(LITHORA_CLI);
    for (const std::string& a : args)
        command += " " + quoted(a);
    command += " >" + quoted((io.path() / "out").string()) + " 2>" +
               quoted((io.path() / "err").string()) + " </dev/null";
    const int status = std::system(command.c_str());
    ToolRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(io.path() / "out");
    r.err = readFile(io.path() / "err");
    return r;
}

class DamagedMini : public ::testing::Test {
  protected:
    void SetUp() override { packInto(readFixtureSource("mini"), dir.path()); }

    // Overwrites a 32-bit (or, with width 2, a 16-bit) little-endian value of a table.
    void setValue(const char* file, std::size_t index, std::int32_t value, int width = 4) {
        std::string bytes = readFile(dir.path() / file);
        std::string v;
        if (width == 2) {
            appendInt16LE(v, static_cast<std::int16_t>(value));
        } else {
            appendInt32LE(v, value);
        }
        bytes.replace(index * static_cast<std::size_t>(width), v.size(), v);
        writeFile(dir.path() / file, bytes);
    }
    std::string problems() const {
        std::string out;
        for (const std::string& p : verifyDataSet(dir.path(), buildRecordKey()))
            out += p + "\n";
        return out;
    }
    std::string index() const { return dir.path().string(); }

    TempDir dir;
};

} // namespace

// An empty lithora.b was reported only as positions of lithora.c that find no reference, which
// sends the reader to the wrong file.
TEST_F(DamagedMini, VerifyNamesTheReferenceFileTheTablePointsBeyond) {
    writeFile(dir.path() / "lithora.b", "");
    const std::string found = problems();
    EXPECT_NE(found.find("lithora.c: card 5 points at 120 (past the end of lithora.b, 0 bytes)"),
              std::string::npos)
        << found;
    // A position inside the file keeps the plain message.
    SetUp();
    setValue("lithora.c", 5, 7);
    EXPECT_NE(problems().find("lithora.c: card 5 points at 7, its first reference"),
              std::string::npos);
}

// lithora.i cut short passed verify when the cut lost only zeros, though every packed set
// writes all 10,001 positions, as lithora.c, whose length was checked.
TEST_F(DamagedMini, VerifyChecksTheLengthOfTheOpticsTable) {
    const std::string i = readFile(dir.path() / "lithora.i");
    writeFile(dir.path() / "lithora.i", i.substr(0, i.size() / 2));
    EXPECT_NE(problems().find("lithora.i: is 20002 bytes long, expected 40004"), std::string::npos)
        << problems();
    writeFile(dir.path() / "lithora.i", i + std::string(4, '\0'));
    EXPECT_NE(problems().find("lithora.i: is 40008 bytes long, expected 40004"), std::string::npos);
    writeFile(dir.path() / "lithora.i", i);
    EXPECT_EQ(problems(), "");
}

// lithora-cli card and print answered a card whose entry record the tables do not reach with a
// blank card (or the header record) and exit 0; they now say which table leads nowhere.
TEST_F(DamagedMini, CardAndPrintReportARecordTheTablesDoNotReach) {
    struct Case {
        const char* what;
        const char* file;
        std::size_t index;
        std::int32_t value;
        int width;
        const char* expected;
    };
    // Card 5 is entry 1 of the fixture.
    const Case cases[] = {
        {"a position past the end", "lithora.g", 1, 0x7FFFFFFF, 4,
         "lithora.d gives it entry 1 and lithora.g that entry the position 2147483647"},
        {"a negative position", "lithora.g", 1, -1, 4, "that entry the position -1"},
        {"no entry", "lithora.d", 5, 0, 2, "card 5 could not be read: lithora.d gives it entry 0"},
        {"a negative entry", "lithora.d", 5, -1, 2, "lithora.d gives it entry -1"},
        {"an entry past the table", "lithora.d", 5, 32767, 2,
         "lithora.d gives it entry 32767 and lithora.g that entry the position 0"},
    };
    for (const Case& c : cases) {
        SetUp();
        setValue(c.file, c.index, c.value, c.width);
        const ToolRun card = cli({"--data", index(), "card", "5"});
        EXPECT_EQ(card.exitCode, 1) << c.what;
        EXPECT_NE(card.err.find(c.expected), std::string::npos) << c.what << ": " << card.err;
        EXPECT_EQ(card.out, "") << c.what;
        const ToolRun print =
            cli({"--data", index(), "print", "5", "--pdf", (dir.path() / "card.pdf").string()});
        EXPECT_EQ(print.exitCode, 1) << c.what;
        EXPECT_NE(print.err.find(c.expected), std::string::npos) << c.what << ": " << print.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "card.pdf")) << c.what;
        // The other cards are untouched by the damage and still answer.
        EXPECT_EQ(cli({"--data", index(), "card", "1"}).exitCode, 0) << c.what;
    }
}

// A directory in the place of a record file opened as a file whose size is the largest offset
// the file system seeks to; the first read then overflowed computing where the next record
// would start (found by the sanitizer build).
TEST_F(DamagedMini, ADirectoryInPlaceOfARecordFileIsNoFile) {
    std::filesystem::remove(dir.path() / "lithora.b");
    std::filesystem::create_directory(dir.path() / "lithora.b");
    const Result<RecordFile> opened = RecordFile::open(dir.path() / "lithora.b");
    ASSERT_FALSE(opened.ok());
    EXPECT_NE(opened.error().message.find("lithora.b"), std::string::npos);

    // The card goes without its references, as with a missing file.
    Session session;
    session.data.dir = dir.path();
    ASSERT_TRUE(startUp(session).ok());
    EXPECT_EQ(session.card.currentCardNumber, 5);
    EXPECT_EQ(session.card.currentReferenceCount, 0);
    EXPECT_EQ(session.card.currentName, "Albite");
}

// A data file stretched to gigabytes (here with zeros, as a file system may leave one) was read
// whole into memory, and the table built from it as large again: the programs died when the
// allocation failed. Such a file is now refused before anything is read.
TEST_F(DamagedMini, AFileLongerThanAnyDataSetIsRefusedUnread) {
    constexpr std::uintmax_t kStretched = std::uintmax_t{3} << 30;
    std::filesystem::resize_file(dir.path() / "lithora.i", kStretched);
    std::filesystem::resize_file(dir.path() / "lithora.b", kStretched);
    std::string reported;
    Session session;
    session.data.dir = dir.path();
    session.errorSink = [&reported](std::string_view operation, std::string_view message) {
        reported += std::string(operation) + ": " + std::string(message) + "\n";
    };
    ASSERT_TRUE(startUp(session).ok());
    EXPECT_NE(reported.find("getLineNumbers: Error: " + (dir.path() / "lithora.i").string() +
                            " is longer than the 268435456 bytes a data file may have"),
              std::string::npos)
        << reported;
    EXPECT_EQ(session.rows.size(), 9u);
    EXPECT_EQ(session.card.currentReferenceCount, 0); // lithora.b is refused too
    const Result<RecordFile> b = RecordFile::open(dir.path() / "lithora.b");
    ASSERT_FALSE(b.ok());
    EXPECT_NE(b.error().message.find("lithora.b is longer than"), std::string::npos);
    EXPECT_NE(problems().find("lithora.i: "), std::string::npos);

    std::filesystem::resize_file(dir.path() / "lithora.a", kStretched);
    Session stopped;
    stopped.data.dir = dir.path();
    const Status started = startUp(stopped);
    ASSERT_FALSE(started.ok());
    EXPECT_NE(started.error().message.find("lithora.a is longer than"), std::string::npos);
}
