#include "components/report/ReportPreview.h"

#include "components/report/ReportPdf.h"
#include "components/report/ReportRenderer.h"
#include "core/Dialogs.h"

#include <QAction>
#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace report {

namespace {

PreviewRunner& runner()
{
    static PreviewRunner r;
    return r;
}

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

void preview(Report& r, Source& source, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(r.title);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(r.pageWidthMm, r.pageHeightMm),
                                                QPageSize::Millimeter),
                                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName("QRPreview");
    dialog.setWindowTitle(r.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&](QPrinter* p) {
                         p->setFullPage(true);
                         if (!renderReport(r, source, *p).complete)
                             dialogs::current().message(dialogs::Kind::Error,
                                                        "Não foi possível imprimir o relatório.");
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
