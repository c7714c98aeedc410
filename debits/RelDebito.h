// The debit report TQRelDebito: the debit list query as it stands (order and group of the
// list window), one line per debit, then the number of debits printed and their total.
#pragma once

#include "components/report/DatasetSource.h"
#include "components/report/ReportDef.h"
#include "components/report/ReportPdf.h"

namespace db { class Query; }

class TQRelDebito {
public:
    // Reads `QDebito` from its first row to its last; neither opens, closes nor moves it.
    explicit TQRelDebito(db::Query& QDebito);

    report::Report& definition() { return report_; }
    report::DatasetSource& source() { return source_; }

    // Writes the report to a PDF file (complete or not at all).
    report::PdfResult gravarPdf(const QString& path);

    // The detail lines counted so far in the running print (0 between runs), and the
    // total of the last run as printed ("1234,50").
    int contador() const { return nrTotal_; }
    QString totalImpresso() const { return totalText_; }
    int nrImpresso() const { return nrPrinted_; }

    // The bands' hooks.
    void QRBand1BeforePrint(bool& printBand);
    void QRBand2BeforePrint(bool& printBand);
    void QRBand2AfterPrint();

private:
    report::Report report_;
    report::DatasetSource source_;
    int nrTotal_ = 0;
    double soma_ = 0;
    int nrPrinted_ = 0;
    QString totalText_;
};
