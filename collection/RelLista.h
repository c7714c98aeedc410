// A list printed as a banded report: the planilha's columns across the page, one detail line
// per row, and summary lines after the last (count, totals). The arrears and a member's
// history print through it; the preview, the printer and PDF draw it alike.
#pragma once

#include "collection/Planilha.h"
#include "components/report/ReportDef.h"
#include "components/report/ReportPdf.h"

#include <functional>

namespace cobranca {

class RelLista {
public:
    // `make` gives the rows anew at every run (a preview lays the report out more than once);
    // `titulo` heads every page, `subtitulo` (may be empty) under it; `resumo` is printed
    // after the last row, one line each.
    RelLista(QString titulo, QString subtitulo, std::function<Planilha()> make,
             QStringList resumo);
    ~RelLista();

    report::Report& definition() { return report_; }
    report::Source& source();
    report::PdfResult gravarPdf(const QString& path);

private:
    class Fonte;
    report::Report report_;
    std::unique_ptr<Fonte> fonte_;
};

// The report of the arrears list, with the filter it was made with named under the title.
std::unique_ptr<RelLista> relInadimplentes(const struct Inadimplencia& lista, int minimo,
                                           const QString& grupo);
// The report of a member's history.
std::unique_ptr<RelLista> relExtrato(const struct Extrato& extrato);

}  // namespace cobranca
