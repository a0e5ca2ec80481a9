#include "print/card_page_painter.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <cmath>
#include <cstdio>

namespace lithora::gui {

namespace {

QString qtext(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QFont printFont(const PrintFont& font, QPaintDevice* device) {
    QFont f(QStringLiteral("Arial"), -1);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(font.points);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    return QFont(f, device);
}

double QtTextMeasurer::width(std::string_view text, const PrintFont& font) const {
    return QFontMetricsF(printFont(font, m_device), m_device).horizontalAdvance(qtext(text));
}

double QtTextMeasurer::lineHeight(const PrintFont& font) const {
    return QFontMetricsF(printFont(font, m_device), m_device).lineSpacing();
}

namespace {

void paintItem(QPainter& painter, const PrintItem& item, double top) {
    const double y = item.y - top;
    if (item.kind == PrintItem::Kind::Rule) {
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(item.x, y), QPointF(item.x2, y));
        return;
    }
    if (item.kind == PrintItem::Kind::Line) {
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(item.x, y), QPointF(item.x2, item.y2 - top));
        return;
    }
    QPaintDevice* device = painter.device();
    const QFont font = printFont(item.font, device);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(item.x, y + QFontMetricsF(font, device).ascent()), qtext(item.text));
}

} // namespace

int paintPrintPage(QPainter& painter, const PrintPage& page, const std::function<bool()>& newPage) {
    const double pageHeight = painter.device()->height();
    int current = 0;
    for (const PrintItem& item : page.items) {
        // A layout longer than a page goes on over further pages.
        const int itemPage = static_cast<int>(std::floor(item.y / pageHeight));
        while (current < itemPage) {
            if (!newPage || !newPage()) return current + 1;
            ++current;
        }
        paintItem(painter, item, current * pageHeight);
    }
    return current + 1;
}

int paintPrintPages(QPainter& painter, const std::vector<PrintPage>& pages,
                    const std::function<bool()>& newPage) {
    int drawn = 0;
    for (const PrintPage& page : pages) {
        if (drawn > 0 && (!newPage || !newPage())) break;
        for (const PrintItem& item : page.items)
            paintItem(painter, item, 0.0);
        ++drawn;
    }
    return drawn;
}

int paintCardPages(QPainter& painter, const CardState& state, char decimalSeparator,
                   const std::function<bool()>& newPage) {
    QPaintDevice* device = painter.device();
    const QtTextMeasurer measurer(device);
    return paintPrintPage(
        painter, layoutCardPage(state, device->width(), measurer, decimalSeparator), newPage);
}

int paintComparisonPages(QPainter& painter, const CardComparison& comparison,
                         const std::function<bool()>& newPage) {
    QPaintDevice* device = painter.device();
    const QtTextMeasurer measurer(device);
    return paintPrintPage(
        painter, layoutComparisonPage(comparison, device->width(), device->height(), measurer),
        newPage);
}

namespace {

// A command-line tool has no application; the PDF writer needs one for its fonts.
void ensureGuiApplication() {
    if (QGuiApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A tool's output is its own: Qt's notes about the session go nowhere.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    static int argc = 1;
    static char name[] = "lithora";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: destroying it among the static objects would pull Qt's
    // own globals away under it.
    new QGuiApplication(argc, argv);
}

} // namespace

Result<int> writePdf(const QString& file, const QString& title,
                     QPageLayout::Orientation orientation,
                     const std::function<int(QPainter&, const std::function<bool()>&)>& paint) {
    ensureGuiApplication();
    QPdfWriter writer(file);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Lithora"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return makeError(ErrorCode::WriteFailed, "cannot write the PDF file " + file.toStdString());
    }
    const int pages = paint(painter, [&writer] { return writer.newPage(); });
    if (!painter.end())
        return makeError(ErrorCode::WriteFailed, "cannot write the PDF file " + file.toStdString());
    return pages;
}

Result<int> writeCardPdf(const CardState& state, const QString& file, char decimalSeparator) {
    return writePdf(file, qtext(state.currentName), QPageLayout::Portrait,
                    [&](QPainter& painter, const std::function<bool()>& newPage) {
                        return paintCardPages(painter, state, decimalSeparator, newPage);
                    });
}

Result<int> writeComparisonPdf(const CardComparison& comparison, const QString& file) {
    return writePdf(file, qtext(kComparisonTitle), QPageLayout::Landscape,
                    [&](QPainter& painter, const std::function<bool()>& newPage) {
                        return paintComparisonPages(painter, comparison, newPage);
                    });
}

} // namespace lithora::gui
