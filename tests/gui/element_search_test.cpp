// The search window on the offscreen platform: the periodic table and its clicks, the presets,
// the element and text searches on the packed mini fixture, the messages, and the window's
// keys, focus colours and collapse.
//
// The mini fixture's element records (tests/fixtures/mini/entries.tsv, column "elements"):
// Albite Na Al Si O; Akermanite Ca Mg Si O; Calcite Ca C O; cechite Pb Fe V O H; Monoclinite
// K Al Si O H; Feldspar, Garnet, Zeolite-X and Zalum have none. Its groups: Feldspar (Albite,
// Feldspar), Melilite, Calcite, Garnet (Garnet), Garnet Supergroup (Monoclinite), Alum, ALUMITE.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>
#include <algorithm>
#include <set>

#include "common/qt_support.h"
#include "gui_test_support.h"
#include "list/entry_list.h"
#include "search/frm_element_search.h"
#include "search/text_search.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

using Names = QStringList;

const QColor kRed(200, 0, 0);
const QColor kCyan(206, 255, 255);
const QColor kGrey(239, 239, 239);

// Stands in for the main window: a session on the data, and what the window asked of it.
class RecordingHost : public SearchWindowHost {
  public:
    Session& searchSession() override { return session; }
    void showSearchPanels() override {
        panels = {qs(session.status[0]), qs(session.status[1])};
        ++panelCalls;
    }
    void showMatchList() override { ++listCalls; }

    Session session;
    QStringList panels;
    int panelCalls = 0;
    int listCalls = 0;
};

} // namespace

class ElementSearchTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_data = std::make_unique<DataDir>();
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_host = std::make_unique<RecordingHost>();
        m_host->session.data.dir = m_data->path();
        QVERIFY(startUp(m_host->session).ok());
        m_window = new frmELEMENTSEARCH(*m_host, nullptr);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }
    void cleanup() {
        delete m_window.data();
        m_host.reset();
        setMessageBoxes(nullptr);
    }

    void theTableIsAPeriodicTable() {
        const QRect frame = m_window->Frame1()->rect();
        std::map<int, int> cellsInRow; // by the cells' top edge
        for (int z = 1; z <= kElementCount; ++z) {
            QLabel* cell = m_window->pse(z - 1);
            QCOMPARE(cell->text(), QStringLiteral(" ") + qs(elementSymbol(z)));
            QCOMPARE(cell->toolTip(), QStringLiteral("Element %1").arg(z));
            QCOMPARE(cell->cursor().shape(), Qt::PointingHandCursor);
            QVERIFY2(frame.contains(cell->geometry()), qPrintable(cell->text()));
            ++cellsInRow[cell->y()];
            for (int other = 1; other < z; ++other)
                QVERIFY2(!cell->geometry().intersects(m_window->pse(other - 1)->geometry()),
                         qPrintable(cell->text() + m_window->pse(other - 1)->text()));
        }
        // Period lengths 2, 8, 8, 18, 18; period 6 gives La..Lu and period 7 Ac..Lr to rows of
        // their own, and the data end at Lr: 18 - 1 and 2 left, 15 in each f-row.
        std::vector<int> counts;
        for (const auto& [y, count] : cellsInRow)
            counts.push_back(count);
        QCOMPARE(counts, (std::vector<int>{2, 8, 8, 18, 18, 17, 2, 15, 15}));
        // Columns are groups: the noble gases one above the other, so Fe, Ru, Os; La heads the
        // row below Fr.
        const auto x = [this](int z) { return m_window->pse(z - 1)->x(); };
        const auto y = [this](int z) { return m_window->pse(z - 1)->y(); };
        for (int z : {10, 18, 36, 54, 86})
            QCOMPARE(x(z), x(2));
        QCOMPARE(x(44), x(26));
        QCOMPARE(x(76), x(26));
        QCOMPARE(x(21), x(39)); // Sc over Y in group 3
        QCOMPARE(x(57), x(39));
        QVERIFY(x(72) > x(39)); // Hf in group 4, its group-3 neighbour left to La
        QVERIFY(y(57) > y(87) && y(89) > y(57));
        QCOMPARE(y(71), y(57));
        QCOMPARE(y(103), y(89));
        // Period numbers at the left of their rows, the numerals over the main groups.
        const int firstOfPeriod[] = {1, 3, 11, 19, 37, 55, 87};
        for (int p = 0; p < 7; ++p) {
            QCOMPARE(m_window->Label1(p)->text(), QString::number(p + 1));
            QCOMPARE(m_window->Label1(p)->y(), y(firstOfPeriod[p]));
            QVERIFY(m_window->Label1(p)->geometry().right() < x(1));
        }
        QCOMPARE(m_window->Label1(7)->x(), x(1));
        QCOMPARE(m_window->Label1(7)->text(), QStringLiteral("I"));
        QCOMPARE(m_window->Label1(9)->x(), x(5)); // III over boron
        QCOMPARE(m_window->Label1(14)->x(), x(2));
        QVERIFY(m_window->Label1(14)->y() < y(2));
    }

    void clicksCycleTheCellsAndARightClickRequires() {
        const int ca = 20;
        const int o = 8;
        QCOMPARE(background(ca), QColor(Qt::white));
        QVERIFY(!m_window->Command3()->isEnabled());
        click(ca);
        QCOMPARE(background(ca), kCyan);
        QCOMPARE(textColour(ca), QColor(Qt::black));
        QCOMPARE(m_window->tf()->text(), QString());
        QVERIFY(!m_window->Command3()->isEnabled()); // possible is not required
        click(ca);
        QCOMPARE(background(ca), kRed);
        QCOMPARE(textColour(ca), QColor(Qt::white));
        QCOMPARE(m_window->tf()->text(), QStringLiteral(" Ca, "));
        QVERIFY(m_window->Command3()->isEnabled());
        click(ca);
        QCOMPARE(background(ca), QColor(Qt::white));
        QVERIFY(!m_window->Command3()->isEnabled());
        // A right click requires at once, from any state; tf lists by atomic number.
        click(o, Qt::RightButton);
        click(ca);
        click(ca, Qt::RightButton);
        QCOMPARE(background(o), kRed);
        QCOMPARE(background(ca), kRed);
        QCOMPARE(m_window->tf()->text(), QStringLiteral(" O,  Ca, "));
        // A quick second click arrives as a double click and still counts.
        QTest::mouseDClick(m_window->pse(ca - 1), Qt::LeftButton);
        QCOMPARE(background(ca), QColor(Qt::white));
        QCOMPARE(m_window->tf()->text(), QStringLiteral(" O, "));
    }

    void presetsAndTheSeriesCaptions() {
        const int u = 92;
        click(u, Qt::RightButton);
        QTest::mouseClick(m_window->btPOS(1), Qt::LeftButton); // light elements
        QCOMPARE(background(u), kRed);                         // stays required
        QCOMPARE(background(1), kCyan);                        // hydrogen is light
        QCOMPARE(background(79), QColor(Qt::white));           // gold is not
        QTest::mouseClick(m_window->btPOS(3), Qt::LeftButton); // possible all
        for (int z = 1; z <= kElementCount; ++z)
            QCOMPARE(background(z), z == u ? kRed : kCyan);
        QTest::mouseClick(m_window->btPOS(0), Qt::LeftButton); // exclude all
        for (int z = 1; z <= kElementCount; ++z)
            QCOMPARE(background(z), QColor(Qt::white));
        QCOMPARE(m_window->tf()->text(), QString());

        // The fifteen go together, by La's state: Ce alone possible, La not → all possible.
        QCOMPARE(m_window->Label2(0)->text(), QStringLiteral("Lanthanides"));
        click(58);
        click(56); // Ba, next to the series, stays as it is
        QTest::mouseClick(m_window->Label2(0), Qt::LeftButton);
        for (int z = 57; z <= 71; ++z)
            QCOMPARE(background(z), kCyan);
        QCOMPARE(background(56), kCyan);
        QCOMPARE(background(72), QColor(Qt::white));
        QTest::mouseClick(m_window->Label2(0), Qt::LeftButton);
        for (int z = 57; z <= 71; ++z)
            QCOMPARE(background(z), QColor(Qt::white));
        QCOMPARE(background(56), kCyan);
        QTest::mouseClick(m_window->Label2(4), Qt::LeftButton);
        for (int z = 89; z <= 103; ++z)
            QCOMPARE(background(z), kCyan);
        QCOMPARE(background(88), QColor(Qt::white));
    }

    void newButtonsAndTheSearchButtons() {
        click(26, Qt::RightButton);
        click(8);
        QTest::mouseClick(m_window->Command2(), Qt::LeftButton);
        QCOMPARE(m_window->tf()->text(), QString());
        QVERIFY(!m_window->Command3()->isEnabled());
        QCOMPARE(background(26), QColor(Qt::white));
        QCOMPARE(background(8), QColor(Qt::white));

        QVERIFY(!m_window->Command5()->isEnabled());
        m_window->tf2()->setText(QStringLiteral("   "));
        QVERIFY(!m_window->Command5()->isEnabled()); // blanks are no keywords
        m_window->tf2()->setText(QStringLiteral(" garnet "));
        QVERIFY(m_window->Command5()->isEnabled());
        QTest::mouseClick(m_window->Command4(), Qt::LeftButton);
        QCOMPARE(m_window->tf2()->text(), QString());
        QVERIFY(!m_window->Command5()->isEnabled());
    }

    void elementSearchListsTheMatches() {
        // Ca and O required, everything else possible: the records holding both are Akermanite
        // (Ca Mg Si O, four elements) and Calcite (Ca C O, three); a limit of 3 leaves Calcite.
        click(20, Qt::RightButton);
        click(8, Qt::RightButton);
        QTest::mouseClick(m_window->btPOS(3), Qt::LeftButton);
        m_window->tfMAX()->setText(QStringLiteral("3"));
        QTest::mouseClick(m_window->Command3(), Qt::LeftButton);
        QCOMPARE(listed(), (Names{"Calcite"}));
        QCOMPARE(m_host->panels, (QStringList{"Search Results", "1 matches"}));
        QCOMPARE(m_host->listCalls, 1);
        QVERIFY(m_boxes->shown.empty());
        QCOMPARE(background(20), kRed);                  // required stays required
        m_window->tfMAX()->setText(QStringLiteral("0")); // no limit
        QTest::mouseClick(m_window->Command3(), Qt::LeftButton);
        QCOMPARE(listed(), (Names{"Akermanite", "Calcite"}));
        QCOMPARE(m_host->panels, (QStringList{"Search Results", "2 matches"}));
        QCOMPARE(m_host->listCalls, 2);
    }

    void keywordsIgnoredAndNoMatches() {
        // Fe alone: cechite, the only record with iron, also holds Pb V O H, all excluded.
        m_window->tf2()->setText(QStringLiteral("garnet"));
        click(26, Qt::RightButton);
        QTest::mouseClick(m_window->Command3(), Qt::LeftButton);
        QCOMPARE(m_boxes->shown.size(), std::size_t{2});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Element Search"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Information);
        QVERIFY(m_boxes->shown[0].text.startsWith(
            QStringLiteral("Only element search will be performed.\nText input")));
        QVERIFY(!m_boxes->shown[0].text.contains(QLatin1Char('\r')));
        QCOMPARE(m_boxes->shown[1].title, QStringLiteral("Element Search"));
        QCOMPARE(m_boxes->shown[1].text, QStringLiteral("No Matches found"));
        QCOMPARE(m_boxes->shown[1].icon, MessageIcon::None);
        QCOMPARE(m_host->panels, (QStringList{"Search Results", "0 matches"}));
        QCOMPARE(m_host->listCalls, 0);
        QCOMPARE(m_host->session.rows.size(), std::size_t{9}); // the list stays
    }

    void textSearchThroughEnterInTheKeywordField() {
        // Group "garnet": Garnet's own entry and Monoclinite (Garnet Supergroup); with Si
        // required only Monoclinite (K Al Si O H) is left.
        m_window->cmbTXT()->setCurrentIndex(1);
        QCOMPARE(m_window->cmbTXT()->currentText(), QStringLiteral("Group"));
        QTest::keyClicks(m_window->tf2(), QStringLiteral("garnet"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(listed(), (Names{"Garnet", "Monoclinite"}));
        QCOMPARE(m_host->panels, (QStringList{"Search Results", "2 matches"}));
        click(14, Qt::RightButton);
        QTest::mouseClick(m_window->Command5(), Qt::LeftButton);
        QCOMPARE(listed(), (Names{"Monoclinite"}));
        m_window->tfMAX()->setText(QStringLiteral("4")); // Monoclinite has five elements
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Text Search"));
        QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No Matches found"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::None);
        QCOMPARE(m_host->listCalls, 2);
    }

    void aUnitCellNeedsSixValues() {
        m_window->cmbTXT()->setCurrentIndex(12);
        QCOMPARE(m_window->cmbTXT()->currentText(), QStringLiteral("Unit Cell"));
        m_window->tf2()->setText(QStringLiteral("4.99 4.99 17.06"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Unit Cell Search"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_boxes->shown[0].text.startsWith(QStringLiteral("Enter all 6 parameters.")));
        QVERIFY(!m_boxes->shown[0].text.contains(QLatin1Char('\r')));
        QCOMPARE(m_host->listCalls, 0);
        // All six (zeros for angles not searched): Calcite's cell 4.99 4.99 17.06.
        m_window->tf2()->setText(QStringLiteral("4.99 4.99 17.06 0 0 0"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(listed(), (Names{"Calcite"}));
    }

    void anySettingFindsTheRhombohedralCalcite() {
        QCheckBox* any = m_window->chkAnySetting();
        QVERIFY(!any->isEnabled()); // Synonym
        QVERIFY(any->toolTip().contains(QStringLiteral("any setting")));
        m_window->cmbTXT()->setCurrentIndex(CategoryUnitCell);
        QVERIFY(any->isEnabled());
        QVERIFY(any->focusPolicy() & Qt::TabFocus);
        // Its mnemonic is Alt+A, and the space bar ticks it once it has the focus.
        QCOMPARE(any->shortcut(), QKeySequence(Qt::ALT | Qt::Key_A));
        any->setFocus();
        QTest::keyClick(any, Qt::Key_Space);
        QVERIFY(any->isChecked());
        // Calcite in rhombohedral axes; its entry holds the hexagonal cell.
        m_window->tf2()->setText(QStringLiteral("6.37 6.37 6.37 46.1 46.1 46.1"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(listed(), (Names{"Calcite"}));
        QVERIFY(m_boxes->shown.empty());
        // A zero leaves nothing out in any setting: refused with its message.
        m_window->tf2()->setText(QStringLiteral("4.99 4.99 17.06 0 0 0"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Unit Cell Search"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_boxes->shown[0].text.startsWith(QStringLiteral("A search in any setting")));
        // Unticked, the same rhombohedral cell is compared as typed: no match.
        any->setChecked(false);
        m_window->tf2()->setText(QStringLiteral("6.37 6.37 6.37 46.1 46.1 46.1"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(m_boxes->shown.size(), std::size_t{2});
        QCOMPARE(m_boxes->shown[1].text, QStringLiteral("No Matches found"));
        // Another category disables it, and a tick left behind does not count there.
        any->setChecked(true);
        m_window->cmbTXT()->setCurrentIndex(CategoryGroup);
        QVERIFY(!any->isEnabled());
        m_window->tf2()->setText(QStringLiteral("garnet"));
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QCOMPARE(listed(), (Names{"Garnet", "Monoclinite"}));
    }

    void enterInAnEmptyKeywordFieldRunsTheElementSearch() {
        QTest::mouseClick(m_window->Label5(), Qt::LeftButton);
        QVERIFY(!m_window->Label5()->isVisible());
        // Nothing selected: only records without elements pass.
        QTest::keyClick(m_window->tf2(), Qt::Key_Return);
        QVERIFY(m_window->Label5()->isVisible()); // no element required: the hint comes back
        QCOMPARE(listed(), (Names{"Feldspar", "Garnet", "Zeolite-X", "Zalum"}));
        QVERIFY(m_boxes->shown.empty()); // no keywords to ignore
    }

    void escapeAndCloseHideTheTitleBarDeletes() {
        click(26, Qt::RightButton);
        QTest::keyClick(m_window->tf2(), Qt::Key_Escape); // seen before the field sees it
        QVERIFY(!m_window->isVisible());
        m_window->show();
        QCOMPARE(background(26), kRed);
        QCOMPARE(m_window->tf()->text(), QStringLiteral(" Fe, "));
        QTest::keyClick(m_window->pse(0), Qt::Key_Escape);
        QVERIFY(!m_window->isVisible());
        m_window->show();
        QTest::keyClick(m_window, Qt::Key_Escape); // the window itself
        QVERIFY(!m_window->isVisible());
        m_window->show();
        QTest::mouseClick(m_window->Command1(), Qt::LeftButton);
        QVERIFY(!m_window->isVisible());
        QVERIFY(m_window);
        m_window->show();
        m_window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_window);
    }

    void theRollLabelCollapsesAndExpands() {
        QCOMPARE(m_window->height(), 397);
        QCOMPARE(m_window->lbROLL()->text(), QStringLiteral("<<<"));
        // Everything fits in the expanded window.
        for (QWidget* frame : {m_window->Frame1(), m_window->Frame2(), m_window->Frame3()})
            QVERIFY(m_window->rect().contains(frame->geometry()));
        QTest::mouseClick(m_window->lbROLL(), Qt::LeftButton);
        QCOMPARE(m_window->height(), 91); // 1365 twips
        QCOMPARE(m_window->lbROLL()->text(), QStringLiteral(">>>"));
        QVERIFY(m_window->Frame3()->geometry().bottom() < 91);
        QTest::mouseClick(m_window->lbROLL(), Qt::LeftButton);
        QCOMPARE(m_window->height(), 397); // 5955 twips
        QCOMPARE(m_window->lbROLL()->text(), QStringLiteral("<<<"));
    }

    void keywordFieldAndCategoryShareTheFocusColour() {
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QCOMPARE(m_window->cmbTXT()->count(), kTextCategoryCount);
        QCOMPARE(m_window->cmbTXT()->currentIndex(), 0);
        m_window->tf2()->setFocus();
        QCOMPARE(m_window->tf2()->palette().color(QPalette::Base), tooltipBackground());
        QCOMPARE(m_window->cmbTXT()->palette().color(QPalette::Base), tooltipBackground());
        m_window->tfMAX()->setFocus();
        QCOMPARE(m_window->tf2()->palette().color(QPalette::Base), kGrey);
        QCOMPARE(m_window->cmbTXT()->palette().color(QPalette::Base), kGrey);
        // Choosing a category hands the focus to the keywords.
        m_window->cmbTXT()->setFocus();
        QCOMPARE(m_window->tf2()->palette().color(QPalette::Base), tooltipBackground());
        QTest::keyClick(m_window->cmbTXT(), Qt::Key_Down);
        QCOMPARE(m_window->cmbTXT()->currentText(), QStringLiteral("Group"));
        QVERIFY(m_window->tf2()->hasFocus());
        QCOMPARE(m_window->cmbTXT()->palette().color(QPalette::Base), tooltipBackground());
    }

  private:
    void click(int z, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(m_window->pse(z - 1), button);
    }
    QColor background(int z) const {
        return m_window->pse(z - 1)->palette().color(QPalette::Window);
    }
    QColor textColour(int z) const {
        return m_window->pse(z - 1)->palette().color(QPalette::WindowText);
    }
    // The names the session lists, as the main window would show them.
    Names listed() const {
        Names names;
        for (const ListRow& row : m_host->session.rows)
            names << qs(row[ColName]);
        return names;
    }

    std::unique_ptr<DataDir> m_data;
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<RecordingHost> m_host;
    QPointer<frmELEMENTSEARCH> m_window;
};

QTEST_MAIN(ElementSearchTest)
#include "element_search_test.moc"
