// The XLSX of a planilha, through libxlsxwriter, one row at a time (constant memory).
#include "collection/ArquivoAoLado.h"
#include "collection/Planilha.h"

#include <QDate>
#include <QFile>

#include <xlsxwriter.h>

#include <cmath>

namespace cobranca {

namespace {

// The sheet's name: at most 31 characters, none of []:*?/\ .
QByteArray nomeDaFolha(QString nome)
{
    for (const QChar ch : QStringLiteral("[]:*?/\\")) nome.replace(ch, ' ');
    nome = nome.trimmed().left(31);
    return (nome.isEmpty() ? QStringLiteral("Planilha") : nome).toUtf8();
}

class Livro {
public:
    explicit Livro(const QString& path)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        wb_ = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    }
    ~Livro()
    {
        if (wb_) workbook_close(wb_);  // a workbook left half-way is only freed
    }
    lxw_workbook* get() const { return wb_; }
    lxw_error fechar()
    {
        const lxw_error e = workbook_close(wb_);
        wb_ = nullptr;
        return e;
    }

private:
    lxw_workbook* wb_ = nullptr;
};

}  // namespace

ResultadoPlanilha gravarXlsx(const QString& path, Planilha& p)
{
    ResultadoPlanilha out;
    ArquivoAoLado file(path);
    if (!file.criar()) {
        out.mensagem = file.erro();
        return out;
    }
    file.soltar();
    Livro livro(file.temporario());
    if (!livro.get()) {
        out.mensagem = "Não foi possível criar a planilha " + path + ": verifique a pasta.";
        return out;
    }
    const QByteArray nome = nomeDaFolha(p.nome);
    lxw_worksheet* ws = workbook_add_worksheet(livro.get(), nome.constData());
    lxw_format* titulo = workbook_add_format(livro.get());
    format_set_bold(titulo);
    lxw_format* dinheiro = workbook_add_format(livro.get());
    format_set_num_format(dinheiro, "0.00");
    lxw_format* data = workbook_add_format(livro.get());
    format_set_num_format(data, "dd/mm/yyyy");
    lxw_format* mes = workbook_add_format(livro.get());
    format_set_num_format(mes, "mm/yyyy");
    lxw_format* taxa = workbook_add_format(livro.get());
    format_set_num_format(taxa, "0.00%");

    bool escrito = true;
    auto ok = [&](lxw_error e) { escrito = escrito && e == LXW_NO_ERROR; };
    for (int i = 0; i < p.colunas.size(); ++i) {
        const Coluna& c = p.colunas.at(i);
        ok(worksheet_set_column(ws, lxw_col_t(i), lxw_col_t(i), c.largura, nullptr));
        ok(worksheet_write_string(ws, 0, lxw_col_t(i), c.titulo.toUtf8().constData(), titulo));
    }
    worksheet_freeze_panes(ws, 1, 0);
    QVector<QVariant> celulas;
    lxw_row_t row = 0;
    while (escrito && p.proxima(celulas)) {
        if (++row >= LXW_ROW_MAX) {
            out.mensagem = "A lista tem mais linhas do que cabem numa planilha XLSX: exporte-a "
                           "em CSV.";
            return out;
        }
        for (int i = 0; i < p.colunas.size(); ++i) {
            const QVariant v = celulas.value(i);
            if (!v.isValid() || v.isNull()) continue;
            const lxw_col_t col = lxw_col_t(i);
            switch (p.colunas.at(i).tipo) {
            case TipoColuna::Texto:
                if (const QString s = v.toString(); !s.isEmpty())
                    ok(worksheet_write_string(ws, row, col, s.toUtf8().constData(), nullptr));
                break;
            case TipoColuna::Inteiro:
                ok(worksheet_write_number(ws, row, col, std::round(v.toDouble()), nullptr));
                break;
            case TipoColuna::Dinheiro:
                ok(worksheet_write_number(ws, row, col, v.toDouble(), dinheiro));
                break;
            case TipoColuna::Taxa:
                ok(worksheet_write_number(ws, row, col, v.toDouble(), taxa));
                break;
            case TipoColuna::Data:
            case TipoColuna::Mes: {
                const QDate d = v.toDate();
                if (!d.isValid()) break;
                lxw_datetime dt{d.year(), d.month(), d.day(), 0, 0, 0};
                ok(worksheet_write_datetime(ws, row, col, &dt,
                                            p.colunas.at(i).tipo == TipoColuna::Data ? data : mes));
                break;
            }
            }
        }
        ++out.linhas;
    }
    if (!escrito || livro.fechar() != LXW_NO_ERROR) {
        out.mensagem = "Não foi possível gravar a planilha " + path + ": verifique o espaço "
                       "livre no disco e a pasta.";
        return out;
    }
    if (!file.colocar()) {
        out.mensagem = file.erro();
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace cobranca
