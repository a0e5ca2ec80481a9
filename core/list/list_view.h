#pragma once

#include <array>
#include <string_view>

#include "list/entry_list.h"

// The list's five view modes: which columns show and how wide, the frame caption, and whether
// the card window is shown beside the list. Widths in twips.
namespace lithora {

inline constexpr int kViewModeCount = 5;
inline constexpr int kWidthUnchanged = -1;
inline constexpr int kWidthFitContents = -2; // widest cell and header text

// Geometry of the main window that the modes and the divider use, in twips.
inline constexpr int kFrameWidthBesideCard = 3255;
inline constexpr int kListWidthBesideCard = 3075;
inline constexpr int kNameWidth = 3000;

struct ListViewLayout {
    std::string_view frameCaption; // empty for a mode outside 0..4
    bool cardWindowShown = false;
    std::array<int, kListColumnCount> widths{}; // a width, kWidthUnchanged or kWidthFitContents
};

// The menu captions of the modes 0..4.
extern const std::array<std::string_view, kViewModeCount> kViewModeCaptions;

// The layout of a mode. listWidth is the list's width once the mode has sized it: 3075 beside
// the card window, otherwise the width of the list filling the window.
ListViewLayout listViewLayout(int mode, int listWidth, int column1Width);

// The mode after a click on the frame's label: 0, 1, 2, 3, 4, 0, ...
int nextViewMode(int mode);

} // namespace lithora
