// What leaves the main window as data: the list saved as a file, the card on the clipboard.
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSaveFile>
#include <QStandardPaths>

#include "common/file_dialog.h"
#include "common/message_box.h"
#include "common/qt_support.h"
#include "export/card_text.h"
#include "export/table_export.h"
#include "main/entry_list_view.h"
#include "main/form1.h"

namespace lithora::gui {

namespace {

const QString kExportTitle = QStringLiteral("Export List");

struct ExportFilter {
    const char* text;
    TableFormat format;
};
constexpr ExportFilter kExportFilters[] = {
    {"CSV (*.csv)", TableFormat::Csv},
    {"JSON (*.json)", TableFormat::Json},
    {"Tab-separated text (*.tsv)", TableFormat::Tsv},
};

TableFormat formatOfFilter(const QString& filter) {
    for (const ExportFilter& f : kExportFilters) {
        if (filter == QLatin1String(f.text)) return f.format;
    }
    return TableFormat::Csv;
}

} // namespace

std::vector<int> Form1::shownListColumns() const {
    std::vector<int> columns;
    const QHeaderView* header = m_list->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!m_list->isColumnHidden(logical) && m_list->columnWidth(logical) > 0)
            columns.push_back(logical);
    }
    return columns;
}

bool Form1::exportList() {
    if (m_session.rows.empty()) {
        showMessage(this, MessageIcon::Exclamation, kExportTitle,
                    QStringLiteral("The list is empty: there is nothing to export."));
        return false;
    }
    QStringList filters;
    for (const ExportFilter& f : kExportFilters)
        filters << QLatin1String(f.text);
    QString filter = m_exportFilter.isEmpty() ? filters.front() : m_exportFilter;
    QString suggested = m_exportPath;
    if (suggested.isEmpty()) {
        QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (dir.isEmpty() || !QFileInfo(dir).isDir()) dir = QDir::homePath();
        suggested = dir + QStringLiteral("/minerals.") +
                    qs(std::string(fileExtensionOf(formatOfFilter(filter))));
    }
    const QString chosen =
        fileDialogs().saveFileName(this, kExportTitle, suggested, filters, &filter);
    if (chosen.isEmpty()) return false;

    const ExportTarget target = exportTarget(utf8(chosen), formatOfFilter(filter));
    const QString path = qs(target.fileName);
    const std::string text = exportedListText(m_session.rows, shownListColumns(), target.format);
    // The file is written beside its final name and takes that name only when whole, so a
    // failed export leaves an earlier file of that name as it was.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) ==
                             static_cast<qint64>(text.size()) &&
                         file.commit();
    if (!written) {
        const QString reason = file.errorString();
        file.cancelWriting();
        showMessage(this, MessageIcon::Critical, kExportTitle,
                    QStringLiteral("The list could not be saved to \u201C%1\u201D.\n\n%2")
                        .arg(QDir::toNativeSeparators(path), reason));
        return false;
    }
    m_exportPath = path;
    m_exportFilter = filter;
    const qsizetype count = static_cast<qsizetype>(m_session.rows.size());
    Msg(QStringLiteral("%1 %2 exported to %3")
            .arg(count)
            .arg(count == 1 ? QStringLiteral("entry") : QStringLiteral("entries"),
                 QFileInfo(path).fileName()));
    return true;
}

bool Form1::copyCard() {
    if (m_session.card.currentCardNumber <= 0) {
        Msg(QStringLiteral("No card to copy"));
        return false;
    }
    QGuiApplication::clipboard()->setText(
        qs(cardPlainText(m_session.card, m_session.decimalSeparator)));
    Msg(QStringLiteral("Card of %1 copied").arg(qs(m_session.card.currentName)));
    return true;
}

} // namespace lithora::gui
