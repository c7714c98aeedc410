#include "collection/RelLista.h"

#include "collection/Listas.h"
#include "components/report/ReportItems.h"

namespace cobranca {

using report::Align;

class RelLista::Fonte : public report::Source {
public:
    explicit Fonte(std::function<Planilha()> make) : make_(std::move(make)) {}
    void rewind() override { atual_ = make_(); }
    bool fetch() override { return atual_.proxima && atual_.proxima(celulas_); }
    const QVector<QVariant>& celulas() const { return celulas_; }
    const Planilha& atual() const { return atual_; }

private:
    std::function<Planilha()> make_;
    Planilha atual_;
    QVector<QVariant> celulas_;
};

RelLista::RelLista(QString titulo, QString subtitulo, std::function<Planilha()> make,
                   QStringList resumo)
    : fonte_(std::make_unique<Fonte>(std::move(make)))
{
    report_.title = titulo;
    fonte_->rewind();
    const QVector<Coluna> colunas = fonte_->atual().colunas;
    double soma = 0;
    for (const Coluna& c : colunas) soma += c.largura;
    const double escala = (report_.contentWidthMm() - 1) / std::max(soma, 1.0);

    report::Band& header = report_.pageHeader;
    header.heightMm = subtitulo.isEmpty() ? 12.0 : 16.0;
    header.lineBelow = report::LineStyle::Solid;
    header.items << report::caption(titulo, 0.5, 11, true);
    if (!subtitulo.isEmpty()) {
        report::Item sub = report::caption(subtitulo, 0.5, 8);
        sub.topMm = 6.0;
        header.items << sub;
    }
    report::Band& detail = report_.detail;
    detail.heightMm = 5.0;
    detail.lineBelow = report::LineStyle::Dotted;
    double left = 0.5;
    for (int i = 0; i < colunas.size(); ++i) {
        const Coluna& c = colunas.at(i);
        const double width = c.largura * escala - 1;
        const bool direita = c.tipo == TipoColuna::Inteiro || c.tipo == TipoColuna::Dinheiro
                             || c.tipo == TipoColuna::Taxa;
        report::Item h = report::caption(c.titulo, left, 8, true);
        h.topMm = header.heightMm - 5.0;
        h.widthMm = width;
        h.align = direita ? Align::Right : Align::Left;
        header.items << h;
        report::Item d = report::caption({}, left, 8);
        d.widthMm = width;
        d.align = h.align;
        d.value = [this, i, tipo = c.tipo] { return textoCsv(fonte_->celulas().value(i), tipo); };
        detail.items << d;
        left += c.largura * escala;
    }
    report_.summary.heightMm = 1.0 + 5.5 * resumo.size();
    report_.summary.lineBelow = report::LineStyle::Solid;
    for (int i = 0; i < resumo.size(); ++i) {
        report::Item s = report::caption(resumo.at(i), 0.5, 10, true);
        s.topMm = 1.0 + 5.5 * i;
        report_.summary.items << s;
    }
}

RelLista::~RelLista() = default;

report::Source& RelLista::source() { return *fonte_; }

report::PdfResult RelLista::gravarPdf(const QString& path)
{
    return report::writePdf(report_, *fonte_, path);
}

std::unique_ptr<RelLista> relInadimplentes(const Inadimplencia& lista, int minimo,
                                           const QString& grupo)
{
    QString filtro = QString("Com %1 mês(es) devolvido(s) ou mais desde o último recebido")
                         .arg(std::max(minimo, 1));
    if (!grupo.isEmpty()) filtro += "; grupo " + grupo;
    return std::make_unique<RelLista>(
        "Inadimplentes", filtro, [&lista] { return planilhaInadimplentes(lista); },
        QStringList{QString("Associados: %1    Valor total: %2")
                        .arg(lista.linhas.size())
                        .arg(report::money(lista.total))});
}

std::unique_ptr<RelLista> relExtrato(const Extrato& e)
{
    QString quem = QString::number(e.assId, 'f', 0);
    if (e.existe) quem += " - " + e.nome.trimmed() + "  (matrícula " + e.matricula + ")";
    return std::make_unique<RelLista>(
        "Extrato do associado", quem, [&e] { return planilhaExtrato(e); },
        QStringList{QString("Meses: %1    Enviado: %2    Recebido: %3    Devolvido: %4")
                        .arg(e.meses.size())
                        .arg(report::money(e.enviado), report::money(e.recebido),
                             report::money(e.devolvido))});
}

}  // namespace cobranca
