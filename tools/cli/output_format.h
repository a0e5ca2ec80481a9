#pragma once

#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "export/table_export.h"
#include "list/entry_list.h"

// --format json|csv|tsv of the commands whose answer is a list. JSON is the command's object
// as ever; CSV and TSV write the list alone, a header line and one line per entry with every
// list column, and no byte order mark, for scripts and spreadsheets to read.
namespace lithora::cli {

class TableOutput {
  public:
    // Adds --format to a subcommand; several subcommands may share one object. A command whose
    // table is not the list says what it writes instead.
    void addOption(CLI::App* app);
    void addOption(CLI::App* app, const std::string& description);

    // True for csv and tsv: main.cpp writes text() instead of the JSON object.
    bool wantsTable() const { return m_format != TableFormat::Json; }
    TableFormat format() const { return m_format; }

    // The rows the answer lists (a search's matches; none when it found nothing).
    void setRows(const std::vector<ListRow>& rows);
    // A table of the command's own.
    void setTable(Table table) { m_table = std::move(table); }
    std::string text() const;

  private:
    std::string m_name = "json";
    TableFormat m_format = TableFormat::Json;
    Table m_table = listTable({}, allListColumns());
};

} // namespace lithora::cli
