#include "main/entry_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "common/qt_support.h"
#include "list/name_search.h"

namespace lithora::gui {

EntryListView::EntryListView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Ctrl+click and Shift+click select several rows for a comparison; the row clicked last is
    // the current card, as a plain click makes it.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setMouseTracking(true);
    setAlternatingRowColors(true);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsMovable(false);
}

int EntryListView::fittedColumnWidth(int column) const {
    const int cells = sizeHintForColumn(column);
    const int header = horizontalHeader()->sectionSizeHint(column);
    return std::max(cells, header);
}

void EntryListView::keyPressEvent(QKeyEvent* event) {
    const int code = windowsKeyCode(event);
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (plain && alphabeticalJumpPrefix(code).has_value()) {
        emit letterKeyPressed(code);
        return;
    }
    QTableView::keyPressEvent(event);
}

void EntryListView::keyReleaseEvent(QKeyEvent* event) {
    QTableView::keyReleaseEvent(event);
    // Holding a key down scrolls without loading; the card follows once the key is let go.
    if (!event->isAutoRepeat()) emit keyReleased();
}

void EntryListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit rightButtonPressed(event->globalPosition().toPoint());
        return;
    }
    QTableView::mousePressEvent(event);
}

void EntryListView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit clickedRow();
}

void EntryListView::mouseMoveEvent(QMouseEvent* event) {
    QTableView::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton) emit mouseMovedWithoutButton();
}

void EntryListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid())
        emit doubleClickedRow();
}

void EntryListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    emit focusEntered();
}

void EntryListView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    emit focusLeft();
}

} // namespace lithora::gui
