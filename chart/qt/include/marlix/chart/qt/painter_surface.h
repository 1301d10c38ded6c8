// The chart surface on a QPainter: aliased drawing so every pixel lands where the layout says.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <vector>

#include "marlix/chart/chart.h"
#include "marlix/chart/surface.h"

namespace marlix::chart {

QColor ToQColor(TColor color);
// "Arial" resolves through fontconfig (Liberation Sans where Arial is missing); a pixel size wins.
QFont ToQFont(const TFont& font);

class QPainterChartSurface : public TChartSurface {
  public:
    // The bevel colours default to the application palette's Light and Dark.
    explicit QPainterChartSurface(QPainter& painter);
    QPainterChartSurface(QPainter& painter, QColor highlight, QColor shadow);
    ~QPainterChartSurface() override;

    int TextWidth(const TFont& font, std::string_view text) override;
    int TextHeight(const TFont& font) override;
    void FillRect(const TRect& rect, TColor color) override;
    void FrameRect(const TRect& rect, const TPen& pen) override;
    void RaisedBevel(const TRect& rect) override;
    void SetPen(const TPen& pen) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void TextOut(int x, int y, std::string_view text, const TFont& font, THorzTextAlign horz,
                 TVertTextAlign vert) override;
    void SetClipRect(const TRect& rect) override;
    void RemoveClipRect() override;

  private:
    struct CachedFont {
        TFont Key;
        QFont Font;
        QFontMetrics Metrics;
    };
    const CachedFont& Lookup(const TFont& font);
    void FlushPolyline();

    QPainter& painter_;
    QColor highlight_, shadow_;
    std::vector<CachedFont> fonts_;
    QPen pen_;
    QPoint current_;
    // Consecutive LineTo calls become one polyline, drawn when anything else happens.
    std::vector<QPoint> polyline_;
};

// One drawing pass of the chart at the given size into an image (devicePixelRatio dpr, layout in logical
// pixels).
QImage RenderChartImage(TChart& chart, int width, int height, qreal dpr = 1.0);

}  // namespace marlix::chart
