#pragma once

#include <QPageLayout>
#include <QPainter>
#include <QString>

#include "base/result.h"
#include "card/card_state.h"
#include "compare/card_compare.h"
#include "print/card_print.h"
#include "print/compare_print.h"

// Draws the core's page layout of a card with Qt: on a printer, on the print preview and into
// a PDF file. Device units throughout; fonts are sized in points by the device.
namespace lithora::gui {

// Measures texts as the device will draw them.
class QtTextMeasurer : public TextMeasurer {
  public:
    explicit QtTextMeasurer(QPaintDevice* device) : m_device(device) {}
    double width(std::string_view text, const PrintFont& font) const override;
    double lineHeight(const PrintFont& font) const override;

  private:
    QPaintDevice* m_device;
};

QFont printFont(const PrintFont& font, QPaintDevice* device);

// Draws a laid-out page on pages of the painter's device; newPage is called before each page
// after the first. Returns the number of pages drawn.
int paintPrintPage(QPainter& painter, const PrintPage& page, const std::function<bool()>& newPage);

// Draws pages laid out one by one (each item's y from its page's top); newPage is called before
// each page after the first. Returns the number of pages drawn.
int paintPrintPages(QPainter& painter, const std::vector<PrintPage>& pages,
                    const std::function<bool()>& newPage);

// Lays out and draws the card on pages of the painter's device; newPage is called before each
// page after the first. Returns the number of pages drawn.
int paintCardPages(QPainter& painter, const CardState& state, char decimalSeparator,
                   const std::function<bool()>& newPage);

// Writes the printed card as a PDF file (A4, 15 mm margins). Makes a GUI application on the
// offscreen platform when none runs, so that a command-line tool can call it.
Result<int> writeCardPdf(const CardState& state, const QString& file, char decimalSeparator);

// Lays out and draws a comparison of cards on pages of the painter's device.
int paintComparisonPages(QPainter& painter, const CardComparison& comparison,
                         const std::function<bool()>& newPage);

// Writes the printed comparison as a PDF file (A4 landscape, 15 mm margins).
Result<int> writeComparisonPdf(const CardComparison& comparison, const QString& file);

// Writes a PDF file (A4, 15 mm margins) with what paint draws on its pages; the title goes into
// the file's properties. Makes a GUI application on the offscreen platform when none runs.
Result<int> writePdf(const QString& file, const QString& title,
                     QPageLayout::Orientation orientation,
                     const std::function<int(QPainter&, const std::function<bool()>&)>& paint);

} // namespace lithora::gui
