// The return report TQRelRetorno: the RET_DEBITO rows within the table's range, those the
// filter's reason item selects, then the number of rows printed and their total; and, for the
// treasurer's month end, a page of counts and totals per reason after it.
#pragma once

#include "components/report/DatasetSource.h"
#include "components/report/ReportDef.h"
#include "components/report/ReportPdf.h"
#include "remittance/FiltroRetorno.h"

#include <QMap>

#include <functional>
#include <memory>

namespace db { class Table; }

namespace retorno {

// The rows printed with one reason; the blank reason (the debit went through) is "Debitado".
struct TotalMotivo {
    QString motivo;
    int quantidade = 0;
    double valor = 0;
};

}  // namespace retorno

class TQRelRetorno {
public:
    // Reads `TRet_Debito` within its range from its first row to its last without moving it;
    // `motivo` is asked for each row while the report runs (the filter window's CBMotivo).
    TQRelRetorno(db::Table& TRet_Debito, std::function<retorno::Motivo()> motivo);
    ~TQRelRetorno();

    report::Report& definition() { return report_; }
    report::DatasetSource& source() { return source_; }

    // Writes the report to a PDF file (complete or not at all); with `porMotivo`, the page of
    // counts and totals per reason follows the report's pages.
    report::PdfResult gravarPdf(const QString& path, bool porMotivo = false);

    // The rows counted so far in the running print (0 between runs); the count, the total as
    // printed ("1234,50") and the totals per reason (ordered by reason, "Debitado" first) of
    // the last run.
    int contador() const { return nrTotal_; }
    int nrImpresso() const { return nrPrinted_; }
    QString totalImpresso() const { return totalText_; }
    QVector<retorno::TotalMotivo> porMotivo() const;

    // The bands' hooks.
    void DetailBeforePrint(bool& printBand);
    void SummaryBeforePrint(bool& printBand);
    void SummaryAfterPrint();

private:
    class ResumoSource;
    report::Report report_;
    report::DatasetSource source_;
    std::function<retorno::Motivo()> motivo_;
    int nrTotal_ = 0;
    double soma_ = 0;
    QMap<QString, retorno::TotalMotivo> motivos_;  // of the running print
    int nrPrinted_ = 0;
    QString totalText_;
    QMap<QString, retorno::TotalMotivo> motivosImpressos_;
    report::Report resumo_;
    std::unique_ptr<ResumoSource> resumoSource_;
};
