#include "common/file_dialog.h"

#include <QFileDialog>
#include <cstdio>

namespace lithora::gui {

namespace {

// The platform's native save dialog where it has one, Qt's own otherwise.
class DesktopDialogs : public FileDialogs {
  public:
    QString saveFileName(QWidget* parent, const QString& caption, const QString& suggestedPath,
                         const QStringList& filters, QString* selectedFilter) override {
        return QFileDialog::getSaveFileName(parent, caption, suggestedPath,
                                            filters.join(QStringLiteral(";;")), selectedFilter);
    }
};

// Scripted runs (LITHORA_UNATTENDED set) must never wait: the dialog is answered as cancelled.
class UnattendedDialogs : public FileDialogs {
  public:
    QString saveFileName(QWidget*, const QString& caption, const QString&, const QStringList&,
                         QString*) override {
        std::fprintf(stderr, "lithora: %s: cancelled (unattended)\n", qPrintable(caption));
        return QString();
    }
};

DesktopDialogs g_desktop;
UnattendedDialogs g_unattended;
FileDialogs* g_current = nullptr;

} // namespace

FileDialogs& fileDialogs() {
    if (g_current) return *g_current;
    if (qEnvironmentVariableIsSet("LITHORA_UNATTENDED")) return g_unattended;
    return g_desktop;
}

void setFileDialogs(FileDialogs* dialogs) {
    g_current = dialogs;
}

} // namespace lithora::gui
