#pragma once

#include <QTableView>

namespace lithora::gui {

// The list List1: a table view whose key and mouse events the main window handles itself, as
// the list always behaved (letters jump alphabetically, a released key shows the card).
class EntryListView : public QTableView {
    Q_OBJECT
  public:
    explicit EntryListView(QWidget* parent = nullptr);

    // Width a column needs for its widest cell and its header text.
    int fittedColumnWidth(int column) const;

  signals:
    void letterKeyPressed(int keyCode);
    void keyReleased();
    void clickedRow();
    void rightButtonPressed(const QPoint& globalPos);
    void mouseMovedWithoutButton();
    void doubleClickedRow();
    void focusEntered();
    void focusLeft();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyboardSearch(const QString&) override {} // letters jump through the main window
};

} // namespace lithora::gui
