#pragma once

#include <QRect>
#include <QString>
#include <vector>

// Where every control of the card window sits, in pixels of its client area (659 x 544); the
// optics panel's controls in pixels of the panel.
namespace lithora::gui::card_layout {

inline constexpr int kWidth = 659;
inline constexpr int kHeight = 544;

struct FieldPlace {
    int index;
    QRect rect;
    bool multiLine = false;
    bool centred = false;
};

struct LabelPlace {
    int index; // Label1 index
    QString caption;
    QRect rect;
    bool grey = false;  // the lighter caption colour of the secondary fields
    bool large = false; // bold 12 points instead of 8.25
    Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter;
};

struct ButtonPlace {
    int index;
    QString caption;
    QRect rect;
    QString toolTip;
};

// tf(0) .. tf(48).
const std::vector<FieldPlace>& mainFields();
// The captions beside the main-data fields.
const std::vector<LabelPlace>& mainLabels();
// bt(0) .. bt(3) and, last, the search check box cb(0).
const std::vector<ButtonPlace>& topRow();

// lbr(k) and the reference scroll bar.
QRect referenceNumberRect(int k);
inline const QRect kReferenceScrollBar{639, 414, 17, 126};

// The area behind the main-data fields, painted in the field colour.
inline const QRect kFieldArea{113, 61, 523, 354};

// The optics panel: its place in the window (left edge kept with the panel), its fields and
// captions, the arrow between the index columns and where the λ sits on it.
inline constexpr int kOpticsPanelLeft = 8;
// The note that stands over the blank fields of a card that cannot be read.
inline const QRect kUnreadableNote{60, 150, 540, 150};
inline const QRect kOpticsPanel{kOpticsPanelLeft, 125, kWidth - kOpticsPanelLeft, kHeight - 125};
const std::vector<FieldPlace>& opticsFields();
const std::vector<LabelPlace>& opticsLabels();
inline const QPoint kArrowTop{295, 180};
inline const QPoint kArrowBottom{295, 260};
inline const QRect kLambdaLabel{291, 211, 12, 16};

} // namespace lithora::gui::card_layout
