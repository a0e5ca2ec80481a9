// The card window's search mode on the offscreen platform: typing criteria into the card and
// into the optics panel, the messages, the question, and the way back to a card.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "card/frm_card.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

class SearchTest : public QObject {
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

    void cardFormSearchRoundTrip() {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QVERIFY(m_card->searchMode());
        QVERIFY(m_card->frSEARCH()->isVisible());
        QVERIFY(!m_card->bt(0)->isVisible());
        QVERIFY(!m_card->bt(3)->isVisible());
        QVERIFY(!m_card->tf(3).widget()->isVisible()); // Elements takes no criterion
        QVERIFY(!m_card->tf(43).widget()->isVisible());
        QCOMPARE(m_card->Label1(15)->text(), QStringLiteral("d(2Th,)="));
        QCOMPARE(m_card->tf(0).text(), QString());   // the first entry into search mode is empty
        QVERIFY(m_card->tf(0).widget()->hasFocus()); // entering search mode puts the focus in Name
        auto* name = qobject_cast<QLineEdit*>(m_card->tf(0).widget());
        QVERIFY(name && !name->isReadOnly());
        QTest::keyClicks(name, QStringLiteral("cal"));
        QTest::keyClick(name, Qt::Key_Return);
        // One match: search mode ends and the list and card show it.
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_form->List1()->model()->rowCount(), 1);
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
        QCOMPARE(m_form->panelText(2), QStringLiteral("1 matches"));
        QVERIFY(m_card->bt(0)->isVisible());
        QCOMPARE(m_card->Label1(15)->text(), QStringLiteral("Intensity"));
        QVERIFY(m_boxes->shown.empty());
        // The criteria come back on the next entry into search mode.
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QCOMPARE(m_card->tf(0).text(), QStringLiteral("cal"));
        // Arrow keys do not move between cards while searching.
        QTest::keyClick(m_card, Qt::Key_Right);
        QCOMPARE(m_form->selectedRow(), 1);
    }

    void messagesOfTheStartRoutine() {
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton); // nothing typed
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Search"));
        QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No criteria entered!"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_card->searchMode()); // the window stays in search mode
        qobject_cast<QLineEdit*>(m_card->tf(0).widget())
            ->setText(QStringLiteral("nothing like this"));
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QCOMPARE(m_boxes->shown.back().text,
                 QStringLiteral("No Matches found")); // the list holds all
        QCOMPARE(m_boxes->shown.back().icon, MessageIcon::Information);
        QCOMPARE(m_form->panelText(2), QStringLiteral("0 matches"));
        QTest::mouseClick(m_card->bt(6), Qt::LeftButton); // New
        QCOMPARE(m_card->tf(0).text(), QString());
    }

    void theQuestionAnsweredBothWays() {
        m_form->loadGroup(QStringLiteral("Garnet")); // Garnet and Monoclinite
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        qobject_cast<QLineEdit*>(m_card->tf(0).widget())->setText(QStringLiteral("al"));
        m_boxes->answer = MessageAnswer::No;
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QCOMPARE(
            m_boxes->shown[0].text,
            QStringLiteral(
                "No Matches found in current list.\nDo you want to search the full database?"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Question);
        QCOMPARE(m_form->List1()->model()->rowCount(), 2); // nothing more said, the list stays
        m_boxes->answer = MessageAnswer::Yes;
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QCOMPARE(m_form->List1()->model()->rowCount(), 3);
        QVERIFY(!m_card->searchMode());
    }

    void fullScopeAndOr() {
        m_form->loadGroup(QStringLiteral("Garnet"));
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        m_card->cb(1)->setChecked(true); // Full
        m_card->op(1)->setChecked(true); // OR
        qobject_cast<QLineEdit*>(m_card->tf(0).widget())->setText(QStringLiteral("cal"));
        qobject_cast<QLineEdit*>(m_card->tf(13).widget())->setText(QStringLiteral("abc"));
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty()); // no question with the full database
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
    }

    void opticsSearchRoundTrip() {
        QTest::mouseClick(m_card->bt(3), Qt::LeftButton);
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QVERIFY(m_card->searchMode());
        QVERIFY(m_card->lbHLP()->isVisible());
        QVERIFY(m_card->lbHLP()->text().startsWith(
            QStringLiteral("Numerical values may be entered as follows:")));
        QVERIFY(!m_card->of(17).widget()->isVisible()); // second values take no criterion
        QVERIFY(!m_card->tf(0).widget()->isVisible());
        QVERIFY(m_card->of(16).widget()->isVisible());
        qobject_cast<QLineEdit*>(m_card->of(8).widget())->setText(QStringLiteral("-"));
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
        QVERIFY(m_card->pb()->isVisible()); // the panel stays
        QCOMPARE(m_card->of(8).text(), QStringLiteral("Negative"));
        QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QCOMPARE(m_card->of(8).text(), QStringLiteral("-"));
    }

    void aMissingOpticsFileIsReportedAndTheProgramGoesOn() {
        std::filesystem::remove(m_data->path() / "lithora.h");
        m_card->showOpticsSearch();
        qobject_cast<QLineEdit*>(m_card->of(47).widget())->setText(QStringLiteral("1.6"));
        QTest::mouseClick(m_card->bt(5), Qt::LeftButton);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QVERIFY(m_boxes->shown[0].text.contains(QStringLiteral("lithora.h")));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Critical);
        QVERIFY(m_card->searchMode());
        m_card->showFormView();
        QVERIFY(!m_card->searchMode());
        QVERIFY(!m_card->pb()->isVisible());
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Albite"));
    }

  private:
    std::unique_ptr<DataDir> m_data;
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
    frmCARD* m_card = nullptr;
};

QTEST_MAIN(SearchTest)
#include "search_test.moc"
