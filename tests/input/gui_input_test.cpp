// Bad typed input in the windows, on the offscreen platform: every text of bad_texts.h pasted
// or typed into the card window's search fields and its optics panel, into the search window's
// keyword and "max" fields, and into the name field of the main window; the search or lookup
// runs as a user starts it, and a sound search must still work afterwards. Scan files, sound and
// not, opened in the Identify Pattern window.
//
// The mini fixture's list: 1 Albite, 2 Akermanite, 3 Calcite (card 1), 4 cechite, 5 Feldspar,
// 6 Garnet, 7 Monoclinite, 8 Zeolite-X, 9 Zalum.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

#include "bad_texts.h"
#include "card/frm_card.h"
#include "gui_test_support.h"
#include "identify/frm_identify.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "search/frm_element_search.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;
using namespace lithora::input_test;

namespace {

QString q(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Puts a text into a field as a paste does: over whatever the field held. A line field records
// an undo step for every pasted character, which makes a long paste slow: the long texts are
// set instead (the field keeps its first 32,767 characters either way).
void paste(QWidget* field, const QString& text) {
    const bool longText = text.size() > 1000;
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        if (longText) {
            line->setText(text);
            return;
        }
        line->selectAll();
        line->insert(text);
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(field)) {
        if (longText) {
            multi->setPlainText(text);
            return;
        }
        multi->selectAll();
        multi->insertPlainText(text);
    } else {
        QFAIL("not a text field");
    }
}

// Types a text key by key, each character with its key code and text as a keyboard sends it.
void typeText(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        QString character(text.at(i));
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()) character += text.at(++i);
        const char32_t first = character.toUcs4().value(0);
        const auto key = first < 0x10000 ? static_cast<Qt::Key>(QChar(first).toUpper().unicode())
                                         : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, widget, key, character, Qt::NoModifier);
    }
}

// Laying out 100,000 characters on one line takes Qt more than half a second in a multi-line
// field: of the long texts only the letters go into one.
bool takesLongText(int field, const BadText& t) {
    return field != 23 || t.label == "100,000 letters";
}

// Texts short and plain enough to type key by key (control characters would be keys).
bool typeable(const BadText& t) {
    return t.kind == TextKind::Garbled ||
           (t.kind == TextKind::Foreign &&
            t.text.find_first_of(allControlCharacters() + std::string(1, '\0') + "\x7F") ==
                std::string::npos &&
            t.text.find('\xFF') == std::string::npos);
}

} // namespace

class InputGuiTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_data = std::make_unique<DataDir>();
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(m_data->path());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_card = m_form->cardWindow();
    }
    void cleanup() {
        m_seen.clear();
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void cardFieldsTakeEveryText() {
        // Name, Formula, cell a, Mohs, Type locality (multi-line), d1 and the d tolerance.
        const int fields[] = {0, 2, 7, 13, 23, 25, 33};
        for (const BadText& t : badTexts()) {
            for (int i : fields) {
                if (t.kind == TextKind::Long && !takesLongText(i, t)) continue;
                const QString where = QStringLiteral("tf(%1) with %2").arg(i).arg(q(t.label));
                enterFormSearch();
                QWidget* field = m_card->tf(i).widget();
                paste(field, q(t.text));
                pressEnterAndCheck(field, t, where);
                if (QTest::currentTestFailed()) return;
            }
        }
        expectEveryEnd();
        soundCardSearchStillWorks();
    }

    void cardFieldsTakeTypedTexts() {
        for (const BadText& t : badTexts()) {
            if (!typeable(t)) continue;
            for (int i : {0, 13, 25}) {
                enterFormSearch();
                QWidget* field = m_card->tf(i).widget();
                typeText(field, q(t.text));
                QCOMPARE(m_card->tf(i).text(), q(t.text)); // typed as it stands
                pressEnterAndCheck(field, t, QStringLiteral("typed into tf(%1)").arg(i));
                if (QTest::currentTestFailed()) return;
            }
        }
        soundCardSearchStillWorks();
    }

    void blankTextBesideACriterionIsNoCriterion() {
        enterFormSearch();
        paste(m_card->tf(0).widget(), QStringLiteral("cal"));
        paste(m_card->tf(23).widget(), QStringLiteral("\n\t")); // a stray line break and tab
        QTest::keyClick(m_card->tf(23).widget(), Qt::Key_Tab);  // Tab in a multi-line field
        QVERIFY(m_card->tf(23).text().contains(QLatin1Char('\t')));
        m_boxes->shown.clear();
        QTest::keyClick(m_card->tf(0).widget(), Qt::Key_Return);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
    }

    void opticsFieldsTakeEveryText() {
        // Optical character, optical sign (a sign field) and n average.
        const int fields[] = {2, 8, 47};
        for (const BadText& t : badTexts()) {
            for (int i : fields) {
                if (t.kind == TextKind::Long && i != 47) continue; // as above
                const QString where = QStringLiteral("of(%1) with %2").arg(i).arg(q(t.label));
                enterOpticsSearch();
                QWidget* field = m_card->of(i).widget();
                QVERIFY2(field && field->isVisible(), qPrintable(where));
                paste(field, q(t.text));
                pressEnterAndCheck(field, t, where);
                if (QTest::currentTestFailed()) return;
            }
        }
        expectEveryEnd();
        enterOpticsSearch();
        paste(m_card->of(47).widget(), QStringLiteral("1.6"));
        QTest::keyClick(m_card->of(47).widget(), Qt::Key_Return);
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
    }

    void keywordFieldTakesEveryTextInEveryCategory() {
        frmELEMENTSEARCH* window = openSearchWindow();
        QVERIFY(window);
        for (const BadText& t : badTexts()) {
            paste(window->tf2(), q(t.text)); // stays there through every category
            for (int category = 0; category < window->cmbTXT()->count(); ++category) {
                const QString where = QStringLiteral("tf2 with %1 under %2")
                                          .arg(q(t.label), window->cmbTXT()->itemText(category));
                window->cmbTXT()->setCurrentIndex(category);
                m_boxes->shown.clear();
                QTest::keyClick(window->tf2(), Qt::Key_Return);
                ++m_seen[m_boxes->shown.empty() ? QStringLiteral("matches")
                                                : m_boxes->shown[0].title];
                checkWindowSearch(window, t, category, where);
                if (QTest::currentTestFailed()) return;
            }
        }
        // Every end came about: matches, nothing found, a unit cell refused.
        QVERIFY(m_seen[QStringLiteral("matches")] > 0);
        QVERIFY(m_seen[QStringLiteral("Text Search")] > 0);
        QVERIFY(m_seen[QStringLiteral("Unit Cell Search")] > 0);
        // A sound search afterwards.
        window->cmbTXT()->setCurrentIndex(1); // Group
        paste(window->tf2(), QStringLiteral("garnet"));
        m_boxes->shown.clear();
        QTest::keyClick(window->tf2(), Qt::Key_Return);
        QVERIFY(m_boxes->shown.empty());
        QCOMPARE(m_form->List1()->model()->rowCount(), 2);
        QCOMPARE(m_form->panelText(2), QStringLiteral("2 matches"));
    }

    void maxFieldTakesEveryText() {
        frmELEMENTSEARCH* window = openSearchWindow();
        QVERIFY(window);
        window->tf2()->clear();
        QTest::mouseClick(window->btPOS(3), Qt::LeftButton);                   // Possible All
        QTest::mouseClick(window->pse(19), Qt::RightButton, {}, QPoint(4, 4)); // Ca required
        QCOMPARE(window->tf()->text(), QStringLiteral(" Ca, "));
        // Akermanite has four elements, Calcite three; the field keeps five characters.
        for (const BadText& t : badTexts()) {
            paste(window->tfMAX(), q(t.text));
            QVERIFY(window->tfMAX()->text().size() <= 5);
            m_boxes->shown.clear();
            QTest::mouseClick(window->Command3(), Qt::LeftButton);
            const QString where =
                QStringLiteral("max \"%1\" from %2").arg(window->tfMAX()->text(), q(t.label));
            const int rows = m_form->List1()->model()->rowCount();
            if (m_boxes->shown.empty()) {
                QVERIFY2(rows == 1 || rows == 2, qPrintable(where));
            } else {
                QCOMPARE(m_boxes->shown.size(), std::size_t{1});
                QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No Matches found"));
                QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Element Search"));
            }
            if (QTest::currentTestFailed()) return;
            reloadList();
        }
        // The numeric value rule, by hand.
        const struct {
            const char* typed;
            int rows; // 0: "No Matches found"
        } cases[] = {{"1e39", 0}, {"-1e39", 2}, {"3e39", 1},  {"3,5", 1}, {"3..5", 1},
                     {"NaN", 2},  {"-", 2},     {"99999", 2}, {"2.5", 0}, {"3.5", 2}};
        for (const auto& c : cases) {
            paste(window->tfMAX(), QString::fromUtf8(c.typed));
            m_boxes->shown.clear();
            QTest::mouseClick(window->Command3(), Qt::LeftButton);
            QCOMPARE(m_boxes->shown.size(), std::size_t{c.rows == 0 ? 1u : 0u});
            if (c.rows > 0) QCOMPARE(m_form->List1()->model()->rowCount(), c.rows);
            reloadList();
        }
    }

    void nameFieldTakesEveryText() {
        QLineEdit* name = m_form->tfNAME();
        name->setFocus();
        for (const BadText& t : badTexts()) {
            const QString where = q(t.label);
            startAtAlbite();
            paste(name, q(t.text));
            checkNameLookup(t, where);
            if (QTest::currentTestFailed()) return;
            if (!typeable(t)) continue;
            startAtAlbite();
            typeText(name, q(t.text));
            checkNameLookup(t, QStringLiteral("typed ") + where);
            if (QTest::currentTestFailed()) return;
        }
        // Sound lookups afterwards: a name and a card number.
        name->clear();
        QTest::keyClicks(name, QStringLiteral("gar"));
        QCOMPARE(m_form->selectedRow(), 6);
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Garnet"));
        name->clear();
        QTest::keyClicks(name, QStringLiteral("300"));
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Monoclinite"));
    }

    void alphabeticalJumpTakesAnyKey() {
        EntryListView* list = m_form->List1();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Z);
        QCOMPARE(m_form->selectedRow(), 8); // Zeolite-X
        // Keys that are no letter leave the selection where it is.
        typeText(list, QStringLiteral("\u0416\u03B1\U0001F48E\u0301"));
        QTest::keyClick(list, Qt::Key_Percent);
        QTest::keyClick(list, Qt::Key_Asterisk);
        QTest::keyClick(list, Qt::Key_QuoteDbl);
        QTest::keyClick(list, Qt::Key_plusminus);
        QTest::keyClick(list, Qt::Key_Menu); // code 93: the jump looks for "]", finds nothing
        QCOMPARE(m_form->selectedRow(), 8);
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Zeolite-X"));
        QTest::keyClick(list, Qt::Key_C);
        QCOMPARE(m_form->selectedRow(), 3); // Calcite
        QVERIFY(m_boxes->shown.empty());
    }

    // An instrument file in the Identify Pattern window: its wavelength (scan.uxd states Co
    // Kα1, 1.78897 Å) goes into the field and the summary above the candidates; a contradicting
    // choice is used with a warning there, not in a box. Files that are no scans end in one
    // message each.
    void scanFilesInTheIdentifyWindow() {
        m_form->toolbarAction(4)->trigger();
        frmIDENTIFY* w = m_form->identifyWindow();
        QVERIFY(w);
        const auto scans = std::filesystem::path(LITHORA_FIXTURES_DIR) / "scans";
        QVERIFY(w->openPatternFile(q((scans / "scan.uxd").string())));
        QVERIFY(m_boxes->shown.empty());
        QCOMPARE(w->wavelengthBox()->currentText(), QStringLiteral("1.78897"));
        QCOMPARE(w->fileLabel()->text(),
                 QStringLiteral("scan.uxd · Bruker/Siemens UXD · 40 points · 1 peak"));
        QVERIFY(w->fileLabel()->toolTip().contains(QStringLiteral("Sample: Quartz UXD")));
        const QString summary = w->summaryLabel()->text();
        QVERIFY2(summary.endsWith(QStringLiteral("Wavelength 1.78897 Å (Kα1) from the file")),
                 qPrintable(summary));
        w->wavelengthBox()->setEditText(QStringLiteral("Cu"));
        QTest::mouseClick(w->identifyButton(), Qt::LeftButton);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY2(w->summaryLabel()->text().startsWith(QStringLiteral(
                     "Warning: The file states 1.78897 Å (Kα1), but 1.54060 Å was chosen")),
                 qPrintable(w->summaryLabel()->text()));

        QTemporaryDir dir;
        QFile garbage(dir.filePath(QStringLiteral("garbage.raw")));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray("RAW1.01\0\0\0\x01\x7f garbage", 20));
        garbage.close();
        for (const QString& path :
             {q((scans / "bruker-v4-header.raw").string()), dir.path(), garbage.fileName()}) {
            m_boxes->shown.clear();
            QVERIFY(!w->openPatternFile(path));
            QCOMPARE(m_boxes->shown.size(), std::size_t{1});
            QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Open Pattern File"));
        }
    }

  private:
    void enterFormSearch() {
        if (m_card->opticsShown()) m_card->showFormView();
        if (!m_card->searchMode()) QTest::mouseClick(m_card->cb(0), Qt::LeftButton);
        QVERIFY(m_card->searchMode());
        QTest::mouseClick(m_card->bt(6), Qt::LeftButton); // New
    }
    void enterOpticsSearch() {
        if (!m_card->searchMode() || !m_card->opticsShown()) m_card->showOpticsSearch();
        QVERIFY(m_card->searchMode() && m_card->opticsShown());
        QTest::mouseClick(m_card->bt(6), Qt::LeftButton); // New
    }
    void reloadList() {
        if (m_form->List1()->model()->rowCount() != 9)
            QMetaObject::invokeMethod(m_form.get(), "itmPop1_Click", Q_ARG(int, 0));
        QCOMPARE(m_form->List1()->model()->rowCount(), 9);
    }

    // Enter in the field starts the search; the message (or the matches) must fit the text.
    void pressEnterAndCheck(QWidget* field, const BadText& t, const QString& where) {
        m_boxes->shown.clear();
        QTest::keyClick(field, Qt::Key_Return);
        ++m_seen[m_boxes->shown.empty() ? QStringLiteral("matches") : m_boxes->shown[0].text];
        const char* at = qPrintable(where);
        switch (t.kind) {
        case TextKind::Blank:
            QVERIFY2(m_boxes->shown.size() == 1, at);
            QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No criteria entered!"));
            QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Exclamation);
            QVERIFY2(m_card->searchMode(), at); // the window stays in search mode
            break;
        case TextKind::Foreign:
        case TextKind::Long:
            QVERIFY2(m_boxes->shown.size() == 1, at);
            QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No Matches found"));
            QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Information);
            QVERIFY2(m_card->searchMode(), at);
            QCOMPARE(m_form->List1()->model()->rowCount(), 9);
            break;
        case TextKind::Garbled:
            if (m_boxes->shown.empty()) {
                // Matches: search mode ends on the first match's card.
                QVERIFY2(!m_card->searchMode(), at);
                QVERIFY2(m_form->selectedRow() == 1, at);
            } else {
                QVERIFY2(m_boxes->shown.size() == 1, at);
                QCOMPARE(m_boxes->shown[0].text, QStringLiteral("No Matches found"));
            }
            break;
        }
        reloadList();
    }

    // The texts led to every end a card-window search can come to.
    void expectEveryEnd() {
        QVERIFY(m_seen[QStringLiteral("No criteria entered!")] > 0);
        QVERIFY(m_seen[QStringLiteral("No Matches found")] > 0);
        QVERIFY(m_seen[QStringLiteral("matches")] > 0);
    }

    void soundCardSearchStillWorks() {
        enterFormSearch();
        paste(m_card->tf(0).widget(), QStringLiteral("cal"));
        m_boxes->shown.clear();
        QTest::keyClick(m_card->tf(0).widget(), Qt::Key_Return);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(!m_card->searchMode());
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Calcite"));
    }

    frmELEMENTSEARCH* openSearchWindow() {
        QMetaObject::invokeMethod(m_form.get(), "tb_ButtonClick", Q_ARG(int, 3));
        frmELEMENTSEARCH* window = m_form->searchWindow();
        if (window && !QTest::qWaitForWindowExposed(window)) return nullptr;
        return window;
    }

    void checkWindowSearch(frmELEMENTSEARCH* window, const BadText& t, int category,
                           const QString& where) {
        const char* at = qPrintable(where);
        const bool unitCell = category == 12;
        if (t.kind == TextKind::Blank) {
            // A blank keyword field leaves the element search to run: nothing is asked.
            QVERIFY2(m_boxes->shown.empty(), at);
            QCOMPARE(m_form->panelText(1), QStringLiteral("Search Results"));
        } else if (m_boxes->shown.empty()) {
            QVERIFY2(t.kind == TextKind::Garbled, at); // matches only for texts of signs
            QCOMPARE(m_form->panelText(2),
                     QStringLiteral("%1 matches").arg(m_form->List1()->model()->rowCount()));
        } else {
            QVERIFY2(m_boxes->shown.size() == 1, at);
            const RecordingBoxes::Shown& box = m_boxes->shown[0];
            if (unitCell && box.title == QStringLiteral("Unit Cell Search")) {
                QVERIFY2(box.text.startsWith(QStringLiteral("Enter all 6 parameters.")), at);
            } else {
                QCOMPARE(box.title, QStringLiteral("Text Search"));
                QCOMPARE(box.text, QStringLiteral("No Matches found"));
            }
        }
        QVERIFY2(window->isVisible(), at);
        reloadList();
    }

    void startAtAlbite() {
        m_form->tfNAME()->clear();
        m_form->findName("ALB");
        QCOMPARE(m_form->selectedRow(), 1);
        QCOMPARE(m_card->tf(0).text(), QStringLiteral(" Albite"));
    }

    // Card numbers 1..9999 at the start of the text go to that card (Calcite is card 1); any
    // other text of bad_texts.h finds no name, and the selection stays where it was.
    void checkNameLookup(const BadText& t, const QString& where) {
        const char* at = qPrintable(where);
        static const std::vector<std::string> calcite = {"1e39", "1e-39", "1+-",
                                                         "1-",   "1..2",  "1,5"};
        const bool card1 = std::find(calcite.begin(), calcite.end(), t.text) != calcite.end() ||
                           t.label == "100,000 of 1.";
        QVERIFY2(m_form->selectedRow() == (card1 ? 3 : 1), at);
        QCOMPARE(m_card->tf(0).text(),
                 card1 ? QStringLiteral(" Calcite") : QStringLiteral(" Albite"));
        QVERIFY2(m_boxes->shown.empty(), at);
    }

    std::unique_ptr<DataDir> m_data;
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
    frmCARD* m_card = nullptr;
    std::map<QString, int> m_seen; // how often each end came: a message, or "matches"
};

QTEST_MAIN(InputGuiTest)
#include "gui_input_test.moc"
