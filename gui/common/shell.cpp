#include "common/shell.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace lithora::gui {

namespace {

class DesktopShell : public Shell {
  public:
    bool openDocument(const QString& path) override {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        return QProcess::startDetached(program, arguments);
    }
};

DesktopShell g_desktop;
Shell* g_shell = &g_desktop;

} // namespace

bool deleteStaleManifest(const QString& programPath) {
    const QFileInfo manifest(programPath + QStringLiteral(".manifest"));
    return manifest.exists() && manifest.size() > 0 && QFile::remove(manifest.absoluteFilePath());
}

Shell& shell() {
    return *g_shell;
}
void setShell(Shell* replacement) {
    g_shell = replacement ? replacement : &g_desktop;
}

} // namespace lithora::gui
