#include "components/report/ReportPreview.h"

#include "components/report/ReportPdf.h"
#include "components/report/ReportRenderer.h"
#include "core/Dialogs.h"

#include <QAction>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QToolBar>

namespace report {

namespace {

PreviewRunner& runner()
{
    static PreviewRunner r;
    return r;
}

PrinterSetup& printerSetup()
{
    static PrinterSetup s;
    return s;
}

// Reports the rows printed to the progress window as the layout reads them, letting its
// window messages through.
class ProgressSource : public Source {
public:
    ProgressSource(Source& inner, QProgressDialog& progress) : inner_(inner), progress_(progress)
    {
    }
    void rewind() override
    {
        rows_ = 0;
        inner_.rewind();
    }
    bool fetch() override
    {
        if (++rows_ % 256 == 0) {
            progress_.setLabelText(QString("Imprimindo... %1 linhas").arg(rows_));
            progress_.setValue(0);
        }
        return inner_.fetch();
    }

private:
    Source& inner_;
    QProgressDialog& progress_;
    int rows_ = 0;
};

void pageSetup(QPrinter& printer, const Report& r)
{
    printer.setDocName(r.title);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(r.pageWidthMm, r.pageHeightMm),
                                                QPageSize::Millimeter),
                                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

const char* const kPrintFailed = "Não foi possível imprimir o relatório.";

void savePdf(Report& r, Source& source)
{
    const QString path = dialogs::current().saveFileName("Salvar PDF", r.title + ".pdf",
                                                         "Arquivos PDF (*.pdf)");
    if (path.isEmpty()) return;
    const PdfResult res = writePdf(r, source, path);
    if (!res.ok) dialogs::current().message(dialogs::Kind::Error, res.message);
}

}  // namespace

void setPreviewRunner(PreviewRunner r) { runner() = std::move(r); }

void setPrinterSetup(PrinterSetup setup) { printerSetup() = std::move(setup); }

bool print(Report& r, Source& source, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    pageSetup(printer, r);
    if (printerSetup()) printerSetup()(printer);
    QProgressDialog progress("Imprimindo...", QString(), 0, 0, parent);
    progress.setObjectName("QRProgress");
    progress.setWindowTitle(r.title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    ProgressSource counted(source, progress);
    const bool ok = renderReport(r, counted, printer).complete;
    progress.close();
    if (!ok) dialogs::current().message(dialogs::Kind::Error, kPrintFailed);
    return ok;
}

void preview(Report& r, Source& source, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    pageSetup(printer, r);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName("QRPreview");
    dialog.setWindowTitle(r.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* p) {
                         p->setFullPage(true);
                         if (!renderReport(r, source, *p).complete)
                             dialogs::current().message(dialogs::Kind::Error, kPrintFailed);
                     });
    if (QToolBar* bar = dialog.findChild<QToolBar*>()) {
        QAction* save = bar->addAction("Salvar PDF");
        save->setObjectName("SalvarPdf");
        QObject::connect(save, &QAction::triggered, &dialog, [&] { savePdf(r, source); });
    }
    if (runner()) runner()(dialog);
    else dialog.exec();
}

}  // namespace report
