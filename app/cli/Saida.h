// Where a list goes from tolmare-cli: one of --csv F, --xlsx F or --pdf F.
#pragma once

#include "app/cli/Cli.h"
#include "collection/Planilha.h"
#include "components/report/ReportPdf.h"

#include <functional>

#include <optional>

namespace cli {

struct Saida {
    enum class Tipo { Csv, Xlsx, Pdf };
    Tipo tipo = Tipo::Csv;
    QString caminho;
};

// Takes the output options out of ctx's arguments. nullopt when none or more than one was
// given (or --pdf where `pdf` is false); the caller then shows its usage.
std::optional<Saida> lerSaida(Context& ctx, bool pdf = true);

// Writes the planilha as CSV or XLSX and says so on `out` ("Planilha: F (N linhas)"); the
// error on `err`. The exit code.
int gravar(Context& ctx, const Saida& s, cobranca::Planilha p);

// A list to where `s` says: the planilha as above, or the PDF `pdf` writes ("PDF: F"). Errors
// of the tables are said on `err`. The exit code.
int gravarLista(Context& ctx, const Saida& s, const std::function<cobranca::Planilha()>& planilha,
                const std::function<report::PdfResult(const QString& path)>& pdf);

}  // namespace cli
