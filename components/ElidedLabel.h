// A one-line label that keeps its whole text (text(), what a screen reader reads) and shows it
// shortened in the middle when it is wider than the label: a file's path keeps its start and
// its name.
#pragma once

#include <QLabel>

namespace components {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace components
