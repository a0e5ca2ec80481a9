// The main window's menus: the view modes, the groups, the approved-entries switch, and the
// lists that replace the full list (match lists, groups).
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "common/message_box.h"
#include "common/qt_support.h"
#include "list/entry_list.h"
#include "list/list_view.h"
#include "main/entry_list_model.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "text/codepage.h"

namespace lithora::gui {

namespace {

constexpr const char* kImaListDocument = "CNMNC.pdf";

// Opens files with the desktop's handler; tests put a recorder in its place.
bool openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace

void Form1::buildMenus() {
    m_pop1 = new QMenu(this);
    for (int k = 0; k < kViewModeCount; ++k) {
        m_itmLST[static_cast<std::size_t>(k)] =
            m_pop1->addAction(qs(kViewModeCaptions[static_cast<std::size_t>(k)]));
        connect(m_itmLST[static_cast<std::size_t>(k)], &QAction::triggered, this,
                [this, k] { itmLST_Click(k); });
    }
    m_pop1->addSeparator();
    m_compareAction = m_pop1->addAction(QStringLiteral("Compare Selected Cards"));
    // The toolbar's button holds the shortcut; the menu only shows it.
    m_compareAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    m_compareAction->setShortcutContext(Qt::WidgetShortcut);
    m_compareAction->setShortcutVisibleInContextMenu(true);
    connect(m_compareAction, &QAction::triggered, this, [this] { compareSelection(); });
    // Export and copy work from anywhere in the window; the menu shows their keys.
    m_exportListAction = m_pop1->addAction(QStringLiteral("Export List\u2026"));
    m_exportListAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_exportListAction, &QAction::triggered, this, [this] { exportList(); });
    m_copyCardAction = m_pop1->addAction(QStringLiteral("Copy Card"));
    m_copyCardAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    connect(m_copyCardAction, &QAction::triggered, this, [this] { copyCard(); });
    for (QAction* action : {m_exportListAction, m_copyCardAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        action->setShortcutVisibleInContextMenu(true);
        addAction(action);
    }
    m_itmLST[5] = m_pop1->addSeparator();
    m_itmLST[6] = m_pop1->addAction(QStringLiteral("View IMA List"));
    connect(m_itmLST[6], &QAction::triggered, this, [this] { itmLST_Click(6); });
    // The IMA list is offered only when its document lies beside the program.
    const bool document = QFileInfo(qs((m_programDir / kImaListDocument).string())).size() > 0;
    m_itmLST[5]->setVisible(document);
    m_itmLST[6]->setVisible(document);

    m_pop2 = new QMenu(this);
    m_itmPop1[0] = m_pop2->addAction(QStringLiteral("Reload Database"));
    m_itmPop1[1] = m_pop2->addAction(QStringLiteral("Load Group Members"));
    m_groupMenu = m_pop2->addMenu(QStringLiteral("Groups in Status Column"));
    m_itmPop1[2] = m_groupMenu->menuAction();
    m_itmPop1[3] = m_pop2->addSeparator();
    m_itmPop1[4] = m_pop2->addAction(QStringLiteral("Only IMA Approved Entries"));
    m_itmPop1[4]->setCheckable(true);
    for (int k : {0, 1, 4}) {
        connect(m_itmPop1[static_cast<std::size_t>(k)], &QAction::triggered, this,
                [this, k] { itmPop1_Click(k); });
    }

    m_timer2 = new QTimer(this);
    m_timer2->setSingleShot(true);
    m_timer2->setInterval(1);
    connect(m_timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);

    m_viewLabel = new QLabel(QStringLiteral("\u25B6"), m_frame);
    m_viewLabel->setToolTip(QStringLiteral("Click to change list view"));
    m_viewLabel->setCursor(Qt::PointingHandCursor);
    m_viewLabel->setAlignment(Qt::AlignCenter);
    m_viewLabel->installEventFilter(this);
}

void Form1::rebuildGroupMenu() {
    if (!m_itmGroup.empty() || m_session.groupCaptions.empty()) return;
    for (const std::string& caption : m_session.groupCaptions) {
        QAction* item = m_groupMenu->addAction(qs(caption));
        connect(item, &QAction::triggered, this,
                [this, item] { narrowToGroup(qs(groupNameOfCaption(utf8(item->text())))); });
        m_itmGroup.push_back(item);
    }
}

void Form1::showViewMenu(const QPoint& globalPos) {
    m_pop1->popup(globalPos);
}

void Form1::itmLST_Click(int index) {
    if (index >= 0 && index < kViewModeCount) {
        m_viewMode = index;
        applyListView();
    } else if (index == 6) {
        openCnmncDocument();
    }
}

void Form1::openCnmncDocument() {
    openWithDesktop(qs((m_programDir / kImaListDocument).string()));
}

void Form1::Label1_Click() {
    m_viewMode = nextViewMode(m_viewMode);
    applyListView();
}

void Form1::tb_ButtonClick(int index) {
    if (index == 1) {
        // The group menu opens at the window's left edge just below the toolbar; its place is
        // kept so that it can reopen there.
        m_pop2Tag = m_toolbar->height() - px(15);
        m_pop2->popup(mapToGlobal(QPoint(0, m_pop2Tag)));
    } else if (index == 2) {
        printCard();
    } else if (index == 4) {
        ShowHelp(0);
    } else if (index == 3) {
        if (!m_searchWindow) m_searchWindow = new frmELEMENTSEARCH(*this, this);
        m_searchWindow->show();
        m_searchWindow->raise();
        m_searchWindow->activateWindow();
    } else if (index == 5) {
        if (!m_identifyWindow) m_identifyWindow = new frmIDENTIFY(*this, this);
        m_identifyWindow->show();
        m_identifyWindow->raise();
        m_identifyWindow->activateWindow();
    } else if (index == 6) {
        compareSelection();
    }
}

void Form1::itmPop1_Click(int index) {
    switch (index) {
    case 0:
        reloadDatabase();
        break;
    case 1:
        loadGroup(qs(m_session.card.currentGroup));
        break;
    case 4:
        // The switch is read at the next full load; the menu comes back at once so the user
        // can choose "Reload Database".
        m_session.imaOnly = m_itmPop1[4]->isChecked();
        m_timer2->start();
        break;
    default:
        break;
    }
}

void Form1::Timer2_Timer() {
    while (m_pop2->isVisible())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    m_pop2->popup(mapToGlobal(QPoint(0, m_pop2Tag)));
}

void Form1::reloadDatabase() {
    if (const Status s = lithora::getFullList(m_session, std::string()); !s) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Reload Database"),
                    qs(s.error().message));
        return;
    }
    refillList();
    selectRow(1);
    loadSelectedCard();
    updateDamageNote();
}

void Form1::loadGroup(const QString& groupName) {
    if (groupName.isEmpty()) {
        showMessage(this, MessageIcon::Exclamation, QStringLiteral("Load Group"),
                    QStringLiteral("No group available for current entry"));
        return;
    }
    narrowToGroup(groupName);
}

void Form1::narrowToGroup(const QString& groupName) {
    if (const Status s = lithora::loadGroup(m_session, utf8(groupName)); !s) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Load Group"),
                    qs(s.error().message));
        return;
    }
    refillList();
    if (m_session.selectedRow > 0) {
        selectRow(m_session.selectedRow);
        showCurrentCard();
    }
}

void Form1::getMatchList() {
    if (const Status s = lithora::getMatchList(m_session); !s) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("Search"), qs(s.error().message));
    }
    showMatchList();
}

void Form1::showMatchList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_model->rowsReplaced();
    fitColumn(ColFormula);
    fitColumn(ColGroup);
    QApplication::restoreOverrideCursor();
    if (m_session.selectedRow > 0) {
        selectRow(m_session.selectedRow);
        m_list->scrollTo(m_list->currentIndex());
        showCurrentCard();
    }
}

void Form1::showCard(int card) {
    presentCard(card, QStringLiteral("Card %1 is not in the list; Show as List in the Identify "
                                     "Pattern window lists the candidates")
                          .arg(card));
}

void Form1::showComparedCard(int card) {
    presentCard(card, QStringLiteral("Card %1 is not in the list; it is shown from the "
                                     "comparison")
                          .arg(card));
}

std::vector<int> Form1::selectedCards() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.push_back(index.row() + 1);
    std::sort(rows.begin(), rows.end());
    std::vector<int> cards;
    for (const int row : rows) {
        const int card = cardOfRow(m_session, row);
        if (card > 0) cards.push_back(card);
    }
    return cards;
}

bool Form1::compareSelection() {
    std::vector<int> cards = selectedCards();
    const int current = m_session.card.currentCardNumber;
    // One row or none selected: the comparison starts with the current card.
    if (cards.size() < 2) cards = current > 0 ? std::vector<int>{current} : std::vector<int>{};
    if (cards.empty()) {
        Msg(QStringLiteral("Select the cards to compare in the list first"));
        return false;
    }
    if (!m_compareWindow) m_compareWindow = new frmCOMPARE(*this, this);
    if (!m_compareWindow->setCards(cards)) return false;
    m_compareWindow->show();
    m_compareWindow->raise();
    m_compareWindow->activateWindow();
    if (cards.size() < 2)
        Msg(QStringLiteral("Choose another card, then Add Current Card in the comparison"));
    return true;
}

void Form1::presentCard(int card, const QString& whenNotListed) {
    const int row = rowOfCard(m_session, card);
    if (row > 0) {
        selectRow(row);
        showSelection();
        return;
    }
    // A card the list does not hold is shown all the same; no row stands for it.
    const bool loaded = lithora::loadCard(m_session, card);
    if (loaded ||
        (m_session.card.currentCardNumber == card && !m_session.card.unreadableMessage.empty())) {
        m_list->selectionModel()->clear();
        showCurrentCard();
        if (loaded) Msg(whenNotListed);
    } else {
        SBT(qs(m_session.status[3]), 4);
    }
}

void Form1::showSearchCount() {
    SBT(qs(m_session.status[1]), 2);
}

void Form1::showSearchPanels() {
    SBT(qs(m_session.status[0]), 1);
    SBT(qs(m_session.status[1]), 2);
}

} // namespace lithora::gui
