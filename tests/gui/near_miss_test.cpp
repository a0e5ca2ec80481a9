// The Near Misses window of the card-form search on the offscreen platform, on the mini fixture:
// the window instead of the bare "No Matches found", the action of the search frame, the
// messages where near misses do not apply, Show as List and the keys.
//
// Six names of the fixture hold "ite": Albite (5, Mohs 6-6.5), Akermanite (17), Calcite (1,
// Mohs 3), Ckechite (42), Monoclinite (300) and Zeolite-X (9999); only Albite and Calcite give
// a Mohs hardness. The group Garnet lists cards 230 and 300.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "card/frm_card.h"
#include "card/frm_near_misses.h"
#include "card/near_miss_model.h"
#include "common/qt_support.h"
#include "gui_test_support.h"
#include "list/entry_list.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

constexpr int kName = 0;
constexpr int kMohs = 13;

QString cell(const QAbstractItemModel* model, int row, int column) {
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

std::vector<int> cardColumn(const QAbstractItemModel* model) {
    std::vector<int> cards;
    for (int row = 0; row < model->rowCount(); ++row)
        cards.push_back(cell(model, row, NearMissModel::Card).toInt());
    return cards;
}

} // namespace

class NearMissTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_data = std::make_unique<DataDir>();
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(m_data->path());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
        m_card = m_form->cardWindow();
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void aSearchWithoutMatchesShowsItsNearMissesClosestFirst() {
        search({{kName, "ite"}, {kMohs, "5"}});
        QVERIFY(m_boxes->shown.empty()); // the window instead of the message box
        frmNEARMISSES* window = m_card->nearMissWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Near Misses"));
        QVERIFY(window->headlineLabel()->isVisible());
        QCOMPARE(window->headlineLabel()->text(), QStringLiteral("No Matches found"));
        QCOMPARE(window->summaryLabel()->text(), QStringLiteral("6 entries fail one criterion"));
        const QAbstractItemModel* model = window->table()->model();
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->headerData(NearMissModel::HowFarOff, Qt::Horizontal).toString(),
                 QStringLiteral("How far off"));
        // Albite is 1 off, Calcite 2; the others have no hardness and follow by card number.
        QCOMPARE(cardColumn(model), (std::vector<int>{5, 1, 17, 42, 300, 9999}));
        QCOMPARE(cell(model, 0, NearMissModel::Name), QStringLiteral("Albite"));
        QCOMPARE(cell(model, 0, NearMissModel::Criterion), QStringLiteral("Mohs"));
        QCOMPARE(cell(model, 0, NearMissModel::HowFarOff),
                 QStringLiteral("Mohs 6-6.5 against 5 \u00B1 0.1, off by 1"));
        QCOMPARE(cell(model, 2, NearMissModel::HowFarOff),
                 QStringLiteral("Mohs: the entry gives no value where 5 is wanted"));
        // The search itself ended as before: nothing listed, search mode on, "0 matches".
        QVERIFY(m_card->searchMode());
        QCOMPARE(m_form->panelText(2), QStringLiteral("0 matches"));
        QCOMPARE(m_form->List1()->model()->rowCount(), m_rowsAtStart);
        QVERIFY(!QApplication::overrideCursor()); // the busy pointer is gone again
    }

    void thePlainMessageStaysWhereNearMissesDoNotApplyOrThereAreNone() {
        const struct {
            std::vector<std::pair<int, const char*>> typed;
            bool orCombination;
        } searches[] = {
            {{{kName, "zzz"}, {kMohs, "5"}}, true},  // OR
            {{{kName, "nothing like this"}}, false}, // one criterion
            {{{kName, "zzz"}, {kMohs, "5"}}, false}, // every entry fails both
        };
        for (const auto& s : searches) {
            m_boxes->shown.clear();
            search(s.typed, s.orCombination);
            QCOMPARE(m_boxes->shown.size(), std::size_t{1});
            QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Search"));
            QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No Matches found"));
            QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Information);
            QVERIFY(!m_card->nearMissWindow());
        }
    }

    void aWidenedSearchLooksForNearMissesInTheWholeDatabase() {
        m_form->loadGroup(QStringLiteral("Garnet"));
        // Declined: neither a window nor a further message.
        m_boxes->answer = MessageAnswer::No;
        search({{kName, "ite"}, {kMohs, "5"}});
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QVERIFY(!m_card->nearMissWindow());
        // Agreed: the near misses of every card, not only of Monoclinite in the list.
        m_boxes->shown.clear();
        m_boxes->answer = MessageAnswer::Yes;
        m_card->startSearch();
        QCOMPARE(m_boxes->shown.size(), std::size_t{1}); // the question only
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Question);
        QVERIFY(m_card->nearMissWindow());
        QCOMPARE(cardColumn(m_card->nearMissWindow()->table()->model()),
                 (std::vector<int>{5, 1, 17, 42, 300, 9999}));
        QCOMPARE(m_form->List1()->model()->rowCount(), 2);
    }

    void showAsListPutsTheNearMissesIntoTheMainList() {
        search({{kName, "ite"}, {kMohs, "5"}});
        frmNEARMISSES* window = m_card->nearMissWindow();
        QVERIFY(window);
        QTest::mouseClick(window->showListButton(), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty());
        const Session& session = m_form->session();
        QCOMPARE(m_form->List1()->model()->rowCount(), 6);
        QCOMPARE(session.rows.size(), std::size_t{6});
        const QAbstractItemModel* model = window->table()->model();
        for (int row = 0; row < 6; ++row) {
            QCOMPARE(qs(session.rows[static_cast<std::size_t>(row)][ColName]),
                     cell(model, row, NearMissModel::Name));
        }
        QCOMPARE(m_form->panelText(1), QStringLiteral("Near Misses"));
        QCOMPARE(m_form->panelText(2), QStringLiteral("6 near misses"));
        // As after a search with matches: the first entry's card, search mode off.
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_form->selectedRow(), 1);
        QCOMPARE(m_card->tf(kName).text(), QStringLiteral(" Albite"));
    }

    void theActionFindsNearMissesBesideMatchesAndLeavesTheListAlone() {
        QVERIFY(!m_card->nearMissAction()->isEnabled()); // only in search mode
        enterFormSearch();
        QVERIFY(m_card->nearMissAction()->isEnabled());
        QVERIFY(m_card->nearMissButton()->isVisible());
        type({{kName, "ite"}, {kMohs, "3.05"}}); // Calcite matches
        QTest::keyClick(m_card->tf(kMohs).widget(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(m_boxes->shown.empty());
        frmNEARMISSES* window = m_card->nearMissWindow();
        QVERIFY(window && window->isVisible());
        QVERIFY(!window->headlineLabel()->isVisible());
        QCOMPARE(window->summaryLabel()->text(),
                 QStringLiteral("1 match; 5 entries fail one criterion"));
        QCOMPARE(cardColumn(window->table()->model()), (std::vector<int>{5, 17, 42, 300, 9999}));
        QVERIFY(m_card->searchMode());
        QCOMPARE(m_form->List1()->model()->rowCount(), m_rowsAtStart);

        // Without matches the window says so at its top, as after the search.
        type({{kMohs, "5"}});
        m_card->nearMissButton()->click();
        QVERIFY(window->headlineLabel()->isVisible());
        QCOMPARE(window->headlineLabel()->text(), QStringLiteral("No Matches found"));
        QCOMPARE(window->table()->model()->rowCount(), 6);

        // The criteria are kept as after a search.
        m_card->cb(0)->setChecked(false);
        QVERIFY(!m_card->nearMissAction()->isEnabled());
        QVERIFY(!m_card->nearMissButton()->isVisible());
        m_card->cb(0)->setChecked(true);
        QCOMPARE(m_card->tf(kMohs).text(), QStringLiteral("5"));
    }

    void theActionSearchesWhatFullSays() {
        m_form->loadGroup(QStringLiteral("Garnet"));
        enterFormSearch();
        type({{kName, "ite"}, {kMohs, "5"}});
        m_card->nearMissAction()->trigger();
        QVERIFY(m_card->nearMissWindow());
        QCOMPARE(cardColumn(m_card->nearMissWindow()->table()->model()), std::vector<int>{300});
        QCOMPARE(m_form->List1()->model()->rowCount(), 2);
        m_card->cb(1)->setChecked(true); // Full
        m_card->nearMissAction()->trigger();
        QCOMPARE(m_card->nearMissWindow()->table()->model()->rowCount(), 6);
        QVERIFY(m_boxes->shown.empty()); // no question
    }

    void theActionExplainsWhyThereAreNone() {
        enterFormSearch();
        const struct {
            std::vector<std::pair<int, const char*>> typed;
            bool orCombination;
            const char* message;
        } cases[] = {
            {{{kName, "ite"}, {kMohs, "5"}},
             true,
             "Near misses need an AND search of two criteria or more."},
            {{{kName, "ite"}}, false, "Near misses need an AND search of two criteria or more."},
            {{{kName, "zzz"}, {kMohs, "5"}}, false, "No entry fails just one criterion"},
            {{}, false, "No criteria entered!"},
        };
        for (const auto& c : cases) {
            m_boxes->shown.clear();
            m_card->op(c.orCombination ? 1 : 0)->setChecked(true);
            clearFields();
            type(c.typed);
            m_card->nearMissAction()->trigger();
            QCOMPARE(m_boxes->shown.size(), std::size_t{1});
            QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Near Misses"));
            QCOMPARE(m_boxes->shown[0].text, QString::fromLatin1(c.message));
            QVERIFY(!m_card->nearMissWindow());
        }
    }

    void theWindowWorksFromTheKeyboard() {
        search({{kName, "ite"}, {kMohs, "5"}});
        frmNEARMISSES* window = m_card->nearMissWindow();
        QVERIFY(window);
        // The table has the focus whenever the window is active.
        QCOMPARE(window->focusWidget(), window->table());
        QCOMPARE(window->table()->currentIndex().row(), 0);
        QTest::keyClick(window->table(), Qt::Key_Down);
        QTest::keyClick(window->table(), Qt::Key_Return);
        // Calcite becomes the current card; the window stays for the next one.
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_card->tf(kName).text(), QStringLiteral(" Calcite"));
        QCOMPARE(m_form->session().card.currentCardNumber, 1);
        QVERIFY(m_form->selectedRow() > 0);
        QCOMPARE(m_form->selectedRow(), rowOfCard(m_form->session(), 1));
        QVERIFY(window->isVisible());
        QTest::keyClick(window->table(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    void aCardTheListLacksIsShownAllTheSame() {
        m_form->loadGroup(QStringLiteral("Garnet"));
        m_boxes->answer = MessageAnswer::Yes;
        search({{kName, "ite"}, {kMohs, "5"}});
        frmNEARMISSES* window = m_card->nearMissWindow();
        QVERIFY(window);
        // A double click on Albite, which the Garnet list does not hold.
        QTableView* table = window->table();
        const QRect row = table->visualRect(table->model()->index(0, NearMissModel::Name));
        // The press and release a double click starts with, then the double click.
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
        QVERIFY(m_card->searchMode()); // a single click chooses nothing
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(m_card->tf(kName).text(), QStringLiteral(" Albite"));
        QCOMPARE(m_form->selectedRow(), 0);
        QCOMPARE(m_form->List1()->model()->rowCount(), 2);
        QVERIFY(m_form->panelText(3).contains(QStringLiteral("Near Misses window")));
    }

    void aNewSearchPutsAwayTheNearMissesOfTheLastOne() {
        search({{kName, "ite"}, {kMohs, "5"}});
        QVERIFY(m_card->nearMissWindow()->isVisible());
        type({{kMohs, "3"}});
        m_card->startSearch(); // Calcite
        QVERIFY(!m_card->nearMissWindow()->isVisible());
        QVERIFY(!m_card->searchMode());
    }

  private:
    void enterFormSearch() {
        m_rowsAtStart = m_form->List1()->model()->rowCount();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        if (!m_card->searchMode()) QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QVERIFY(m_card->searchMode());
    }
    void clearFields() {
        for (int i = 0; i < 49; ++i) {
            if (auto* line = qobject_cast<QLineEdit*>(m_card->tf(i).widget())) line->clear();
        }
    }
    void type(const std::vector<std::pair<int, const char*>>& typed) {
        for (const auto& [field, text] : typed) {
            auto* line = qobject_cast<QLineEdit*>(m_card->tf(field).widget());
            QVERIFY(line);
            line->setText(QString::fromUtf8(text));
        }
    }
    void search(const std::vector<std::pair<int, const char*>>& typed, bool orCombination = false) {
        enterFormSearch();
        clearFields();
        m_card->op(orCombination ? 1 : 0)->setChecked(true);
        type(typed);
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
    }

    std::unique_ptr<DataDir> m_data;
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
    frmCARD* m_card = nullptr;
    int m_rowsAtStart = 0;
};

QTEST_MAIN(NearMissTest)
#include "near_miss_test.moc"
