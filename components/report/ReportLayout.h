// The layout pass of a banded report: rows to pages, bands to boxes, texts cut at their box.
// Runs without a printer: each page is handed to a sink as soon as it is complete and then
// dropped, so memory does not grow with the number of rows.
#pragma once

#include "components/report/ReportDef.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPointF>
#include <QRectF>

#include <memory>

namespace report {

// A text placed on a page: its box, where its baseline starts, the text as cut to the box,
// and its font (an index into Page::fonts).
struct TextBox {
    QRectF boxMm;
    QPointF baselineMm;
    QString text;
    int font = 0;
};

struct LineBox {
    QLineF lineMm;
    LineStyle style = LineStyle::Solid;
};

struct Page {
    int number = 1;
    QVector<TextBox> texts;
    QVector<LineBox> lines;
    const QVector<Font>* fonts = nullptr;  // owned by the layout; valid during the sink call
};

// Measures texts in millimetres as the renderer will draw them (no hinting, 1200 dots per
// inch). Needs a QGuiApplication.
class TextMeasure {
public:
    TextMeasure();
    ~TextMeasure();
    static QFont qfont(const Font& f);
    double widthMm(const Font& f, const QString& text);
    double ascentMm(const Font& f);
    // The longest beginning of `text` that fits `widthMm`.
    QString cut(const Font& f, const QString& text, double widthMm);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// Returns false to stop the run (the renderer failed).
using PageSink = std::function<bool(const Page&)>;

struct LayoutResult {
    bool complete = false;  // false: the sink stopped the run
    int pages = 0;
    int details = 0;        // detail bands printed
};

// Lays `r` out over the rows of `source`, page by page, calling the bands' hooks in print
// order (header, then each detail, then the summary).
LayoutResult layoutReport(Report& r, Source& source, const PageSink& sink);

}  // namespace report
