#pragma once

#include <QColor>
#include <array>
#include <cstddef>

// The colours of the comparison, shared by the plot and the line list so that the two read alike.
namespace lithora::gui::plot_colours {

inline const QColor kMeasured(28, 86, 168); // a measured peak a card line explains
inline const QColor kUnexplained(150, 150, 150);
inline const QColor kCardLine(204, 92, 16); // a card line with its measured peak
inline const QColor kMissed(204, 92, 16);   // drawn dashed and hollow
inline const QColor kBelowDetection(222, 170, 130);
inline const QColor kMatchBand(214, 238, 206); // behind a matched pair
inline const QColor kProfile(70, 78, 96);
inline const QColor kCalculated(200, 30, 60);  // the candidate's calculated profile
inline const QColor kDifference(40, 140, 120); // measured less calculated
inline const QColor kGrid(228, 228, 228);

// The phases of a mixture in the order found, the same in the plot and the phase table. Thin
// lines on white must tell them apart from each other and from the profile, the sum (drawn in
// kCalculated) and the difference: hues far apart, none pale, and the blue lighter than the
// measured peaks' markers.
inline const std::array<QColor, 6> kPhases{
    QColor(0, 140, 215), QColor(235, 130, 0),  QColor(135, 60, 175),
    QColor(95, 155, 20), QColor(215, 80, 160), QColor(135, 95, 45),
};
inline QColor phaseColour(std::size_t phase) {
    return kPhases[phase % kPhases.size()];
}

} // namespace lithora::gui::plot_colours
