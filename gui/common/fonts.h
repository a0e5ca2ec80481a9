#pragma once

#include <QString>

namespace lithora::gui {

struct FontInstall {
    bool registered = false; // the application can use the font
    bool copied = false;     // it was copied into the user's font directory now
    QString problem;         // what went wrong, if anything; start-up goes on regardless
};

// The Greek font file ARIALG.TTF beside the program: registered for this run, and copied into
// the user's font directory when it is not there yet. Nothing happens without the file.
FontInstall installFont(const QString& programDir, const QString& userFontDir);

// Where the user's own fonts live (created when missing).
QString userFontDirectory();

} // namespace lithora::gui
