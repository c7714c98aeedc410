// The one renderer of the banded reports: pages of the layout pass drawn with QPainter on any
// paged device (the preview's printer, a printer, a PDF writer), page after page as the layout
// produces them.
#pragma once

#include "components/report/ReportLayout.h"

class QPainter;
class QPagedPaintDevice;

namespace report {

// Draws one page; `dotsPerMm` converts the page's millimetres to the painter's device.
void renderPage(QPainter& painter, const Page& page, double dotsPerMm);

// Lays `r` out over `source` and draws every page on `device`, which must measure its page
// from the paper's corner (full page, no margins of its own). `complete` false in the result
// when the painter could not start or a new page could not be begun.
LayoutResult renderReport(Report& r, Source& source, QPagedPaintDevice& device);

}  // namespace report
