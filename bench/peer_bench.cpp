// The peer: the same queries over the same entries in an in-memory SQLite table, as a user with
// a spreadsheet-and-SQL habit would run them. The table is filled from the readable source of
// the synthetic set before timing. Run: build/bench/lithora_peer_bench
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>

#include "synth.h"
#include "text/numeric.h"
#include "text/split.h"

using namespace lithora;

namespace {

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", error);
        sqlite3_free(error);
        std::abort();
    }
}

// entries(card, name, formula, grp, notes, mohs, z, a, b, c), lines(card, d),
// elements(card, symbol), optics(card, class, sign, n_avg).
sqlite3* databaseOf(int count) {
    static std::map<int, Database> databases;
    auto it = databases.find(count);
    if (it != databases.end()) return it->second.get();
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    Database db(raw, &sqlite3_close);
    exec(raw,
         "CREATE TABLE entries(card INTEGER PRIMARY KEY, name TEXT, formula TEXT, grp TEXT, notes "
         "TEXT,"
         " mohs REAL, z REAL, a REAL, b REAL, c REAL, element_count INTEGER);"
         "CREATE TABLE lines(card INTEGER, d REAL); CREATE TABLE elements(card INTEGER, symbol "
         "TEXT);"
         "CREATE TABLE optics(card INTEGER, class TEXT, sign TEXT, n_avg REAL);"
         "CREATE INDEX lines_card ON lines(card); CREATE INDEX elements_card ON elements(card);");
    const SourceSet set = synthesize(count, 1);
    exec(raw, "BEGIN");
    sqlite3_stmt* entry = nullptr;
    sqlite3_stmt* line = nullptr;
    sqlite3_stmt* element = nullptr;
    sqlite3_stmt* optic = nullptr;
    sqlite3_prepare_v2(raw, "INSERT INTO entries VALUES(?,?,?,?,?,?,?,?,?,?,?)", -1, &entry,
                       nullptr);
    sqlite3_prepare_v2(raw, "INSERT INTO lines VALUES(?,?)", -1, &line, nullptr);
    sqlite3_prepare_v2(raw, "INSERT INTO elements VALUES(?,?)", -1, &element, nullptr);
    sqlite3_prepare_v2(raw, "INSERT INTO optics VALUES(?,?,?,?)", -1, &optic, nullptr);
    for (const SourceEntry& e : set.entries) {
        const int card = static_cast<int>(numericValue(e.cells[FieldCard]));
        const std::vector<std::string> cell = splitWords(e.cells[FieldCell]);
        const std::vector<std::string> symbols = splitWords(e.cells[FieldElements]);
        sqlite3_bind_int(entry, 1, card);
        sqlite3_bind_text(entry, 2, e.cells[FieldName].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(entry, 3, e.cells[FieldFormula].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(entry, 4, e.cells[FieldGroup].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(entry, 5, e.cells[FieldNotes].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(entry, 6, numericValue(e.cells[FieldMohs]));
        sqlite3_bind_double(entry, 7, numericValue(e.cells[FieldZ]));
        for (int i = 0; i < 3; ++i) {
            sqlite3_bind_double(entry, 8 + i,
                                cell.size() > 6 ? numericValue(cell[static_cast<std::size_t>(i)])
                                                : 0.0);
        }
        sqlite3_bind_int(entry, 11, symbols[0].empty() ? 0 : static_cast<int>(symbols.size()));
        sqlite3_step(entry);
        sqlite3_reset(entry);
        for (const std::string& d : splitWords(e.cells[FieldDSpacings])) {
            if (d.empty()) continue;
            sqlite3_bind_int(line, 1, card);
            sqlite3_bind_double(line, 2, numericValue(d));
            sqlite3_step(line);
            sqlite3_reset(line);
        }
        for (const std::string& s : symbols) {
            if (s.empty()) continue;
            sqlite3_bind_int(element, 1, card);
            sqlite3_bind_text(element, 2, s.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(element);
            sqlite3_reset(element);
        }
    }
    for (const SourceOptics& o : set.optics) {
        sqlite3_bind_int(optic, 1, o.card);
        sqlite3_bind_text(optic, 2, o.fields[23].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(optic, 3, o.fields[28].c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(optic, 4, numericValue(o.fields[3]));
        sqlite3_step(optic);
        sqlite3_reset(optic);
    }
    for (sqlite3_stmt* s : {entry, line, element, optic})
        sqlite3_finalize(s);
    exec(raw, "COMMIT");
    return databases.emplace(count, std::move(db)).first->second.get();
}

void query(benchmark::State& state, const char* sql) {
    sqlite3* db = databaseOf(static_cast<int>(state.range(0)));
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) std::abort();
    int rows = 0;
    for (auto _ : state) {
        rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    state.counters["matches"] = rows;
}

} // namespace

// The same queries as the searches of core_bench.
BENCHMARK_CAPTURE(
    query, form_text,
    "SELECT card FROM entries WHERE upper(name) LIKE '%ITE%' AND upper(notes) LIKE '%CELL%'")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(query, form_numbers,
                  "SELECT card FROM entries WHERE abs(mohs - 6) <= 0.1 AND abs(a - 10) <= 0.05 AND "
                  "abs(z - 4) <= 0.5")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(
    query, form_dspacings,
    "SELECT card FROM entries e WHERE EXISTS (SELECT 1 FROM lines l WHERE l.card = e.card AND "
    "abs(l.d - 3.34) <= 0.02)"
    " AND EXISTS (SELECT 1 FROM lines l WHERE l.card = e.card AND abs(l.d - 4.26) <= 0.02)")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(query, optics,
                  "SELECT card FROM optics WHERE upper(class) LIKE '%BI%' AND abs(n_avg - 1.6) <= "
                  "0.05 AND upper(sign) LIKE '%POS%'")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(
    query, elements,
    "SELECT card FROM entries e WHERE element_count <= 4"
    " AND (SELECT count(*) FROM elements x WHERE x.card = e.card AND x.symbol IN ('Si','O')) = 2")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(query, text_group, "SELECT card FROM entries WHERE upper(grp) LIKE '%GARNET%'")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(
    query, unit_cell,
    "SELECT card FROM entries WHERE abs(a - 5) <= 0.5 AND abs(b - 5) <= 0.5 AND abs(c - 5) <= 0.5")
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
