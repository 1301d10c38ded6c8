// Basic value types shared by the chart model, its drawing pass and the drawing surfaces.
#pragma once

#include <cstdint>
#include <string>

namespace marlix::chart {

class TChart;

// Red in the lowest byte, then green, then blue.
using TColor = std::uint32_t;

constexpr TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}
constexpr std::uint8_t RedOf(TColor c) {
    return static_cast<std::uint8_t>(c & 0xFF);
}
constexpr std::uint8_t GreenOf(TColor c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(TColor c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFF);
}

// "No colour of its own": a point or series with it takes the series colour.
constexpr TColor clAutoColor = 0x20000000;
constexpr TColor clBlack = 0x000000, clWhite = 0xFFFFFF, clGray = 0x808080, clGreen = 0x008000,
                 clPurple = 0x800080, clRed = 0x0000FF, clBlue = 0xFF0000;
// The panel colour a chart starts with until the program paints it white.
constexpr TColor clBtnFace = RGBColor(240, 240, 240);

// Covers columns Left..Right-1 and rows Top..Bottom-1.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum TMarginUnits { muPercent, muPixels };
// Every value of the chart model is kept, also those the drawing pass reads only in part: the legend
// lists lsSeriesGroups one row per series as lsSeries does; no TLegendTextStyle changes a row (the
// legend text is the series title or the formatted value); every TLegendAlignment is drawn at the
// right; aCustomHorizAxis and aCustomVertAxis stand for the bottom and left axes. The model accepts
// them, so they stay: do not wire them into the drawing or delete them without a reason.
enum TLegendStyle { lsAuto, lsSeries, lsValues, lsLastValues, lsSeriesGroups };
enum TLegendTextStyle {
    ltsLeftValue,
    ltsPlain,
    ltsRightValue,
    ltsLeftPercent,
    ltsRightPercent,
    ltsXValue,
    ltsValue,
    ltsPercent,
    ltsXAndValue,
    ltsXAndPercent
};
enum TLegendAlignment { laLeft, laRight, laTop, laBottom };
enum THorizAxis { aTopAxis, aBottomAxis, aBothHorizAxis, aCustomHorizAxis };
enum TVertAxis { aLeftAxis, aRightAxis, aBothVertAxis, aCustomVertAxis };
enum TTitleAlignment { taLeftJustify, taRightJustify, taCenter };
enum TPenStyle { psSolid, psDot };

struct TFont {
    std::string Name = "Arial";
    double PointSize = 8;
    int PixelSize = 0;  // > 0: the pixel size wins over PointSize
    TColor Color = clBlack;
    friend bool operator==(const TFont&, const TFont&) = default;
};

// What a surface needs to stroke a line or an outline.
struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    friend bool operator==(const TPen&, const TPen&) = default;
};

// A pen setting of the chart; every changing setter asks the owning chart for a redraw.
class TChartPen {
  public:
    explicit TChartPen(TChart* owner = nullptr, TPen pen = {}, bool visible = true)
        : owner_(owner), pen_(pen), visible_(visible) {}

    TColor Color() const { return pen_.Color; }
    void SetColor(TColor value);
    int Width() const { return pen_.Width; }
    void SetWidth(int value);
    TPenStyle Style() const { return pen_.Style; }
    void SetStyle(TPenStyle value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    const TPen& Pen() const { return pen_; }

  private:
    void Changed();
    TChart* owner_;
    TPen pen_;
    bool visible_;
};

// A font setting of the chart; a chart-owned font asks for a redraw on every change.
class TChartFont {
  public:
    explicit TChartFont(TChart* owner = nullptr, TFont font = {}) : owner_(owner), font_(std::move(font)) {}

    const std::string& Name() const { return font_.Name; }
    void SetName(const std::string& value);
    double PointSize() const { return font_.PointSize; }
    void SetPointSize(double value);
    int PixelSize() const { return font_.PixelSize; }
    void SetPixelSize(int value);
    TColor Color() const { return font_.Color; }
    void SetColor(TColor value);
    const TFont& Font() const { return font_; }
    void Assign(const TFont& value);

  private:
    void Changed();
    TChart* owner_;
    TFont font_;
};

}  // namespace marlix::chart
