// The optics panel, match lists, view modes, groups and the approved-entries switch, driven
// through the menus a user opens, on the offscreen platform.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include "card/frm_card.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "search/frm_element_search.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

QStringList listedNames(Form1& form) {
    QStringList names;
    for (int r = 0; r < form.List1()->model()->rowCount(); ++r) {
        names << form.List1()->model()->index(r, ColName).data().toString();
    }
    return names;
}

QAction* groupItem(Form1& form, const QString& caption) {
    for (QAction* item : form.itmGroup()) {
        if (item->text() == caption) return item;
    }
    return nullptr;
}

} // namespace

class MenusTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(m_data.path());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void opticsPanelShowsTheRecord() {
        Form1& form = *m_form;
        form.findName("CALC");
        frmCARD* card = form.cardWindow();
        const QString sep(QChar::fromLatin1(form.decimalSeparator()));
        QVERIFY(!card->pb()->isVisible());
        QTest::mouseClick(card->bt(3), Qt::LeftButton);
        QVERIFY(card->pb()->isVisible());
        QVERIFY(card->opticsShown());
        QCOMPARE(card->of(47).text(),
                 QStringLiteral("1") + sep + QStringLiteral("600")); // 1.6 as 0.000
        QCOMPARE(card->of(16).text(), QStringLiteral("1.658"));      // two values, first
        QCOMPARE(card->of(17).text(), QStringLiteral("1.660"));
        QCOMPARE(card->of(22).text(), QStringLiteral("1.486"));
        QCOMPARE(card->of(15).text(), QString()); // "0" means no value
        QCOMPARE(card->of(35).text(), QString()); // so does "0.0"
        QCOMPARE(card->of(6).text(), QStringLiteral("Uniaxial"));
        QCOMPARE(card->Label1(35)->text(), QStringLiteral("N, N\u03B1, N\u03B5"));
        QCOMPARE(card->Label1(37)->text(), QStringLiteral("N\u03B3, N\u03C9"));
        // Name, Synonym and Formula narrow and take a border; Elements goes.
        QCOMPARE(card->tf(0).widget()->width(), 370);
        QCOMPARE(card->tf(2).widget()->width(), 370);
        QVERIFY(!card->tf(3).widget()->isVisible());
        QVERIFY(card->tf(0).widget()->isVisible());
        QVERIFY(card->tf(41).widget()->isVisible());
        QTest::mouseClick(card->bt(3), Qt::LeftButton); // Optics again: nothing changes
        QVERIFY(card->pb()->isVisible());
        // Another card refills the panel; one without optical data empties it.
        form.findName("ALB");
        QCOMPARE(card->of(15).text(), QStringLiteral("weak"));
        form.findName("CE");
        QCOMPARE(card->of(15).text(), QString());
        QTest::mouseClick(card->bt(2), Qt::LeftButton);
        QVERIFY(!card->pb()->isVisible());
        QCOMPARE(card->tf(0).widget()->width(), 370); // clear of the status and date captions
        QCOMPARE(card->tf(1).widget()->width(), 370);
        QCOMPARE(card->tf(2).widget()->width(), 521);
        QVERIFY(card->tf(3).widget()->isVisible());
    }

    void matchListFollowsEntryOrder() {
        Form1& form = *m_form;
        form.SBT(QStringLiteral("3 matches"), 2);
        Session& session = form.session();
        session.matchFlags.assign(static_cast<std::size_t>(session.data.tables.entryCount) + 2,
                                  false);
        for (int i : {9, 2, 7})
            session.matchFlags[static_cast<std::size_t>(i)] = true;
        form.getMatchList();
        QCOMPARE(listedNames(form), (QStringList{"Akermanite", "Monoclinite", "Zalum"}));
        QCOMPARE(form.List1()->model()->index(2, ColNumber).data().toString(), QStringLiteral("3"));
        QCOMPARE(form.selectedRow(), 1);
        QCOMPARE(form.cardWindow()->tf(0).text(), QStringLiteral(" \u00C5kermanite"));
        QCOMPARE(form.panelText(1), QStringLiteral("9 entries")); // panels 1 and 2 are the search's
        QCOMPARE(form.panelText(2), QStringLiteral("3 matches"));
        QVERIFY(!form.List1()->isColumnHidden(ColFormula));
        QVERIFY(form.List1()->columnWidth(ColGroup) >= form.List1()->fittedColumnWidth(ColGroup));
        form.itmPop1(0)->trigger(); // Reload Database brings the full list back
        QCOMPARE(form.List1()->model()->rowCount(), 9);
    }

    void viewModesSetColumnsCaptionAndCardWindow() {
        Form1& form = *m_form;
        EntryListView* list = form.List1();
        form.itmLST(3)->trigger(); // All Columns
        QCOMPARE(form.frL()->title(), QStringLiteral("All Columns"));
        QVERIFY(!form.cardWindow()->isVisible());
        // (list width - width of column 1) / 16, column 1 being hidden (0).
        const int expected = (list->width() * 15 / 16) / 15;
        QCOMPARE(list->columnWidth(ColName), expected);
        QCOMPARE(list->columnWidth(ColVolume), expected);
        QVERIFY(!list->isColumnHidden(ColCard));
        QCOMPARE(list->columnWidth(ColStatus), 30); // 450 twips
        form.itmLST(2)->trigger(); // Axial Ratios keeps Name at the All Columns width
        QCOMPARE(list->columnWidth(ColName), expected);
        QVERIFY(list->isColumnHidden(ColFormula));
        QCOMPARE(list->columnWidth(ColCOverA), 80); // 1200 twips
        QVERIFY(list->isColumnHidden(ColCard));
        form.itmLST(1)->trigger(); // Xl Parameters
        QCOMPARE(form.frL()->title(), QStringLiteral("Xl Parameters"));
        QCOMPARE(list->columnWidth(ColName), expected);
        QVERIFY(!list->isColumnHidden(ColSpaceGr));
        QVERIFY(list->isColumnHidden(ColCOverA));
        form.itmLST(4)->trigger(); // Chemistry
        QCOMPARE(list->columnWidth(ColName), 200);
        QVERIFY(!form.cardWindow()->isVisible());
        form.itmLST(0)->trigger();
        QCOMPARE(form.frL()->title(), QStringLiteral("List View"));
        QVERIFY(form.cardWindow()->isVisible());
        QCOMPARE(form.frL()->width(), 217);
        QCOMPARE(list->width(), 205);
        for (int i = 0; i < 5; ++i)
            QTest::mouseClick(form.Label1(), Qt::LeftButton);
        QCOMPARE(form.viewMode(), 0);          // five clicks come round again
        QVERIFY(!form.itmLST(6)->isVisible()); // no CNMNC.pdf beside the program
    }

    void groupsNarrowByPrefixAndAlumExactly() {
        Form1& form = *m_form;
        QCOMPARE(form.itmGroup().size(), std::size_t{2});
        QAction* garnet = groupItem(form, QStringLiteral("2 - Garnet"));
        QVERIFY(garnet);
        garnet->trigger();
        QCOMPARE(listedNames(form),
                 (QStringList{"Garnet", "Monoclinite"})); // "Garnet Supergroup" too
        QCOMPARE(form.panelText(2), QStringLiteral(" Group: Garnet "));
        QCOMPARE(form.cardWindow()->tf(0).text(), QStringLiteral(" Garnet"));

        form.itmPop1(0)->trigger();
        form.findName("ZE"); // group Alum
        QCOMPARE(form.itmPop1(1)->text(), QStringLiteral("Load Group Members (Alum)"));
        QVERIFY(form.itmPop1(1)->isEnabled());
        form.itmPop1(1)->trigger();
        QCOMPARE(listedNames(form), (QStringList{"Zeolite-X"})); // not Zalum of ALUMITE
        QCOMPARE(form.panelText(2), QStringLiteral(" Group: Alum "));
    }

    void entriesWithoutGroupAndEmptyGroups() {
        Form1& form = *m_form;
        form.findName("CE");
        QCOMPARE(form.itmPop1(1)->text(), QStringLiteral("Load Group Members ()"));
        QVERIFY(!form.itmPop1(1)->isEnabled());
        form.loadGroup(QString());
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Load Group"));
        QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No group available for current entry"));
        QCOMPARE(form.List1()->model()->rowCount(), 9);

        form.loadGroup(QStringLiteral("Nosuch"));
        QCOMPARE(form.List1()->model()->rowCount(), 0);
        QCOMPARE(form.panelText(2), QStringLiteral(" Group: Nosuch "));
        QCOMPARE(form.cardWindow()->tf(0).text(), QStringLiteral(" cechite")); // no card loaded
    }

    void approvedFilterActsAtTheNextReload() {
        Form1& form = *m_form;
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.itmPop1(4)->trigger();
        QVERIFY(form.itmPop1(4)->isChecked());
        QCOMPARE(form.List1()->model()->rowCount(), 9); // not reloaded yet
        QTRY_VERIFY(form.pop2()->isVisible());          // the menu comes back for Reload Database
        form.pop2()->close();
        form.itmPop1(0)->trigger();
        QCOMPARE(listedNames(form),
                 (QStringList{"Albite", "Akermanite", "cechite", "Monoclinite", "Zalum"}));
        QCOMPARE(form.panelText(2), QStringLiteral("IMA entries listed"));
        form.itmPop1(4)->trigger();
        QTRY_VERIFY(form.pop2()->isVisible());
        form.pop2()->close();
        form.itmPop1(0)->trigger();
        QCOMPARE(form.List1()->model()->rowCount(), 9);
    }

    void toolbarOpensTheSearchWindow() {
        Form1& form = *m_form;
        QVERIFY(!form.searchWindow());
        QMetaObject::invokeMethod(&form, "tb_ButtonClick", Q_ARG(int, 3));
        frmELEMENTSEARCH* window = form.searchWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Database Search"));
        // A text search from the window lists its matches in the main window.
        QTest::keyClicks(window->tf2(), QStringLiteral("garnet"));
        window->Command5_Click(); // category 0, Synonym: nothing
        window->tf2()->clear();
        QMetaObject::invokeMethod(&form, "tb_ButtonClick", Q_ARG(int, 3)); // the same window again
        QCOMPARE(form.searchWindow(), window);
        window->close(); // closing it through its title bar unloads it
        QTRY_VERIFY(!form.searchWindow());
        QCOMPARE(form.panelText(1), QStringLiteral("Search Results"));
        QCOMPARE(form.panelText(2), QStringLiteral("0 matches"));
        QCOMPARE(form.List1()->model()->rowCount(), 9); // no match: the list stays
    }

  private:
    DataDir m_data;
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
};

QTEST_MAIN(MenusTest)
#include "menus_test.moc"
