#pragma once

#include <QColor>
#include <QWidget>

#include "compare/card_compare.h"

namespace lithora::gui {

// The diffraction lines of the compared cards, each card in a lane of its own over one d axis
// (d falling to the right, as the angle rises). The d values that two or more cards share are
// banded across every lane; the selected card's lane is tinted.
class ComparePlot : public QWidget {
    Q_OBJECT
  public:
    explicit ComparePlot(QWidget* parent = nullptr);

    void setComparison(const CardComparison& comparison);
    void setSelectedCard(int column);
    int selectedCard() const { return m_selected; }

    // The colour of a card's lane and its column's marker, told apart without colour vision.
    static QColor cardColour(int column);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // A click in a card's lane.
    void cardClicked(int column);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QRect plotFrame() const;
    int laneAt(int y) const;

    CardComparison m_comparison;
    std::vector<LineOverlap> m_overlaps;
    int m_selected = -1;
};

} // namespace lithora::gui
