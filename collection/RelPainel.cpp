#include "collection/RelPainel.h"

#include "collection/Planilha.h"
#include "components/report/ReportItems.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace cobranca {

namespace {

constexpr double kMargem = 12.7;
const QColor kCorEnviado(70, 110, 180), kCorRecebido(70, 160, 90), kCorTaxa(200, 50, 50);

class Pagina {
public:
    explicit Pagina(QPainter& p) : p_(p), mm_(p.device()->logicalDpiX() / 25.4) {}
    QPointF pt(double x, double y) const { return {x * mm_, y * mm_}; }
    QRectF rect(double x, double y, double w, double h) const
    {
        return {x * mm_, y * mm_, w * mm_, h * mm_};
    }
    void texto(double x, double y, double w, double h, const QString& s, int flags,
               double pontos, bool negrito = false)
    {
        QFont f("Liberation Sans");
        f.setPointSizeF(pontos);
        f.setBold(negrito);
        p_.setFont(f);
        p_.drawText(rect(x, y, w, h), flags | Qt::TextSingleLine, s);
    }
    double mm() const { return mm_; }
    QPainter& painter() { return p_; }

private:
    QPainter& p_;
    double mm_;
};

// A round top for the amounts' axis: 1, 2 or 5 times a power of ten.
double teto(double v)
{
    if (v <= 0) return 1;
    const double p = std::pow(10.0, std::floor(std::log10(v)));
    for (const double k : {1.0, 2.0, 5.0, 10.0})
        if (v <= k * p) return k * p;
    return 10 * p;
}

void grafico(Pagina& pg, const QVector<MesPainel>& meses, const QRectF& area)
{
    QPainter& p = pg.painter();
    const double x0 = area.left() + 18, x1 = area.right() - 14;
    const double y0 = area.top() + 8, y1 = area.bottom() - 8;
    double maximo = 0;
    for (const MesPainel& m : meses)
        maximo = std::max({maximo, m.enviados.valor, m.recebidos.valor});
    const double topo = teto(maximo);
    const QPen fina(Qt::black, 0.15 * pg.mm()), grade(QColor(200, 200, 200), 0.1 * pg.mm());
    for (int i = 0; i <= 4; ++i) {
        const double y = y1 - (y1 - y0) * i / 4;
        p.setPen(grade);
        p.drawLine(pg.pt(x0, y), pg.pt(x1, y));
        p.setPen(Qt::black);
        pg.texto(area.left(), y - 2, 16, 4, report::money(topo * i / 4), Qt::AlignRight, 7);
        pg.texto(x1 + 1, y - 2, 13, 4, QString::number(25 * i) + "%", Qt::AlignLeft, 7);
    }
    p.setPen(fina);
    p.drawLine(pg.pt(x0, y1), pg.pt(x1, y1));
    const double passo = (x1 - x0) / std::max<qsizetype>(meses.size(), 1);
    const double barra = passo * 0.35;
    QPainterPath linha;
    for (int i = 0; i < meses.size(); ++i) {
        const MesPainel& m = meses.at(i);
        const double cx = x0 + passo * (i + 0.5);
        auto bar = [&](double x, double valor, const QColor& cor) {
            const double h = (y1 - y0) * valor / topo;
            p.fillRect(pg.rect(x, y1 - h, barra, h), cor);
        };
        bar(cx - barra, m.enviados.valor, kCorEnviado);
        bar(cx, m.recebidos.valor, kCorRecebido);
        p.setPen(Qt::black);
        pg.texto(cx - passo / 2, y1 + 1, passo, 4, m.mes.toString("MM/yy"), Qt::AlignHCenter, 7);
        if (m.taxa) {
            const QPointF ponto = pg.pt(cx, y1 - (y1 - y0) * std::clamp(*m.taxa, 0.0, 1.0));
            if (linha.elementCount() == 0) linha.moveTo(ponto);
            else linha.lineTo(ponto);
            p.setBrush(kCorTaxa);
            p.setPen(Qt::NoPen);
            p.drawEllipse(ponto, 0.8 * pg.mm(), 0.8 * pg.mm());
        }
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kCorTaxa, 0.4 * pg.mm()));
    p.drawPath(linha);
    // Legend.
    double lx = x0;
    for (const auto& [nome, cor] : {std::pair{QString("Valor enviado"), kCorEnviado},
                                    std::pair{QString("Valor recebido"), kCorRecebido},
                                    std::pair{QString("Taxa de cobrança"), kCorTaxa}}) {
        p.fillRect(pg.rect(lx, area.top(), 4, 3), cor);
        p.setPen(Qt::black);
        pg.texto(lx + 5, area.top() - 0.5, 40, 4, nome, Qt::AlignLeft, 8);
        lx += 45;
    }
}

}  // namespace

QStringList colunasPainel()
{
    return {"Mês", "Enviados", "Valor enviado", "Recebidos", "Valor recebido", "Devolvidos",
            "Valor devolvido", "Aguardando", "Valor aguardando", "Taxa", "Motivos mais frequentes"};
}

QStringList linhaPainel(const MesPainel& m)
{
    auto n = [](qint64 v) { return QString::number(v); };
    return {m.mes.toString("MM/yyyy"), n(m.enviados.quantidade), report::money(m.enviados.valor),
            n(m.recebidos.quantidade), report::money(m.recebidos.valor),
            n(m.devolvidos.quantidade), report::money(m.devolvidos.valor),
            n(m.aguardando.quantidade), report::money(m.aguardando.valor),
            m.taxa ? textoCsv(*m.taxa, TipoColuna::Taxa) : QString(), m.motivos.join("; ")};
}

bool desenharPainel(QPagedPaintDevice& device, const QVector<MesPainel>& meses)
{
    QPainter p;
    if (!p.begin(&device)) return false;
    Pagina pg(p);
    const double largura = kPainelLarguraMm - 2 * kMargem;
    double y = kMargem;
    pg.texto(kMargem, y, largura, 6, "Painel de Cobrança", Qt::AlignLeft, 12, true);
    if (!meses.isEmpty())
        pg.texto(kMargem, y, largura, 6, meses.first().mes.toString("MM/yyyy") + " a "
                 + meses.last().mes.toString("MM/yyyy"), Qt::AlignRight, 9);
    y += 9;
    grafico(pg, meses, QRectF(kMargem, y, largura, 80));
    y += 84;
    const QStringList titulos = colunasPainel();
    const double larguras[] = {15, 15, 22, 16, 22, 17, 22, 18, 24, 14, 86.6};
    auto linha = [&](const QStringList& cells, bool negrito) {
        double x = kMargem;
        for (int i = 0; i < cells.size(); ++i) {
            const int align = i == 0 || i == 10 ? Qt::AlignLeft : Qt::AlignRight;
            pg.texto(x + 0.5, y, larguras[i] - 1, 5, cells.at(i), align | Qt::AlignVCenter, 7,
                     negrito);
            x += larguras[i];
        }
        y += 5;
        p.setPen(QPen(Qt::black, (negrito ? 0.2 : 0.1) * pg.mm(),
                      negrito ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(pg.pt(kMargem, y), pg.pt(kMargem + largura, y));
    };
    linha(titulos, true);
    for (const MesPainel& m : meses) {
        if (y + 5 > kPainelAlturaMm - kMargem) {
            if (!device.newPage()) return false;
            y = kMargem;
            linha(titulos, true);
        }
        linha(linhaPainel(m), false);
    }
    return p.end();
}

report::PdfResult gravarPainelPdf(const QString& path, const QVector<MesPainel>& meses)
{
    report::PdfResult out;
    auto falha = [&](const QString& why) {
        out.message = "Não foi possível gravar o PDF \"" + path + "\": " + why
                      + ". Escolha outra pasta ou outro nome de arquivo.";
        return out;
    };
    if (path.trimmed().isEmpty()) return falha("nome vazio");
    if (QFileInfo(path).isDir()) return falha("é uma pasta");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return falha(file.errorString());
    bool desenhado;
    {
        QPdfWriter writer(&file);
        writer.setResolution(1200);
        writer.setTitle("Painel de Cobrança");
        writer.setCreator("Tolmare");
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(0, 0, 0, 0)));
        desenhado = desenharPainel(writer, meses);
    }
    if (!desenhado) {
        file.cancelWriting();
        return falha("falha ao desenhar as páginas");
    }
    if (!file.commit()) return falha(file.errorString());
    out.ok = true;
    out.layout.complete = true;
    return out;
}

}  // namespace cobranca
