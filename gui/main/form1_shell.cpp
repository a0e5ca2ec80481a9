// What the main window hands to the desktop: printing, the help, a second instance of the
// program, the Greek font, the logo.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/frm_splash.h"
#include "common/fonts.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "common/shell.h"
#include "main/form1.h"
#include "print/card_page_painter.h"

namespace lithora::gui {

void Form1::printCard() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(qs(m_session.card.currentName));
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Print Card"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* target) {
        QPainter painter(target);
        paintCardPages(painter, m_session.card, m_session.decimalSeparator,
                       [target] { return target->newPage(); });
    });
    // A cancelled job or a printer that fails ends here quietly; the status bar says which.
    if (preview.exec() != QDialog::Accepted) {
        Msg(QStringLiteral("Printing cancelled"));
    } else if (printer.printerState() == QPrinter::Error) {
        Msg(QStringLiteral("The printer reported an error; the card was not printed"));
    } else {
        Msg(QStringLiteral("Card ") + QString::number(m_session.card.currentCardNumber) +
            QStringLiteral(" printed"));
    }
}

QString Form1::helpDocument() const {
    const QDir dir(qs(m_programDir.string()));
    const QString compiled = dir.filePath(QStringLiteral("index/ztklithora.chm"));
    if (QFileInfo(compiled).size() > 0) return compiled;
    return dir.filePath(QStringLiteral("help/index.html"));
}

void Form1::ShowHelp(int) {
    const QString document = helpDocument();
    if (QFileInfo(document).size() <= 0 || !shell().openDocument(document)) {
        Msg(QStringLiteral("The user guide cannot be opened: ") + document);
    }
}

void Form1::launchNewInstance() {
    const MessageAnswer answer =
        showMessage(this, MessageIcon::Question, QStringLiteral("ZTK-LITHORA"),
                    QStringLiteral("Launch new instance of LITHORA?\n\n(You Double-Clicked)"),
                    MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes || selectedRow() == 0) return;
    const QString name = qs(m_session.rows[static_cast<std::size_t>(selectedRow() - 1)][ColName]);
    setCursor(Qt::WaitCursor);
    // The name goes as one argument of its own: no shell ever reads it.
    shell().startProgram(qs(m_programPath.string()), {QStringLiteral("/i"), name});
    unsetCursor();
}

QString Form1::dataVersion() const {
    const QFileInfo entries(qs(m_session.data.file(DataFiles::kEntries).string()));
    return entries.exists() ? entries.lastModified().toString(QStringLiteral("MM/dd/yyyy"))
                            : QString();
}

void Form1::showAbout() {
    frmSplash::showAbout(this, qs(m_programPath.string()), dataVersion());
}

void Form1::finishAppearance() {
    // The logo tells the program's date and opens the About window.
    const QFileInfo program(qs(m_programPath.string()));
    if (program.exists()) {
        m_logo->setToolTip(QStringLiteral("ExeDate ") +
                           program.lastModified().toString(QStringLiteral("MM/dd/yyyy")) +
                           QStringLiteral(", ( Click for LITHORA About )"));
    }
    const FontInstall font = installFont(qs(m_programDir.string()),
                                         m_fontDir.isEmpty() ? userFontDirectory() : m_fontDir);
    if (!font.problem.isEmpty()) Msg(QStringLiteral("Greek font not installed: ") + font.problem);
}

} // namespace lithora::gui
