// The windows are laid out in pixels for their design font, 8-point "MS Sans Serif", whose
// characters are 6 pixels wide on average and 13 high. Under another font, or another size,
// positions and sizes are taken in units of the current font's average character width and
// height, as pixel-laid-out desktop toolkits do when the font changes: the layout keeps its
// proportions and its texts fit.
#pragma once

class QFont;
class QWidget;

namespace components {

struct DesignScale {
    double x = 1;  // the font's average character width over 6
    double y = 1;  // its line height over 13
    int w(int designPixels) const;
    int h(int designPixels) const;
};

DesignScale designScale(const QFont& font);

// Scales the window (its size, fixed or not) and every widget in it that code placed or sized
// and that no layout manages, by designScale of the window's font. Runs once per window: a
// second call does nothing. Grid columns scale themselves (DBGrid).
void scaleToFont(QWidget* window);

}  // namespace components
