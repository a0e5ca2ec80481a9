// The desktop program on damaged data: a list cut short at start-up is told once (a note in the
// status bar and one message box naming the file, the byte and the entries read), and a card
// whose record cannot be read shows why over a blank card instead of the card before it.
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "card/frm_card.h"
#include "datafiles/datadir.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

// Rewrites the length field of the record that lithora.g places an entry at.
std::int64_t damageEntry(const std::filesystem::path& dir, int entry, std::int32_t length) {
    const std::string g = readWholeFile(dir / DataFiles::kRecordPositionTable).value();
    const std::int32_t position = readInt32LE(
        reinterpret_cast<const unsigned char*>(g.data() + 4 * static_cast<std::size_t>(entry)));
    std::string a = readWholeFile(dir / DataFiles::kEntries).value();
    std::string field;
    appendInt32LE(field, length);
    a.replace(static_cast<std::size_t>(position - 1), 4, field);
    std::FILE* f = std::fopen((dir / DataFiles::kEntries).c_str(), "wb");
    std::fwrite(a.data(), 1, a.size(), f);
    std::fclose(f);
    return position - 1;
}

} // namespace

class DamageTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
    }
    void cleanup() { setMessageBoxes(nullptr); }

    void aSoundSetSaysNothing() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(!form.damageNote()->isVisibleTo(&form));
        QVERIFY(!form.cardWindow()->unreadableNote()->isVisibleTo(form.cardWindow()));
    }

    void aListCutShortIsToldOnceAtStartUp() {
        DataDir data;
        const std::int64_t byte = damageEntry(data.path(), 5, 99999);
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QCOMPARE(form.List1()->model()->rowCount(), 4);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        const RecordingBoxes::Shown& box = m_boxes->shown[0];
        QCOMPARE(box.title, QStringLiteral("Lithora"));
        QCOMPARE(box.icon, MessageIcon::Exclamation);
        QVERIFY2(box.text.contains(QStringLiteral("lithora.a is damaged at byte %1").arg(byte)),
                 qPrintable(box.text));
        QVERIFY(box.text.contains(QStringLiteral("the 4 entries read before it")));
        QVERIFY(box.text.contains(QStringLiteral("lithora-pack verify")));
        QVERIFY(form.damageNote()->isVisibleTo(&form));
        QCOMPARE(form.damageNote()->text(),
                 QStringLiteral("lithora.a damaged at byte %1; 4 entries read").arg(byte));
        QCOMPARE(form.damageNote()->toolTip(), box.text);
        // Moving through the list and reloading bring no further box.
        form.btNEXT_Click();
        form.btPREV_Click();
        form.itmPop1(0)->trigger(); // Reload Database
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QVERIFY(form.damageNote()->isVisibleTo(&form));
    }

    void damageAtTheFirstEntryIsNoSilentEmptyList() {
        DataDir data;
        damageEntry(data.path(), 1, 0);
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QCOMPARE(form.List1()->model()->rowCount(), 0);
        QCOMPARE(m_boxes->shown.size(), std::size_t{1});
        QVERIFY(m_boxes->shown[0].text.contains(QStringLiteral("The list holds no entries")));
    }

    void anUnreadableCardShowsWhyAndNothingOfTheCardBefore() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        frmCARD* card = form.cardWindow();
        QCOMPARE(card->tf(0).text(), QStringLiteral(" Albite"));
        // Row 2's record damaged after start-up, as a disk might.
        const int entry =
            form.session().data.tables.entryOf(std::atoi(form.session().rows[1][ColCard].c_str()));
        damageEntry(data.path(), entry, 99999);
        form.btNEXT_Click();
        QVERIFY(card->unreadableNote()->isVisibleTo(card));
        const QString note = card->unreadableNote()->text();
        QVERIFY2(note.contains(QStringLiteral("cannot be read")), qPrintable(note));
        QVERIFY(note.contains(QStringLiteral("lithora-pack verify")));
        for (int i : {0, 1, 2, 5, 7, 13, 18, 22, 24, 25, 43})
            QVERIFY2(card->tf(i).text().trimmed().isEmpty(), qPrintable(card->tf(i).text()));
        QCOMPARE(form.panelText(4),
                 QStringLiteral("Card %1").arg(form.session().card.currentCardNumber));
        QVERIFY(m_boxes->shown.empty()); // told on the card, not in a box per record
        // The next card is read and shown as always.
        form.btNEXT_Click();
        QVERIFY(!card->unreadableNote()->isVisibleTo(card));
        QVERIFY(!card->tf(0).text().trimmed().isEmpty());
    }

    void theProgramNeverWaitsOnItsDamageMessage() {
        // Unattended, the program tells the damage on standard error and goes on.
        const ProgramRun run =
            runProgramBeside([](const std::filesystem::path& index) { damageEntry(index, 3, -5); });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("lithora.a is damaged at byte"), run.err.constData());
        QCOMPARE(run.err.count("is damaged at byte"), 1);
    }

  private:
    std::unique_ptr<RecordingBoxes> m_boxes;
};

QTEST_MAIN(DamageTest)
#include "damage_test.moc"
