// The items the program's reports are made of: fonts standing in for Arial, fixed captions,
// a dataset field of the current row, and the "##0.00" form of the reports' totals.
#pragma once

#include "components/report/DatasetSource.h"
#include "components/report/ReportDef.h"

namespace report {

Font arial(double points, bool bold = false);

// A fixed text in Arial `points`, one millimetre below the top of its band.
Item caption(const QString& text, double leftMm, double points = 8, bool bold = false);

// A field of `src`'s current row, shown as the dataset's controls show it, in its box (Arial 8
// unless `points` says otherwise).
Item field(DatasetSource& src, const QString& name, double leftMm, double widthMm, Align align,
           double points = 8);

// The summary band of the program's lists, 5.8 mm with a solid line below, in Arial 10 bold:
// `countCaption` at 23.5 mm, the count box "LNrTotal" right-aligned at 61.6 mm (11.9 mm wide,
// holding `countCaption` until a hook writes it), "Valor Total" at 83.9 mm and the total box
// "Soma" right-aligned at 101.1 mm (28.8 mm wide).
Band countAndTotalSummary(const QString& countCaption);

// An amount as "##0.00": two decimals, decimal comma, no thousands separator.
QString money(double v);

}  // namespace report
