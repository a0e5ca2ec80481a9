// The window "Identify Pattern" on the offscreen platform, driven through the main window on
// the bundled database: typed peaks, a pattern file, its phases and its residual, the element
// filter and the list scope, errors through the message seam, the main list and the keys.
//
// Quartz is card 4550 in the bundled database; its card lists d 3.343 4.255 1.818 1.374 1.542
// 2.281 2.457 1.382 with I 100 20 13 11 9 7 7 6. Calcite is card 814. help/samples/
// quartz-calcite.xy is a synthetic Cu Kα profile of 70 % quartz and 30 % calcite.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>
#include <cmath>
#include <memory>

#include "common/file_dialog.h"
#include "common/qt_support.h"
#include "gui_test_support.h"
#include "identify/candidate_model.h"
#include "identify/frm_identify.h"
#include "identify/line_match_model.h"
#include "identify/mixture_phase_model.h"
#include "identify/pattern_plot.h"
#include "identify/plot_colours.h"
#include "list/entry_list.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

// Answers the save dialog with a fixed path.
class SaveTo : public FileDialogs {
  public:
    explicit SaveTo(QString path) : m_path(std::move(path)) {}
    QString saveFileName(QWidget*, const QString&, const QString&, const QStringList&,
                         QString*) override {
        ++asked;
        return m_path;
    }
    int asked = 0;

  private:
    QString m_path;
};

constexpr int kQuartz = 4550;
constexpr int kCalcite = 814;
const QString kQuartzLines =
    QStringLiteral("3.343 100\n4.255 20\n1.818 13\n1.374 11\n1.542 9\n2.281 7\n2.457 7\n1.382 6\n");

QString sampleProfile() {
    return QStringLiteral(LITHORA_SAMPLES_DIR "/quartz-calcite.xy");
}

std::vector<int> cardsOf(const std::vector<Candidate>& candidates) {
    std::vector<int> cards;
    for (const Candidate& c : candidates)
        cards.push_back(c.card);
    return cards;
}

std::vector<int> phaseCards(const frmIDENTIFY& window) {
    std::vector<int> cards;
    for (const MixturePhase& p : window.phases())
        cards.push_back(p.candidate.card);
    return cards;
}

bool holds(const std::vector<int>& cards, int card) {
    return std::find(cards.begin(), cards.end(), card) != cards.end();
}

QString cell(const QAbstractItemModel* model, int row, int column) {
    return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

// Pixels near a colour in the upper or lower half of a picture.
int pixelsNear(const QImage& image, const QColor& colour, bool upper) {
    return upper ? test::pixelsNear(image, colour, 0, image.height() / 2 - 2)
                 : test::pixelsNear(image, colour, image.height() / 2 + 2, image.height());
}

} // namespace

class IdentifyTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY2(std::filesystem::exists(bundledData() / "lithora.a"),
                 "the bundled database was not built");
        QVERIFY2(QFile::exists(sampleProfile()), "help/samples/quartz-calcite.xy is missing");
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(bundledData());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void theToolbarActionOpensOneWindow() {
        QAction* action = m_form->toolbarAction(4);
        QCOMPARE(action->text(), QStringLiteral("Identify"));
        QVERIFY(action->toolTip().startsWith(QStringLiteral("Identify Pattern")));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
        QVERIFY(!m_form->identifyWindow());
        action->trigger();
        frmIDENTIFY* window = m_form->identifyWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Identify Pattern"));
        // Esc from a field closes it; it comes back as it was.
        window->peaksEdit()->setPlainText(QStringLiteral("3.343 100"));
        QTest::keyClick(window->requiredEdit(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
        action->trigger();
        QCOMPARE(m_form->identifyWindow(), window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->peaksEdit()->toPlainText(), QStringLiteral("3.343 100"));
    }

    // The other buttons were never connected to their windows: a click on the search button
    // must open the search window.
    void theOldToolbarButtonsAreConnectedToo() {
        QVERIFY(!m_form->searchWindow());
        m_form->toolbarAction(2)->trigger();
        QVERIFY(m_form->searchWindow() && m_form->searchWindow()->isVisible());
    }

    void typedQuartzLinesRankQuartzFirstAndMakeItCurrent() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setPlainText(kQuartzLines);
        QTest::mouseClick(w.identifyButton(), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(!w.candidates().empty());
        QCOMPARE(w.candidates().front().card, kQuartz);
        const QAbstractItemModel* table = w.candidateTable()->model();
        QCOMPARE(cell(table, 0, CandidateModel::Name), QStringLiteral("Quartz"));
        QCOMPARE(cell(table, 0, CandidateModel::Card), QStringLiteral("4550"));
        // Every line of the whole pattern that should show in the typed span was found.
        QCOMPARE(w.candidates().front().score.linesMatched,
                 w.candidates().front().score.linesCounted);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d$"))
                    .match(cell(table, 0, CandidateModel::Score))
                    .hasMatch());
        // Ranked by score, a group's members under its best one (the window marks them).
        double lead = w.candidates().front().finalScore;
        for (std::size_t i = 1; i < w.candidates().size(); ++i) {
            const Candidate& c = w.candidates()[i];
            const bool member = c.group != 0 && w.candidates()[i - 1].group == c.group;
            QCOMPARE(cell(table, static_cast<int>(i), CandidateModel::Name).startsWith("≈ "),
                     member);
            if (member) continue;
            QVERIFY(c.finalScore <= lead);
            lead = c.finalScore;
        }
        // The best is the current card of the main window.
        QCOMPARE(m_form->session().card.currentCardNumber, kQuartz);
        QCOMPARE(m_form->panelText(4), QStringLiteral("Card 4550"));
        QCOMPARE(m_form->selectedRow(), rowOfCard(m_form->session(), kQuartz));

        // The card's own lines typed: every line matched within their rounding (the card merges
        // lines within 0.005 Å and keeps three decimals), nothing unexplained.
        const std::vector<LineMatchRow>& rows = w.lineModel().rows();
        QVERIFY(rows.size() >= 8);
        for (const LineMatchRow& row : rows) {
            QCOMPARE(row.kind, LineKind::Matched);
            QVERIFY2(std::abs(std::stod(
                         row.deltaD.substr(row.deltaD.find_first_of("0123456789")))) < 0.003,
                     row.deltaD.c_str());
        }
        QCOMPARE(w.plot()->candidate()->card, kQuartz);
        QCOMPARE(w.plot()->axis(), PatternPlot::Axis::D);

        // Down moves to the second candidate: plot, lines and current card follow.
        QTest::keyClick(w.candidateTable(), Qt::Key_Down);
        const int second = w.candidates()[1].card;
        QCOMPARE(w.selectedCandidate()->card, second);
        QCOMPARE(w.plot()->candidate()->card, second);
        QCOMPARE(m_form->session().card.currentCardNumber, second);
        QVERIFY(w.residualButton()->isEnabled());
    }

    void thePlotMirrorsMeasuredPeaksAndCardLines() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setPlainText(kQuartzLines);
        w.identify();
        w.plot()->resize(600, 320);
        const QImage picture = w.plot()->grab().toImage();
        // Measured sticks upward, the card's lines downward; each in its own colour.
        QVERIFY(pixelsNear(picture, plot_colours::kMeasured, true) > 100);
        QCOMPARE(pixelsNear(picture, plot_colours::kMeasured, false), 0);
        QVERIFY(pixelsNear(picture, plot_colours::kCardLine, false) > 100);
        QVERIFY(!w.plot()->hasProfile());
        QTest::mouseClick(w.twoThetaAxisButton(), Qt::LeftButton);
        QCOMPARE(w.plot()->axis(), PatternPlot::Axis::TwoTheta);
        QVERIFY(w.plot()->grab().toImage() != picture);
    }

    void badInputIsReportedAndLeavesTheTable() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setPlainText(kQuartzLines);
        w.identify();
        const std::vector<int> before = cardsOf(w.candidates());
        QVERIFY(!before.empty());

        const struct {
            QString peaks, wavelength, required;
            int position;
            QString title, mentions;
        } cases[] = {
            {QStringLiteral("3.343 100\nabc 20"),
             QStringLiteral("Cu Kα"),
             {},
             0,
             QStringLiteral("Peak List"),
             QStringLiteral("abc")},
            {QStringLiteral("26.6 100"),
             QStringLiteral("Xx"),
             {},
             1,
             QStringLiteral("Wavelength"),
             QStringLiteral("Xx")},
            {QStringLiteral("3.343 100"), QStringLiteral("Cu Kα"), QStringLiteral("Ca, Qq"), 0,
             QStringLiteral("Element Filter"), QStringLiteral("Qq")},
            {QString(), QStringLiteral("Cu Kα"), {}, 0, QStringLiteral("Peak List"), {}},
        };
        for (const auto& c : cases) {
            m_boxes->shown.clear();
            w.peaksEdit()->setPlainText(c.peaks);
            w.wavelengthBox()->setEditText(c.wavelength);
            w.requiredEdit()->setText(c.required);
            w.positionBox()->setCurrentIndex(c.position);
            QTest::mouseClick(w.identifyButton(), Qt::LeftButton);
            QCOMPARE(m_boxes->shown.size(), std::size_t{1});
            QCOMPARE(m_boxes->shown[0].title, c.title);
            QVERIFY2(m_boxes->shown[0].text.contains(c.mentions),
                     qPrintable(m_boxes->shown[0].text));
            QCOMPARE(cardsOf(w.candidates()), before);
        }

        // Files that are no pattern: missing, and text without two columns of numbers.
        QTemporaryDir dir;
        const QString words = dir.filePath(QStringLiteral("notes.txt"));
        QFile file(words);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a pattern was measured\nbut not written here\n");
        file.close();
        for (const QString& path : {dir.filePath(QStringLiteral("missing.xy")), words}) {
            m_boxes->shown.clear();
            QVERIFY(!w.openPatternFile(path));
            QCOMPARE(m_boxes->shown.size(), std::size_t{1});
            QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Open Pattern File"));
            QCOMPARE(cardsOf(w.candidates()), before);
        }
        QCOMPARE(w.fileLabel()->text(), QStringLiteral("No pattern file"));
    }

    void aPatternFileRanksQuartzAndItsResidualCalcite() {
        frmIDENTIFY& w = openWindow();
        QVERIFY(w.openPatternFile(sampleProfile()));
        QVERIFY(m_boxes->shown.empty());
        // The found peaks are in the list as 2θ and intensity, for the user to see and edit.
        QCOMPARE(w.positionBox()->currentIndex(), 1);
        const QStringList lines =
            w.peaksEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 8);
        QVERIFY(lines[0].startsWith(QStringLiteral("# ")));
        QVERIFY(lines[0].contains(QStringLiteral("quartz-calcite.xy")));
        QVERIFY(w.fileLabel()->text().startsWith(QStringLiteral("quartz-calcite.xy")));
        QVERIFY(w.thresholdBox()->isEnabled());
        QCOMPARE(w.candidates().front().card, kQuartz);
        QVERIFY(w.plot()->hasProfile());
        QCOMPARE(w.plot()->axis(), PatternPlot::Axis::TwoTheta);

        // A higher threshold finds fewer peaks, and ranks them at once.
        w.thresholdBox()->setValue(30.0);
        const int fewer = static_cast<int>(
            w.peaksEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
        QVERIFY(fewer < lines.size());
        QCOMPARE(w.candidates().front().card, kQuartz);
        w.thresholdBox()->setValue(3.0);
        QCOMPARE(w.peaksEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);

        // The sample is a single-line profile: with Kα1 only, no Kα2 is taken away where there
        // is none, so the stripping leaves no false peaks, and quartz's calculated profile has
        // no Kα2 either and fits better. The candidate's calculated profile is on the plot.
        QVERIFY(w.plot()->hasCalculated());
        const double doubletR = w.candidates().front().profileR;
        QVERIFY(w.alpha1OnlyBox()->isEnabled());
        w.alpha1OnlyBox()->setChecked(true);
        QVERIFY(w.peaksEdit()->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() <
                lines.size());
        QCOMPARE(w.candidates().front().card, kQuartz);
        QVERIFY(w.candidates().front().profileR < doubletR);
        w.alpha1OnlyBox()->setChecked(false);

        // Quartz's peaks taken away, what is left is calcite's. The mixture is shown first: a
        // candidate selected takes the plot and the buttons over.
        QVERIFY(!w.selectedCandidate());
        w.candidateTable()->selectRow(0);
        QCOMPARE(w.selectedCandidate()->card, kQuartz);
        QTest::mouseClick(w.residualButton(), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(w.residualShown());
        QVERIFY(
            w.summaryLabel()->text().startsWith(QStringLiteral("Residual after Quartz (4550)")));
        std::vector<int> rest = cardsOf(w.candidates());
        QVERIFY(!holds(rest, kQuartz));
        rest.resize(std::min<std::size_t>(rest.size(), 3));
        QVERIFY2(holds(rest, kCalcite), "calcite is not among the first three of the residual");
        QVERIFY(w.fullPatternButton()->isVisibleTo(&w));

        // And back to the whole pattern.
        QTest::mouseClick(w.fullPatternButton(), Qt::LeftButton);
        QVERIFY(!w.residualShown());
        QVERIFY(!w.fullPatternButton()->isVisibleTo(&w));
        QCOMPARE(w.candidates().front().card, kQuartz);
    }

    // The sample's two phases are found, quartz first. Calcite taken away, quartz alone is fitted
    // again; added back from the candidates it is a phase again, with no certainty, as it was
    // not ranked where quartz leaves the profile. The amounts are of the crystalline whole.
    void aPatternFileShowsItsPhasesAndTheUserChangesThem() {
        frmIDENTIFY& w = openWindow();
        QVERIFY(w.openPatternFile(sampleProfile()));
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(w.phaseTable()->isVisibleTo(&w));
        QVERIFY(w.phasesShown() && w.plot()->hasPhases());
        const QAbstractItemModel* table = w.phaseTable()->model();
        // The amounts as the table shows them ("69 ± 5"), added up; each is rounded by at most a
        // half.
        auto shownSum = [&] {
            const QRegularExpression amount(QStringLiteral("^(\\d+(?:\\.\\d)?) ± \\d"));
            double sum = 0.0;
            for (int r = 0; r < table->rowCount(); ++r) {
                const QRegularExpressionMatch m =
                    amount.match(cell(table, r, MixturePhaseModel::Amount));
                sum += m.hasMatch() ? m.captured(1).toDouble() : 1e9;
            }
            return sum;
        };
        QCOMPARE(phaseCards(w), (std::vector<int>{kQuartz, kCalcite}));
        QVERIFY2(std::abs(shownSum() - 100.0) <= 1.0,
                 qPrintable(cell(table, 0, MixturePhaseModel::Amount)));

        QCoreApplication::processEvents(); // lays the panel out, shown since the last layout
        w.phaseTable()->selectRow(1);
        QTest::mouseClick(w.removePhaseButton(), Qt::LeftButton);
        QCOMPARE(phaseCards(w), std::vector<int>{kQuartz});
        QCOMPARE(shownSum(), 100.0);

        const auto calcite = std::find_if(w.candidates().begin(), w.candidates().end(),
                                          [](const Candidate& c) { return c.card == kCalcite; });
        QVERIFY(calcite != w.candidates().end());
        w.candidateTable()->selectRow(static_cast<int>(calcite - w.candidates().begin()));
        QVERIFY(!w.phasesShown());
        QTest::mouseClick(w.addPhaseButton(), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty());
        QCOMPARE(phaseCards(w), (std::vector<int>{kQuartz, kCalcite}));
        // The added phase is judged on its own peaks like the others.
        QVERIFY(cell(table, 1, MixturePhaseModel::Certainty).endsWith(QStringLiteral("%")));
        QVERIFY(std::abs(shownSum() - 100.0) <= 1.0);

        // While the phases are shown, they are what Show as List puts into the main list.
        QVERIFY(w.phasesShown());
        QTest::mouseClick(w.showListButton(), Qt::LeftButton);
        QCOMPARE(m_form->session().rows.size(), std::size_t{2});
        QCOMPARE(m_form->panelText(2), QStringLiteral("2 phases"));

        // The report of the mixture is written as PDF where the user says.
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        SaveTo dialogs(pdf);
        setFileDialogs(&dialogs);
        w.saveReportPdf();
        QFile written(pdf);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.read(5) == "%PDF-");
        QVERIFY(m_boxes->shown.empty());

        // Typed peaks have no profile to search for phases, nor to report on.
        w.positionBox()->setCurrentIndex(0);
        w.peaksEdit()->setPlainText(kQuartzLines);
        w.identify();
        QVERIFY(!w.phaseTable()->isVisibleTo(&w));
        w.saveReportPdf();
        setFileDialogs(nullptr);
        QCOMPARE(dialogs.asked, 1);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
    }

    void showAsListFillsTheMainListInRankOrder() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setPlainText(kQuartzLines);
        w.identify();
        QTest::keyClick(w.candidateTable(), Qt::Key_Down); // the second stays current
        const int second = w.selectedCandidate()->card;
        QTest::mouseClick(w.showListButton(), Qt::LeftButton);
        const std::vector<ListRow>& rows = m_form->session().rows;
        QCOMPARE(rows.size(), w.candidates().size());
        QCOMPARE(m_form->List1()->model()->rowCount(), static_cast<int>(rows.size()));
        for (std::size_t i = 0; i < rows.size(); ++i)
            QCOMPARE(rowOfCard(m_form->session(), w.candidates()[i].card), static_cast<int>(i) + 1);
        QCOMPARE(m_form->panelText(1), QStringLiteral("Identification"));
        QCOMPARE(m_form->panelText(2), QStringLiteral("%1 candidates").arg(rows.size()));
        QCOMPARE(m_form->session().card.currentCardNumber, second);
        QCOMPARE(m_form->selectedRow(), 2);
    }

    void theElementFilterAndTheListNarrowTheCandidates() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setPlainText(kQuartzLines);
        // Enter in a field identifies.
        w.requiredEdit()->setText(QStringLiteral("Ca"));
        QTest::keyClick(w.requiredEdit(), Qt::Key_Return);
        QVERIFY(!w.candidates().empty());
        QVERIFY(!holds(cardsOf(w.candidates()), kQuartz));
        for (const Candidate& c : w.candidates())
            QVERIFY2(qs(c.formula).contains(QStringLiteral("Ca")), c.formula.c_str());
        w.requiredEdit()->clear();
        w.excludedEdit()->setText(QStringLiteral("Si"));
        QTest::keyClick(w.toleranceBox(), Qt::Key_Enter);
        QVERIFY(!holds(cardsOf(w.candidates()), kQuartz));

        // The Ca candidates become the list; ranked within it, quartz cannot come back, yet a
        // candidate outside the list still becomes the current card.
        w.excludedEdit()->clear();
        w.requiredEdit()->setText(QStringLiteral("Ca"));
        w.identify();
        w.showAsList();
        const std::vector<int> listed = cardsOf(w.candidates());
        w.requiredEdit()->clear();
        w.currentListBox()->setChecked(true);
        w.identify();
        for (int card : cardsOf(w.candidates()))
            QVERIFY(holds(listed, card));
        w.currentListBox()->setChecked(false);
        w.identify();
        QCOMPARE(w.candidates().front().card, kQuartz);
        QCOMPARE(m_form->session().card.currentCardNumber, kQuartz);
        QCOMPARE(m_form->selectedRow(), 0);
        QCOMPARE(m_form->List1()->model()->rowCount(), static_cast<int>(listed.size()));
    }

    void enterIsANewLineInThePeakListAndCtrlEnterIdentifies() {
        frmIDENTIFY& w = openWindow();
        w.peaksEdit()->setFocus();
        QTest::keyClicks(w.peaksEdit(), QStringLiteral("3.343 100"));
        QTest::keyClick(w.peaksEdit(), Qt::Key_Return);
        QTest::keyClicks(w.peaksEdit(), QStringLiteral("4.255 20"));
        QCOMPARE(w.peaksEdit()->toPlainText(), QStringLiteral("3.343 100\n4.255 20"));
        QVERIFY(w.candidates().empty());
        QTest::keyClick(w.peaksEdit(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!w.candidates().empty());
        QCOMPARE(w.peaksEdit()->toPlainText(), QStringLiteral("3.343 100\n4.255 20"));
    }

  private:
    frmIDENTIFY& openWindow() {
        m_form->toolbarAction(4)->trigger();
        frmIDENTIFY* window = m_form->identifyWindow();
        if (!window) qFatal("the toolbar did not open the window");
        return *window;
    }

    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(IdentifyTest)
#include "identify_test.moc"
