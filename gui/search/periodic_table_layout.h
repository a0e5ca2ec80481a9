#pragma once

#include <QRect>

// Where the search window's periodic table puts each element: a grid of periods (rows 1 to 7)
// and groups (columns 1 to 18), with the lanthanides and actinides in rows 8 and 9 of their own.
namespace lithora::gui::periodic_table {

inline constexpr int kColumns = 18;
inline constexpr int kMainRows = 7;
inline constexpr int kLanthanideRow = 8;
inline constexpr int kActinideRow = 9;

struct GridCell {
    int row = 0;    // 1..9; 0 heads the columns
    int column = 0; // 1..18; 0 holds the period numbers
};

// The grid cell of atomic number z (1..103); {0, 0} outside that range.
GridCell elementCell(int z);

// Pixels of a grid cell inside the table's frame; the f-rows sit a little apart from period 7.
QRect cellRect(GridCell cell);
// The cells from first to last (inclusive) in one row, as one rectangle.
QRect spanRect(int row, int firstColumn, int lastColumn);

inline constexpr int kCellWidth = 32;
inline constexpr int kCellHeight = 20;

} // namespace lithora::gui::periodic_table
