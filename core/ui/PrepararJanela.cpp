#include "core/ui/PrepararJanela.h"

#include "components/DesignScale.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabWidget>

namespace {

const char* const kPreparedProperty = "tolmareJanelaPreparada";

// A flat button draws no frame, so the focus would not show: this style draws the focus
// rectangle on it whenever it has the focus.
class FocoVisivel : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        const auto* b = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element != CE_PushButton || !b || !(b->features & QStyleOptionButton::Flat)
            || !(b->state & State_HasFocus))
            return;
        painter->save();
        QPen pen(b->palette.color(QPalette::WindowText), 1, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(b->rect.adjusted(2, 2, -3, -3));
        painter->restore();
    }
};

QStyle* focoVisivel()
{
    static FocoVisivel* style = [] {
        auto* s = new FocoVisivel;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

QString semAtalho(QString text)
{
    text.replace("&&", "\x01");
    text.remove('&');
    text.replace('\x01', '&');
    text = text.trimmed();
    while (text.endsWith(':')) text.chop(1);
    return text.trimmed();
}

// The label of a control without a buddy: a label of the same parent just above it (its left
// edge near the control's) or on its left on the same line, the nearest one.
QLabel* rotuloDe(QWidget* w)
{
    const QRect g = w->geometry();
    QLabel* best = nullptr;
    int bestDistance = 0;
    for (QLabel* l : w->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (l->buddy() || l->text().trimmed().isEmpty() || l->isHidden()) continue;
        const QRect r(l->pos(), l->sizeHint());
        const int line = std::max(r.height(), g.height());
        int distance = -1;
        if (r.bottom() <= g.top() + 2 && g.top() - r.bottom() <= line
            && std::abs(r.left() - g.left()) <= line)
            distance = g.top() - r.bottom() + std::abs(r.left() - g.left());
        else if (r.right() <= g.left() + 2 && g.left() - r.right() <= 3 * line
                 && std::abs(r.center().y() - g.center().y()) <= line / 2)
            distance = g.left() - r.right();
        if (distance >= 0 && (!best || distance < bestDistance)) {
            best = l;
            bestDistance = distance;
        }
    }
    return best;
}

QString nomeDe(QWidget* w, const QHash<QWidget*, QLabel*>& buddies)
{
    if (QLabel* l = buddies.value(w)) return semAtalho(l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !semAtalho(b->text()).isEmpty())
        return semAtalho(b->text());
    if (!w->toolTip().isEmpty()) return semAtalho(w->toolTip());
    for (QWidget* p = w->parentWidget(); p && p != w->window(); p = p->parentWidget()) {
        if (auto* box = qobject_cast<QGroupBox*>(p); box && !box->title().isEmpty())
            return semAtalho(box->title());
        if (p->focusProxy() == w && !p->accessibleName().isEmpty()) return p->accessibleName();
    }
    return semAtalho(w->window()->windowTitle());
}

}  // namespace

void prepararJanela(QWidget* window)
{
    if (!window || window->property(kPreparedProperty).toBool()) return;
    window->setProperty(kPreparedProperty, true);
    // Labels are matched to their controls by the positions of the design, before scaling.
    QHash<QWidget*, QLabel*> buddies;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy()) buddies.insert(l->buddy(), l);
    for (QWidget* w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus || w->isWindow() || buddies.contains(w)) continue;
        if (qobject_cast<QAbstractButton*>(w) || !w->parentWidget()) continue;
        if (QLabel* l = rotuloDe(w)) {
            l->setBuddy(w);
            buddies.insert(w, l);
        }
    }
    components::scaleToFont(window);
    // Parents first: a focus proxy (a spin box's line edit) takes its owner's name.
    for (QWidget* w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus) continue;
        if (w->accessibleName().isEmpty()) w->setAccessibleName(nomeDe(w, buddies));
        if (auto* b = qobject_cast<QPushButton*>(w); b && b->isFlat()) b->setStyle(focoVisivel());
    }
}
