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
    QPainter painter;
    if (!painter.begin(&device)) return {};
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    const LayoutResult result = layoutReport(r, source, [&](const Page& page) {
        if (page.number > 1 && !device.newPage()) return false;
        renderPage(painter, page, dotsPerMm);
        return true;
    });
    if (!painter.end()) return LayoutResult{false, result.pages, result.details};
    return result;
}

}  // namespace report
