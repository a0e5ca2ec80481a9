#include "output_format.h"

namespace lithora::cli {

void TableOutput::addOption(CLI::App* app) {
    addOption(app, "json (default): the answer as one JSON object; csv or tsv: only the list, a "
                   "header line of the list's column headers, then one line per entry");
}

void TableOutput::addOption(CLI::App* app, const std::string& description) {
    app->add_option("--format", m_name, description)
        ->type_name("FORMAT")
        ->transform(CLI::IsMember({"json", "csv", "tsv"}, CLI::ignore_case))
        ->each([this](const std::string& name) {
            m_format = tableFormatNamed(name).value_or(TableFormat::Json);
        });
}

void TableOutput::setRows(const std::vector<ListRow>& rows) {
    m_table = listTable(rows, allListColumns());
}

std::string TableOutput::text() const {
    return tableText(m_table, m_format, ByteOrderMark::Without);
}

} // namespace lithora::cli
