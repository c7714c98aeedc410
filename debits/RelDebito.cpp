#include "debits/RelDebito.h"

#include "core/engine/Query.h"

namespace {

report::Font arial(double points, bool bold = false)
{
    report::Font f;
    f.points = points;
    f.bold = bold;
    return f;
}

report::Item caption(const QString& text, double left)
{
    report::Item i;
    i.text = text;
    i.leftMm = left;
    i.topMm = 1.0;
    i.font = arial(8);
    return i;
}

// A field of the current row, shown as the list shows it, in its box.
report::Item field(report::DatasetSource& src, const QString& name, double left, double width,
                   report::Align align)
{
    report::Item i;
    i.name = name;
    i.leftMm = left;
    i.widthMm = width;
    i.topMm = 1.0;
    i.align = align;
    i.font = arial(8);
    i.value = [&src, name] { return src.display(name); };
    return i;
}

// The sum "##0.00": two decimals, decimal comma, no thousands separator.
QString money(double v)
{
    return QString::number(v, 'f', 2).replace('.', ',');
}

}  // namespace

TQRelDebito::TQRelDebito(db::Query& QDebito) : source_(QDebito)
{
    using report::Align;
    using report::LineStyle;
    report_.title = "Relatorio de Debitos";

    report::Band& header = report_.pageHeader;
    header.heightMm = 5.0;
    header.lineAbove = LineStyle::Solid;
    header.lineBelow = LineStyle::Solid;
    header.items = {caption("Grupo", 0.3),     caption("Nome Debitado", 34.9),
                    caption("Data Debito", 93.9), caption("Valor", 122.5),
                    caption("Identif.", 134.7), caption("Agencia", 146.8),
                    caption("Matricula", 163.8)};

    report::Band& detail = report_.detail;
    detail.heightMm = 5.0;
    detail.lineBelow = LineStyle::Dotted;
    detail.items = {field(source_, "GRP_DESCRICAO", 0.8, 33.3, Align::Left),
                    field(source_, "ASS_NOME", 34.9, 57.2, Align::Left),
                    field(source_, "DEB_DATA", 93.7, 17.7, Align::Left),
                    field(source_, "DEB_VALOR", 112.2, 17.7, Align::Right),
                    field(source_, "ASS_IDENTIFICADOR", 130.4, 13.2, Align::Right),
                    field(source_, "ASS_AGENCIA", 145.0, 13.2, Align::Right),
                    field(source_, "ASS_MATRICULA", 159.5, 23.8, Align::Right)};
    detail.beforePrint = [this](bool& p) { QRBand1BeforePrint(p); };

    report::Band& summary = report_.summary;
    summary.heightMm = 5.8;
    summary.lineBelow = LineStyle::Solid;
    auto bold = [](const QString& name, const QString& text, double left, double width,
                   Align align) {
        report::Item i;
        i.name = name;
        i.text = text;
        i.leftMm = left;
        i.widthMm = width;
        i.topMm = 1.0;
        i.align = align;
        i.font = arial(10, true);
        return i;
    };
    summary.items = {bold({}, "Nr. Total de Debitados", 23.5, 0, Align::Left),
                     bold("LNrTotal", "Nr. Total de Debitados", 61.6, 11.9, Align::Right),
                     bold({}, "Valor Total", 83.9, 0, Align::Left),
                     bold("Soma", {}, 101.1, 28.8, Align::Right)};
    summary.beforePrint = [this](bool& p) { QRBand2BeforePrint(p); };
    summary.afterPrint = [this] { QRBand2AfterPrint(); };

    // The sum covers the detail lines of one run; a run stopped half-way (a failed print)
    // leaves no count behind for the next.
    source_.onRewind = [this] {
        soma_ = 0;
        nrTotal_ = 0;
    };
}

void TQRelDebito::QRBand1BeforePrint(bool&)
{
    ++nrTotal_;
    soma_ += source_.value("DEB_VALOR").toDouble();
}

void TQRelDebito::QRBand2BeforePrint(bool&)
{
    report_.summary.item("LNrTotal")->text = QString::number(nrTotal_);
    totalText_ = money(soma_);
    report_.summary.item("Soma")->text = totalText_;
    nrPrinted_ = nrTotal_;
}

void TQRelDebito::QRBand2AfterPrint() { nrTotal_ = 0; }

report::PdfResult TQRelDebito::gravarPdf(const QString& path)
{
    return report::writePdf(report_, source_, path);
}
