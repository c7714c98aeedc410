// Test support: the text of a PDF file as pdftotext lays it out ("-layout"), pages separated
// by form feeds; "<pdftotext failed>" when it could not be read.
#pragma once

#include <QString>

namespace testdata {

QString pdfText(const QString& path);

}  // namespace testdata
