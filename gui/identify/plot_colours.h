#pragma once

#include <QColor>

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

} // namespace lithora::gui::plot_colours
