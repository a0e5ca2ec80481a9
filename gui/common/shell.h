#pragma once

#include <QString>
#include <QStringList>

// What the program hands to the desktop: opening a document with its handler and starting a
// program. Tests put a recorder in place; no real process or browser starts then.
namespace lithora::gui {

class Shell {
  public:
    virtual ~Shell() = default;
    virtual bool openDocument(const QString& path) = 0;
    // Starts a program with an argument vector (never through a command interpreter).
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

// Removes a manifest left beside the program by an older installation; an empty file counts
// as absent and stays. True when a file was removed.
bool deleteStaleManifest(const QString& programPath);

Shell& shell();
void setShell(Shell* replacement); // nullptr restores the desktop's own

} // namespace lithora::gui
