// The CSV of a planilha, as a spreadsheet set to Brazilian Portuguese reads it.
#include "collection/ArquivoAoLado.h"
#include "collection/Planilha.h"

#include <QDate>

#include <cmath>

namespace cobranca {

namespace {

QString decimal(double v, int casas)
{
    QString s = QString::number(v, 'f', casas);
    if (s.startsWith('-') && s.count('0') == s.size() - 2) s.remove(0, 1);  // no "-0,00"
    return s.replace('.', ',');
}

QString campo(const QString& s)
{
    if (!s.contains(';') && !s.contains('"') && !s.contains('\n') && !s.contains('\r'))
        return s;
    return '"' + QString(s).replace("\"", "\"\"") + '"';
}

// Rows written to the file in pieces of about this size.
constexpr qsizetype kBloco = 1 << 16;

}  // namespace

QString textoCsv(const QVariant& v, TipoColuna tipo)
{
    if (!v.isValid() || v.isNull()) return {};
    switch (tipo) {
    case TipoColuna::Texto: return v.toString();
    case TipoColuna::Inteiro: return QString::number(std::llround(v.toDouble()));
    case TipoColuna::Dinheiro: return decimal(v.toDouble(), 2);
    case TipoColuna::Data: return v.toDate().toString("dd/MM/yyyy");
    case TipoColuna::Mes: return v.toDate().toString("MM/yyyy");
    case TipoColuna::Taxa: return decimal(v.toDouble() * 100, 2) + '%';
    }
    return {};
}

ResultadoPlanilha gravarCsv(const QString& path, Planilha& p)
{
    ResultadoPlanilha out;
    ArquivoAoLado file(path);
    if (!file.criar()) {
        out.mensagem = file.erro();
        return out;
    }
    QByteArray buffer("\xEF\xBB\xBF");
    QStringList linha;
    for (const Coluna& c : p.colunas) linha << campo(c.titulo);
    buffer += linha.join(';').toUtf8() + "\r\n";
    QVector<QVariant> celulas;
    while (p.proxima(celulas)) {
        linha.clear();
        for (int i = 0; i < p.colunas.size(); ++i)
            linha << campo(textoCsv(celulas.value(i), p.colunas.at(i).tipo));
        buffer += linha.join(';').toUtf8() + "\r\n";
        ++out.linhas;
        if (buffer.size() >= kBloco) {
            if (!file.gravar(buffer)) {
                out.mensagem = file.erro();
                return out;
            }
            buffer.clear();
        }
    }
    if (!file.gravar(buffer) || !file.colocar()) {
        out.mensagem = file.erro();
        return out;
    }
    out.ok = true;
    return out;
}

ResultadoPlanilha gravarPlanilha(const QString& path, Planilha& p)
{
    return path.endsWith(".xlsx", Qt::CaseInsensitive) ? gravarXlsx(path, p) : gravarCsv(path, p);
}

}  // namespace cobranca
