// The collection panel on paper: a chart of the amounts sent and received per month with the
// collection rate as a line, then the table of the months. One drawing for the printer and
// PDF, landscape A4.
#pragma once

#include "collection/Painel.h"
#include "components/report/ReportPdf.h"

class QPagedPaintDevice;

namespace cobranca {

// Page size of the panel, in millimetres (A4 landscape).
constexpr double kPainelLarguraMm = 297, kPainelAlturaMm = 210;

// Draws the panel on `device` (measured from the paper's corner); false when the painter
// could not start or a page could not be begun.
bool desenharPainel(QPagedPaintDevice& device, const QVector<MesPainel>& meses);

// Writes it to a PDF file, complete or not at all.
report::PdfResult gravarPainelPdf(const QString& path, const QVector<MesPainel>& meses);

// The texts of a month's row in the table, in column order (also the window's table).
QStringList colunasPainel();
QStringList linhaPainel(const MesPainel& m);

}  // namespace cobranca
