// The main window's list, its selection and the name field.
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

#include "common/qt_support.h"
#include "list/list_view.h"
#include "list/name_search.h"
#include "main/entry_list_model.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "text/codepage.h"
#include "text/split.h"

namespace lithora::gui {

void Form1::connectList() {
    connect(m_list, &EntryListView::clickedRow, this, &Form1::showSelection);
    connect(m_list, &EntryListView::keyReleased, this, &Form1::showSelection);
    connect(m_list, &EntryListView::letterKeyPressed, this, [this](int keyCode) {
        if (const auto prefix = alphabeticalJumpPrefix(keyCode)) findName(*prefix);
    });
    connect(m_list, &EntryListView::focusEntered, this, [this] {
        Msg(QStringLiteral("Click entry to view card / Type letter for alphabetical jump"));
    });
    connect(m_list, &EntryListView::focusLeft, this, &Form1::clrMSG);
    connect(m_list, &EntryListView::mouseMovedWithoutButton, this, [this] {
        setCursor(Qt::ArrowCursor);
        setFocusSafe(m_list);
    });
    connect(m_list, &EntryListView::rightButtonPressed, this, &Form1::showViewMenu);
    connect(m_list, &EntryListView::doubleClickedRow, this, &Form1::launchNewInstance);
}

int Form1::selectedRow() const {
    const QModelIndex current = m_list->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void Form1::selectRow(int row) {
    if (row < 1 || row > m_model->rowCount()) return;
    const QModelIndex index = m_model->index(row - 1, ColName);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
}

void Form1::refillList() {
    m_list->setUpdatesEnabled(false);
    m_model->rowsReplaced();
    applyListView();
    m_list->setUpdatesEnabled(true);
    SBT(qs(m_session.status[0]), 1);
    SBT(qs(m_session.status[1]), 2);
    rebuildGroupMenu();
}

void Form1::loadSelectedCard() {
    m_session.selectedRow = selectedRow();
    // A card that cannot be read is shown as such: blank, with the reason over it.
    if (lithora::loadSelectedCard(m_session) || !m_session.card.unreadableMessage.empty()) {
        showCurrentCard();
    } else {
        SBT(qs(m_session.status[3]), 4);
    }
}

void Form1::showCurrentCard() {
    SBT(qs(m_session.status[3]), 4);
    cardWindow()->setCard();
    const std::string& group = m_session.card.currentGroup;
    m_itmPop1[1]->setText(qs(loadGroupMembersCaption(group)));
    m_itmPop1[1]->setEnabled(!group.empty());
}

void Form1::showSelection() {
    if (selectedRow() == 0) return;
    m_list->scrollTo(m_list->currentIndex());
    loadSelectedCard();
}

void Form1::btPREV_Click() {
    const int rows = m_model->rowCount();
    if (rows == 0) return;
    selectRow(steppedRow(selectedRow(), -1, rows));
    showSelection();
    Msg(qs(itemMessage(selectedRow(), rows)));
    setFocusSafe(m_list);
}

void Form1::btNEXT_Click() {
    const int rows = m_model->rowCount();
    if (rows == 0) return;
    selectRow(steppedRow(selectedRow(), 1, rows));
    showSelection();
    Msg(qs(itemMessage(selectedRow(), rows)));
    setFocusSafe(m_list);
}

void Form1::getCurrentCardNumbers(std::vector<bool>& flags) const {
    lithora::getCurrentCardNumbers(m_session, flags);
}

void Form1::findName(const std::string& prefix) {
    const int row = findNameRow(m_session.rows, prefix);
    if (row > 0) selectRow(row);
    m_list->viewport()->update();
    loadSelectedCard();
    m_list->scrollTo(m_list->currentIndex());
}

void Form1::findCardNumber(int cardNumber) {
    const int row = findCardRow(m_session.rows, cardNumber);
    if (row > 0) selectRow(row);
    m_list->viewport()->update();
    loadSelectedCard();
    m_list->scrollTo(m_list->currentIndex());
}

void Form1::toggleLastSelection() {
    findName(m_session.card.lastSelection);
}

void Form1::clearNameField() {
    m_nameAtFocus = upperCase(trimBlanks(m_session.card.currentName));
    m_name->setText(QString());
    setFocusSafe(m_name);
}

void Form1::nameFieldChanged() {
    const NameFieldRequest request = parseNameField(utf8(m_name->text()), m_session.maxCardNumber);
    switch (request.kind) {
    case NameFieldRequest::Kind::CardNumber:
        findCardNumber(request.cardNumber);
        break;
    case NameFieldRequest::Kind::NamePrefix:
        findName(request.prefix);
        // Toggle Last Selection goes back to where the user was before typing.
        m_session.card.lastSelection = m_nameAtFocus;
        break;
    case NameFieldRequest::Kind::Nothing:
        break;
    }
}

void Form1::setNameFieldFocusLook(bool focused) {
    QPalette palette = m_name->palette();
    palette.setColor(QPalette::Base, focused ? tooltipBackground() : QColor(Qt::white));
    m_name->setPalette(palette);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_logo && event->type() == QEvent::MouseButtonRelease) {
        showAbout();
        return true;
    }
    if (watched == m_viewLabel && event->type() == QEvent::MouseButtonRelease) {
        Label1_Click();
        return true;
    }
    if (watched == m_name && event->type() == QEvent::FocusIn) {
        m_nameAtFocus = upperCase(trimBlanks(m_session.card.currentName));
        setNameFieldFocusLook(true);
        Msg(QStringLiteral("Type Mineral name to search list"));
    } else if (watched == m_name && event->type() == QEvent::FocusOut) {
        setNameFieldFocusLook(false);
        clrMSG();
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::fitColumn(int column) {
    m_list->setColumnHidden(column, false);
    m_list->setColumnWidth(column, m_list->fittedColumnWidth(column));
}

void Form1::applyListView() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_list->setUpdatesEnabled(false);
    const bool cardShown = m_viewMode == 0;
    const int fillingWidth = width() - 2 * px(kFrameLeft);
    const int listWidth = cardShown ? px(kListWidthBesideCard) : fillingWidth - 2 * px(kListLeft);
    const ListViewLayout layout =
        listViewLayout(m_viewMode, twips(listWidth),
                       twips(m_list->isColumnHidden(0) ? 0 : m_list->columnWidth(0)));
    cardWindow()->setVisible(layout.cardWindowShown);
    if (cardShown) {
        m_frame->resize(px(kFrameWidthBesideCard), m_frame->height());
    } else {
        m_frame->resize(fillingWidth, m_frame->height());
    }
    m_list->resize(listWidth, m_list->height());
    if (!layout.frameCaption.empty()) m_frame->setTitle(qs(layout.frameCaption));
    for (int c = 0; c < kListColumnCount; ++c) {
        const int width = layout.widths[static_cast<std::size_t>(c)];
        if (width == kWidthUnchanged) continue;
        if (width == kWidthFitContents) {
            fitColumn(c);
        } else {
            m_list->setColumnHidden(c, width == 0);
            if (width > 0) m_list->setColumnWidth(c, px(width));
        }
    }
    layoutFrame();
    m_list->setUpdatesEnabled(true);
    QApplication::restoreOverrideCursor();
}

} // namespace lithora::gui
