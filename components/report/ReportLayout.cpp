#include "components/report/ReportLayout.h"

#include <QHash>
#include <QImage>

#include <array>

#include <algorithm>
#include <cmath>

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

// Texts are measured as the sum of their characters' advances (kerning is off and hinting
// too, so that is what the renderer draws); the advances of a font are read once.
struct FontAdvances {
    Font font;
    std::unique_ptr<QFontMetricsF> metrics;
    double ascent = 0;
    std::array<double, 256> latin{};
    QHash<char16_t, double> other;

    double advance(QChar c)
    {
        if (c.unicode() < latin.size()) return latin[c.unicode()];
        auto it = other.constFind(c.unicode());
        if (it == other.constEnd()) it = other.insert(c.unicode(), metrics->horizontalAdvance(c));
        return it.value();
    }
};

struct TextMeasure::Impl {
    QImage device{8, 8, QImage::Format_Mono};
    std::vector<std::unique_ptr<FontAdvances>> fonts;

    FontAdvances& of(const Font& f)
    {
        for (const auto& a : fonts)
            if (a->font == f) return *a;
        auto a = std::make_unique<FontAdvances>();
        a->font = f;
        a->metrics = std::make_unique<QFontMetricsF>(qfont(f), &device);
        a->ascent = a->metrics->ascent();
        for (int i = 0; i < int(a->latin.size()); ++i)
            a->latin[size_t(i)] = a->metrics->horizontalAdvance(QChar(i));
        fonts.push_back(std::move(a));
        return *fonts.back();
    }
};

TextMeasure::TextMeasure() : d_(std::make_unique<Impl>())
{
    const int dotsPerMetre = int(std::lround(kDpi / 0.0254));
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
    FontAdvances& a = d_->of(f);
    double w = 0;
    for (const QChar c : text) w += a.advance(c);
    return w * kMmPerDot;
}

double TextMeasure::ascentMm(const Font& f) { return d_->of(f).ascent * kMmPerDot; }

QString TextMeasure::cut(const Font& f, const QString& text, double widthMm)
{
    FontAdvances& a = d_->of(f);
    const double limit = widthMm / kMmPerDot;
    double w = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        w += a.advance(text[i]);
        if (w > limit) return text.left(i);
    }
    return text;
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
        struct Finish {
            Source& s;
            ~Finish() { s.finish(); }
        } finish{source};
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
