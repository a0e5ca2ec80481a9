// Every text of the card window shows whole, or cut with "…" and whole in its tooltip, on the
// offscreen platform with the bundled database's quartz: its appearance is far longer than its
// field and its date has ten characters. Checked at the window's first size, in a larger window,
// with the optics panel (which narrows the name rows), and after a field changes its size.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyleOptionFrame>
#include <QTextBlock>
#include <QtTest>
#include <memory>
#include <set>

#include "card/card_texts.h"
#include "card/frm_card.h"
#include "common/qt_support.h"
#include "gui_test_support.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

const QString kEllipsis = QStringLiteral("\u2026");
constexpr int kAppearance = 22;
constexpr int kLastUpdated = 42;
constexpr int kNotes = 24;

// The width a line edit gives its text: its contents as its style (and style sheet border) leave
// them, less its text margins and the two pixels it keeps either side. It scrolls a text once
// that text, one pixel to spare and its one-pixel caret need more.
bool fitsLine(const QLineEdit* edit, const QString& text) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = 0;
    const QRect contents =
        edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit) -
        edit->textMargins();
    return edit->fontMetrics().horizontalAdvance(text) + 2 <= contents.width() - 4;
}

// A multi-line field's text fits when the blocks its document laid out are no taller than the
// viewport.
bool fitsBlock(const QPlainTextEdit* edit) {
    QAbstractTextDocumentLayout* layout = edit->document()->documentLayout();
    qreal height = 0;
    for (QTextBlock b = edit->document()->begin(); b.isValid(); b = b.next())
        height += layout->blockBoundingRect(b).height();
    return height <= edit->viewport()->height();
}

QString shownText(const QWidget* w) {
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return line->text();
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(w)) return multi->toPlainText();
    return qobject_cast<const QLabel*>(w)->text();
}

bool fits(const QWidget* w) {
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return fitsLine(line, line->text());
    if (const auto* multi = qobject_cast<const QPlainTextEdit*>(w)) return fitsBlock(multi);
    const auto* label = qobject_cast<const QLabel*>(w);
    return label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width();
}

// One text of the card: whole and fitting, or fitting with "…" at its end and whole in the
// tooltip. Returns what is wrong, or an empty text.
QString fault(const QWidget* w, const QString& whole) {
    const QString shown = shownText(w);
    if (!fits(w)) return QStringLiteral("\"%1\" does not fit").arg(shown);
    if (shown == whole) return QString();
    if (!shown.endsWith(kEllipsis))
        return QStringLiteral("shows \"%1\" of \"%2\" without \u2026").arg(shown, whole);
    if (w->toolTip() != whole.trimmed()) // the value less the blank the card sets before it
        return QStringLiteral("is cut but its tooltip is \"%1\"").arg(w->toolTip());
    QString start = shown.chopped(1);
    while (start.endsWith(QLatin1Char(' ')))
        start.chop(1);
    if (!whole.startsWith(start))
        return QStringLiteral("shows \"%1\", not the start of \"%2\"").arg(shown, whole);
    return QString();
}

} // namespace

class CardFieldsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY2(std::filesystem::exists(bundledData() / "lithora.a"),
                 "the bundled database is missing");
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_form = std::make_unique<Form1>(bundledData());
        m_checkedMain.clear();
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
    }

    void everyTextFitsOrIsCutWithItsWholeValueAtHand_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("quartz") << QStringLiteral("Quartz"); // long appearance, a date
        // The longest notes of the bundled database, 293 characters for two lines.
        QTest::newRow("longest notes") << QStringLiteral("Domeykite-beta");
    }
    void everyTextFitsOrIsCutWithItsWholeValueAtHand() {
        QFETCH(QString, name);
        open(name);
        const QSize first = m_form->size();
        checkEveryShownText(QStringLiteral("first size"));

        m_form->resize(first.width() + 500, first.height() + 300);
        QTest::qWait(20);
        QCOMPARE(m_form->size(), QSize(first.width() + 500, first.height() + 300));
        checkEveryShownText(QStringLiteral("larger window"));

        m_card->bt_Click(3); // the optics panel narrows the formula row
        QTest::qWait(20);
        checkEveryShownText(QStringLiteral("optics panel"));
        QVERIFY(m_card->tf(0).widget()->isVisible());
        QCOMPARE(m_checkedMain.size(), std::size_t(kMainFieldCount));
        m_card->bt_Click(2);
        checkEveryShownText(QStringLiteral("main data again"));
    }

    void quartzShowsItsDateWholeAndItsAppearanceCut() {
        open(QStringLiteral("Quartz"));
        QVERIFY(m_card->tf(kAppearance)
                    .widget()
                    ->toolTip()
                    .startsWith(QStringLiteral("Colorless through various colors")));
        QCOMPARE(shownText(m_card->tf(kLastUpdated).widget()), QStringLiteral(" 2026-12-06"));
        QVERIFY(fitsLine(qobject_cast<QLineEdit*>(m_card->tf(kLastUpdated).widget()),
                         QStringLiteral(" 0000-00-00")));
        m_card->bt_Click(3); // and with the border the optics panel gives it
        QVERIFY(fitsLine(qobject_cast<QLineEdit*>(m_card->tf(kLastUpdated).widget()),
                         QStringLiteral(" 0000-00-00")));
    }

    void longNotesAreCutAtTheEndOfTheirLastLine() {
        open(QStringLiteral("Domeykite-beta"));
        auto* notes = qobject_cast<QPlainTextEdit*>(m_card->tf(kNotes).widget());
        QVERIFY(notes);
        const QString whole = qs(mainFieldTexts(m_form->cardState())[kNotes]);
        QVERIFY(notes->toPlainText().endsWith(kEllipsis));
        QCOMPARE(notes->toolTip(), whole.trimmed());
        // Two full lines show: more than a third of the text, far less than all of it.
        QVERIFY(notes->toPlainText().size() > whole.size() / 3);
    }

    void aFieldFitsItsValueAgainWhenItsSizeChanges() {
        open(QStringLiteral("Quartz"));
        QWidget* appearance = m_card->tf(kAppearance).widget();
        const QString whole = qs(mainFieldTexts(m_form->cardState())[kAppearance]);
        const QSize size = appearance->size();
        QVERIFY(shownText(appearance).endsWith(kEllipsis));

        appearance->resize(4000, size.height()); // room for it all: whole, no tooltip left over
        QCOMPARE(shownText(appearance), whole);
        QCOMPARE(appearance->toolTip(), QString());
        appearance->resize(size.width() / 2, size.height());
        QCOMPARE(fault(appearance, whole), QString());
        const qsizetype half = shownText(appearance).size();
        appearance->resize(size);
        QCOMPARE(fault(appearance, whole), QString());
        QVERIFY(shownText(appearance).size() > half);
        QCOMPARE(m_card->tf(kAppearance).text(), whole); // what the window reads is the value
    }

    void searchFieldsTakeTypedTextWholeAndGiveBackTheirHints() {
        open(QStringLiteral("Quartz"));
        m_card->showFormSearch();
        auto* appearance = qobject_cast<QLineEdit*>(m_card->tf(kAppearance).widget());
        QVERIFY(appearance);
        QCOMPARE(appearance->text(), QString());
        QCOMPARE(appearance->toolTip(), QString());
        const QString typed = QStringLiteral("vitreous and waxy, six-sided prisms ending in "
                                             "six-sided pyramids, drusy or fine-grained masses");
        appearance->setFocus();
        QTest::keyClicks(appearance, typed);
        QCOMPARE(appearance->text(), typed); // longer than the field, and still not cut
        QCOMPARE(m_card->tf(kAppearance).text(), typed);
        m_card->cb(0)->setChecked(false);
        QCOMPARE(fault(appearance, qs(mainFieldTexts(m_form->cardState())[kAppearance])),
                 QString());
        QVERIFY(appearance->text().endsWith(kEllipsis));

        // The optics search keeps its typing hints on the fields that have one.
        m_card->bt_Click(3);
        m_card->showOpticsSearch();
        QCOMPARE(m_card->of(8).widget()->toolTip(), QStringLiteral("You may enter + or -"));
        m_card->cb(0)->setChecked(false);
    }

  private:
    void open(const QString& name) {
        QVERIFY(m_form->Form_Load(QStringLiteral("/i ") + name, kTallScreen));
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_card = m_form->cardWindow();
        QCOMPARE(qs(m_form->cardState().currentName), name);
    }

    void checkEveryShownText(const QString& when) {
        const CardState& state = m_form->cardState();
        const MainFieldTexts main = mainFieldTexts(state);
        const OpticsFieldTexts optics =
            opticsFieldTexts(state.currentOpticalRecord, m_form->decimalSeparator());
        QStringList faults;
        for (int i = 0; i < kMainFieldCount; ++i) {
            const QWidget* w = m_card->tf(i).widget();
            if (!w->isVisible()) continue;
            m_checkedMain.insert(i);
            const QString f = fault(w, qs(main[static_cast<std::size_t>(i)]));
            if (!f.isEmpty()) faults << QStringLiteral("tf(%1) %2").arg(i).arg(f);
        }
        for (int i = 0; i < kOpticsFieldCount; ++i) {
            const QWidget* w = m_card->of(i).widget();
            if (!w || !w->isVisible()) continue;
            const QString f = fault(w, qs(optics[static_cast<std::size_t>(i)]));
            if (!f.isEmpty()) faults << QStringLiteral("of(%1) %2").arg(i).arg(f);
        }
        // Captions and reference numbers are the window's own and always fit whole.
        for (const QLabel* label : m_card->findChildren<QLabel*>()) {
            if (!label->isVisible() || label->text().contains(QLatin1Char('\n'))) continue;
            if (!fits(label))
                faults << QStringLiteral("caption \"%1\" does not fit").arg(label->text());
        }
        QVERIFY2(faults.isEmpty(), qPrintable(when + QStringLiteral(":\n") + faults.join('\n')));
    }

    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<Form1> m_form;
    frmCARD* m_card = nullptr;
    std::set<int> m_checkedMain;
};

QTEST_MAIN(CardFieldsTest)
#include "card_fields_test.moc"
