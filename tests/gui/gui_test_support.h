#pragma once

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <vector>

#include "common/message_box.h"
#include "datafiles/record.h"
#include "source/packer.h"
#include "source/source_format.h"

// Shared by the GUI tests: message boxes answered at once, and packed test data sets.
namespace lithora::gui::test {

// Answers every message box at once and keeps what it was asked.
class RecordingBoxes : public MessageBoxes {
  public:
    struct Shown {
        QString title;
        QString text;
        MessageIcon icon;
    };
    MessageAnswer show(QWidget*, MessageIcon icon, const QString& title, const QString& text,
                       MessageButtons buttons) override {
        shown.push_back({title, text, icon});
        return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
    }
    std::vector<Shown> shown;
    MessageAnswer answer = MessageAnswer::No; // to a Yes/No question
};

// Pixels of a picture's rows from..to-1 within a small distance of a colour.
inline int pixelsNear(const QImage& image, const QColor& colour, int from, int to) {
    int count = 0;
    for (int y = std::max(0, from); y < std::min(to, image.height()); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) <
                30)
                ++count;
        }
    }
    return count;
}

inline constexpr int kTallScreen = 16000; // twips: a screen of about 1070 pixels
inline constexpr int kSmallScreen = 8400; // at most 9000 twips: the compact layout

inline SourceSet miniSource() {
    SourceReadResult source = readSource(std::filesystem::path(LITHORA_FIXTURES_DIR) / "mini");
    if (!source.problems.empty())
        qFatal("the mini fixture does not read: %s", source.problems[0].text().c_str());
    return source.set;
}

// A packed copy of the mini fixture, or of another set, in a temporary directory.
class DataDir {
  public:
    explicit DataDir(const SourceSet& set = miniSource()) {
        if (!writePackedSet(packSourceSet(set, buildRecordKey()), path()).ok())
            qFatal("cannot pack the test set");
    }
    std::filesystem::path path() const {
        return std::filesystem::path(m_dir.path().toStdString()) / "INDEX";
    }

  private:
    QTemporaryDir m_dir;
};

#ifdef LITHORA_PROGRAM
// The bundled database the build packs beside the program.
inline std::filesystem::path bundledData() {
    return std::filesystem::path(LITHORA_PROGRAM).parent_path() / "INDEX";
}

// How a run of the real program ended.
struct ProgramRun {
    bool finished = false; // within the time limit
    int exitCode = -1;
    QByteArray err; // standard error, the run's directory written ROOT
};

// The program copied into a scratch directory beside a packed copy of the mini set, which
// prepare may change first; run offscreen and unattended (message boxes go to standard error),
// quitting once started unless quitAfterStart is false, for at most 20 s.
inline ProgramRun runProgramBeside(const std::function<void(const std::filesystem::path&)>& prepare,
                                   bool quitAfterStart = true) {
    ProgramRun run;
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("lithora"));
    if (!QFile::copy(QStringLiteral(LITHORA_PROGRAM), program)) return run;
    QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner);
    DataDir data;
    const std::filesystem::path index = dir.filePath(QStringLiteral("INDEX")).toStdString();
    std::filesystem::rename(data.path(), index);
    if (prepare) prepare(index);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LITHORA_UNATTENDED"), QStringLiteral("1"));
    if (quitAfterStart) env.insert(QStringLiteral("LITHORA_QUIT_AFTER_START"), QStringLiteral("1"));
    process.setProcessEnvironment(env);
    process.start(program, {});
    run.finished = process.waitForFinished(20000);
    run.exitCode = process.exitCode();
    run.err = process.readAllStandardError().replace(dir.path().toUtf8(), "ROOT");
    return run;
}
#endif

} // namespace lithora::gui::test
