// Data that break what a packed set promises: short records, odd lengths, many groups, something
// that is no file in place of a data file. The readers must give what they can and never crash,
// read beyond a file or wait.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <optional>
#include <sstream>
#include <thread>

#include "card/card_loader.h"
#include "datafiles/record.h"
#include "datafiles/regular_file.h"
#include "identify/ranking.h"
#include "search/element_search.h"
#include "search/search_run.h"
#include "search/text_search.h"
#include "session/session.h"
#include "source/packer.h"
#include "source/records.h"
#include "source/verify.h"
#include "support/not_a_file.h"
#include "support/test_support.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::test;

namespace {

// Writes lithora.a from plain record texts (lengths as given, or the text's length), and the
// tables that point at them; card numbers are read from each record's first field.
class HandMadeSet {
  public:
    explicit HandMadeSet(const std::filesystem::path& dir) : m_dir(dir) {}

    void add(const std::string& text, std::optional<std::int32_t> length = std::nullopt) {
        m_records.emplace_back(text, length.value_or(static_cast<std::int32_t>(text.size())));
    }

    Session open() {
        const std::string key = buildRecordKey();
        std::string a, d(2 * kCardTableSize, '\0'), g;
        appendInt32LE(a, 0); // an empty header
        appendInt32LE(g, 1);
        int entry = 0;
        for (const auto& [text, length] : m_records) {
            appendInt32LE(g, static_cast<std::int32_t>(a.size()) + 1);
            appendInt32LE(a, length);
            a += scrambleRecord(text, key);
            ++entry;
            const int card = std::atoi(text.c_str());
            if (card > 0 && card <= kMaxCardNumber) {
                std::string v;
                appendInt16LE(v, static_cast<std::int16_t>(entry));
                d.replace(2 * static_cast<std::size_t>(card), 2, v);
            }
        }
        std::string count;
        appendInt16LE(count, static_cast<std::int16_t>(entry));
        d.replace(0, 2, count);
        writeFile(m_dir / "lithora.a", a);
        writeFile(m_dir / "lithora.d", d);
        writeFile(m_dir / "lithora.g", g);
        writeFile(m_dir / "lithora.c", std::string(4 * kCardTableSize, '\0'));
        writeFile(m_dir / "lithora.i", std::string(4 * kCardTableSize, '\0'));
        Session session;
        session.data.dir = m_dir;
        EXPECT_TRUE(startUp(session).ok());
        return session;
    }

  private:
    std::filesystem::path m_dir;
    std::vector<std::pair<std::string, std::int32_t>> m_records;
};

std::string fullRecord(int card, const std::string& name) {
    SourceEntry e;
    e.cells[FieldCard] = std::to_string(card);
    e.cells[FieldName] = name;
    e.cells[FieldFormula] = "SiO2";
    e.cells[FieldSgNumber] = "154";
    e.cells[FieldSgSymbol] = "P3221";
    e.cells[FieldDSpacings] = "3.34 4.26";
    e.cells[FieldIntensities] = "100 35";
    e.cells[FieldStatus] = "A";
    e.cells[FieldCrystalSystem] = "H/T";
    e.cells[FieldGroup] = "Quartz";
    e.cells[FieldNotes] = "notes";
    e.cells[FieldZ] = "3";
    e.cells[FieldCell] = "4.913 4.913 5.405 90 90 120 113.01";
    e.cells[FieldElements] = "Si O";
    return entryRecordText(e);
}

bool selectCard(Session& session, int card) {
    session.selectedRow = rowOfCard(session, card);
    return session.selectedRow != 0 && loadSelectedCard(session);
}

} // namespace

TEST(ShortRecords, TheListTakesThemAndTheCardReadsMissingFieldsAsEmpty) {
    TempDir dir;
    HandMadeSet set(dir.path());
    set.add(fullRecord(9, "Full"));
    set.add("7|Shorty");     // two fields: no formula
    set.add("8|Tiny|Fm|12"); // four fields
    SourceEntry cell;
    cell.cells[FieldCard] = "11";
    cell.cells[FieldName] = "Cell";
    cell.cells[FieldCrystalSystem] = "M";
    cell.cells[FieldCell] = "5 0 3"; // b = 0 and too few values
    set.add(entryRecordText(cell));
    Session session = set.open();
    ASSERT_EQ(session.rows.size(), 4u);
    EXPECT_EQ(session.rows[1][ColName], "Shorty");
    EXPECT_EQ(session.rows[1][ColFormula], "");
    EXPECT_EQ(session.rows[2][ColFormula], "Fm");
    EXPECT_EQ(session.rows[3][ColA], "5");
    EXPECT_EQ(session.rows[3][ColAOverB], ""); // a / 0 shows nothing
    EXPECT_EQ(session.rows[3][ColVolume], "");

    ASSERT_TRUE(selectCard(session, 9));
    EXPECT_EQ(session.card.currentNotes, "notes");
    ASSERT_TRUE(selectCard(session, 7));
    const CardState& s = session.card;
    EXPECT_EQ(s.currentName, "Shorty");
    // Nothing of the full card before it stays behind.
    for (const std::string* member :
         {&s.currentSpaceGroup, &s.currentDIPairs, &s.currentStatus, &s.currentNotes,
          &s.currentGroup, &s.currentZ, &s.currentCell, &s.currentCellVolume, &s.currentElements,
          &s.currentCrystalSystem}) {
        EXPECT_EQ(*member, "");
    }
    EXPECT_EQ(s.currentDSpacings[0], "        ");

    ASSERT_TRUE(selectCard(session, 11));
    EXPECT_EQ(session.card.currentCell, "5 0 3");
    EXPECT_EQ(session.card.currentCellVolume, "");
}

TEST(ShortRecords, TheListEndsAtABadLengthOrARecordWithoutFields) {
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::int32_t> length;
        std::size_t rows;
    };
    const Case cases[] = {
        {"2023 bytes is an entry", "5|Max|" + std::string(2017, 'x'), std::nullopt, 3},
        {"2024 ends the list", "5|Big|" + std::string(2018, 'x'), std::nullopt, 1},
        {"0 ends the list", "", 0, 1},
        {"a negative length ends the list", "", -9, 1},
        {"a record without | ends the list", "5", std::nullopt, 1},
        {"a length past the end ends the list", "5|Cut", 5000, 1},
    };
    for (const Case& c : cases) {
        TempDir dir;
        HandMadeSet set(dir.path());
        set.add(fullRecord(1, "First"));
        set.add(c.text, c.length);
        set.add(fullRecord(2, "Last"));
        const Session session = set.open();
        EXPECT_EQ(session.rows.size(), c.rows) << c.what;
    }
}

TEST(Groups, HaveNoFixedLimit) {
    SourceSet set;
    for (int i = 1; i <= 60; ++i) {
        SourceEntry e;
        e.cells[FieldCard] = std::to_string(i);
        e.cells[FieldName] = "Group " + std::to_string(100 + i);
        e.cells[FieldStatus] = "GROUP";
        e.cells[FieldGroup] = "G" + std::to_string(100 + i);
        set.entries.push_back(e);
    }
    TempDir dir;
    Session session;
    session.data = packInto(set, dir.path());
    ASSERT_TRUE(startUp(session).ok());
    ASSERT_EQ(session.groupCaptions.size(), 60u);
    EXPECT_EQ(session.groupCaptions[59], "60 - G160");
}

TEST(ShortRecords, ACardNumberOutsideTheTablesLoadsNothing) {
    TempDir dir;
    HandMadeSet set(dir.path());
    set.add(fullRecord(1, "First"));
    set.add("20000|Huge|X");
    set.add("0|Zero|Y");
    Session session = set.open();
    EXPECT_EQ(session.maxCardNumber, 10000); // never above the tables' bounds
    session.selectedRow = 2;
    EXPECT_FALSE(loadSelectedCard(session));
    EXPECT_EQ(session.card.currentName, "Huge");
    session.selectedRow = 3; // card 0: element 0 of the table is the entry count, not an entry
    EXPECT_TRUE(loadSelectedCard(session));
    EXPECT_EQ(session.card.currentEntryIndex, 0);
    EXPECT_EQ(session.card.currentRawName, "");
}

// ---------------------------------------------------------------------------------------------
// A named pipe, a directory or a device in place of one of the eight data files. Opening a pipe
// for reading waits for a writer and a device never ends; each must read as a file that cannot
// be read, at once.

namespace {

void outcome(std::ostringstream& out, const char* what, const SearchOutcome& o) {
    out << what << ": end " << static_cast<int>(o.end) << ", " << o.matchCount << " matches, "
        << o.title << ": " << o.message << '\n';
}

// What a session makes of a data directory: start-up with what the tables reported, every card
// of the list, a search of each kind, an identification.
void sessionTour(const std::filesystem::path& dir, std::ostringstream& out) {
    Session session;
    session.data.dir = dir;
    session.errorSink = [&out](std::string_view operation, std::string_view message) {
        out << "reported " << operation << ": " << message << '\n';
    };
    const Status started = startUp(session);
    out << "start-up: " << (started ? std::string("ok") : started.error().message) << ", "
        << session.rows.size() << " rows\n";
    if (!started) return;
    for (std::size_t row = 1; row <= session.rows.size(); ++row) {
        session.selectedRow = static_cast<int>(row);
        const bool loaded = loadSelectedCard(session);
        const CardState& card = session.card;
        out << "card " << card.currentCardNumber << (loaded ? " " : " not loaded ")
            << card.currentRawName << ", " << card.currentReferenceCount << " references, "
            << card.currentReferences[0] << ", optics " << card.currentOpticalRecord << ", "
            << card.unreadableMessage << '\n';
    }
    FormCriterionTexts form;
    form[0] = "cal";
    outcome(out, "form", runCardFormSearch(session, form, {false, true}, nullptr));
    OpticsCriterionTexts optics;
    optics[8] = "-";
    outcome(out, "optics", runOpticsSearch(session, optics, {false, true}, nullptr));
    ElementSelection elements;
    elements.applyPreset(3);
    elements.require(atomicNumber("Ca"));
    outcome(out, "elements", runElementSearch(session, elements, 0));
    outcome(out, "text", runTextSearch(session, "garnet", CategoryGroup, "", 0));
    outcome(out, "cell",
            runTextSearch(session, "4.99 4.99 17.06 90 90 120", CategoryUnitCell, "", 0, true));
    MeasuredPattern pattern;
    pattern.peaks = {{3.035, 100}, {2.285, 18}, {2.095, 18}};
    const Result<Identification> found = identifyPattern(session.data, pattern, {});
    out << "identify: ";
    if (found) {
        for (const Candidate& c : found.value().candidates)
            out << c.card << ' ';
    } else {
        out << found.error().message;
    }
    out << '\n';
}

// The session's tour, then what lithora-pack's unpack and verify make of the directory, as one
// text. Every data file is read by at least one of them.
std::string tour(const std::filesystem::path& dir) {
    std::ostringstream out;
    sessionTour(dir, out);
    const Result<SourceSet> unpacked = unpackDataSet(dir, buildRecordKey());
    out << "unpack: "
        << (unpacked ? std::to_string(unpacked.value().entries.size()) + " entries"
                     : unpacked.error().message)
        << '\n';
    for (const std::string& problem : verifyDataSet(dir, buildRecordKey()))
        out << "verify: " << problem << '\n';
    return out.str();
}

struct Replacement {
    const char* file;
    NotAFile kind;
};

void PrintTo(const Replacement& r, std::ostream* out) {
    *out << r.file << " as a " << describe(r.kind);
}

std::string replacementName(const ::testing::TestParamInfo<Replacement>& info) {
    return replaceAll(info.param.file, ".", "_") + "_" + describe(info.param.kind);
}

class NotARegularFile : public ::testing::TestWithParam<Replacement> {
  protected:
    void SetUp() override {
        const SourceSet set = readFixtureSource("mini");
        packInto(set, missing.path());
        packInto(set, damaged.path());
        std::filesystem::remove(missing.path() / GetParam().file);
        std::string why;
        ASSERT_TRUE(putInPlace(path(), GetParam().kind, &why)) << why;
    }
    std::filesystem::path path() const { return damaged.path() / GetParam().file; }

    TempDir missing; // the same set without the file
    TempDir damaged;
};

std::vector<Replacement> everyReplacement() {
    std::vector<Replacement> all;
    for (const char* file : PackedSet::kNames)
        for (NotAFile kind : kNotAFileKinds)
            all.push_back({file, kind});
    return all;
}

} // namespace

// Every way a data file is opened refuses the thing in its place as it refuses an unreadable
// file: "cannot read" and the path, nothing opened, nothing read.
TEST_P(NotARegularFile, EveryOpenRefusesItAsUnreadable) {
    const std::string message = "cannot read " + path().string();
    PipeWatch watch(path());
    const Result<std::FILE*> opened = openRegularFile(path());
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error().code, ErrorCode::Unreadable);
    EXPECT_EQ(opened.error().message, message);
    const Result<std::string> whole = readWholeFile(path());
    ASSERT_FALSE(whole.ok());
    EXPECT_EQ(whole.error().message, message);
    const Result<RecordFile> file = RecordFile::open(path());
    ASSERT_FALSE(file.ok());
    EXPECT_EQ(file.error().message, message);
    const Result<RecordBuffer> buffer = RecordBuffer::load(path());
    ASSERT_FALSE(buffer.ok());
    EXPECT_EQ(buffer.error().message, message);
    const Result<SequentialRecords> records = SequentialRecords::load(path());
    ASSERT_FALSE(records.ok());
    EXPECT_EQ(records.error().message, message);
    EXPECT_FALSE(watch.opened()) << "the pipe was opened for reading";
}

// A session, unpack and verify on the set give exactly what they give without the file, but
// that the messages say "cannot read" where they said "file not found"; none opens the pipe.
TEST_P(NotARegularFile, ASessionTakesItAsAnUnreadableFile) {
    const std::string withoutFile =
        replaceAll(tour(missing.path()), missing.path().string(), damaged.path().string());
    ASSERT_NE(withoutFile.find("file not found: " + path().string()), std::string::npos)
        << "the tour does not read " << GetParam().file << ":\n"
        << withoutFile;
    std::string seen;
    {
        PipeWatch watch(path());
        seen = tour(damaged.path());
        EXPECT_FALSE(watch.opened()) << "the pipe was opened for reading";
    }
    EXPECT_EQ(seen, replaceAll(withoutFile, "file not found: ", "cannot read "));
}

INSTANTIATE_TEST_SUITE_P(EachDataFile, NotARegularFile, ::testing::ValuesIn(everyReplacement()),
                         replacementName);

TEST(OpenRegularFile, OpensAFileOrALinkToOneAndTellsMissingFromUnreadable) {
    TempDir dir;
    writeFile(dir.path() / "f", "bytes");
    std::filesystem::create_symlink(dir.path() / "f", dir.path() / "link");
    for (const char* name : {"f", "link"}) {
        Result<std::FILE*> opened = openRegularFile(dir.path() / name);
        ASSERT_TRUE(opened.ok()) << name << ": " << opened.error().message;
        char buffer[8] = {};
        EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, opened.value()), 5u) << name;
        EXPECT_STREQ(buffer, "bytes");
        std::fclose(opened.value());
    }
    const Result<std::FILE*> none = openRegularFile(dir.path() / "none");
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error().code, ErrorCode::NotFound);
    EXPECT_EQ(none.error().message, "file not found: " + (dir.path() / "none").string());
    // A link that leads nowhere is a missing file.
    std::filesystem::create_symlink(dir.path() / "none", dir.path() / "dangling");
    const Result<std::FILE*> dangling = openRegularFile(dir.path() / "dangling");
    ASSERT_FALSE(dangling.ok());
    EXPECT_EQ(dangling.error().code, ErrorCode::NotFound);
}

TEST(OpenRegularFile, RefusesASocketAndALinkToAPipe) {
    TempDir dir;
    std::string why;
    ASSERT_TRUE(putInPlace(dir.path() / "pipe", NotAFile::Pipe, &why)) << why;
    std::filesystem::create_symlink(dir.path() / "pipe", dir.path() / "link");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (dir.path() / "socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    PipeWatch watch(dir.path() / "pipe");
    for (const char* name : {"link", "socket"}) {
        const Result<std::FILE*> opened = openRegularFile(dir.path() / name);
        ASSERT_FALSE(opened.ok()) << name;
        EXPECT_EQ(opened.error().code, ErrorCode::Unreadable) << name;
        EXPECT_EQ(opened.error().message, "cannot read " + (dir.path() / name).string());
    }
    EXPECT_FALSE(watch.opened());
    ::close(s);
}

// A pipe that takes the file's place between the look at the path and the open is refused on
// the open file itself, without waiting: a plain open after the look hangs here within the
// first second (until the test's time limit). The swaps fall by chance, so the opens go on for
// two seconds.
TEST(OpenRegularFile, NeverWaitsWhileAPipeAndAFileTakeTurnsInItsPlace) {
    TempDir dir;
    const std::filesystem::path target = dir.path() / "lithora.d";
    const std::filesystem::path nextFile = dir.path() / "next-file";
    const std::filesystem::path nextPipe = dir.path() / "next-pipe";
    writeFile(target, "table");
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        std::string why;
        while (!stop) {
            if (putInPlace(nextPipe, NotAFile::Pipe, &why))
                std::filesystem::rename(nextPipe, target);
            writeFile(nextFile, "table");
            std::filesystem::rename(nextFile, target);
        }
    });
    int opened = 0;
    int refused = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
        const Result<std::FILE*> f = openRegularFile(target);
        if (f) {
            char buffer[8] = {};
            EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, f.value()), 5u);
            std::fclose(f.value());
            ++opened;
        } else {
            EXPECT_EQ(f.error().message, "cannot read " + target.string());
            ++refused;
        }
    }
    stop = true;
    swapper.join();
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}
