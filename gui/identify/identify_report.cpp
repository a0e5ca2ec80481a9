#include "identify/identify_report.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

#include "print/card_page_painter.h"

namespace lithora::gui {

namespace {

// The report is laid out for the device it is drawn on: its fonts and page size.
int paintReport(QPainter& painter, const IdentificationReport& report,
                const std::function<bool()>& newPage) {
    QPaintDevice* device = painter.device();
    const QtTextMeasurer measurer(device);
    return paintPrintPages(
        painter, layoutIdentificationReport(report, device->width(), device->height(), measurer),
        newPage);
}

} // namespace

void previewIdentificationReport(QWidget* parent, const IdentificationReport& report) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(QString::fromStdString(report.title));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Print Identification Report"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&report](QPrinter* target) {
                         QPainter painter(target);
                         paintReport(painter, report, [target] { return target->newPage(); });
                     });
    preview.exec();
}

bool writeIdentificationReportPdf(const IdentificationReport& report, const QString& path) {
    const Result<int> written =
        writePdf(path, QString::fromStdString(report.title), QPageLayout::Portrait,
                 [&report](QPainter& painter, const std::function<bool()>& newPage) {
                     return paintReport(painter, report, newPage);
                 });
    return static_cast<bool>(written);
}

} // namespace lithora::gui
