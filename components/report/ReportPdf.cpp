#include "components/report/ReportPdf.h"

#include "components/report/ReportRenderer.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>

namespace report {

namespace {

QString failure(const QString& path, const QString& why)
{
    return QString("Não foi possível gravar o PDF \"%1\": %2. Escolha outra pasta ou outro "
                   "nome de arquivo.")
        .arg(QDir::toNativeSeparators(path), why);
}

}  // namespace

PdfResult writePdf(Report& r, Source& source, const QString& path)
{
    PdfResult out;
    if (path.trimmed().isEmpty()) {
        out.message = "Informe o nome do arquivo PDF.";
        return out;
    }
    if (QFileInfo(path).isDir()) {
        out.message = failure(path, "é uma pasta");
        return out;
    }
    // Written under a temporary name and renamed when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        out.message = failure(path, file.errorString());
        return out;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setTitle(r.title);
        writer.setCreator("Tolmare");
        writer.setPageLayout(QPageLayout(QPageSize(QSizeF(r.pageWidthMm, r.pageHeightMm),
                                                   QPageSize::Millimeter),
                                         QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        out.layout = renderReport(r, source, writer);
    }
    if (!out.layout.complete) {
        file.cancelWriting();
        out.message = failure(path, file.error() != QFileDevice::NoError ? file.errorString()
                                                                          : QString("falha ao desenhar as páginas"));
        return out;
    }
    if (!file.commit()) {
        out.message = failure(path, file.errorString());
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace report
