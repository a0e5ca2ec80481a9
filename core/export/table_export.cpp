#include "export/table_export.h"

#include <nlohmann/json.hpp>

namespace lithora {

namespace {

const std::string kEmpty;

const std::string& cellAt(const std::vector<std::string>& row, std::size_t i) {
    return i < row.size() ? row[i] : kEmpty;
}

template <typename Field>
void appendRecord(std::string& out, const std::vector<std::string>& cells, std::size_t width,
                  Field field, std::string_view end) {
    for (std::size_t i = 0; i < width; ++i) {
        if (i > 0) out += field.separator;
        out += field(cellAt(cells, i));
    }
    out += end;
}

struct CsvFieldWriter {
    char separator = ',';
    std::string operator()(std::string_view cell) const { return csvField(cell); }
};

struct TsvFieldWriter {
    char separator = '\t';
    std::string operator()(std::string_view cell) const { return tsvField(cell); }
};

} // namespace

Table listTable(const std::vector<ListRow>& rows, const std::vector<int>& columns) {
    Table table;
    std::vector<std::size_t> shown;
    for (int c : columns) {
        if (c < 0 || c >= kListColumnCount) continue;
        shown.push_back(static_cast<std::size_t>(c));
        table.headers.emplace_back(kListColumns[static_cast<std::size_t>(c)].header);
    }
    table.rows.reserve(rows.size());
    for (const ListRow& row : rows) {
        std::vector<std::string> cells;
        cells.reserve(shown.size());
        for (std::size_t c : shown)
            cells.push_back(row[c]);
        table.rows.push_back(std::move(cells));
    }
    return table;
}

std::vector<int> allListColumns() {
    std::vector<int> columns;
    for (int c = 0; c < kListColumnCount; ++c)
        columns.push_back(c);
    return columns;
}

std::optional<TableFormat> tableFormatNamed(std::string_view name) {
    std::string lower(name);
    for (char& ch : lower) {
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    }
    if (lower == "csv") return TableFormat::Csv;
    if (lower == "tsv") return TableFormat::Tsv;
    if (lower == "json") return TableFormat::Json;
    return std::nullopt;
}

std::string csvField(std::string_view cell) {
    const bool quoted = cell.find_first_of(",\"\r\n") != std::string_view::npos ||
                        (!cell.empty() && (cell.front() == ' ' || cell.back() == ' '));
    if (!quoted) return std::string(cell);
    std::string out;
    out.reserve(cell.size() + 2);
    out += '"';
    for (char ch : cell) {
        if (ch == '"') out += '"';
        out += ch;
    }
    out += '"';
    return out;
}

std::string csvText(const Table& table, ByteOrderMark bom) {
    std::string out = bom == ByteOrderMark::With ? "\xEF\xBB\xBF" : "";
    const std::size_t width = table.headers.size();
    auto record = [&](const std::vector<std::string>& cells) {
        if (width == 1 && cellAt(cells, 0).empty()) {
            out += "\"\"\r\n";
        } else {
            appendRecord(out, cells, width, CsvFieldWriter{}, "\r\n");
        }
    };
    record(table.headers);
    for (const std::vector<std::string>& row : table.rows)
        record(row);
    return out;
}

std::string tsvField(std::string_view cell) {
    std::string out;
    out.reserve(cell.size());
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const char ch = cell[i];
        if (ch == '\r' && i + 1 < cell.size() && cell[i + 1] == '\n') continue; // CRLF: one blank
        out += ch == '\t' || ch == '\r' || ch == '\n' ? ' ' : ch;
    }
    return out;
}

std::string tsvText(const Table& table) {
    std::string out;
    const std::size_t width = table.headers.size();
    appendRecord(out, table.headers, width, TsvFieldWriter{}, "\n");
    for (const std::vector<std::string>& row : table.rows)
        appendRecord(out, row, width, TsvFieldWriter{}, "\n");
    return out;
}

std::string jsonText(const Table& table) {
    using Json = nlohmann::ordered_json;
    Json rows = Json::array();
    for (const std::vector<std::string>& row : table.rows) {
        Json object = Json::object();
        for (std::size_t i = 0; i < table.headers.size(); ++i) {
            if (!object.contains(table.headers[i])) object[table.headers[i]] = cellAt(row, i);
        }
        rows.push_back(std::move(object));
    }
    return rows.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string tableText(const Table& table, TableFormat format, ByteOrderMark bom) {
    switch (format) {
    case TableFormat::Csv:
        return csvText(table, bom);
    case TableFormat::Tsv:
        return tsvText(table);
    case TableFormat::Json:
        return jsonText(table);
    }
    return std::string();
}

namespace {

// An optional sign, digits with at most one point (or comma), and an optional exponent.
bool plainNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool digits = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digits = true;
        } else if ((s[i] == '.' || s[i] == ',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        if (i == start) return false;
    }
    return i == s.size();
}

} // namespace

std::string spreadsheetSafeCell(std::string_view cell) {
    if (cell.empty()) return std::string();
    const char first = cell.front();
    const bool trigger = first == '=' || first == '+' || first == '-' || first == '@' ||
                         first == '\t' || first == '\r';
    if (!trigger || plainNumber(cell)) return std::string(cell);
    return "'" + std::string(cell);
}

Table spreadsheetSafe(Table table) {
    for (std::string& h : table.headers)
        h = spreadsheetSafeCell(h);
    for (std::vector<std::string>& row : table.rows) {
        for (std::string& cell : row)
            cell = spreadsheetSafeCell(cell);
    }
    return table;
}

std::optional<TableFormat> exportFormatOfFileName(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::size_t slash = fileName.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::nullopt;
    return tableFormatNamed(fileName.substr(dot + 1));
}

std::string_view fileExtensionOf(TableFormat format) {
    switch (format) {
    case TableFormat::Csv:
        return "csv";
    case TableFormat::Tsv:
        return "tsv";
    case TableFormat::Json:
        return "json";
    }
    return "csv";
}

ExportTarget exportTarget(std::string fileName, TableFormat chosen) {
    if (const std::optional<TableFormat> named = exportFormatOfFileName(fileName))
        return {std::move(fileName), *named};
    if (fileName.empty() || fileName.back() != '.') fileName += '.';
    fileName += fileExtensionOf(chosen);
    return {std::move(fileName), chosen};
}

std::string exportedListText(const std::vector<ListRow>& rows, const std::vector<int>& columns,
                             TableFormat format) {
    Table table = listTable(rows, columns);
    if (format == TableFormat::Json) return jsonText(table);
    return tableText(spreadsheetSafe(std::move(table)), format, ByteOrderMark::With);
}

} // namespace lithora
