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

int paintCardPages(QPainter& painter, const CardState& state, char decimalSeparator,
                   const std::function<bool()>& newPage) {
    QPaintDevice* device = painter.device();
    const QtTextMeasurer measurer(device);
    const PrintPage page = layoutCardPage(state, device->width(), measurer, decimalSeparator);
    const double pageHeight = device->height();
    int current = 0;
    for (const PrintItem& item : page.items) {
        // A card longer than a page goes on over further pages.
        const int itemPage = static_cast<int>(std::floor(item.y / pageHeight));
        while (current < itemPage) {
            if (!newPage || !newPage()) return current + 1;
            ++current;
        }
        const double y = item.y - current * pageHeight;
        if (item.kind == PrintItem::Kind::Rule) {
            painter.setPen(QPen(Qt::black, 0));
            painter.drawLine(QPointF(item.x, y), QPointF(item.x2, y));
            continue;
        }
        const QFont font = printFont(item.font, device);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(item.x, y + QFontMetricsF(font, device).ascent()),
                         qtext(item.text));
    }
    return current + 1;
}

Result<int> writeCardPdf(const CardState& state, const QString& file, char decimalSeparator) {
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // A tool's output is its own: Qt's notes about the session go nowhere.
        qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext&, const QString& message) {
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
    QPdfWriter writer(file);
    writer.setTitle(qtext(state.currentName));
    writer.setCreator(QStringLiteral("Lithora"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        return makeError(ErrorCode::WriteFailed, "cannot write the PDF file " + file.toStdString());
    }
    const int pages =
        paintCardPages(painter, state, decimalSeparator, [&writer] { return writer.newPage(); });
    if (!painter.end())
        return makeError(ErrorCode::WriteFailed, "cannot write the PDF file " + file.toStdString());
    return pages;
}

} // namespace lithora::gui
