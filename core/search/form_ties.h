#pragma once

// Which field of an entry record each card-form criterion is compared with, and how: shared by
// the search and by the near misses, which must judge every criterion exactly as the search
// does.
namespace lithora {

// A text criterion: every typed word must occur in the record's field.
struct TextTie {
    int field;
    int tf;
};
inline constexpr TextTie kTextTies[] = {{1, 0},   {2, 2},   {4, 5},  {5, 6},   {8, 42},  {9, 41},
                                        {10, 22}, {11, 20}, {12, 4}, {13, 18}, {14, 21}, {18, 19},
                                        {19, 24}, {22, 17}, {23, 1}, {24, 23}};

// A number criterion: the field's value within a fixed tolerance of the typed value. tf(5), the
// space group, is tied twice: its symbol as a text and its number as a number.
struct NumberTie {
    int field;
    int tf;
    float tolerance;
};
inline constexpr NumberTie kNumberTies[] = {
    {3, 5, 0.1f}, {16, 13, 0.1f}, {20, 16, 0.05f}, {21, 15, 0.05f}, {25, 14, 0.5f}};

// The six cell values are the first six words of one field, each within kCellTolerance (Å for
// the edges, degrees for the angles).
inline constexpr int kCellField = 26;
inline constexpr int kFirstCellTf = 7;
inline constexpr float kCellTolerance = 0.05f;

// Up to eight typed d-spacings, each met by any of the first kDLinesRead lines of the entry
// within the d tolerance.
inline constexpr int kDSpacingField = 6;
inline constexpr int kFirstDTf = 25;
inline constexpr int kDLinesRead = 64;

} // namespace lithora
