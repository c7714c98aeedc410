// A banded report written straight to a PDF file: A4, full page, drawn by the one renderer.
// The file appears complete under its name, or not at all.
#pragma once

#include "components/report/ReportLayout.h"

namespace report {

struct PdfResult {
    bool ok = false;
    QString message;  // what went wrong and what to correct (Portuguese), when not ok
    LayoutResult layout;
};

PdfResult writePdf(Report& r, Source& source, const QString& path);

}  // namespace report
