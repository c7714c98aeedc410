#include "remittance/RelRetorno.h"

#include "components/report/ReportItems.h"
#include "core/engine/Table.h"

using report::Align;
using report::caption;
using report::LineStyle;

namespace {

const char* const kDebitado = "Debitado";

// Rows read from the table at a time: each block is a new statement that skips the rows
// before it, so larger blocks keep a month of 100,000 rows from being re-read hundreds of times.
constexpr int kBloco = 8192;

// "Debitado" sorts before every reason.
QString chave(const QString& motivo) { return motivo == kDebitado ? QString() : motivo; }

}  // namespace

// The per-reason totals of the last run, one row each.
class TQRelRetorno::ResumoSource : public report::Source {
public:
    explicit ResumoSource(const TQRelRetorno& rel) : rel_(rel) {}
    void rewind() override
    {
        rows_ = rel_.porMotivo();
        i_ = -1;
    }
    bool fetch() override { return ++i_ < rows_.size(); }
    const retorno::TotalMotivo& row() const { return rows_.at(i_); }

private:
    const TQRelRetorno& rel_;
    QVector<retorno::TotalMotivo> rows_;
    int i_ = -1;
};

TQRelRetorno::TQRelRetorno(db::Table& TRet_Debito, std::function<retorno::Motivo()> motivo)
    : source_(TRet_Debito, kBloco), motivo_(std::move(motivo)),
      resumoSource_(std::make_unique<ResumoSource>(*this))
{
    using report::field;
    report_.title = "Relatorio de Retorno";

    report::Band& header = report_.pageHeader;
    header.heightMm = 5.0;
    header.lineAbove = LineStyle::Solid;
    header.lineBelow = LineStyle::Solid;
    header.items = {caption("Nome Debitado", 0.5), caption("Data Debito", 58.2),
                    caption("Valor", 86.8),        caption("Motivo", 95.0),
                    caption("Agencia", 146.8),     caption("Conta Corrente", 163.8)};

    report::Band& detail = report_.detail;
    detail.heightMm = 5.0;
    detail.lineBelow = LineStyle::Dotted;
    detail.items = {field(source_, "Nome_Associado", 0.5, 57.2, Align::Left),
                    field(source_, "DEB_DATA", 58.2, 17.7, Align::Left),
                    field(source_, "DEB_VALOR", 76.2, 17.7, Align::Right),
                    field(source_, "DEB_OCORRENCIA", 95.0, 49.2, Align::Left, 7),
                    field(source_, "Agencia_Associado", 145.0, 13.2, Align::Right),
                    field(source_, "CC_Associado", 159.5, 23.8, Align::Right)};
    detail.beforePrint = [this](bool& p) { DetailBeforePrint(p); };

    report_.summary = report::countAndTotalSummary("Nr. Total de Retornos");
    report_.summary.beforePrint = [this](bool& p) { SummaryBeforePrint(p); };
    report_.summary.afterPrint = [this] { SummaryAfterPrint(); };

    // A run stopped half-way (a failed print) leaves no count behind for the next.
    source_.onRewind = [this] {
        soma_ = 0;
        nrTotal_ = 0;
        motivos_.clear();
    };

    // The page per reason: same page, same summary band as the report.
    resumo_.title = report_.title;
    resumo_.pageHeader.heightMm = 11.0;
    resumo_.pageHeader.lineBelow = LineStyle::Solid;
    resumo_.pageHeader.items = {caption("Resumo por Motivo", 0.5, 10, true)};
    for (report::Item i : {caption("Motivo", 0.5), caption("Quantidade", 100.0),
                           caption("Valor", 130.0)}) {
        i.topMm = 6.0;
        if (i.text != "Motivo") {
            i.widthMm = 28.8;
            i.align = Align::Right;
        }
        resumo_.pageHeader.items << i;
    }
    auto cell = [this](double left, double width, Align align,
                       std::function<QString(const retorno::TotalMotivo&)> text) {
        report::Item i = caption({}, left, 8);
        i.widthMm = width;
        i.align = align;
        i.value = [this, text] { return text(resumoSource_->row()); };
        return i;
    };
    resumo_.detail.heightMm = 5.0;
    resumo_.detail.lineBelow = LineStyle::Dotted;
    resumo_.detail.items = {
        cell(0.5, 99.0, Align::Left, [](const auto& t) { return t.motivo; }),
        cell(100.0, 28.8, Align::Right,
             [](const auto& t) { return QString::number(t.quantidade); }),
        cell(130.0, 28.8, Align::Right, [](const auto& t) { return report::money(t.valor); })};
    resumo_.summary = report::countAndTotalSummary("Nr. Total de Retornos");
    resumo_.summary.beforePrint = [this](bool&) {
        resumo_.summary.item("LNrTotal")->text = QString::number(nrPrinted_);
        resumo_.summary.item("Soma")->text = totalText_;
    };
}

TQRelRetorno::~TQRelRetorno() = default;

void TQRelRetorno::DetailBeforePrint(bool& printBand)
{
    printBand = retorno::imprime(motivo_(), source_.value("DEB_DATA_RETORNO").toDate());
    if (!printBand) return;
    const double valor = source_.value("DEB_VALOR").toDouble();
    ++nrTotal_;
    soma_ += valor;
    QString motivo = source_.value("DEB_OCORRENCIA").toString().trimmed();
    if (motivo.isEmpty()) motivo = kDebitado;
    retorno::TotalMotivo& t = motivos_[chave(motivo)];
    t.motivo = motivo;
    ++t.quantidade;
    t.valor += valor;
}

void TQRelRetorno::SummaryBeforePrint(bool&)
{
    report_.summary.item("LNrTotal")->text = QString::number(nrTotal_);
    totalText_ = report::money(soma_);
    report_.summary.item("Soma")->text = totalText_;
    nrPrinted_ = nrTotal_;
    motivosImpressos_ = motivos_;
}

void TQRelRetorno::SummaryAfterPrint() { nrTotal_ = 0; }

QVector<retorno::TotalMotivo> TQRelRetorno::porMotivo() const
{
    return QVector<retorno::TotalMotivo>(motivosImpressos_.begin(), motivosImpressos_.end());
}

report::PdfResult TQRelRetorno::gravarPdf(const QString& path, bool porMotivo)
{
    QVector<report::ReportPart> parts{{&report_, &source_}};
    if (porMotivo) parts.append({&resumo_, resumoSource_.get()});
    return report::writePdf(parts, path);
}
