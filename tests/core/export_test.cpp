// The list as CSV, TSV and JSON, and the current card as plain text.
#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "export/card_text.h"
#include "export/table_export.h"
#include "session/session.h"
#include "text/split.h"

using namespace lithora;

namespace {

// A reader of RFC 4180 text written for these tests alone: quoted fields may hold commas,
// doubled quotes and line breaks; records end in CRLF. Fails the test on anything else.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return records;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    field += text[i];
                }
            }
        }
        if (i < text.size() && text[i] == ',') {
            record.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (text.compare(i, 2, "\r\n") == 0) {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            i += 2;
        } else if (i < text.size()) {
            if (text[i] == '"' || text[i] == '\r' || text[i] == '\n')
                ADD_FAILURE() << "bare quote or line break at " << i;
            field += text[i++];
        }
    }
    EXPECT_TRUE(record.empty() && field.empty()) << "the last record has no CRLF";
    return records;
}

Table oneColumn(const std::vector<std::string>& cells) {
    Table t{{"Name"}, {}};
    for (const std::string& c : cells)
        t.rows.push_back({c});
    return t;
}

} // namespace

TEST(CsvExport, FieldsAreQuotedOnlyWhereRfc4180NeedsIt) {
    const struct {
        std::string cell;
        std::string written;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"Fe,Mg", "\"Fe,Mg\""},
        {"the \"true\" one", "\"the \"\"true\"\" one\""},
        {"\"", "\"\"\"\""},
        {"line\nbreak", "\"line\nbreak\""},
        {"carriage\rreturn", "\"carriage\rreturn\""},
        {"crlf\r\ninside", "\"crlf\r\ninside\""},
        {" leading", "\" leading\""},
        {"trailing ", "\"trailing \""},
        {"in side", "in side"},
        {"tab\there", "tab\there"},
        {"Ca2(Fe,Mg)5[Si8O22](OH)2", "\"Ca2(Fe,Mg)5[Si8O22](OH)2\""},
        {"Bütschliite", "Bütschliite"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.cell), c.written) << c.cell;
}

TEST(CsvExport, RecordsEndInCrlfAndReadBackCellForCell) {
    const Table t{{"Name", "Formula", "Notes"},
                  {{"Quartz", "SiO2", ""},
                   {"Bütschliite", "K2Ca(CO3)2", "a, b and \"c\""},
                   {"", "", ""},
                   {" spaced ", "x\r\ny", "one\ntwo\rthree"}}};
    const std::string text = csvText(t);
    EXPECT_EQ(text.substr(0, 23), "Name,Formula,Notes\r\nQua");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    std::vector<std::vector<std::string>> expected{t.headers};
    expected.insert(expected.end(), t.rows.begin(), t.rows.end());
    EXPECT_EQ(readCsv(text), expected);
    EXPECT_NE(text.find("\r\n,,\r\n"), std::string::npos); // the empty row: two commas
}

TEST(CsvExport, ByteOrderMarkOnlyWhenAskedAndShortRowsEndInEmptyCells) {
    const Table t{{"a", "b", "c"}, {{"1"}}};
    EXPECT_EQ(csvText(t, ByteOrderMark::Without), "a,b,c\r\n1,,\r\n");
    EXPECT_EQ(csvText(t, ByteOrderMark::With), "\xEF\xBB\xBF"
                                               "a,b,c\r\n1,,\r\n");
    EXPECT_EQ(tableText(t, TableFormat::Csv), "a,b,c\r\n1,,\r\n");
}

TEST(CsvExport, AnEmptyCellAloneOnItsRecordIsQuotedSoItIsNoBlankLine) {
    EXPECT_EQ(csvText(oneColumn({"x", "", "y"})), "Name\r\nx\r\n\"\"\r\ny\r\n");
    EXPECT_EQ(readCsv(csvText(oneColumn({""}))).size(), 2u);
}

TEST(TsvExport, TabsAndLineBreaksInACellBecomeOneBlank) {
    const struct {
        std::string cell;
        std::string written;
    } cases[] = {
        {"plain", "plain"},
        {"a\tb", "a b"},
        {"a\nb", "a b"},
        {"a\rb", "a b"},
        {"a\r\nb", "a b"},
        {"a\n\nb", "a  b"},
        {"\"quoted\"", "\"quoted\""},
        {"Fe,Mg", "Fe,Mg"},
        {"back\\slash", "back\\slash"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tsvField(c.cell), c.written) << c.cell;
    const Table t{{"Name", "Notes"}, {{"Quartz", "one\ttwo\r\nthree"}, {"Bütschliite"}}};
    EXPECT_EQ(tsvText(t), "Name\tNotes\nQuartz\tone two three\nBütschliite\t\n");
}

TEST(JsonExport, ObjectsKeyedByHeaderInColumnOrderReadBackExactly) {
    const Table t{{"Name", "Formula", "#"},
                  {{"Bütschliite", "K2Ca(CO3)2", "1"}, {"a \"b\"\n\tc\\", "", "2"}, {"x"}}};
    const std::string text = jsonText(t);
    const nlohmann::ordered_json j = nlohmann::ordered_json::parse(text);
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 3u);
    for (std::size_t r = 0; r < 3; ++r) {
        std::vector<std::string> keys;
        for (const auto& [key, value] : j[r].items()) {
            keys.push_back(key);
            EXPECT_TRUE(value.is_string());
        }
        EXPECT_EQ(keys, t.headers) << r;
    }
    EXPECT_EQ(j[1]["Name"], "a \"b\"\n\tc\\");
    EXPECT_EQ(j[0]["Name"], "Bütschliite");
    EXPECT_EQ(j[2]["#"], ""); // a short row ends in empty cells
    EXPECT_EQ(jsonText(Table{{"Name"}, {}}), "[]\n");
}

TEST(JsonExport, BrokenUtf8IsReplacedAndARepeatedHeaderKeepsItsFirstColumn) {
    const Table t{{"Name", "Name"}, {{"bad \xFF byte", "second"}}};
    const nlohmann::json j = nlohmann::json::parse(jsonText(t));
    EXPECT_EQ(j[0].size(), 1u);
    EXPECT_EQ(j[0]["Name"], "bad \xEF\xBF\xBD byte");
}

TEST(ListTable, TakesTheChosenColumnsInOrderWithTheListsHeadersAndLetters) {
    int maxCard = 0;
    std::vector<std::string> fields(28);
    fields[0] = "42";
    fields[1] = "@CKechite"; // the stored name; the list shows the plain letter
    fields[2] = "PbFe(VO4)(OH)";
    fields[9] = "A";
    std::vector<std::string> accented = fields;
    accented[0] = "7";
    accented[1] = "Bütschliite";
    const std::vector<ListRow> rows = {buildListRow(fields, 1, maxCard, '.'),
                                       buildListRow(accented, 2, maxCard, '.')};
    const Table t = listTable(rows, {ColCard, ColName, ColStatus, 99, -1});
    EXPECT_EQ(t.headers, (std::vector<std::string>{"Card#", "Name", "Status"}));
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_EQ(t.rows[0], (std::vector<std::string>{"42", "cechite", "A"}));
    EXPECT_EQ(t.rows[1][1], "Bütschliite");
    EXPECT_EQ(csvText(t), "Card#,Name,Status\r\n42,cechite,A\r\n7,Bütschliite,A\r\n");

    const Table all = listTable(rows, allListColumns());
    ASSERT_EQ(all.headers.size(), static_cast<std::size_t>(kListColumnCount));
    EXPECT_EQ(all.headers.front(), "#");
    EXPECT_EQ(all.headers.back(), "Status");
    EXPECT_EQ(all.rows[1][ColNumber], "2");
}

TEST(TableFormat, NamesAreCsvTsvJsonInAnyCase) {
    EXPECT_EQ(tableFormatNamed("csv"), TableFormat::Csv);
    EXPECT_EQ(tableFormatNamed("TSV"), TableFormat::Tsv);
    EXPECT_EQ(tableFormatNamed("Json"), TableFormat::Json);
    for (const char* bad : {"", "xml", "csv ", "cs", "jsonl"})
        EXPECT_FALSE(tableFormatNamed(bad).has_value()) << bad;
}

TEST(SpreadsheetSafety, FormulaStartsAreDefusedAndNumbersAndOtherTextKept) {
    for (const char* formula : {"=HYPERLINK(\"http://x\")", "+A1", "-2+3", "@SUM(A1)", "=", "-",
                                "\t=1", "\r=1", "+-1", "-1e", "--1"})
        EXPECT_EQ(spreadsheetSafeCell(formula), std::string("'") + formula) << formula;
    for (const char* kept : {"-0.5", "+3", "-1e-3", "-2,5", "12", "", "Quartz", "SiO2",
                             "'=already quoted", " =x", "(OH)", "a=b"})
        EXPECT_EQ(spreadsheetSafeCell(kept), kept) << kept;

    const Table safe = spreadsheetSafe(Table{{"=Name", "d"}, {{"@x", "-0.25"}, {"=1+1"}}});
    EXPECT_EQ(safe.headers, (std::vector<std::string>{"'=Name", "d"}));
    EXPECT_EQ(safe.rows[0], (std::vector<std::string>{"'@x", "-0.25"}));
    EXPECT_EQ(safe.rows[1], (std::vector<std::string>{"'=1+1"}));
}

TEST(ListExport, FormatFollowsTheExtensionAndCsvFilesAreForSpreadsheets) {
    EXPECT_EQ(exportFormatOfFileName("/home/u/minerals.csv"), TableFormat::Csv);
    EXPECT_EQ(exportFormatOfFileName("C:\\lists\\Match.JSON"), TableFormat::Json);
    EXPECT_EQ(exportFormatOfFileName("a.b/list.tsv"), TableFormat::Tsv);
    for (const char* none : {"list", "list.", "list.xls", "dir.csv/list", "dir.csv\\list", ""})
        EXPECT_FALSE(exportFormatOfFileName(none).has_value()) << none;

    EXPECT_EQ(exportTarget("/t/list.JSON", TableFormat::Csv).format, TableFormat::Json);
    EXPECT_EQ(exportTarget("/t/list.JSON", TableFormat::Csv).fileName, "/t/list.JSON");
    EXPECT_EQ(exportTarget("/t/list", TableFormat::Tsv).fileName, "/t/list.tsv");
    EXPECT_EQ(exportTarget("/t/list.", TableFormat::Csv).fileName, "/t/list.csv");
    const ExportTarget other = exportTarget("/t.d/list.xls", TableFormat::Json);
    EXPECT_EQ(other.fileName, "/t.d/list.xls.json");
    EXPECT_EQ(other.format, TableFormat::Json);

    int maxCard = 0;
    std::vector<std::string> fields(28);
    fields[0] = "5";
    fields[1] = "=cmd|' /C calc'!A0"; // a hostile name in a user's own data set
    fields[2] = "Cu2(CO3)(OH)2, hydrated";
    const std::vector<ListRow> rows = {buildListRow(fields, 1, maxCard, '.')};
    const std::string csv = exportedListText(rows, {ColName, ColFormula}, TableFormat::Csv);
    ASSERT_EQ(csv.rfind("\xEF\xBB\xBF", 0), 0u) << "a spreadsheet needs the mark to read UTF-8";
    const auto records = readCsv(csv.substr(3));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], (std::vector<std::string>{"Name", "Formula"}));
    EXPECT_EQ(records[1][0].front(), '\'');
    EXPECT_EQ(records[1][1], "Cu2(CO3)(OH)2, hydrated");

    // JSON is for programs: the cells exactly as the list holds them.
    const auto json = nlohmann::json::parse(exportedListText(rows, {ColName}, TableFormat::Json));
    EXPECT_EQ(json.at(0).at("Name"), rows[0][ColName]);
    EXPECT_EQ(exportedListText(rows, {ColName}, TableFormat::Tsv),
              "Name\n'" + rows[0][ColName] + "\n");
}

namespace {

// Lines of a text, for finding one line among many.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::string_view line : splitExact(text, '\n'))
        lines.emplace_back(line);
    return lines;
}

bool hasLine(const std::string& text, const std::string& line) {
    const std::vector<std::string> lines = linesOf(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(CardPlainText, QuartzFromTheBundledDatabase) {
    Session session;
    session.data.dir = LITHORA_BUNDLED_DATA;
    ASSERT_TRUE(startUp(session).ok());
    session.selectedRow = rowOfCard(session, 4550);
    ASSERT_NE(session.selectedRow, 0);
    ASSERT_TRUE(loadSelectedCard(session));
    const std::string text = cardPlainText(session.card, '.');

    // Expected values are those of card 4550 in data/lithora/entries.tsv, references.tsv and
    // optics.tsv, under the card window's captions.
    EXPECT_EQ(text.substr(0, 7), "Quartz\n");
    for (const char* line :
         {"Card: 4550",
          "Status: A",
          "Last Updated: 2026-12-06",
          "Formula: SiO2",
          "Elements: Si O",
          "Cell Edges: 4.914 4.914 5.405",
          "Cell Angles: 90 90 120",
          "Mohs: 7",
          "Z: 3",
          "SGm: 2.65",
          "SGc: 2.65",
          "Strunz Class: 4.DA.05",
          "Group: Quartz",
          "  3.343  100",
          "  4.255  20",
          "  1.382  6",
          "Notes: Powder lines calculated from the structure of Kihara (1990).",
          "  1. Agricola G (1546) Book V. Quartz, in De Natura Fossilium, Froben (Basileae) "
          "249-275. []",
          "  2. Kihara K (1990) An X-ray study of the temperature dependence of the quartz "
          "structure. [European Journal of Mineralogy 2, 63-77]",
          "Optics",
          "Luster: Vitreous",
          "Optical Class: Uniaxial",
          "Optical Sign: Positive",
          "Birefringence: 0.009"}) {
        EXPECT_TRUE(hasLine(text, line)) << line << "\n--- in ---\n" << text;
    }
    // The card's order: heading, main data, lines, notes, references, optics.
    const auto at = [&text](const char* part) { return text.find(part); };
    EXPECT_LT(at("Formula:"), at("Cell Edges:"));
    EXPECT_LT(at("Cell Edges:"), at("Strunz Class:"));
    EXPECT_LT(at("Type Locality") == std::string::npos ? 0 : at("Type Locality"),
              at("d Spacing / Intensity:"));
    EXPECT_LT(at("d Spacing / Intensity:"), at("Notes:"));
    EXPECT_LT(at("Notes:"), at("References:"));
    EXPECT_LT(at("References:"), at("\nOptics\n"));
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find("<i>"), std::string::npos);
    EXPECT_EQ(text.find(": \n"), std::string::npos); // fields that show nothing are left out
}

TEST(CardPlainText, NoOpticsSectionWithoutOpticalDataAndIndexRowsAsRanges) {
    CardState s;
    s.currentRawName = "Plain";
    s.currentName = "Plain";
    EXPECT_EQ(cardPlainText(s, '.'), "Plain\n");

    // Fields 18 (n1) and 20 (n beta) hold two values apart at code 29; 19 is n1's note.
    std::vector<std::string> f(42);
    f[18] = "1.544\x1d"
            "1.553";
    f[19] = "calc";
    f[20] = "1.600";
    std::string record;
    for (std::size_t i = 0; i < f.size(); ++i)
        record += (i ? "|" : "") + f[i];
    s.currentOpticalRecord = record;
    const std::string text = cardPlainText(s, '.');
    EXPECT_TRUE(hasLine(text, "Optics")) << text;
    EXPECT_TRUE(hasLine(text, "N, Nα, Nε: 1.544 – 1.553 (calc)")) << text;
    EXPECT_TRUE(hasLine(text, "Nβ: 1.600")) << text;
}
