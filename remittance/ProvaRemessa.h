// The written remittance file read back before it is handed over: its records must be what
// PREVI expects and must add up to what the generation counted. A file that fails this is
// never put in place.
#pragma once

#include "core/TextHelpers.h"

#include <QString>

namespace remessa {

// Reads the file at `path`: every record 49 characters ended by CR LF, a header ("0") first,
// detail records ("1") between, a trailer ("9") last; the trailer's count and total equal to
// the detail records read back, and both equal to `registros` and `total` (in ten-thousandths,
// written in hundredths truncated). Returns an empty text, or what differed, in Portuguese.
QString provarArquivo(const QString& path, qint64 registros, Currency total);

}  // namespace remessa
