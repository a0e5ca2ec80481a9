#include "list/list_view.h"

namespace lithora {

const std::array<std::string_view, kViewModeCount> kViewModeCaptions = {
    "Card View", "Xl Parameters", "Axial Ratios", "All Columns", "Chemistry"};

namespace {

constexpr std::array<std::string_view, kViewModeCount> kFrameCaptions = {
    "List View", "Xl Parameters", "Axial Ratios", "All Columns", "Chemistry"};
constexpr int kParameterWidth = 1200;

} // namespace

ListViewLayout listViewLayout(int mode, int listWidth, int column1Width) {
    ListViewLayout layout;
    layout.widths.fill(kWidthUnchanged);
    for (int c = ColFormula; c < kListColumnCount; ++c)
        layout.widths[c] = 0;
    layout.cardWindowShown = mode == 0;
    if (mode < 0 || mode >= kViewModeCount) return layout;
    layout.frameCaption = kFrameCaptions[static_cast<std::size_t>(mode)];
    switch (mode) {
    case 0:
    case 4:
        layout.widths[ColName] = kNameWidth;
        layout.widths[ColFormula] = kWidthFitContents;
        layout.widths[ColGroup] = kWidthFitContents;
        layout.widths[ColStatus] = 800;
        break;
    case 1:
        for (int c = ColA; c <= ColSpaceGr; ++c)
            layout.widths[c] = kParameterWidth;
        break;
    case 2:
        for (int c : {ColCrySys, ColCOverA, ColAOverB, ColVolume})
            layout.widths[c] = kParameterWidth;
        break;
    case 3: {
        // Single precision, as the width was always computed; the list takes whole twips.
        const float w = static_cast<float>(listWidth - column1Width) / 16.0f;
        for (int c = ColName; c <= ColVolume; ++c)
            layout.widths[c] = static_cast<int>(w);
        layout.widths[ColStatus] = 450;
        break;
    }
    default:
        break;
    }
    return layout;
}

int nextViewMode(int mode) {
    return (mode + 1) % kViewModeCount;
}

} // namespace lithora
