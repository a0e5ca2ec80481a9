// Lithora: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <memory>

#include "app/frm_splash.h"
#include "common/qt_support.h"
#include "common/shell.h"
#include "datafiles/datadir.h"
#include "main/form1.h"

using namespace lithora;
using namespace lithora::gui;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lithora"));
    const QString programDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(programDir);
    deleteStaleManifest(QCoreApplication::applicationFilePath());

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const QString commandLine = arguments.join(QLatin1Char(' '));

    Form1 form(dataDirectoryBeside(utf8(QCoreApplication::applicationFilePath())), nullptr,
               utf8(QCoreApplication::applicationFilePath()));
    // The splash window shows while the data load, unless a second instance was started.
    std::unique_ptr<frmSplash> splash;
    if (!commandLine.contains(QStringLiteral("/i"))) {
        splash = std::make_unique<frmSplash>(false, QCoreApplication::applicationFilePath(),
                                             form.dataVersion());
        splash->show();
        QApplication::processEvents();
        form.setSplash(splash.get());
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeightTwips = screen ? twips(screen->geometry().height()) : 100000;
    if (!form.Form_Load(commandLine, screenHeightTwips)) return 1;

    // Timing runs and smoke tests quit as soon as the first card is painted.
    if (qEnvironmentVariableIsSet("LITHORA_QUIT_AFTER_START"))
        QTimer::singleShot(0, &app, &QApplication::quit);
    return app.exec();
}
