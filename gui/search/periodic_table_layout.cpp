#include "search/periodic_table_layout.h"

#include <array>

namespace lithora::gui::periodic_table {

namespace {

// Runs of consecutive atomic numbers that stand side by side in one row. Period 6 leaves its
// group-3 slot to the lanthanide row (La..Lu) and period 7 to the actinide row (Ac..Lr).
struct Run {
    int row;
    int firstColumn;
    int firstZ;
    int count;
};
// {row, first column, first atomic number, how many}
constexpr Run kRuns[] = {
    {1, 1, 1, 1},                // H
    {1, 18, 2, 1},               // He
    {2, 1, 3, 2},                // Li Be
    {2, 13, 5, 6},               // B..Ne
    {3, 1, 11, 2},               // Na Mg
    {3, 13, 13, 6},              // Al..Ar
    {4, 1, 19, 18},              // K..Kr
    {5, 1, 37, 18},              // Rb..Xe
    {6, 1, 55, 2},               // Cs Ba
    {6, 4, 72, 15},              // Hf..Rn
    {7, 1, 87, 2},               // Fr Ra
    {kLanthanideRow, 3, 57, 15}, // La..Lu
    {kActinideRow, 3, 89, 15},   // Ac..Lr
};

constexpr int kLastZ = 103;

constexpr std::array<GridCell, kLastZ + 1> buildCells() {
    std::array<GridCell, kLastZ + 1> cells{};
    for (const Run& run : kRuns) {
        for (int i = 0; i < run.count; ++i)
            cells[static_cast<std::size_t>(run.firstZ + i)] = {run.row, run.firstColumn + i};
    }
    return cells;
}
constexpr std::array<GridCell, kLastZ + 1> kCells = buildCells();

// Pixels inside the frame: a narrow column of period numbers, then the groups; a row of
// headings above period 1, and a gap of kRowGap above the f-rows.
constexpr int kLeft = 18;
constexpr int kNumberColumnWidth = 16;
constexpr int kTop = 17;
constexpr int kHeadingHeight = 14;
constexpr int kRowGap = 5;

int columnX(int column) {
    return column == 0 ? kLeft : kLeft + kNumberColumnWidth + (column - 1) * kCellWidth;
}

int rowY(int row) {
    if (row == 0) return kTop;
    const int y = kTop + kHeadingHeight + (row - 1) * kCellHeight;
    return row > kMainRows ? y + kRowGap : y;
}

} // namespace

GridCell elementCell(int z) {
    if (z < 1 || z > kLastZ) return {};
    return kCells[static_cast<std::size_t>(z)];
}

QRect cellRect(GridCell cell) {
    return spanRect(cell.row, cell.column, cell.column);
}

QRect spanRect(int row, int firstColumn, int lastColumn) {
    const int left = columnX(firstColumn);
    const int right = columnX(lastColumn) + (lastColumn == 0 ? kNumberColumnWidth : kCellWidth);
    return QRect(left, rowY(row), right - left, row == 0 ? kHeadingHeight : kCellHeight);
}

} // namespace lithora::gui::periodic_table
