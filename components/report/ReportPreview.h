// The on-screen preview of a banded report: QPrintPreviewDialog titled with the report's
// title, from which the operator prints (the print dialog) or saves a PDF ("Salvar PDF").
// Every showing and every print lays the report out again from the first row.
#pragma once

#include "components/report/ReportDef.h"

#include <functional>

class QPrintPreviewDialog;
class QWidget;

namespace report {

// Shows the preview modally and returns when it closes.
void preview(Report& r, Source& source, QWidget* parent = nullptr);

// How the preview dialog is run; tests replace it so that nothing waits for an operator.
// nullptr: the dialog's exec().
using PreviewRunner = std::function<void(QPrintPreviewDialog&)>;
void setPreviewRunner(PreviewRunner runner);

}  // namespace report
