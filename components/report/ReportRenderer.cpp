#include "components/report/ReportRenderer.h"

#include <QPagedPaintDevice>
#include <QPainter>

namespace report {

void renderPage(QPainter& painter, const Page& page, double dotsPerMm)
{
    QPen solid(Qt::black, 0.2 * dotsPerMm);
    QPen dotted(Qt::black, 0.15 * dotsPerMm, Qt::DotLine);
    for (const LineBox& l : page.lines) {
        painter.setPen(l.style == LineStyle::Dotted ? dotted : solid);
        painter.drawLine(QLineF(l.lineMm.p1() * dotsPerMm, l.lineMm.p2() * dotsPerMm));
    }
    painter.setPen(Qt::black);
    int current = -1;
    for (const TextBox& t : page.texts) {
        if (t.text.isEmpty()) continue;
        if (t.font != current) {
            current = t.font;
            painter.setFont(TextMeasure::qfont(page.fonts->at(current)));
        }
        painter.drawText(t.baselineMm * dotsPerMm, t.text);
    }
}

LayoutResult renderReport(Report& r, Source& source, QPagedPaintDevice& device)
{
    return renderReports({{&r, &source}}, device);
}

LayoutResult renderReports(const QVector<ReportPart>& parts, QPagedPaintDevice& device)
{
    QPainter painter;
    if (!painter.begin(&device)) return {};
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    LayoutResult total{true, 0, 0};
    for (const ReportPart& part : parts) {
        const LayoutResult result = layoutReport(*part.report, *part.source, [&](const Page& page) {
            if (total.pages + page.number > 1 && !device.newPage()) return false;
            renderPage(painter, page, dotsPerMm);
            return true;
        });
        total.pages += result.pages;
        total.details += result.details;
        if (!result.complete) {
            total.complete = false;
            break;
        }
    }
    if (!painter.end()) total.complete = false;
    return total;
}

}  // namespace report
