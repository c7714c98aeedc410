#include "components/report/ReportLayout.h"

#include <QImage>

#include <algorithm>

namespace report {

namespace {

// The resolution texts are measured at; the PDF is drawn at the same one.
constexpr double kDpi = 1200;
constexpr double kMmPerDot = 25.4 / kDpi;
// Rounding slack when deciding whether a band still fits the page.
constexpr double kEpsilonMm = 1e-6;

}  // namespace

Item* Band::item(const QString& name)
{
    for (Item& i : items)
        if (i.name == name) return &i;
    return nullptr;
}

struct TextMeasure::Impl {
    QImage device{8, 8, QImage::Format_Mono};
    QVector<Font> fonts;
    std::vector<std::unique_ptr<QFontMetricsF>> metrics;

    QFontMetricsF& of(const Font& f)
    {
        for (int i = 0; i < fonts.size(); ++i)
            if (fonts[i] == f) return *metrics[size_t(i)];
        fonts << f;
        metrics.push_back(std::make_unique<QFontMetricsF>(qfont(f), &device));
        return *metrics.back();
    }
};

TextMeasure::TextMeasure() : d_(std::make_unique<Impl>())
{
    const int dotsPerMetre = int(kDpi / 0.0254 + 0.5);
    d_->device.setDotsPerMeterX(dotsPerMetre);
    d_->device.setDotsPerMeterY(dotsPerMetre);
}

TextMeasure::~TextMeasure() = default;

QFont TextMeasure::qfont(const Font& f)
{
    QFont q(f.family);
    q.setPointSizeF(f.points);
    q.setBold(f.bold);
    q.setHintingPreference(QFont::PreferNoHinting);
    q.setKerning(false);
    return q;
}

double TextMeasure::widthMm(const Font& f, const QString& text)
{
    return d_->of(f).horizontalAdvance(text) * kMmPerDot;
}

double TextMeasure::ascentMm(const Font& f) { return d_->of(f).ascent() * kMmPerDot; }

QString TextMeasure::cut(const Font& f, const QString& text, double widthMm)
{
    QFontMetricsF& m = d_->of(f);
    const double limit = widthMm / kMmPerDot;
    if (m.horizontalAdvance(text) <= limit) return text;
    // The longest prefix that fits: advances grow with the length.
    int lo = 0, hi = int(text.size());
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (m.horizontalAdvance(text, mid) <= limit) lo = mid;
        else hi = mid - 1;
    }
    return text.left(lo);
}

namespace {

class Layout {
public:
    Layout(Report& r, const PageSink& sink) : r_(r), sink_(sink)
    {
        page_.fonts = &fonts_;
        y_ = r_.marginTopMm;
    }

    LayoutResult run(Source& source)
    {
        place(r_.pageHeader);
        source.rewind();
        while (source.fetch()) {
            if (!band(r_.detail)) continue;
            ++result_.details;
            if (stopped_) return result_;
        }
        band(r_.summary);
        if (stopped_) return result_;
        emitPage();
        result_.complete = !stopped_;
        return result_;
    }

private:
    double bottom() const { return r_.pageHeightMm - r_.marginBottomMm; }

    // A band in print order: its hook, a new page when it does not fit, its boxes, its
    // after-print hook. False when the hook left it out.
    bool band(Band& b)
    {
        bool print = true;
        if (b.beforePrint) b.beforePrint(print);
        if (!print) return false;
        if (y_ + b.heightMm > bottom() + kEpsilonMm && y_ > r_.marginTopMm + kEpsilonMm) {
            emitPage();
            if (stopped_) return true;
            ++page_.number;
            page_.texts.clear();
            page_.lines.clear();
            y_ = r_.marginTopMm;
            place(r_.pageHeader);
        }
        place(b);
        if (b.afterPrint) b.afterPrint();
        return true;
    }

    // The page header has no page-break check: it opens every page.
    void place(Band& b)
    {
        if (&b == &r_.pageHeader) {
            bool print = true;
            if (b.beforePrint) b.beforePrint(print);
            if (!print) return;
        }
        const double left = r_.marginLeftMm;
        const double right = r_.pageWidthMm - r_.marginRightMm;
        if (b.lineAbove != LineStyle::None)
            page_.lines << LineBox{QLineF(left, y_, right, y_), b.lineAbove};
        for (const Item& it : b.items) {
            const double x = left + it.leftMm;
            const double w = it.widthMm > 0 ? it.widthMm : right - x;
            const QRectF box(x, y_ + it.topMm, w, b.heightMm - it.topMm);
            const QString text = measure_.cut(it.font, it.value ? it.value() : it.text, w);
            double tx = x;
            if (it.align != Align::Left) {
                const double free = w - measure_.widthMm(it.font, text);
                tx += it.align == Align::Right ? free : free / 2;
            }
            page_.texts << TextBox{box, QPointF(tx, box.top() + measure_.ascentMm(it.font)), text,
                                   fontIndex(it.font)};
        }
        y_ += b.heightMm;
        if (b.lineBelow != LineStyle::None)
            page_.lines << LineBox{QLineF(left, y_, right, y_), b.lineBelow};
        if (&b == &r_.pageHeader && b.afterPrint) b.afterPrint();
    }

    int fontIndex(const Font& f)
    {
        const auto it = std::find(fonts_.begin(), fonts_.end(), f);
        if (it != fonts_.end()) return int(it - fonts_.begin());
        fonts_ << f;
        return int(fonts_.size()) - 1;
    }

    void emitPage()
    {
        ++result_.pages;
        if (!sink_(page_)) stopped_ = true;
    }

    Report& r_;
    const PageSink& sink_;
    TextMeasure measure_;
    QVector<Font> fonts_;
    Page page_;
    double y_ = 0;
    bool stopped_ = false;
    LayoutResult result_;
};

}  // namespace

LayoutResult layoutReport(Report& r, Source& source, const PageSink& sink)
{
    Layout layout(r, sink);
    return layout.run(source);
}

}  // namespace report
