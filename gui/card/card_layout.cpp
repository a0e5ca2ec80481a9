#include "card/card_layout.h"

namespace lithora::gui::card_layout {

namespace {

// The caption column left of the fields that start a row.
QRect captionAt(int top, int height) {
    return QRect(4, top, 108, height);
}

} // namespace

// The status and date column is wide enough for a date ("2026-12-06") in bold 9-point Arial with
// the border the optics panel gives it; the name and synonym rows end before its captions.
const std::vector<FieldPlace>& mainFields() {
    static const std::vector<FieldPlace> fields = [] {
        std::vector<FieldPlace> f = {
            {0, {116, 62, 370, 24}},         {1, {116, 87, 370, 19}},
            {2, {116, 107, 521, 19}},        {3, {116, 127, 521, 19}},
            {4, {116, 147, 38, 19}},         {5, {210, 147, 160, 19}},
            {6, {427, 147, 210, 19}},        {7, {116, 167, 84, 19}},
            {8, {201, 167, 84, 19}},         {9, {286, 167, 84, 19}},
            {10, {116, 187, 84, 19}},        {11, {201, 187, 84, 19}},
            {12, {286, 187, 84, 19}},        {13, {427, 167, 81, 19}},
            {14, {427, 187, 81, 19}},        {15, {549, 167, 88, 19}},
            {16, {549, 187, 88, 19}},        {17, {116, 207, 111, 19}},
            {18, {286, 207, 351, 19}},       {19, {116, 227, 521, 19}},
            {20, {116, 247, 521, 19}},       {21, {116, 267, 521, 19}},
            {22, {116, 287, 521, 19}},       {23, {116, 307, 521, 31}, true},
            {24, {116, 379, 521, 31}, true}, {41, {563, 65, 74, 19}},
            {42, {563, 86, 74, 19}},
        };
        for (int i = 0; i < 8; ++i) {
            const int width = i == 7 ? 66 : 64;
            f.push_back({25 + i, {116 + 65 * i, 339, width, 19}, false, true});
            f.push_back({33 + i, {116 + 65 * i, 359, width, 19}, false, true});
        }
        for (int k = 0; k < 6; ++k)
            f.push_back({43 + k, {24, 413 + 21 * k, 614, 22}});
        return f;
    }();
    return fields;
}

const std::vector<LabelPlace>& mainLabels() {
    static const std::vector<LabelPlace> labels = {
        {1, QStringLiteral("Name"), captionAt(62, 24)},
        {2, QStringLiteral("Synonym"), captionAt(87, 19)},
        {3, QStringLiteral("Formula"), captionAt(107, 19)},
        {4, QStringLiteral("Elements"), captionAt(127, 19)},
        {5, QStringLiteral("CrysSys"), captionAt(147, 19)},
        {6, QStringLiteral("Cell Edges"), captionAt(167, 19)},
        {7, QStringLiteral("Cell Angles"), captionAt(187, 19)},
        {8, QStringLiteral("Strunz Class"), captionAt(207, 19)},
        {9, QStringLiteral("NameRef"), captionAt(227, 19)},
        {10, QStringLiteral("Compare With"), captionAt(247, 19)},
        {11, QStringLiteral("ICDD#"), captionAt(267, 19)},
        {12, QStringLiteral("Appearance"), captionAt(287, 19)},
        {13, QStringLiteral("Type Locality"), captionAt(307, 19)},
        {14, QStringLiteral("d Spacing"), captionAt(339, 19)},
        {15, QStringLiteral("Intensity"), captionAt(359, 19)},
        {16, QStringLiteral("Notes"), captionAt(379, 19)},
        {17, QStringLiteral("Status"), {486, 65, 74, 19}, true},
        {18, QStringLiteral("Last Updated"), {486, 86, 74, 19}, true},
        {19, QStringLiteral("Space Gr"), {155, 147, 53, 19}, true},
        {20, QStringLiteral("Xl Cl"), {372, 147, 53, 19}, true},
        {21, QStringLiteral("Mohs"), {372, 167, 53, 19}, true},
        {22, QStringLiteral("Z"), {372, 187, 53, 19}, true},
        {23, QStringLiteral("SGm"), {509, 167, 38, 19}, true},
        {24, QStringLiteral("SGc"), {509, 187, 38, 19}, true},
        {25, QStringLiteral("?    Group"), {228, 207, 56, 19}, true},
    };
    return labels;
}

const std::vector<ButtonPlace>& topRow() {
    static const std::vector<ButtonPlace> buttons = {
        {0,
         QStringLiteral("Prev"),
         {8, 8, 46, 18},
         QStringLiteral("Previous Card; Right-click for Next")},
        {1,
         QStringLiteral("Next"),
         {58, 8, 46, 18},
         QStringLiteral("Next Card; Right-click for Previous")},
        {2, QStringLiteral("Card"), {491, 8, 46, 18}, QStringLiteral("Show Main Data")},
        {3, QStringLiteral("Optics"), {541, 8, 46, 18}, QStringLiteral("Show Optical Data")},
        {-1, QStringLiteral("Search"), {591, 8, 60, 18}, QStringLiteral("Switch to Search Mode")},
    };
    return buttons;
}

QRect referenceNumberRect(int k) {
    return QRect(4, 413 + 42 * k, 21, 43);
}

const std::vector<FieldPlace>& opticsFields() {
    static const std::vector<FieldPlace> fields = [] {
        std::vector<FieldPlace> f = {
            {2, {110, 40, 272, 22}},         {3, {110, 61, 272, 43}, true},
            {4, {110, 103, 272, 22}},        {6, {110, 124, 272, 22}},
            {8, {110, 145, 272, 22}},        {10, {110, 271, 272, 22}},
            {11, {110, 292, 272, 22}},       {12, {110, 313, 272, 22}},
            {13, {110, 334, 272, 43}, true}, {15, {110, 376, 272, 22}},
            {45, {584, 178, 49, 22}},        {46, {543, 229, 90, 22}},
            {47, {543, 250, 90, 22}},        {48, {543, 271, 90, 22}},
            {49, {543, 292, 90, 22}},
        };
        // Index and 2V rows: N/Nα/Nε, Nβ, Nγ/Nω, 2V Meas, 2V Calc; three columns each.
        const int rowTops[] = {166, 187, 208, 229, 250};
        for (int r = 0; r < 5; ++r) {
            const int first = 16 + 3 * r;
            f.push_back({first, {110, rowTops[r], 85, 22}});
            f.push_back({first + 1, {194, rowTops[r], 85, 22}});
            f.push_back({first + 2, {311, rowTops[r], 71, 22}});
        }
        // Reflectance at 470, 546, 589, 650 nm: Low, High, Avg.
        const int reflectanceTops[] = {63, 91, 119, 147};
        for (int r = 0; r < 4; ++r) {
            const int first = 33 + 3 * r;
            f.push_back({first, {448, reflectanceTops[r], 60, 22}, false, true});
            f.push_back({first + 1, {507, reflectanceTops[r], 60, 22}, false, true});
            f.push_back({first + 2, {573, reflectanceTops[r], 60, 22}, false, true});
        }
        return f;
    }();
    return fields;
}

const std::vector<LabelPlace>& opticsLabels() {
    auto left = [](int top, int height) { return QRect(2, top, 104, height); };
    static const std::vector<LabelPlace> labels = {
        {29, QStringLiteral("Optical Character"), left(40, 22)},
        {30, QStringLiteral("Color"), left(61, 22)},
        {31, QStringLiteral("Luster"), left(103, 22)},
        {32, QStringLiteral("Optical Class"), left(124, 22)},
        {33, QStringLiteral("Optical Sign"), left(145, 22)},
        {35, QStringLiteral("N, N\u03B1, N\u03B5"), left(166, 22)},
        {34, QStringLiteral("N\u03B2"), left(187, 22)},
        {37, QStringLiteral("N\u03B3, N\u03C9"), left(208, 22)},
        {36, QStringLiteral("2V Meas"), left(229, 22)},
        {39, QStringLiteral("2V Calc"), left(250, 22)},
        {38, QStringLiteral("Orientation"), left(271, 22)},
        {40, QStringLiteral("Dispersion"), left(292, 22)},
        {41, QStringLiteral("Absorption"), left(313, 22)},
        {42, QStringLiteral("Pleochroism"), left(334, 22)},
        {43, QStringLiteral("Anisotropism"), left(376, 22)},
        {46,
         QStringLiteral("Reflectivity"),
         {498, 12, 110, 22},
         false,
         true,
         Qt::AlignLeft | Qt::AlignVCenter},
        {47,
         QStringLiteral("Lambda nm"),
         {386, 41, 62, 18},
         false,
         false,
         Qt::AlignLeft | Qt::AlignVCenter},
        {48,
         QStringLiteral("Low"),
         {466, 41, 40, 18},
         false,
         false,
         Qt::AlignLeft | Qt::AlignVCenter},
        {49,
         QStringLiteral("High"),
         {525, 41, 40, 18},
         false,
         false,
         Qt::AlignLeft | Qt::AlignVCenter},
        {50,
         QStringLiteral("Avg"),
         {595, 41, 40, 18},
         false,
         false,
         Qt::AlignLeft | Qt::AlignVCenter},
        {51, QStringLiteral("470"), {392, 63, 48, 22}, false, true},
        {52, QStringLiteral("546"), {392, 91, 48, 22}, false, true},
        {53, QStringLiteral("589"), {392, 119, 48, 22}, false, true},
        {54, QStringLiteral("650"), {392, 147, 48, 22}, false, true},
        {55, QStringLiteral("Overall Avg. Reflectivity"), {400, 178, 180, 22}},
        {56, QStringLiteral("Birefringence"), {400, 229, 139, 22}},
        {57, QStringLiteral("Avg. N"), {400, 250, 139, 22}},
        {58, QStringLiteral("Calc 2V"), {400, 271, 139, 22}},
        {59, QStringLiteral("Calc Optic Sign"), {400, 292, 139, 22}},
    };
    return labels;
}

} // namespace lithora::gui::card_layout
