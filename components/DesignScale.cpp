#include "components/DesignScale.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace components {

namespace {

constexpr double kDesignCharWidth = 6;
constexpr double kDesignLineHeight = 13;
const char* const kScaledProperty = "tolmareScaledToFont";

QSize scaled(const QSize& s, const DesignScale& k)
{
    auto one = [](int v, double f) { return v >= QWIDGETSIZE_MAX ? v : int(std::lround(v * f)); };
    return {one(s.width(), k.x), one(s.height(), k.y)};
}

// Widgets Qt places itself (the parts of a scroll area, a tab widget, a spin box...) are
// placed again by their owner; only what the window's code placed is scaled.
bool placedByCode(const QWidget* w)
{
    const QWidget* parent = w->parentWidget();
    if (!parent || parent->layout()) return false;
    return w->testAttribute(Qt::WA_Moved) || w->testAttribute(Qt::WA_Resized);
}

void scaleOne(QWidget* w, const DesignScale& k)
{
    const bool fixed = w->minimumSize() == w->maximumSize();
    const QRect g = w->geometry();
    const bool resized = w->testAttribute(Qt::WA_Resized);
    if (fixed && resized) {
        w->setFixedSize(scaled(w->minimumSize(), k));
    } else {
        w->setMinimumSize(scaled(w->minimumSize(), k));
        w->setMaximumSize(scaled(w->maximumSize(), k));
    }
    const QPoint at(int(std::lround(g.x() * k.x)), int(std::lround(g.y() * k.y)));
    if (resized) w->setGeometry(QRect(at, scaled(g.size(), k)));
    else w->move(at);  // a label never sized keeps the size of its text
}

// A label placed right after another on the same line (a caption and its value) starts after
// the other's text, whatever the font makes of the design's gap.
void keepLabelsApart(QWidget* parent)
{
    QList<QLabel*> labels = parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    std::sort(labels.begin(), labels.end(),
              [](const QLabel* a, const QLabel* b) { return a->x() < b->x(); });
    for (int i = 0; i < labels.size(); ++i) {
        QLabel* a = labels[i];
        if (a->text().isEmpty() || a->wordWrap()) continue;
        const QRect ra(a->pos(), QSize(a->sizeHint().width(), a->height()));
        for (int j = i + 1; j < labels.size(); ++j) {
            QLabel* b = labels[j];
            const int middle = b->y() + b->height() / 2;
            const bool sameLine = std::abs(middle - ra.center().y())
                                  < std::min(ra.height(), b->height()) / 2;
            if (!sameLine || b->x() > ra.right() + 2 || b->x() <= a->x()) continue;
            b->move(ra.right() + 3, b->y());
        }
    }
}

}  // namespace

int DesignScale::w(int designPixels) const { return int(std::lround(designPixels * x)); }
int DesignScale::h(int designPixels) const { return int(std::lround(designPixels * y)); }

DesignScale designScale(const QFont& font)
{
    const QFontMetricsF fm(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {fm.horizontalAdvance(alphabet) / 52 / kDesignCharWidth,
            fm.height() / kDesignLineHeight};
}

void scaleToFont(QWidget* window)
{
    if (!window || window->property(kScaledProperty).toBool()) return;
    window->setProperty(kScaledProperty, true);
    const DesignScale k = designScale(window->font());
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (!w->isWindow() && placedByCode(w)) scaleOne(w, k);
    keepLabelsApart(window);
    for (QWidget* w : children)
        if (!w->layout()) keepLabelsApart(w);
    // The window last, so that a child placed at its edge is not cut by a smaller window.
    const QSize size = window->size();
    if (window->minimumSize() == window->maximumSize()) {
        window->setFixedSize(scaled(window->minimumSize(), k));
    } else {
        window->setMinimumSize(scaled(window->minimumSize(), k));
        window->setMaximumSize(scaled(window->maximumSize(), k));
        if (window->testAttribute(Qt::WA_Resized)) window->resize(scaled(size, k));
    }
}

}  // namespace components
