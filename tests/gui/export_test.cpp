// The list saved as a file and the card copied, on the offscreen platform and the bundled
// database: the save dialog answered by the test, the file's format and columns, a file that
// cannot be written, and the clipboard.
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "common/file_dialog.h"
#include "common/qt_support.h"
#include "export/card_text.h"
#include "gui_test_support.h"
#include "list/entry_list.h"
#include "list/list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

// Answers the save dialog with a name and a filter, and keeps what it was offered.
class ScriptedDialogs : public FileDialogs {
  public:
    QString saveFileName(QWidget*, const QString& title, const QString& suggestedPath,
                         const QStringList& filters, QString* selectedFilter) override {
        ++asked;
        caption = title;
        suggested = suggestedPath;
        offered = filters;
        preselected = *selectedFilter;
        if (!filter.isEmpty()) *selectedFilter = filter;
        return answer;
    }
    QString answer;
    QString filter;
    int asked = 0;
    QString caption;
    QString suggested;
    QStringList offered;
    QString preselected;
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY2(std::filesystem::exists(bundledData() / "lithora.a"),
                 "the bundled database was not built");
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        setFileDialogs(&m_dialogs);
        m_dialogs = ScriptedDialogs();
        m_form = std::make_unique<Form1>(bundledData());
        QVERIFY(m_form->Form_Load(QString(), kTallScreen));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() {
        m_form.reset();
        setMessageBoxes(nullptr);
        setFileDialogs(nullptr);
    }

    void theListMenuOffersBothWithTheirKeys() {
        QVERIFY(m_form->pop1()->actions().contains(m_form->exportListAction()));
        QVERIFY(m_form->pop1()->actions().contains(m_form->copyCardAction()));
        QCOMPARE(m_form->exportListAction()->text(), QStringLiteral("Export List\u2026"));
        QCOMPARE(m_form->exportListAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(m_form->copyCardAction()->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    }

    // All columns shown: the CSV file has every shown column in the user's order, one record
    // per entry of the list, and the mark that makes a spreadsheet read UTF-8.
    void csvHoldsTheShownColumnsAndEveryEntry() {
        m_form->itmLST(3)->trigger(); // All Columns
        const std::vector<int> columns = m_form->shownListColumns();
        QVERIFY(columns.size() > 5);
        m_dialogs.answer = m_dir->filePath(QStringLiteral("all.csv"));
        QVERIFY(m_form->exportList());
        QCOMPARE(m_dialogs.caption, QStringLiteral("Export List"));
        QCOMPARE(m_dialogs.offered.front(), QStringLiteral("CSV (*.csv)"));
        QVERIFY(m_dialogs.offered.contains(QStringLiteral("JSON (*.json)")));
        const QByteArray csv = readAll(m_dialogs.answer);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(csv.count("\r\n"), static_cast<qsizetype>(m_form->session().rows.size() + 1));
        QString header;
        for (int c : columns) {
            if (!header.isEmpty()) header += QLatin1Char(',');
            header += QString::fromUtf8(
                kListColumns[static_cast<std::size_t>(c)].header.data(),
                static_cast<qsizetype>(kListColumns[static_cast<std::size_t>(c)].header.size()));
        }
        QVERIFY2(csv.mid(3).startsWith(header.toUtf8() + "\r\n"), csv.left(200).constData());
        QVERIFY(m_form->panelText(3).contains(QStringLiteral("exported to all.csv")));
        // The next export offers the same place again.
        m_dialogs.answer.clear();
        QVERIFY(!m_form->exportList());
        QCOMPARE(m_dialogs.suggested, m_dir->filePath(QStringLiteral("all.csv")));
    }

    // A group narrows the list; a name without extension takes the filter's, here JSON, and
    // the file holds that group's entries exactly as listed.
    void jsonOfAGroupTakesTheFiltersExtension() {
        m_form->loadGroup(QStringLiteral("Calcite"));
        const std::vector<ListRow>& rows = m_form->session().rows;
        QVERIFY(!rows.empty());
        m_dialogs.answer = m_dir->filePath(QStringLiteral("group"));
        m_dialogs.filter = QStringLiteral("JSON (*.json)");
        QVERIFY(m_form->exportList());
        const QByteArray text = readAll(m_dir->filePath(QStringLiteral("group.json")));
        QVERIFY(!text.isEmpty());
        const nlohmann::json json = nlohmann::json::parse(text.toStdString());
        QCOMPARE(json.size(), rows.size());
        QCOMPARE(QString::fromStdString(json.at(0).at("Name").get<std::string>()),
                 qs(rows.front()[ColName]));
    }

    // A folder that does not exist: one message naming the file, nothing written, false.
    void aFileThatCannotBeWrittenIsToldAndNothingIsLeft() {
        const QString path = m_dir->filePath(QStringLiteral("missing/list.csv"));
        m_dialogs.answer = path;
        QVERIFY(!m_form->exportList());
        QCOMPARE(m_boxes->shown.size(), std::size_t(1));
        QCOMPARE(m_boxes->shown[0].title, QStringLiteral("Export List"));
        QCOMPARE(m_boxes->shown[0].icon, MessageIcon::Critical);
        QVERIFY(m_boxes->shown[0].text.contains(QStringLiteral("list.csv")));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!m_form->panelText(3).contains(QStringLiteral("exported")));
    }

    void cancellingWritesNothingAndSaysNothing() {
        QVERIFY(!m_form->exportList());
        QCOMPARE(m_dialogs.asked, 1);
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
    }

    void copyCardPutsTheCurrentCardAsTextOnTheClipboard() {
        m_form->findCardNumber(4550); // quartz
        m_form->loadSelectedCard();
        QCOMPARE(m_form->session().card.currentCardNumber, 4550);
        QGuiApplication::clipboard()->clear();
        m_form->copyCardAction()->trigger();
        const QString text = QGuiApplication::clipboard()->text();
        QCOMPARE(text,
                 qs(cardPlainText(m_form->session().card, m_form->session().decimalSeparator)));
        QVERIFY(text.startsWith(QStringLiteral("Quartz")));
        QVERIFY(m_form->panelText(3).contains(QStringLiteral("Quartz")));
    }

  private:
    std::unique_ptr<RecordingBoxes> m_boxes;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<Form1> m_form;
    std::optional<QTemporaryDir> m_dir; // a fresh folder for every test
};

QTEST_MAIN(ExportTest)
#include "export_test.moc"
