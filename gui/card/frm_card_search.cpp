// The card window's search mode: criteria typed into the card's own fields or into the optics
// panel, the search frame, and the start routine both searches share.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "card/card_layout.h"
#include "card/frm_card.h"
#include "card/frm_near_misses.h"
#include "common/busy_cursor.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "search/search_run.h"

namespace lithora::gui {

namespace {

const QRect kSearchFrameBelowNotes{116, 440, 255, 64};
const QRect kSearchFrameOverOptics{380, 58, 255, 64};
const QRect kHelpLabel{8, 56, 366, 66};

// Tf fields and labels that give way to the search frame in each mode.
constexpr int kFormHiddenFields[] = {3, 34, 35, 36, 37, 38, 39, 40, 43, 44, 45, 46, 47, 48};
constexpr int kOpticsHiddenMainFields[] = {0, 1, 2, 41, 42};
constexpr int kOpticsHiddenLabels[] = {1, 2, 3, 17, 18, 48, 49, 50};
constexpr int kOpticsHiddenFields[] = {17, 20, 23, 26, 29, 34, 35, 37, 38, 40, 41, 43, 44};

QString forDialog(std::string_view text) {
    QString q = qs(text);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return q;
}

const QString kNearMissTitle = QStringLiteral("Near Misses");

QString matchCountText(int count) {
    return count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(count);
}

} // namespace

void frmCARD::buildSearchFrame() {
    const QString controlStyle = QStringLiteral("background-color: #bdbdbd;");
    const QFont font = arialFont(8.25, false);
    m_frSEARCH = new QFrame(this);
    m_frSEARCH->setGeometry(kSearchFrameBelowNotes);
    m_frSEARCH->setFrameShape(QFrame::Box);
    m_frSEARCH->setAutoFillBackground(true);
    QPalette palette = m_frSEARCH->palette();
    palette.setColor(QPalette::Window, QColor(222, 222, 222));
    m_frSEARCH->setPalette(palette);

    const struct {
        const char* caption;
        const char* tip;
        QRect rect;
    } choices[] = {
        {"AND", "Perform AND search (all criteria must be fulfilled)", {6, 6, 52, 20}},
        {"OR", "Perform OR search (at least one criterion must be fulfilled)", {62, 6, 46, 20}},
    };
    for (std::size_t i = 0; i < 2; ++i) {
        m_op[i] = new QRadioButton(QString::fromLatin1(choices[i].caption), m_frSEARCH);
        m_op[i]->setGeometry(choices[i].rect);
        m_op[i]->setToolTip(QString::fromLatin1(choices[i].tip));
        m_op[i]->setFont(font);
        m_op[i]->setStyleSheet(controlStyle);
        m_op[i]->setFocusPolicy(Qt::NoFocus);
    }
    m_op[0]->setChecked(true);
    m_full = new QCheckBox(QStringLiteral("Full"), m_frSEARCH);
    m_full->setGeometry(116, 6, 56, 20);
    m_full->setToolTip(QStringLiteral("Search full database (otherwise search current list)"));
    m_full->setFont(font);
    m_full->setStyleSheet(controlStyle);
    m_full->setFocusPolicy(Qt::NoFocus);

    const struct {
        int index;
        const char* caption;
        const char* tip;
        QRect rect;
    } buttons[] = {
        {4, "unused", "", {176, 6, 0, 0}},
        {5, "Start Search", "", {116, 32, 132, 22}},
        {6, "New", "Clear all text fields", {6, 32, 102, 22}},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), m_frSEARCH);
        button->setGeometry(b.rect);
        button->setFont(font);
        button->setToolTip(QString::fromLatin1(b.tip));
        button->setStyleSheet(controlStyle + QStringLiteral(" border: 1px solid #7a7a7a;"));
        button->setFocusPolicy(Qt::NoFocus);
        m_bt[static_cast<std::size_t>(b.index)] = button;
    }
    m_bt[4]->hide(); // no function
    connect(m_bt[5], &QPushButton::clicked, this, &frmCARD::startSearch);
    connect(m_bt[6], &QPushButton::clicked, this, &frmCARD::clearCriteria);

    // Near misses belong to the card-form search: the action lives while it is on.
    m_nearMissAction = new QAction(kNearMissTitle, this);
    m_nearMissAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    m_nearMissAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_nearMissAction->setToolTip(
        QStringLiteral("Entries that fail just one criterion of the AND search (Ctrl+M)"));
    addAction(m_nearMissAction);
    connect(m_nearMissAction, &QAction::triggered, this, &frmCARD::showNearMisses);
    m_nearMissButton = new QPushButton(kNearMissTitle, m_frSEARCH);
    m_nearMissButton->setGeometry(176, 6, 72, 20);
    m_nearMissButton->setFont(font);
    m_nearMissButton->setToolTip(m_nearMissAction->toolTip());
    m_nearMissButton->setStyleSheet(controlStyle + QStringLiteral(" border: 1px solid #7a7a7a;"));
    m_nearMissButton->setFocusPolicy(Qt::NoFocus);
    connect(m_nearMissButton, &QPushButton::clicked, m_nearMissAction, &QAction::trigger);
    updateNearMissAction();

    m_prb = new QProgressBar(m_frSEARCH);
    m_prb->setGeometry(6, 57, 242, 5);
    m_prb->setTextVisible(false);
    m_prb->hide();
    m_frSEARCH->hide();

    m_lbHLP = new QLabel(this);
    m_lbHLP->setGeometry(kHelpLabel);
    m_lbHLP->setFont(arialFont(8.25, false));
    QPalette help = m_lbHLP->palette();
    help.setColor(QPalette::WindowText, QColor(153, 153, 153));
    m_lbHLP->setPalette(help);
    m_lbHLP->setText(QStringLiteral("Numerical values may be entered as follows:\n"
                                    "e.g.    1.59              (single value +/- 1%)\n"
                                    "e.g.    1.59 1.595    (allowed value range)\n"
                                    "e.g.    1.59 0.01      (first value +/- second value)"));
    m_lbHLP->hide();
    for (int i : {8, 49})
        m_of[static_cast<std::size_t>(i)].widget()->setToolTip(
            QStringLiteral("You may enter + or -"));
}

void frmCARD::cb_Click() {
    if (m_opticsShown) {
        toggleSearchOptics();
    } else {
        toggleSearchForm();
    }
    for (int i = 0; i < 4; ++i)
        m_bt[static_cast<std::size_t>(i)]->setVisible(!m_search->isChecked());
}

void frmCARD::toggleSearchForm() {
    m_searchMode = !m_searchMode;
    for (int i : kFormHiddenFields)
        m_tf[static_cast<std::size_t>(i)].widget()->setVisible(!m_searchMode);
    m_label1[4]->setVisible(!m_searchMode);
    // The intensity row holds the d tolerance while searching.
    m_label1[15]->setText(m_searchMode ? QStringLiteral("d(2Th,)=") : QStringLiteral("Intensity"));
    m_tf[33].widget()->setToolTip(
        m_searchMode ? QStringLiteral("Allowed Delta(2Theta) in [deg]; default=0.1") : QString());
    for (QLabel* number : m_lbr)
        number->setVisible(!m_searchMode);
    m_scr->setVisible(!m_searchMode);
    m_frSEARCH->setGeometry(kSearchFrameBelowNotes);
    m_frSEARCH->setVisible(m_searchMode);
    m_frSEARCH->raise();
    for (std::size_t i = 0; i < m_tf.size(); ++i) {
        CardField& field = m_tf[i];
        field.setEditable(m_searchMode);
        QFont font = field.widget()->font();
        font.setBold(!m_searchMode && i != 44 && i != 46 && i != 48);
        field.widget()->setFont(font);
        if (m_searchMode) field.setText(m_savedCriteria[i]);
    }
    restyleAllFields();
    updateNearMissAction();
    if (m_searchMode) {
        m_tf[0].widget()->setFocus(Qt::OtherFocusReason);
    } else {
        setCard();
    }
}

void frmCARD::toggleSearchOptics() {
    m_searchMode = !m_searchMode;
    m_frSEARCH->setGeometry(kSearchFrameOverOptics);
    m_frSEARCH->setVisible(m_searchMode);
    m_frSEARCH->raise();
    m_lbHLP->setVisible(m_searchMode);
    for (int i : kOpticsHiddenLabels)
        m_label1[static_cast<std::size_t>(i)]->setVisible(!m_searchMode);
    for (int i : kOpticsHiddenMainFields)
        m_tf[static_cast<std::size_t>(i)].widget()->setVisible(!m_searchMode);
    for (int i : kOpticsHiddenFields)
        m_of[static_cast<std::size_t>(i)].widget()->setVisible(!m_searchMode);
    for (std::size_t i = 0; i < m_of.size(); ++i) {
        CardField& field = m_of[i];
        if (!field.widget()) continue;
        field.setEditable(m_searchMode);
        if (m_searchMode) field.setText(m_savedOpticsCriteria[i]);
    }
    restyleAllFields();
    updateNearMissAction();
    if (m_searchMode) {
        m_of[2].widget()->setFocus(Qt::OtherFocusReason);
    } else {
        setCard();
    }
}

void frmCARD::showFormSearch() {
    m_search->setChecked(false);
    if (m_pb->isVisible()) bt_Click(2);
    m_search->setChecked(true);
}

void frmCARD::showOpticsSearch() {
    m_search->setChecked(false);
    if (!m_pb->isVisible()) bt_Click(3);
    m_search->setChecked(true);
}

void frmCARD::clearCriteria() {
    if (m_opticsShown) {
        for (CardField& field : m_of)
            field.setText(QString());
        setFocusSafe(m_of[2].widget());
    } else {
        for (CardField& field : m_tf)
            field.setText(QString());
        setFocusSafe(m_tf[0].widget());
    }
}

void frmCARD::startSearch() {
    Session& session = m_host.searchSession();
    session.matchCount = 0;
    m_prb->setValue(0);
    m_prb->setRange(0, std::max(session.maxCardNumber, 1));
    m_prb->show();
    setCursor(Qt::WaitCursor);
    const SearchOptions options{m_op[1]->isChecked(), m_full->isChecked()};
    const AskFn ask = [this](std::string_view question) {
        return showMessage(this, MessageIcon::Question, qs(kSearchTitle), forDialog(question),
                           MessageButtons::YesNo) == MessageAnswer::Yes;
    };
    const ProgressFn progress = [this](int card) {
        m_prb->setValue(card);
        m_prb->repaint();
    };
    SearchOutcome outcome;
    NearMissList misses;
    if (m_pb->isVisible()) {
        OpticsCriterionTexts typed;
        for (std::size_t i = 0; i < m_of.size(); ++i) {
            m_savedOpticsCriteria[i] = m_of[i].text().trimmed();
            typed[i] = utf8(m_of[i].text());
        }
        outcome = runOpticsSearch(session, typed, options, ask, progress);
    } else {
        // The near misses of earlier criteria are of no use once new ones are searched for.
        if (m_nearMissWindow) m_nearMissWindow->hide();
        const FormCriterionTexts typed = typedFormCriteria();
        const bool nearMisses = nearMissesApply(parseFormCriteria(typed), options.orCombination);
        // The search replaces the list, so the cards it runs over are taken first; the whole
        // database once the user agreed to widen it.
        std::vector<bool> scope;
        if (nearMisses) scope = searchScope(session, options.fullScope);
        const AskFn askAndNote = [&](std::string_view question) {
            const bool widen = ask(question);
            if (widen && nearMisses) scope = searchScope(session, true);
            return widen;
        };
        outcome = runCardFormSearch(session, typed, options, askAndNote, progress);
        if (outcome.end == SearchEnd::NoMatches && nearMisses) {
            Result<NearMissList> found = [&] {
                BusyCursor busy;
                return findNearMisses(session.data, typed, options.orCombination, scope,
                                      session.maxCardNumber);
            }();
            // Without near misses, or when they cannot be read, the message stays the plain one.
            if (found && found.value().total > 0) misses = std::move(found).value();
        }
    }
    unsetCursor();
    m_prb->hide();
    if (outcome.end != SearchEnd::NoCriteria) m_host.showSearchCount();
    switch (outcome.end) {
    case SearchEnd::NoCriteria:
        showMessage(this, MessageIcon::Exclamation, qs(kSearchTitle), forDialog(outcome.message));
        break;
    case SearchEnd::NoMatches:
        if (!misses.misses.empty()) {
            const QString summary = qs(nearMissSummary(misses));
            openNearMissWindow(forDialog(outcome.message), summary, std::move(misses));
        } else {
            showMessage(this, MessageIcon::Information, qs(kSearchTitle),
                        forDialog(outcome.message));
        }
        break;
    case SearchEnd::Failed:
        showMessage(this, MessageIcon::Critical, qs(kSearchTitle), forDialog(outcome.message));
        break;
    case SearchEnd::Declined:
        break;
    case SearchEnd::Matches:
        m_host.showMatchList();
        // A match leaves search mode and shows the first match's card.
        m_search->setChecked(false);
        break;
    }
}

FormCriterionTexts frmCARD::typedFormCriteria() {
    // What is searched with is what comes back on the next entry into search mode.
    FormCriterionTexts typed;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        m_savedCriteria[i] = m_tf[i].text().trimmed();
        typed[i] = utf8(m_tf[i].text());
    }
    return typed;
}

void frmCARD::updateNearMissAction() {
    const bool formSearch = m_searchMode && !m_opticsShown;
    m_nearMissAction->setEnabled(formSearch);
    m_nearMissButton->setVisible(formSearch);
}

void frmCARD::showNearMisses() {
    if (!m_searchMode || m_opticsShown) return;
    Session& session = m_host.searchSession();
    const FormCriterionTexts typed = typedFormCriteria();
    const FormCriteria criteria = parseFormCriteria(typed);
    const bool orCombination = m_op[1]->isChecked();
    if (criteria.totalLength == 0) {
        showMessage(this, MessageIcon::Exclamation, kNearMissTitle, qs(kNoCriteriaMessage));
        return;
    }
    if (!nearMissesApply(criteria, orCombination)) {
        showMessage(this, MessageIcon::Information, kNearMissTitle, qs(kNearMissesNeedAnd));
        return;
    }
    // The cards the search would run over; the list stays as it is.
    const std::vector<bool> scope = searchScope(session, m_full->isChecked());
    Result<SearchPass> pass = SearchPass{};
    Result<NearMissList> found = NearMissList{};
    {
        BusyCursor busy;
        pass = runFormSearchPass(session.data, criteria, requiredFormHits(criteria, false), scope,
                                 session.maxCardNumber, {});
        if (pass) found = findNearMisses(session.data, typed, false, scope, session.maxCardNumber);
    }
    if (!pass || !found) {
        showMessage(this, MessageIcon::Critical, kNearMissTitle,
                    QStringLiteral("The near misses cannot be found: ") +
                        qs(!pass ? pass.error().message : found.error().message));
        return;
    }
    if (found.value().total == 0) {
        showMessage(this, MessageIcon::Information, kNearMissTitle,
                    qs(nearMissSummary(found.value())));
        return;
    }
    const int matches = pass.value().matchCount;
    const QString summary = qs(nearMissSummary(found.value()));
    if (matches == 0) {
        openNearMissWindow(qs(kNoMatchesMessage), summary, std::move(found).value());
    } else {
        openNearMissWindow(QString(), matchCountText(matches) + QStringLiteral("; ") + summary,
                           std::move(found).value());
    }
}

void frmCARD::openNearMissWindow(const QString& headline, const QString& summary,
                                 NearMissList list) {
    if (!m_nearMissWindow) {
        m_nearMissWindow = new frmNEARMISSES(this);
        connect(m_nearMissWindow, &frmNEARMISSES::cardChosen, this, &frmCARD::nearMissChosen);
        connect(m_nearMissWindow, &frmNEARMISSES::listWanted, this, &frmCARD::listNearMissEntries);
    }
    m_nearMissWindow->setNearMisses(headline, summary, std::move(list));
    m_nearMissWindow->show();
    m_nearMissWindow->raise();
    m_nearMissWindow->activateWindow();
}

void frmCARD::nearMissChosen(int card) {
    // A card shows only outside search mode; the criteria come back on the next entry.
    m_search->setChecked(false);
    m_host.presentCard(card, QStringLiteral("Card %1 is not in the list; Show as List in the "
                                            "Near Misses window lists the near misses")
                                 .arg(card));
}

void frmCARD::listNearMissEntries() {
    if (!m_nearMissWindow || m_nearMissWindow->nearMisses().misses.empty()) return;
    Session& session = m_host.searchSession();
    if (const Status s = listNearMisses(session, m_nearMissWindow->nearMisses()); !s) {
        showMessage(m_nearMissWindow, MessageIcon::Critical, QStringLiteral("Show as List"),
                    qs(s.error().message));
        return;
    }
    m_host.showSearchPanels();
    m_host.showMatchList();
    // As after a search with matches: search mode ends on the first entry's card.
    m_search->setChecked(false);
}

} // namespace lithora::gui
