// The window "Compare Cards" on the offscreen platform, driven through the main window on the
// bundled database: rows selected in the list with Ctrl and Shift, the columns and their marks,
// a column making its card current, adding and removing cards, the limits, the plot and the
// print preview.
//
// Calcite is card 814, aragonite 244, vaterite 5692 (three forms of CaCO3), quartz 4550.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "common/qt_support.h"
#include "compare/compare_model.h"
#include "compare/compare_plot.h"
#include "compare/frm_compare.h"
#include "gui_test_support.h"
#include "list/entry_list.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "print/card_page_painter.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

constexpr int kCalcite = 814;
constexpr int kAragonite = 244;
constexpr int kVaterite = 5692;
constexpr int kQuartz = 4550;

int fieldRow(const CompareModel& model, const std::string& field) {
    for (int r = 0; r < model.rowCount(); ++r) {
        const ComparisonRow* row = model.comparisonRow(r);
        if (row && row->field == field) return r;
    }
    return -1;
}

} // namespace

class CompareTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY2(std::filesystem::exists(bundledData() / "lithora.a"),
                 "the bundled database was not built");
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(bundledData());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void theToolbarAndTheListMenuOfferIt() {
        QAction* action = m_form->toolbarAction(5);
        QCOMPARE(action->text(), QStringLiteral("Compare"));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
        QVERIFY(m_form->pop1()->actions().contains(m_form->compareAction()));
        QCOMPARE(m_form->compareAction()->text(), QStringLiteral("Compare Selected Cards"));
    }

    // A plain click selects one row and shows its card; Ctrl+click adds rows and shows the one
    // clicked last; Shift+click selects a run.
    void ctrlAndShiftClicksSelectSeveralRows() {
        clickRow(kCalcite, Qt::NoModifier);
        QCOMPARE(m_form->session().card.currentCardNumber, kCalcite);
        clickRow(kQuartz, Qt::ControlModifier);
        QCOMPARE(m_form->session().card.currentCardNumber, kQuartz);
        QCOMPARE(m_form->selectedCards(), (std::vector<int>{kCalcite, kQuartz}));
        clickRow(kAragonite, Qt::NoModifier);
        QCOMPARE(m_form->selectedCards(), std::vector<int>{kAragonite});
        QCOMPARE(m_form->session().card.currentCardNumber, kAragonite);
        const int from = rowOf(kAragonite);
        clickRow(rowCard(from + 3), Qt::ShiftModifier);
        QCOMPARE(m_form->selectedCards().size(), std::size_t(4));
    }

    void theSelectedRowsBecomeColumnsWithTheirDifferencesMarked() {
        select({kVaterite, kCalcite, kAragonite});
        m_form->toolbarAction(5)->trigger();
        frmCOMPARE* w = m_form->compareWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Compare Cards"));
        // In list order, whatever order they were selected in.
        QCOMPARE(w->cards(), (std::vector<int>{kAragonite, kCalcite, kVaterite}));
        const auto& model = static_cast<const CompareModel&>(*w->table()->model());
        QCOMPARE(model.columnCount(), 3);
        QVERIFY(model.headerData(1, Qt::Horizontal, Qt::DisplayRole)
                    .toString()
                    .startsWith(QStringLiteral("Calcite\nCard 814")));

        const int formula = fieldRow(model, "Formula");
        const int system = fieldRow(model, "Crystal System");
        QVERIFY(formula >= 0 && system >= 0);
        QCOMPARE(model.index(formula, 0).data().toString(), QStringLiteral("Ca(CO3)"));
        QVERIFY(!model.index(formula, 0).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(model.index(system, 0).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(model.index(system, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(!model.index(formula, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(w->summaryLabel()->text().startsWith(QStringLiteral("3 cards; they differ in")));

        // Only the differences: the formula's row goes, the system's stays.
        w->onlyDifferencesBox()->setChecked(true);
        QCOMPARE(fieldRow(model, "Formula"), -1);
        QVERIFY(fieldRow(model, "Crystal System") >= 0);
        for (int r = 0; r < model.rowCount(); ++r) {
            if (const ComparisonRow* row = model.comparisonRow(r)) QVERIFY(row->differ);
        }
        w->onlyDifferencesBox()->setChecked(false);
        QVERIFY(fieldRow(model, "Formula") >= 0);
    }

    void selectingAColumnMakesItsCardCurrent() {
        select({kCalcite, kQuartz});
        QVERIFY(m_form->compareSelection());
        frmCOMPARE* w = m_form->compareWindow();
        const auto& model = static_cast<const CompareModel&>(*w->table()->model());
        const int row = fieldRow(model, "Formula");
        QTest::mouseClick(w->table()->viewport(), Qt::LeftButton, {},
                          w->table()->visualRect(model.index(row, 1)).center());
        QCOMPARE(m_form->session().card.currentCardNumber, kQuartz);
        // The header too.
        QTest::mouseClick(
            w->table()->horizontalHeader()->viewport(), Qt::LeftButton, {},
            QPoint(w->table()->horizontalHeader()->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(m_form->session().card.currentCardNumber, kCalcite);
        QCOMPARE(w->plot()->selectedCard(), 0);
    }

    void oneCardWaitsForMoreAndCardsAreAddedAndRemoved() {
        clickRow(kCalcite, Qt::NoModifier);
        QVERIFY(m_form->compareSelection());
        frmCOMPARE* w = m_form->compareWindow();
        QCOMPARE(w->cards(), std::vector<int>{kCalcite});
        QVERIFY(!w->printButton()->isEnabled());
        QVERIFY(w->summaryLabel()->text().contains(QStringLiteral("Add Current Card")));

        // The current card is in already: told, nothing added.
        QVERIFY(!w->addCurrentCard());
        QCOMPARE(m_boxes->shown.size(), std::size_t(1));
        QVERIFY(m_boxes->shown.back().text.contains(QStringLiteral("compared already")));

        clickRow(kAragonite, Qt::NoModifier);
        QTest::mouseClick(w->addButton(), Qt::LeftButton);
        QCOMPARE(w->cards(), (std::vector<int>{kCalcite, kAragonite}));
        QVERIFY(w->printButton()->isEnabled());

        // Up to six; the button says no more once there are.
        for (int offset = 1; static_cast<int>(w->cards().size()) < 6; ++offset) {
            clickRow(rowCard(rowOf(kQuartz) + offset), Qt::NoModifier);
            QVERIFY(w->addCurrentCard());
        }
        QVERIFY(!w->addButton()->isEnabled());
        clickRow(kVaterite, Qt::NoModifier);
        QVERIFY(!w->addCurrentCard());
        QVERIFY(m_boxes->shown.back().text.contains(QStringLiteral("Up to 6")));
        QCOMPARE(w->cards().size(), std::size_t(6));

        // Removing the selected column takes its card away, the others keep their order.
        w->table()->selectColumn(1);
        QTest::mouseClick(w->removeButton(), Qt::LeftButton);
        QCOMPARE(w->cards().size(), std::size_t(5));
        QCOMPARE(w->cards().front(), kCalcite);
        QVERIFY(std::find(w->cards().begin(), w->cards().end(), kAragonite) == w->cards().end());
        QCOMPARE(w->table()->model()->columnCount(), 5);
        QVERIFY(w->addButton()->isEnabled());
    }

    void moreThanSixSelectedAreRefusedWithAMessage() {
        std::vector<int> seven;
        for (int r = 1; r <= 7; ++r)
            seven.push_back(rowCard(r));
        select(seven);
        QVERIFY(!m_form->compareSelection());
        QCOMPARE(m_boxes->shown.size(), std::size_t(1));
        QCOMPARE(m_boxes->shown.front().text,
                 QStringLiteral("Up to 6 cards can be compared; 7 are selected."));
        QVERIFY(!m_form->compareWindow() || !m_form->compareWindow()->isVisible());
    }

    // Each card's lines are drawn in its colour; a comparison without lines says so.
    void thePlotDrawsEveryCardsLines() {
        select({kCalcite, kAragonite, kQuartz});
        QVERIFY(m_form->compareSelection());
        frmCOMPARE* w = m_form->compareWindow();
        w->plot()->resize(700, 300);
        const QImage image = w->plot()->grab().toImage();
        for (int c = 0; c < 3; ++c)
            QVERIFY2(pixelsNear(image, ComparePlot::cardColour(c), 0, image.height()) > 40,
                     qPrintable(QStringLiteral("card %1's lines are not drawn").arg(c)));
        QVERIFY(pixelsNear(image, ComparePlot::cardColour(3), 0, image.height()) < 10);
    }

    // Print opens the preview of the comparison; the same pages go to a PDF file.
    void printShowsThePreviewAndWritesPdf() {
        select({kCalcite, kAragonite});
        QVERIFY(m_form->compareSelection());
        frmCOMPARE* w = m_form->compareWindow();
        bool previewed = false;
        QTimer::singleShot(200, [&previewed] {
            if (auto* dialog =
                    qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
                previewed = dialog->windowTitle() == QStringLiteral("Print Comparison");
                dialog->reject();
            }
        });
        QTest::mouseClick(w->printButton(), Qt::LeftButton);
        QVERIFY(previewed);

        const QString file = QDir::temp().filePath(QStringLiteral("lithora-compare-test.pdf"));
        const Result<int> pages = writeComparisonPdf(w->comparison(), file);
        QVERIFY(pages.ok());
        QVERIFY(pages.value() >= 1);
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(pdf.read(5), QByteArray("%PDF-"));
        pdf.close();
        pdf.remove();
    }

    void escapeHidesTheWindow() {
        select({kCalcite, kAragonite});
        QVERIFY(m_form->compareSelection());
        frmCOMPARE* w = m_form->compareWindow();
        QTest::keyClick(w->table(), Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }

  private:
    int rowOf(int card) const { return rowOfCard(m_form->session(), card); }
    int rowCard(int row) const { return cardOfRow(m_form->session(), row); }

    void clickRow(int card, Qt::KeyboardModifiers modifiers) {
        EntryListView* list = m_form->List1();
        const QModelIndex index = list->model()->index(rowOf(card) - 1, ColName);
        list->scrollTo(index);
        QApplication::processEvents();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualRect(index).center());
    }

    void select(const std::vector<int>& cards) {
        bool first = true;
        for (const int card : cards) {
            clickRow(card, first ? Qt::NoModifier : Qt::ControlModifier);
            first = false;
        }
        QCOMPARE(m_form->selectedCards().size(), cards.size());
    }

    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(CompareTest)
#include "compare_test.moc"
