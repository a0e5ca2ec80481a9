#include "common/shell.h"

#include <QDesktopServices>
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

Shell& shell() {
    return *g_shell;
}
void setShell(Shell* replacement) {
    g_shell = replacement ? replacement : &g_desktop;
}

} // namespace lithora::gui
