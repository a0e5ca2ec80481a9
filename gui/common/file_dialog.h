#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The save dialog of the program goes through here, so tests can answer it instead of blocking
// on a modal dialog.
namespace lithora::gui {

class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // The file name chosen, or empty when the user cancelled. filters are the dialog's
    // "Description (*.ext)" entries; selectedFilter comes in as the one to preselect and goes
    // out as the one the user left selected.
    virtual QString saveFileName(QWidget* parent, const QString& caption,
                                 const QString& suggestedPath, const QStringList& filters,
                                 QString* selectedFilter) = 0;
};

// The dialogs in use: the desktop's own unless a test has put its own in place.
FileDialogs& fileDialogs();
// Puts dialogs in place (nullptr restores the desktop's); the caller keeps ownership.
void setFileDialogs(FileDialogs* dialogs);

} // namespace lithora::gui
