// Lithora only reads its data. A program directory is laid out as an installation has it (the
// program, INDEX beside it, a stale manifest and the Greek font), its data files are made
// read-only, and then the desktop program starts, a scripted session goes through its windows
// (cards, all four searches, printing), and the tools answer every kind of query. Afterwards
// the data files are byte for byte what they were, nothing new lies in the data directory, and
// the only changes anywhere are the two start-up chores: the stale manifest beside the program
// is gone and the font has been copied into the user's font directory.
//
// Run as root, the test takes the unprivileged user 65534 first, so that the read-only
// permission bits really bind; if that is refused, the byte-for-byte comparison is the proof.
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <grp.h>
#include <map>
#include <unistd.h>

#include "card/frm_card.h"
#include "common/shell.h"
#include "gui_test_support.h"
#include "main/entry_list_view.h"
#include "main/form1.h"
#include "print/card_page_painter.h"
#include "search/frm_element_search.h"

using namespace lithora;
using namespace lithora::gui;
using namespace lithora::gui::test;
namespace fs = std::filesystem;

namespace {

bool g_permissionsBind = false;

// Root writes through any permission bits; an unprivileged user does not. Root stays the saved
// user only until it is clear that the unprivileged one can read what the test needs (a build
// tree of mode 0700 would defeat it); a program it starts keeps no way back.
bool dropRootPrivileges() {
    if (geteuid() != 0) return true;
    constexpr uid_t kNobody = 65534;
    if (setgroups(0, nullptr) != 0 || setresgid(kNobody, kNobody, 0) != 0) return false;
    if (setresuid(kNobody, kNobody, 0) != 0) {
        (void)setresgid(0, 0, 0);
        return false;
    }
    if (access(LITHORA_PROGRAM, R_OK) == 0 && access(LITHORA_CLI, X_OK) == 0 &&
        access(LITHORA_PACK, X_OK) == 0 &&
        access(LITHORA_FIXTURES_DIR "/mini/entries.tsv", R_OK) == 0)
        return true;
    (void)setresuid(0, 0, 0);
    (void)setresgid(0, 0, 0);
    return false;
}

// Every file and directory below a root by its relative path: its kind, its permission bits
// and a digest of its bytes.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& root) {
    Snapshot shot;
    if (!fs::exists(root)) return shot;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        const auto perms = static_cast<unsigned>(fs::symlink_status(e.path()).permissions());
        std::string what = e.is_symlink() ? "link" : e.is_directory() ? "dir" : "file";
        what += " " + std::to_string(perms & 07777);
        if (e.is_regular_file() && !e.is_symlink()) {
            QFile f(QString::fromStdString(e.path().string()));
            if (!f.open(QIODevice::ReadOnly)) {
                what += " unreadable";
            } else {
                QCryptographicHash hash(QCryptographicHash::Sha256);
                hash.addData(&f);
                what += " " + hash.result().toHex().toStdString();
            }
        }
        shot[rel] = what;
    }
    return shot;
}

// "removed X", "changed X" and "added X", one line each, in path order.
QString differences(const Snapshot& before, const Snapshot& after) {
    QStringList out;
    for (const auto& [path, what] : before) {
        const auto it = after.find(path);
        if (it == after.end()) {
            out << QStringLiteral("removed ") + QString::fromStdString(path);
        } else if (it->second != what) {
            out << QStringLiteral("changed ") + QString::fromStdString(path);
        }
    }
    for (const auto& [path, what] : after) {
        if (!before.count(path)) out << QStringLiteral("added ") + QString::fromStdString(path);
    }
    return out.join(QLatin1Char('\n'));
}

// A font file to stand in for the Greek font: a real one when the system has any.
QByteArray someFont() {
    QDirIterator it(QStringLiteral("/usr/share/fonts"), {QStringLiteral("*.ttf")}, QDir::Files,
                    QDirIterator::Subdirectories);
    if (it.hasNext()) {
        QFile f(it.next());
        if (f.open(QIODevice::ReadOnly)) return f.readAll();
    }
    return QByteArray("not really a font, but the copy does not look inside");
}

// The two start-up chores: the stale manifest goes, the font is copied for the user.
const QString kHousekeeping = QStringLiteral("removed prog/lithora.manifest\n"
                                             "added home/.local\n"
                                             "added home/.local/share\n"
                                             "added home/.local/share/fonts\n"
                                             "added home/.local/share/fonts/ARIALG.TTF");

// The scratch world of one test: root/prog holds the program, INDEX, the manifest and the font;
// root/home is HOME; root/out receives what a session writes on purpose (PDFs, an unpacked
// source); font caches and the runtime directory lie apart.
class Scene {
  public:
    Scene() {
        for (const fs::path& d : {prog(), home(), out(), cache(), runtime()})
            fs::create_directories(d);
        fs::permissions(runtime(), fs::perms::owner_all, fs::perm_options::replace);
        DataDir packed;
        fs::copy(packed.path(), index(), fs::copy_options::recursive);
        writeFile(prog() / "lithora.manifest", "<assembly>stale</assembly>\n");
        QFile font(qs(program().parent_path() / "ARIALG.TTF"));
        if (font.open(QIODevice::WriteOnly)) font.write(someFont());
    }
    ~Scene() { setDataWritable(true); }

    fs::path root() const { return m_root.path().toStdString(); }
    fs::path prog() const { return root() / "prog"; }
    fs::path index() const { return prog() / "INDEX"; }
    fs::path program() const { return prog() / "lithora"; }
    fs::path home() const { return root() / "home"; }
    fs::path out() const { return root() / "out"; }
    fs::path cache() const { return root() / "cache"; }
    fs::path runtime() const { return root() / "runtime"; }

    void copyProgram() const {
        fs::copy_file(LITHORA_PROGRAM, program());
        fs::permissions(program(), fs::perms::owner_all, fs::perm_options::replace);
    }

    // Files 0444 and the directory 0555, or back to what a cleanup needs.
    void setDataWritable(bool writable) const {
        std::error_code ec;
        for (const fs::directory_entry& e : fs::directory_iterator(index(), ec)) {
            fs::permissions(e.path(),
                            writable ? fs::perms::owner_read | fs::perms::owner_write
                                     : fs::perms::owner_read | fs::perms::group_read |
                                           fs::perms::others_read,
                            fs::perm_options::replace, ec);
        }
        fs::permissions(index(),
                        writable ? fs::perms::owner_all
                                 : fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::replace, ec);
    }

    // What the program and HOME hold; out, the caches and the runtime directory apart.
    Snapshot world() const {
        Snapshot shot;
        for (const char* part : {"prog", "home"}) {
            for (auto& [path, what] : snapshot(root() / part))
                shot[std::string(part) + "/" + path] = what;
        }
        return shot;
    }

    // Only font caches may appear among the caches.
    QStringList strayCaches() const {
        QStringList stray;
        for (const auto& [path, what] : snapshot(cache())) {
            if (path.rfind("fontconfig", 0) != 0) stray << QString::fromStdString(path);
        }
        return stray;
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LITHORA_UNATTENDED"), QStringLiteral("1"));
        env.insert(QStringLiteral("LITHORA_QUIT_AFTER_START"), QStringLiteral("1"));
        env.insert(QStringLiteral("HOME"), qs(home()));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), qs(cache()));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), qs(runtime()));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        return env;
    }

    // Runs a program to its end; its exit code, with standard error kept for messages.
    int run(const QString& program, const QStringList& arguments, QString* err = nullptr) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(qs(out()));
        p.start(program, arguments);
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            if (err) *err = QStringLiteral("did not finish");
            return -1;
        }
        if (err) *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QByteArray fontBytes() const {
        QFile f(qs(prog() / "ARIALG.TTF"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray copiedFontBytes() const {
        QFile f(qs(home() / ".local/share/fonts/ARIALG.TTF"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

  private:
    static QString qs(const fs::path& p) { return QString::fromStdString(p.string()); }
    static void writeFile(const fs::path& p, const QByteArray& bytes) {
        QFile f(QString::fromStdString(p.string()));
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    }
    QTemporaryDir m_root;
};

// Sets an environment variable (or unsets it, for null) for the life of the object.
class EnvironmentVariable {
  public:
    EnvironmentVariable(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~EnvironmentVariable() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

  private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

bool isPdf(const fs::path& file) {
    QFile f(QString::fromStdString(file.string()));
    return f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-" && f.size() > 1000;
}

} // namespace

class ReadOnlyTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        if (!g_permissionsBind)
            qInfo("running as root: the permission bits do not bind, the bytes are compared");
    }

    void programStartDoesOnlyItsHousekeeping() {
        Scene scene;
        scene.copyProgram();
        scene.setDataWritable(false);
        const Snapshot before = scene.world();
        QString err;
        QCOMPARE(scene.run(QString::fromStdString(scene.program().string()), {}, &err), 0);
        QVERIFY2(!err.contains(QStringLiteral("lithora:")), qPrintable(err));
        QCOMPARE(differences(before, scene.world()), kHousekeeping);
        QCOMPARE(scene.copiedFontBytes(), scene.fontBytes());
        QVERIFY2(scene.strayCaches().isEmpty(), qPrintable(scene.strayCaches().join(' ')));

        // A second start finds both chores done and changes nothing at all.
        const Snapshot second = scene.world();
        QCOMPARE(scene.run(QString::fromStdString(scene.program().string()), {}, &err), 0);
        QCOMPARE(differences(second, scene.world()), QString());
    }

    void toolSessionLeavesEverythingAlone() {
        Scene scene;
        scene.setDataWritable(false);
        const Snapshot before = scene.world();
        const QString index = QString::fromStdString(scene.index().string());
        const QString pdf = QString::fromStdString((scene.out() / "card.pdf").string());
        const QString source = QString::fromStdString((scene.out() / "source").string());
        const QList<QStringList> queries = {
            {"list"},
            {"list", "--ima"},
            {"list", "--group", "Garnet"},
            {"card", "1"},
            {"card", "5"},
            {"card", "77"},
            {"search", "form", "name=cal"},
            {"search", "form", "--or", "--within", "5,17,42", "--widen", "mohs=3"},
            {"search", "optics", "optical_sign=-"},
            {"search", "elements", "--required", "Ca,O", "--preset", "all"},
            {"search", "text", "--category", "Group", "garnet"},
            {"search", "text", "--category", "Unit Cell", "4.99", "4.99", "17.06", "0", "0", "0"},
            {"print", "1", "--pdf", pdf},
            {"pattern", "1"},  // calcite's whole pattern, read from lithora.p
            {"pattern", "17"}, // card lines: lithora.p has no pattern for it
        };
        QVERIFY(fs::exists(scene.index() / "lithora.p"));
        for (const QStringList& q : queries) {
            QString err;
            QCOMPARE(scene.run(QStringLiteral(LITHORA_CLI), QStringList{"--data", index} + q, &err),
                     0);
            QVERIFY2(err.isEmpty(), qPrintable(q.join(' ') + ": " + err));
        }
        QVERIFY(isPdf(scene.out() / "card.pdf"));
        QCOMPARE(scene.run(QStringLiteral(LITHORA_PACK), {"verify", index}), 0);
        QCOMPARE(scene.run(QStringLiteral(LITHORA_PACK), {"unpack", index, source}), 0);
        QVERIFY(fs::exists(scene.out() / "source" / "entries.tsv"));
        // The tools keep no housekeeping of their own: nothing changes at all.
        QCOMPARE(differences(before, scene.world()), QString());
        QVERIFY2(scene.strayCaches().isEmpty(), qPrintable(scene.strayCaches().join(' ')));
    }

    void desktopSessionReadsOnly() {
        Scene scene;
        scene.setDataWritable(false);
        const EnvironmentVariable home("HOME", QByteArray::fromStdString(scene.home().string()));
        const EnvironmentVariable cache("XDG_CACHE_HOME",
                                        QByteArray::fromStdString(scene.cache().string()));
        const EnvironmentVariable data("XDG_DATA_HOME", QByteArray());
        const Snapshot before = scene.world();

        // The start-up of main(): the manifest, then the window on INDEX beside the program.
        RecordingBoxes boxes;
        setMessageBoxes(&boxes);
        QVERIFY(deleteStaleManifest(QString::fromStdString(scene.program().string())));
        auto form = std::make_unique<Form1>(scene.index(), nullptr, scene.program());
        QVERIFY(form->Form_Load(QString(), kTallScreen));
        frmCARD* card = form->cardWindow();
        QCOMPARE(card->tf(0).text(), QStringLiteral(" Albite"));

        // Cards: step through the list, open one by number, its optics and its references.
        for (int i = 0; i < 8; ++i)
            form->btNEXT_Click();
        form->btPREV_Click();
        form->findCardNumber(5);
        card->scr()->setValue(card->scr()->maximum());
        form->findCardNumber(1);
        QTest::mouseClick(card->bt(3), Qt::LeftButton);
        QVERIFY(card->opticsShown());
        QTest::mouseClick(card->bt(2), Qt::LeftButton);

        // The card-form search, then the optics search on its result.
        QTest::mouseClick(card->cb(0), Qt::LeftButton);
        qobject_cast<QLineEdit*>(card->tf(0).widget())->setText(QStringLiteral("cal"));
        QTest::mouseClick(card->bt(5), Qt::LeftButton);
        QCOMPARE(form->List1()->model()->rowCount(), 1);
        QTest::mouseClick(card->bt(3), Qt::LeftButton);
        QTest::mouseClick(card->cb(0), Qt::LeftButton);
        qobject_cast<QLineEdit*>(card->of(8).widget())->setText(QStringLiteral("-"));
        QTest::mouseClick(card->bt(5), Qt::LeftButton);
        QCOMPARE(card->tf(0).text(), QStringLiteral(" Calcite"));
        QTest::mouseClick(card->bt(2), Qt::LeftButton);
        form->itmPop1(0)->trigger(); // Reload Database
        QCOMPARE(form->List1()->model()->rowCount(), 9);

        // The search window: elements, a text category and a unit cell.
        QMetaObject::invokeMethod(form.get(), "tb_ButtonClick", Q_ARG(int, 3));
        frmELEMENTSEARCH* search = form->searchWindow();
        QVERIFY(search);
        QTest::mouseClick(search->pse(20 - 1), Qt::RightButton);
        QTest::mouseClick(search->pse(8 - 1), Qt::RightButton);
        QTest::mouseClick(search->btPOS(3), Qt::LeftButton);
        QTest::mouseClick(search->Command3(), Qt::LeftButton);
        QCOMPARE(form->List1()->model()->rowCount(), 2);
        QTest::mouseClick(search->Command2(), Qt::LeftButton);
        search->cmbTXT()->setCurrentIndex(1);
        search->tf2()->setText(QStringLiteral("garnet"));
        QTest::keyClick(search->tf2(), Qt::Key_Return);
        QCOMPARE(form->List1()->model()->rowCount(), 2);
        search->cmbTXT()->setCurrentIndex(12);
        search->tf2()->setText(QStringLiteral("4.99 4.99 17.06 0 0 0"));
        QTest::keyClick(search->tf2(), Qt::Key_Return);
        QCOMPARE(form->List1()->model()->rowCount(), 1);
        QCOMPARE(card->tf(0).text(), QStringLiteral(" Calcite"));
        QTest::mouseClick(search->Command1(), Qt::LeftButton);

        // Printing: the preview draws the card and is closed unprinted; then a PDF on purpose.
        bool previewed = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&previewed] {
            if (auto* preview =
                    qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
                previewed = true;
                preview->reject();
            }
        });
        closer.start(50);
        QMetaObject::invokeMethod(form.get(), "tb_ButtonClick", Q_ARG(int, 2));
        closer.stop();
        QVERIFY(previewed);
        QCOMPARE(form->panelText(3), QStringLiteral("Printing cancelled"));
        const fs::path pdf = scene.out() / "card.pdf";
        const Result<int> pages = writeCardPdf(
            form->session().card, QString::fromStdString(pdf.string()), form->decimalSeparator());
        QVERIFY(pages.ok());
        QVERIFY(isPdf(pdf));

        QVERIFY2(boxes.shown.empty(),
                 qPrintable(boxes.shown.empty() ? QString() : boxes.shown[0].text));
        form.reset();
        setMessageBoxes(nullptr);

        QCOMPARE(differences(before, scene.world()), kHousekeeping);
        QCOMPARE(scene.copiedFontBytes(), scene.fontBytes());
        QVERIFY2(scene.strayCaches().isEmpty(), qPrintable(scene.strayCaches().join(' ')));
    }
};

int main(int argc, char** argv) {
    g_permissionsBind = dropRootPrivileges();
    QTemporaryDir runtime; // the test's own, rather than one Qt would make under /tmp
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    ReadOnlyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "read_only_test.moc"
