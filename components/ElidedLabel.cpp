#include "components/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace components {

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, r.width());
    style()->drawItemText(&painter, r, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

}  // namespace components
