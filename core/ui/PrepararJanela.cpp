#include "core/ui/PrepararJanela.h"

#include "components/DesignScale.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
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
// edge near the control's) or on its left on the same line, the nearest one. Positions are the
// design's, so the label's text is measured in design pixels too.
QLabel* rotuloDe(QWidget* w, const components::DesignScale& k)
{
    const QRect g = w->geometry();
    QLabel* best = nullptr;
    int bestDistance = 0;
    for (QLabel* l : w->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (l->buddy() || l->text().trimmed().isEmpty() || l->isHidden()) continue;
        const QSize text = l->sizeHint();
        const QRect r(l->pos(), QSize(int(text.width() / k.x), int(text.height() / k.y)));
        const int line = std::max(r.height(), g.height());
        int distance = -1;
        if (r.bottom() <= g.top() + 2 && g.top() - r.bottom() <= line
            && r.left() >= g.left() - line && r.left() < g.right())
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

QLabel* semParceiro(QLayoutItem* item)
{
    auto* l = item ? qobject_cast<QLabel*>(item->widget()) : nullptr;
    return l && !l->buddy() && !l->text().trimmed().isEmpty() ? l : nullptr;
}

// In a layout: the label just before the control in its row or column, or in the cell on its
// left or above.
QLabel* rotuloNoLayout(QLayout* layout, QWidget* w)
{
    if (!layout) return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w) {
            if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
                int row, col, rows, cols;
                grid->getItemPosition(i, &row, &col, &rows, &cols);
                if (QLabel* l = semParceiro(grid->itemAtPosition(row, col - 1))) return l;
                return semParceiro(grid->itemAtPosition(row - 1, col));
            }
            return i > 0 ? semParceiro(layout->itemAt(i - 1)) : nullptr;
        }
        if (QLabel* l = rotuloNoLayout(item->layout(), w)) return l;
    }
    return nullptr;
}

QString nomeDe(QWidget* w, const QHash<QWidget*, QLabel*>& buddies)
{
    if (QLabel* l = buddies.value(w)) return semAtalho(l->text());
    if (auto* b = qobject_cast<QAbstractButton*>(w); b && !semAtalho(b->text()).isEmpty())
        return semAtalho(b->text());
    if (!w->toolTip().isEmpty()) return semAtalho(w->toolTip());
    // A part Qt made of a control (a date edit's line, a tab widget's bar) is that control.
    if (w->objectName().startsWith("qt_") && w->parentWidget()
        && !w->parentWidget()->accessibleName().isEmpty())
        return w->parentWidget()->accessibleName();
    for (QWidget* p = w->parentWidget(); p && p != w->window(); p = p->parentWidget()) {
        if (auto* box = qobject_cast<QGroupBox*>(p); box && !box->title().isEmpty())
            return semAtalho(box->title());
        if (p->focusProxy() == w && !p->accessibleName().isEmpty()) return p->accessibleName();
        // The only control of a tab page: the tab's text.
        if (auto* tabs = qobject_cast<QTabWidget*>(p); tabs && tabs->indexOf(w) < 0)
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->widget(i)->isAncestorOf(w)) return semAtalho(tabs->tabText(i));
    }
    return semAtalho(w->window()->windowTitle());
}

}  // namespace

void prepararJanela(QWidget* window)
{
    if (!window || window->property(kPreparedProperty).toBool()) return;
    window->setProperty(kPreparedProperty, true);
    // Labels are matched to their controls by the positions of the design, before scaling.
    const components::DesignScale k = components::designScale(window->font());
    QHash<QWidget*, QLabel*> buddies;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy()) buddies.insert(l->buddy(), l);
    for (QWidget* w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus || w->isWindow() || buddies.contains(w)) continue;
        if (qobject_cast<QAbstractButton*>(w) || !w->parentWidget()) continue;
        QLabel* l = w->parentWidget()->layout() ? rotuloNoLayout(w->parentWidget()->layout(), w)
                                                : rotuloDe(w, k);
        if (l) {
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
