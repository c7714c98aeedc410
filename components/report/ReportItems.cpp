#include "components/report/ReportItems.h"

namespace report {

Font arial(double points, bool bold)
{
    Font f;
    f.points = points;
    f.bold = bold;
    return f;
}

Item caption(const QString& text, double leftMm, double points, bool bold)
{
    Item i;
    i.text = text;
    i.leftMm = leftMm;
    i.topMm = 1.0;
    i.font = arial(points, bold);
    return i;
}

Item field(DatasetSource& src, const QString& name, double leftMm, double widthMm, Align align,
           double points)
{
    Item i = caption({}, leftMm, points);
    i.name = name;
    i.widthMm = widthMm;
    i.align = align;
    i.value = [&src, name] { return src.display(name); };
    return i;
}

Band countAndTotalSummary(const QString& countCaption)
{
    auto box = [](const QString& name, const QString& text, double left, double width) {
        Item i = caption(text, left, 10, true);
        i.name = name;
        i.widthMm = width;
        i.align = Align::Right;
        return i;
    };
    Band b;
    b.heightMm = 5.8;
    b.lineBelow = LineStyle::Solid;
    b.items = {caption(countCaption, 23.5, 10, true), box("LNrTotal", countCaption, 61.6, 11.9),
               caption("Valor Total", 83.9, 10, true), box("Soma", {}, 101.1, 28.8)};
    return b;
}

QString money(double v) { return QString::number(v, 'f', 2).replace('.', ','); }

}  // namespace report
