#pragma once

#include <QString>

#include "print/identify_print.h"

class QWidget;

// The identification report drawn with Qt: a print preview from which it is printed or saved,
// and a PDF file written directly (A4). Portrait pages, laid out for the device drawn on.
namespace lithora::gui {

// Opens the print preview of the report over parent (modal).
void previewIdentificationReport(QWidget* parent, const IdentificationReport& report);

// False when the file cannot be written.
bool writeIdentificationReportPdf(const IdentificationReport& report, const QString& path);

} // namespace lithora::gui
