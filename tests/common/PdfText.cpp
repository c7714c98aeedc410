#include "tests/common/PdfText.h"

#include <QProcess>

namespace testdata {

QString pdfText(const QString& path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return "<pdftotext failed>";
    return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace testdata
