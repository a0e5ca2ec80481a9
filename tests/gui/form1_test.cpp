// The desktop program on the offscreen platform: start-up, the list and its selection, the
// card window, navigation, the name field, the divider and the compact layout.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <optional>

#include "../support/not_a_file.h"
#include "card/frm_card.h"
#include "common/message_box.h"
#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "source/packer.h"
#include "source/source_format.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;
using lithora::test::describe;
using lithora::test::kNotAFileKinds;
using lithora::test::NotAFile;
using lithora::test::PipeWatch;
using lithora::test::putInPlace;

namespace {

QString field(Form1& form, int i) {
    return form.cardWindow()->tf(i).text();
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
    }
    void cleanup() { setMessageBoxes(nullptr); }

    void startUpShowsTheListAndRowOne() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QCOMPARE(form.List1()->model()->rowCount(), 9);
        QCOMPARE(form.selectedRow(), 1);
        QCOMPARE(field(form, 0), QStringLiteral(" Albite"));
        QCOMPARE(field(form, 5), QStringLiteral(" C-1  (2)"));
        QCOMPARE(form.panelText(1), QStringLiteral("9 entries"));
        QCOMPARE(form.panelText(2), QStringLiteral("All entries listed"));
        QCOMPARE(form.panelText(4), QStringLiteral("Card 5"));
        QCOMPARE(form.frL()->title(), QStringLiteral("List View"));
        QVERIFY(form.cardWindow()->isVisible());
        QVERIFY(form.formLoaded());
        QVERIFY(m_boxes->shown.empty());
        // Mode 0 shows #, Name, Formula, Group and Status only.
        QVERIFY(!form.List1()->isColumnHidden(ColFormula));
        QVERIFY(form.List1()->isColumnHidden(ColCard));
        QCOMPARE(form.List1()->columnWidth(ColName), 200);
    }

    void commandLineSelectsAnEntry() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QStringLiteral("/i Monoclinite"), kTallScreen));
        QCOMPARE(field(form, 0), QStringLiteral(" Monoclinite"));
        Form1 other(data.path());
        QVERIFY(other.Form_Load(QStringLiteral("/i"), kTallScreen)); // "/i" alone: row 1 again
        QCOMPARE(other.selectedRow(), 1);
    }

    void clickAndKeysShowTheSelectedCard() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        EntryListView* list = form.List1();
        const QRect third = list->visualRect(list->model()->index(2, ColName));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(field(form, 0), QStringLiteral(" Calcite"));
        QCOMPARE(field(form, 25), QStringLiteral("3.035"));
        QCOMPARE(form.cardWindow()->lbr(1)->text(), QStringLiteral("2"));

        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(field(form, 0), QStringLiteral(" cechite"));
        QTest::keyClick(list, Qt::Key_Z); // alphabetical jump
        QCOMPARE(field(form, 0), QStringLiteral(" Zeolite-X"));
        QTest::keyClick(list, Qt::Key_M);
        QCOMPARE(field(form, 0), QStringLiteral(" Monoclinite"));
        QTest::keyClick(list, Qt::Key_F1); // code 112 is "p": no name begins with P, the card stays
        QCOMPARE(field(form, 0), QStringLiteral(" Monoclinite"));
    }

    void prevAndNextStopAtBothEnds() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        frmCARD* card = form.cardWindow();
        QTest::mouseClick(card->bt(0), Qt::LeftButton);
        QCOMPARE(form.selectedRow(), 1);
        QCOMPARE(form.panelText(3), QStringLiteral("Item  1 / 9"));
        QTest::mouseClick(card->bt(1), Qt::LeftButton);
        QCOMPARE(form.selectedRow(), 2);
        QTest::mouseClick(card->bt(0), Qt::RightButton); // a right click on Prev goes forward
        QCOMPARE(form.selectedRow(), 3);
        QTest::mouseClick(card->bt(1), Qt::RightButton);
        QCOMPARE(form.selectedRow(), 2);
        for (int i = 0; i < 12; ++i)
            form.btNEXT_Click();
        QCOMPARE(form.selectedRow(), 9);
        QCOMPARE(form.panelText(3), QStringLiteral("Item  9 / 9"));
        QCOMPARE(field(form, 0), QStringLiteral(" Zalum"));
    }

    void cardWindowKeys() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        frmCARD* card = form.cardWindow();
        card->setFocus();
        QTest::keyClick(card, Qt::Key_Right);
        QCOMPARE(form.selectedRow(), 2);
        QTest::keyClick(card, Qt::Key_Down);
        QCOMPARE(form.selectedRow(), 3);
        QTest::keyClick(card, Qt::Key_Up);
        QTest::keyClick(card, Qt::Key_Left);
        QTest::keyClick(card, Qt::Key_Left);
        QCOMPARE(form.selectedRow(), 1);
        QCOMPARE(field(form, 0), QStringLiteral(" Albite"));
        QTest::keyClick(card, Qt::Key_Escape);
        QVERIFY(!card->isVisible());
    }

    void referencesPageThroughTheScrollBar() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QStringLiteral("/i albite"), kTallScreen)); // twelve references
        QScrollBar* scr = form.cardWindow()->scr();
        QVERIFY(scr->isEnabled());
        QCOMPARE(scr->maximum(), 10);
        scr->setValue(10);
        QCOMPARE(form.cardWindow()->lbr(2)->text(), QStringLiteral("12"));
        QVERIFY(field(form, 47).startsWith(QStringLiteral(" Writer 12 ")));
        form.findName("CALC"); // two references: no paging
        QVERIFY(!scr->isEnabled());
        QCOMPARE(scr->value(), 1);
        QCOMPARE(form.cardWindow()->lbr(2)->text(), QString());
    }

    void nameFieldTakesNumbersAndPrefixes() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QLineEdit* name = form.tfNAME();
        name->setFocus();
        QCOMPARE(form.panelText(3), QStringLiteral("Type Mineral name to search list"));
        QTest::keyClicks(name, QStringLiteral("1"));
        QCOMPARE(form.panelText(4), QStringLiteral("Card 1"));
        QTest::keyClicks(name, QStringLiteral("08")); // 108
        QCOMPARE(field(form, 0), QStringLiteral(" Feldspar"));
        name->clear();
        QTest::keyClicks(name, QStringLiteral("z"));
        QCOMPARE(field(form, 0), QStringLiteral(" Feldspar")); // one letter asks for nothing
        QTest::keyClicks(name, QStringLiteral("a"));
        QCOMPARE(field(form, 0), QStringLiteral(" Zalum"));
        // Toggle Last Selection returns to the card current when the field got the focus.
        QTest::mouseClick(form.tb2b(0), Qt::LeftButton);
        QCOMPARE(field(form, 0), QStringLiteral(" Albite"));
        QTest::mouseClick(form.tb2b(1), Qt::LeftButton);
        QCOMPARE(name->text(), QString());
        QCOMPARE(field(form, 0), QStringLiteral(" Albite")); // clearing does not move the selection
    }

    void nameSearchFoldsAccentsInASecondPass() {
        SourceSet set;
        const char* names[][2] = {
            {"1", "Quartz"}, {"2", "\xE9meraldite"}, {"3", "Emba"}, {"4", "\xC9mile"}};
        for (const auto& [card, name] : names) {
            SourceEntry e;
            e.cells[FieldCard] = card;
            e.cells[FieldName] = name;
            set.entries.push_back(e);
        }
        DataDir data(set);
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        form.tfNAME()->setFocus();
        QTest::keyClicks(form.tfNAME(), QStringLiteral("em"));
        QCOMPARE(field(form, 0), QStringLiteral(" Emba")); // pass 1 wins
        QTest::keyClicks(form.tfNAME(), QStringLiteral("e"));
        QCOMPARE(field(form, 0), QStringLiteral(" \u00E9meraldite")); // found by folding é
        form.tfNAME()->clear();
        QTest::keyClicks(form.tfNAME(), QStringLiteral("emi")); // "em" finds Emba on the way
        QCOMPARE(field(form, 0), QStringLiteral(" Emba")); // É is not folded: "emi" finds nothing
    }

    void dividerHidesAndShowsTheCardWindow() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        const int right = form.frL()->x() + form.frL()->width();
        QVERIFY(!form.onDivider(right));
        QVERIFY(form.onDivider(right + 3));
        QTest::mouseMove(&form, QPoint(right + 3, 200));
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(right + 3, 200));
        QVERIFY(!form.cardWindow()->isVisible());
        QCOMPARE(form.frL()->width(), form.width() - 2 * 4);
        QTest::mouseMove(&form, QPoint(form.frL()->x() + form.frL()->width() + 3, 200));
        QTest::mouseClick(&form, Qt::LeftButton, {},
                          QPoint(form.frL()->x() + form.frL()->width() + 3, 200));
        QVERIFY(form.cardWindow()->isVisible());
        QCOMPARE(form.frL()->width(), 217);            // 3255 twips
        QTest::mouseMove(&form, QPoint(217 + 4, 200)); // exactly on the frame's edge: nothing
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(217 + 4, 200));
        QVERIFY(form.cardWindow()->isVisible());
    }

    void compactLayoutFollowsTheWindow() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kSmallScreen));
        QCOMPARE(form.cardWindow()->extraReferenceSteps(), 2);
        QCOMPARE(form.height(), 565); // 8475 twips
        QCOMPARE(form.cardWindow()->height(), 413 + 63 + 1);
        const int nameTop = form.tfNAME()->y();
        const int listHeight = form.List1()->height();
        form.resize(form.width(), form.height() + 60);
        QCOMPARE(form.tfNAME()->y(), nameTop + 60);
        QCOMPARE(form.List1()->height(), listHeight + 60);
        QCOMPARE(form.tb2b(0)->y(), form.tfNAME()->y() + 1);
        // With the extra steps a card with twelve references pages up to reference 12 alone.
        form.findName("ALB");
        QCOMPARE(form.cardWindow()->scr()->maximum(), 12);

        Form1 tall(data.path());
        QVERIFY(tall.Form_Load(QString(), kTallScreen));
        const int tallNameTop = tall.tfNAME()->y();
        tall.resize(tall.width(), tall.height() + 60);
        QCOMPARE(tall.tfNAME()->y(), tallNameTop); // on tall screens the controls stay put
    }

    void missingOpticalTableIsReportedOnce() {
        DataDir data;
        std::filesystem::remove(data.path() / "lithora.i");
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("getLineNumbers"));
        QVERIFY(m_boxes->shown[0].text.startsWith(QStringLiteral("Error: ")));
        QCOMPARE(form.List1()->model()->rowCount(), 9);
        form.findName("CALC");
        QCOMPARE(form.cardWindow()->of(47).text(), QString()); // no optical data anywhere
    }

    void missingEntryIndexEndsWithAClearMessage() {
        DataDir data;
        std::filesystem::remove(data.path() / "lithora.a");
        Form1 form(data.path());
        QVERIFY(!form.Form_Load(QString(), kTallScreen));
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QVERIFY(m_boxes->shown[0].text.contains(QStringLiteral("lithora.a")));
        QVERIFY(m_boxes->shown[0].text.contains(QString::fromStdString(data.path().string())));
    }

    void theProgramExitsNonZeroWithoutItsEntryIndex() {
        // The program beside its own INDEX directory, with lithora.a taken away.
        const ProgramRun run = runProgramBeside(
            [](const std::filesystem::path& index) {
                std::filesystem::remove(index / DataFiles::kEntries);
            },
            false);
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("lithora.a"));
    }

    // A named pipe, a directory or a device in place of a data file: start-up goes as it goes
    // without the file, every message the same but for "cannot read" where it said "file not
    // found", and nothing opens the pipe (opening it would wait for a writer).
    void notARegularFileStartsAsAnUnreadableFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("kind");
        for (const char* file : PackedSet::kNames) {
            for (NotAFile kind : kNotAFileKinds) {
                QTest::addRow("%s %s", file, describe(kind))
                    << QString::fromLatin1(file) << static_cast<int>(kind);
            }
        }
    }
    void notARegularFileStartsAsAnUnreadableFile() {
        QFETCH(QString, file);
        QFETCH(int, kind);
        const std::string name = file.toStdString();
        DataDir missing;
        std::filesystem::remove(missing.path() / name);
        const StartUp withoutFile = startUp(missing.path());
        if (reportedAtStartUp(name)) {
            QVERIFY2(withoutFile.boxes.join('\n').contains(QStringLiteral("ROOT/INDEX/") + file),
                     qPrintable(withoutFile.boxes.join('\n')));
        }

        DataDir damaged;
        std::string why;
        QVERIFY2(putInPlace(damaged.path() / name, static_cast<NotAFile>(kind), &why), why.c_str());
        PipeWatch watch(damaged.path() / name);
        const StartUp seen = startUp(damaged.path());
        QVERIFY2(!watch.opened(), "the pipe was opened for reading");
        QCOMPARE(seen.loaded, withoutFile.loaded);
        QStringList expected = withoutFile.boxes;
        expected.replaceInStrings(QStringLiteral("file not found: "),
                                  QStringLiteral("cannot read "));
        QCOMPARE(seen.boxes, expected);
        QCOMPARE(seen.rows, withoutFile.rows);
        QCOMPARE(seen.firstName, withoutFile.firstName);
        QCOMPARE(seen.loaded, name != DataFiles::kEntries); // only the list's own file stops it
    }

    // The program itself, beside an INDEX with a pipe in place of a data file: it ends or
    // starts as it does without the file, saying the same on standard error, and never waits.
    void theProgramNeverWaitsOnAPipe_data() {
        QTest::addColumn<QString>("file");
        for (const char* file : PackedSet::kNames)
            QTest::addRow("%s", file) << QString::fromLatin1(file);
    }
    void theProgramNeverWaitsOnAPipe() {
        QFETCH(QString, file);
        const std::string name = file.toStdString();
        const ProgramRun withoutFile = runProgram(name, std::nullopt).run;
        QVERIFY(withoutFile.finished);
        if (reportedAtStartUp(name)) {
            QVERIFY2(withoutFile.err.contains("ROOT/INDEX/" + file.toUtf8()),
                     withoutFile.err.constData());
        }
        const PipeRun seen = runProgram(name, NotAFile::Pipe);
        QVERIFY2(seen.run.finished, "the program was still running after 20 s");
        QVERIFY2(!seen.pipeOpened, "the program opened the pipe for reading");
        QCOMPARE(seen.run.exitCode, withoutFile.exitCode);
        QCOMPARE(seen.run.exitCode, name == DataFiles::kEntries ? 1 : 0);
        QCOMPARE(seen.run.err,
                 QByteArray(withoutFile.err).replace("file not found: ", "cannot read "));
    }

  private:
    // The list's file and the tables are read whole at start-up and named when they cannot
    // be; the references and optical data are read card by card, the elements by their search.
    static bool reportedAtStartUp(const std::string& file) {
        return file != DataFiles::kReferences && file != DataFiles::kElements &&
               file != DataFiles::kOptics;
    }

    struct StartUp {
        bool loaded = false;
        QStringList boxes; // title and text, the data directory written ROOT
        int rows = 0;
        QString firstName;
    };
    StartUp startUp(const std::filesystem::path& dir) {
        m_boxes->shown.clear();
        StartUp s;
        Form1 form(dir);
        s.loaded = form.Form_Load(QString(), kTallScreen);
        const QString root = QString::fromStdString(dir.parent_path().string());
        for (const RecordingBoxes::Shown& box : m_boxes->shown)
            s.boxes << QString(box.title + QStringLiteral(": ") + box.text).replace(root, "ROOT");
        s.rows = form.List1()->model()->rowCount();
        if (s.loaded) s.firstName = field(form, 0);
        return s;
    }

    struct PipeRun {
        ProgramRun run;
        bool pipeOpened = false;
    };
    // The program beside a packed mini set with the file taken away, or replaced.
    static PipeRun runProgram(const std::string& file, std::optional<NotAFile> kind) {
        PipeRun seen;
        std::optional<PipeWatch> watch;
        seen.run = runProgramBeside([&](const std::filesystem::path& index) {
            std::filesystem::remove(index / file);
            std::string why;
            if (kind && !putInPlace(index / file, *kind, &why)) qFatal("%s", why.c_str());
            watch.emplace(index / file);
        });
        seen.pipeOpened = watch && watch->opened();
        return seen;
    }

    std::unique_ptr<RecordingBoxes> m_boxes;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
