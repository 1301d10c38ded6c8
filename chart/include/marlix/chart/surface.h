// The drawing surface a chart paints on: the drawing pass knows nothing else of the toolkit.
#pragma once

#include <string_view>

#include "marlix/chart/types.h"

namespace marlix::chart {

enum THorzTextAlign { htaLeft, htaCenter, htaRight };
enum TVertTextAlign { vtaTop, vtaBottom };

// Text measurement alone, so the axis arithmetic can be used without a full surface.
class TTextMeasure {
  public:
    virtual ~TTextMeasure() = default;
    virtual int TextWidth(const TFont& font, std::string_view text) = 0;
    // The height h of a font: the height of the text "W".
    virtual int TextHeight(const TFont& font) = 0;
};

// Rectangles exclude their right and bottom edges; lines exclude their end point, and a line to
// the current position draws nothing.
class TChartSurface : public TTextMeasure {
  public:
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // Outline on the rectangle's outermost columns and rows; the inside is left alone.
    virtual void FrameRect(const TRect& rect, const TPen& pen) = 0;
    // One-pixel raised edge on the rectangle's outermost ring: highlight top and left, shadow bottom and
    // right.
    virtual void RaisedBevel(const TRect& rect) = 0;
    virtual void SetPen(const TPen& pen) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // Transparent background; the anchor is the left, centre or right and the top or bottom of the text.
    virtual void TextOut(int x, int y, std::string_view text, const TFont& font, THorzTextAlign horz,
                         TVertTextAlign vert) = 0;
    virtual void SetClipRect(const TRect& rect) = 0;
    virtual void RemoveClipRect() = 0;
};

}  // namespace marlix::chart
