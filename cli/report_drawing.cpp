// The plot module's one-page report: what was measured, the figures, the chart and a line for
// the signature, written as PDF with QPdfWriter so that the text stays text (pdftotext reads it).
#include <QPdfWriter>
#include <QSaveFile>

#include "spc_drawing.h"

namespace {

constexpr int kDpi = 96;  // the page's units: an A4 page is 794 x 1123 of them
constexpr double kMargin = 48;

// Lines of "name: text", the text wrapped within the page; the height used.
double drawMeasured(QPainter &painter, const QRectF &area,
                    const std::vector<std::pair<std::string, std::string>> &lines) {
    const QFontMetrics fm = painter.fontMetrics();
    const double nameWidth = 110;
    double y = area.top();
    for (const auto &[name, text] : lines) {
        const QRectF textArea(area.left() + nameWidth, y, area.width() - nameWidth, 1000);
        const QRectF used =
            painter.boundingRect(textArea, Qt::TextWordWrap, QString::fromStdString(text));
        painter.drawText(QRectF(area.left(), y, nameWidth, fm.height()), Qt::AlignLeft,
                         QString::fromStdString(name + ":"));
        painter.drawText(textArea, Qt::TextWordWrap, QString::fromStdString(text));
        y += std::max<double>(used.height(), fm.height()) + 2;
    }
    return y - area.top();
}

// The figures as a table of name, value and note; the height used.
double drawFigures(QPainter &painter, const QRectF &area, const std::vector<FigureRow> &rows) {
    const QFontMetrics fm = painter.fontMetrics();
    double y = area.top();
    for (const FigureRow &r : rows) {
        painter.drawText(QRectF(area.left(), y, 300, fm.height()), Qt::AlignLeft,
                         QString::fromStdString(r.name));
        painter.drawText(QRectF(area.left() + 230, y, 90, fm.height()), Qt::AlignRight,
                         QString::fromStdString(r.value));
        painter.drawText(QRectF(area.left() + 336, y, area.width() - 336, fm.height()),
                         Qt::AlignLeft, QString::fromStdString(r.note));
        y += fm.height() + 1;
    }
    return y - area.top();
}

void drawReport(QPainter &painter, const QRectF &page, const Report &report) {
    double y = page.top();
    painter.setFont(ChartFont(20, true));
    painter.drawText(QRectF(page.left(), y, page.width(), 30), Qt::AlignLeft,
                     QString::fromStdString(report.title));
    y += 40;
    painter.setFont(ChartFont(11));
    y += drawMeasured(painter, QRectF(page.left(), y, page.width(), 0), report.measured) + 12;
    painter.setPen(QPen(Qt::black, 0));
    painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
    y += 10;
    y += drawFigures(painter, QRectF(page.left(), y, page.width(), 0), report.figures) + 16;

    const double signature = 70;
    const QRectF chart(page.left(), y + painter.fontMetrics().height(), page.width(),
                       page.bottom() - signature - y - painter.fontMetrics().height());
    painter.setFont(ChartFont(10));
    if (report.control) DrawControlChart(painter, chart, *report.control);
    if (report.gauge) DrawGaugeChart(painter, chart, *report.gauge);

    painter.setFont(ChartFont(11));
    painter.setPen(QPen(Qt::black, 0));
    const double line = page.bottom() - 20;
    const double third = page.width() / 3;
    for (int i = 0; i < 3; ++i)
        painter.drawLine(QPointF(page.left() + i * third, line),
                         QPointF(page.left() + (i + 1) * third - 20, line));
    const char *labels[] = {"Name", "Date", "Signature"};
    for (int i = 0; i < 3; ++i)
        painter.drawText(QPointF(page.left() + i * third, line + 16), labels[i]);
}

}  // namespace

extern "C" Q_DECL_EXPORT bool KtavWriteReport(const Report &report, const QString &out) {
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly)) return false;
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(kDpi);
        pdf.setTitle(QString::fromStdString(report.title));
        pdf.setCreator("k-tav-cli " KTAV_VERSION);
        QPainter painter(&pdf);
        if (!painter.isActive()) return false;
        const QRectF page(kMargin, kMargin, pdf.width() - 2 * kMargin, pdf.height() - 2 * kMargin);
        drawReport(painter, page, report);
    }
    return file.commit();
}
