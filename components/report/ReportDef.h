// A banded report as the program defines it: page settings, a page header printed on every
// page, a detail band printed once per row of its source, a summary band printed once after
// the last row. Positions and sizes are in millimetres; texts are cut at their box and no band
// grows. The layout pass (ReportLayout.h) turns a definition and its rows into pages.
#pragma once

#include <QString>
#include <QVector>

#include <functional>

namespace report {

struct Font {
    QString family = "Liberation Sans";  // stands in, metric for metric, for Arial
    double points = 10;
    bool bold = false;
    friend bool operator==(const Font&, const Font&) = default;
};

enum class Align { Left, Right, Center };
enum class LineStyle { None, Solid, Dotted };

// A text in a band: fixed (`text`) or read for each printing (`value`, called by the layout
// pass when the band is laid out).
struct Item {
    QString name;              // to find the item from a hook ("LNrTotal")
    double leftMm = 0;         // from the left margin
    double topMm = 0.5;        // from the top of the band
    double widthMm = 0;        // 0: up to the right margin
    Align align = Align::Left;
    Font font;
    QString text;
    std::function<QString()> value;
};

struct Band {
    double heightMm = 5;
    LineStyle lineAbove = LineStyle::None;
    LineStyle lineBelow = LineStyle::None;
    QVector<Item> items;
    // Before the band is laid out: may change the items' texts, or clear `print` to leave
    // the band out. After it has been laid out.
    std::function<void(bool& print)> beforePrint;
    std::function<void()> afterPrint;

    Item* item(const QString& name);
};

// Where the detail rows come from: rewind() before a run, then fetch() moves to the next row
// (the first after a rewind) and answers false past the last; a row that cannot be read
// throws, and the run stops. finish() when the run ends, however it ends.
class Source {
public:
    virtual ~Source() = default;
    virtual void rewind() = 0;
    virtual bool fetch() = 0;
    virtual void finish() {}
};

struct Report {
    QString title;              // the preview's and print job's title; not printed
    double pageWidthMm = 210;   // A4 portrait
    double pageHeightMm = 297;
    double marginLeftMm = 12.7, marginTopMm = 12.7, marginRightMm = 12.7, marginBottomMm = 12.7;
    Band pageHeader;
    Band detail;
    Band summary;               // printed even when the source has no row

    double contentWidthMm() const { return pageWidthMm - marginLeftMm - marginRightMm; }
};

}  // namespace report
