// What the main window hands to the desktop, with a recording shell in place of the desktop:
// the second instance, the help, the Greek font, the logo.
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "common/fonts.h"
#include "common/shell.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;

namespace {

class RecordingShell : public Shell {
  public:
    bool openDocument(const QString& path) override {
        documents << path;
        return true;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        programs << program;
        argumentLists << arguments;
        return true;
    }
    QStringList documents;
    QStringList programs;
    QList<QStringList> argumentLists;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        m_boxes = std::make_unique<RecordingBoxes>();
        setMessageBoxes(m_boxes.get());
        m_shell = std::make_unique<RecordingShell>();
        setShell(m_shell.get());
    }
    void cleanup() {
        setShell(nullptr);
        setMessageBoxes(nullptr);
    }

    void doubleClickOffersASecondInstance() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QStringLiteral("/i Zeolite"), kTallScreen));
        m_boxes->answer = MessageAnswer::No;
        form.launchNewInstance();
        QCOMPARE(m_boxes->shown.back().title, QStringLiteral("ZTK-LITHORA"));
        QCOMPARE(m_boxes->shown.back().text,
                 QStringLiteral("Launch new instance of LITHORA?\n\n(You Double-Clicked)"));
        QVERIFY(m_shell->programs.isEmpty()); // No leaves everything as it was
        m_boxes->answer = MessageAnswer::Yes;
        EntryListView* list = form.List1();
        const QRect row = list->visualRect(list->model()->index(form.selectedRow() - 1, ColName));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(m_shell->programs.size(), 1);
        // The whole name as one argument: the new instance selects by its first word.
        QCOMPARE(m_shell->argumentLists[0],
                 (QStringList{QStringLiteral("/i"), QStringLiteral("Zeolite-X")}));
    }

    void helpOpensTheCompiledHelpOrTheGuide() {
        DataDir data;
        Form1 form(data.path());
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        const QString programDir = QString::fromStdString(data.path().parent_path().string());
        form.ShowHelp(0);
        QVERIFY(m_shell->documents.isEmpty()); // no guide beside this test's program
        QVERIFY(form.panelText(3).startsWith(QStringLiteral("The user guide cannot be opened")));
        QDir(programDir).mkpath(QStringLiteral("help"));
        writeFile(programDir + QStringLiteral("/help/index.html"), "<html></html>");
        form.ShowHelp(0);
        QCOMPARE(m_shell->documents.back(), programDir + QStringLiteral("/help/index.html"));
        QDir(programDir).mkpath(QStringLiteral("index"));
        writeFile(programDir + QStringLiteral("/index/ztklithora.chm"), "ITSF");
        form.ShowHelp(0);
        QCOMPARE(m_shell->documents.back(), programDir + QStringLiteral("/index/ztklithora.chm"));
    }

    void fontIsRegisteredAndCopiedOnce() {
        QTemporaryDir program;
        QTemporaryDir fonts;
        FontInstall none = installFont(program.path(), fonts.path());
        QVERIFY(!none.registered && !none.copied &&
                none.problem.isEmpty()); // no font file: nothing
        // A font file beside the program: any usable font will do for the test.
        const QString source =
            QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf");
        if (!QFile::exists(source)) QSKIP("the test font is not installed");
        QVERIFY(QFile::copy(source, program.filePath(QStringLiteral("ARIALG.TTF"))));
        const FontInstall first =
            installFont(program.path(), fonts.filePath(QStringLiteral("user")));
        QVERIFY(first.registered);
        QVERIFY(first.copied);
        QVERIFY(QFile::exists(fonts.filePath(QStringLiteral("user/ARIALG.TTF"))));
        const FontInstall second =
            installFont(program.path(), fonts.filePath(QStringLiteral("user")));
        QVERIFY(second.registered);
        QVERIFY(!second.copied); // already there
        // A font directory that cannot be made: reported, and the font is still registered.
        writeFile(fonts.filePath(QStringLiteral("blocked")), "a file, not a directory");
        const FontInstall failed =
            installFont(program.path(), fonts.filePath(QStringLiteral("blocked/fonts")));
        QVERIFY(failed.registered);
        QVERIFY(!failed.copied);
        QVERIFY(failed.problem.contains(QStringLiteral("cannot copy")));
    }

    void startUpGoesOnWhenTheFontCannotBeCopied() {
        DataDir data;
        const QString programDir = QString::fromStdString(data.path().parent_path().string());
        const QString source =
            QStringLiteral("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf");
        if (!QFile::exists(source)) QSKIP("the test font is not installed");
        QVERIFY(QFile::copy(source, programDir + QStringLiteral("/ARIALG.TTF")));
        QTemporaryDir fonts;
        writeFile(fonts.filePath(QStringLiteral("blocked")), "x");
        Form1 form(data.path());
        form.setFontDirectory(fonts.filePath(QStringLiteral("blocked/fonts")));
        QVERIFY(form.Form_Load(QString(), kTallScreen));
        QVERIFY(form.formLoaded());
        QVERIFY(m_boxes->shown.empty());
        QVERIFY(
            form.panelText(3).startsWith(QStringLiteral("Greek font not installed: cannot copy")));
    }

    void staleManifestIsDeletedButAnEmptyOneStays() {
        QTemporaryDir dir;
        const QString program = dir.filePath(QStringLiteral("lithora"));
        writeFile(program + QStringLiteral(".manifest"), "");
        QVERIFY(!deleteStaleManifest(program));
        QVERIFY(QFile::exists(program + QStringLiteral(".manifest")));
        writeFile(program + QStringLiteral(".manifest"), "<assembly/>");
        QVERIFY(deleteStaleManifest(program));
        QVERIFY(!QFile::exists(program + QStringLiteral(".manifest")));
        QVERIFY(!deleteStaleManifest(program)); // nothing there any more
    }

  private:
    std::unique_ptr<RecordingBoxes> m_boxes;
    std::unique_ptr<RecordingShell> m_shell;
};

QTEST_MAIN(ShellTest)
#include "shell_test.moc"
