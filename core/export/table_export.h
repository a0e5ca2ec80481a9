#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "list/entry_list.h"

// A list as a table of UTF-8 texts, written as CSV, TSV or JSON for spreadsheets and scripts.
namespace lithora {

struct Table {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows; // a short row reads as ending in empty cells
};

// The rows with the given columns (ListColumn values, in the order given) under the list's own
// header texts. Cells are the list's, so names already show their letters, not their codes.
Table listTable(const std::vector<ListRow>& rows, const std::vector<int>& columns);

// Every list column in order: what the tools write.
std::vector<int> allListColumns();

enum class TableFormat { Csv, Tsv, Json };

// "csv", "tsv" or "json", letter case ignored; nothing for any other name.
std::optional<TableFormat> tableFormatNamed(std::string_view name);

// A spreadsheet opening a CSV file takes it for UTF-8 only when it starts with a byte order
// mark; a script reading standard output wants none. Files saved for the user get one, the
// tools' output does not.
enum class ByteOrderMark { Without, With };

// One CSV field (RFC 4180): quoted when it holds a comma, a double quote, CR or LF, or starts
// or ends with a blank (some readers trim unquoted blanks); quotes inside are doubled.
std::string csvField(std::string_view cell);

// The header record, then one record per row, each ending in CRLF. A record of one empty field
// is written as "" so that it does not read as an empty line, which readers skip.
std::string csvText(const Table& table, ByteOrderMark bom = ByteOrderMark::Without);

// TSV is for line tools (cut, awk): every line is one record, every tab a column boundary. A
// tab, CR, LF or CRLF inside a cell therefore becomes one blank; nothing is quoted or escaped,
// so CSV or JSON carry such a cell exactly. Lines end in LF.
std::string tsvField(std::string_view cell);
std::string tsvText(const Table& table);

// An array with one object per row, keyed by the headers in column order, indented by two.
// Text that is not valid UTF-8 is written with U+FFFD in its place. When a header repeats, its
// first column is kept.
std::string jsonText(const Table& table);

std::string tableText(const Table& table, TableFormat format,
                      ByteOrderMark bom = ByteOrderMark::Without);

// A spreadsheet opening a CSV file runs a cell that starts with = + - or @ (or with a tab or CR)
// as a formula, and a formula can fetch a web address or start a program. Files saved for a
// spreadsheet therefore put a single quote before such a cell, which spreadsheets take as
// "this is text". A cell that reads as a plain number ("-0.5", "+3", "-1e-3") stays as it is.
// The tools' standard output is for scripts and keeps every cell exactly.
std::string spreadsheetSafeCell(std::string_view cell);
Table spreadsheetSafe(Table table);

// The desktop's "Export List": CSV or TSV for spreadsheets (formulas defused, and CSV with a
// byte order mark), or JSON for programs (cells exactly as listed), chosen by the file name's
// extension in any letter case.
std::optional<TableFormat> exportFormatOfFileName(std::string_view fileName);
// The extension of a format without its dot: "csv", "tsv", "json".
std::string_view fileExtensionOf(TableFormat format);
struct ExportTarget {
    std::string fileName;
    TableFormat format;
};
// Where a list goes and how: a name ending in .csv, .tsv or .json is written in that format; any
// other name gets the extension of the format chosen in the dialog ("list" becomes "list.csv").
ExportTarget exportTarget(std::string fileName, TableFormat chosen);
std::string exportedListText(const std::vector<ListRow>& rows, const std::vector<int>& columns,
                             TableFormat format);

} // namespace lithora
