// The chart panel: margins, title, legend, four axes and an ordered series list, with the redraw
// bookkeeping and the drawing pass.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "marlix/chart/axis.h"
#include "marlix/chart/format.h"
#include "marlix/chart/series.h"
#include "marlix/chart/surface.h"
#include "marlix/chart/types.h"

namespace marlix::chart {

// Implemented by the widget that shows a chart.
class TChartHost {
  public:
    virtual ~TChartHost() = default;
    virtual bool HandleAllocated() const = 0;  // the panel's window exists
    virtual void InvalidateLater() = 0;        // ask the toolkit for a later repaint
    virtual void PaintNow() = 0;               // run the owed pass now (RedrawIfPending)
};

class TChartTitle {
  public:
    explicit TChartTitle(TChart* owner);
    // Replaces the lines by those of the text, split at line breaks.
    void SetText(const std::string& text);
    std::string Text() const;
    const std::vector<std::string>& Lines() const { return lines_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    TTitleAlignment Alignment() const { return alignment_; }
    void SetAlignment(TTitleAlignment value);
    bool AdjustFrame() const { return adjustFrame_; }
    void SetAdjustFrame(bool value);
    int VertMargin() const { return vertMargin_; }
    void SetVertMargin(int value);
    TChartFont& Font() { return font_; }
    const TChartFont& Font() const { return font_; }
    TChartPen& Frame() { return frame_; }
    const TChartPen& Frame() const { return frame_; }

  private:
    TChart* owner_;
    std::vector<std::string> lines_;
    bool visible_ = true;
    TTitleAlignment alignment_ = taCenter;
    bool adjustFrame_ = true;
    int vertMargin_ = 5;
    TChartFont font_;
    TChartPen frame_;
};

class TChartLegend {
  public:
    explicit TChartLegend(TChart* owner);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    TLegendStyle LegendStyle() const { return legendStyle_; }
    void SetLegendStyle(TLegendStyle value);
    // Kept and settable (ChartPDOP sets ltsPlain), but without effect in the series style, which
    // is the only style the charts draw in: do not wire it to the drawing, do not remove it.
    TLegendTextStyle TextStyle() const { return textStyle_; }
    void SetTextStyle(TLegendTextStyle value);
    int HorizMargin() const { return horizMargin_; }
    void SetHorizMargin(int value);
    // Kept and settable, but the drawing places the legend at the right (laRight, the default)
    // whatever it holds.
    TLegendAlignment Alignment() const { return alignment_; }
    void SetAlignment(TLegendAlignment value);
    int TopPos() const { return topPos_; }
    void SetTopPos(int value);
    int VertSpacing() const { return vertSpacing_; }
    void SetVertSpacing(int value);
    bool ResizeChart() const { return resizeChart_; }
    void SetResizeChart(bool value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool SymbolVisible() const { return symbolVisible_; }
    void SetSymbolVisible(bool value);
    bool SymbolShadowVisible() const { return symbolShadowVisible_; }
    void SetSymbolShadowVisible(bool value);
    int ColorWidth() const { return colorWidth_; }
    void SetColorWidth(int value);
    TChartFont& Font() { return font_; }
    const TChartFont& Font() const { return font_; }
    TChartPen& Frame() { return frame_; }
    const TChartPen& Frame() const { return frame_; }

  private:
    TChart* owner_;
    bool visible_ = true;
    TLegendStyle legendStyle_ = lsAuto;
    TLegendTextStyle textStyle_ = ltsLeftValue;
    int horizMargin_ = 0;
    TLegendAlignment alignment_ = laRight;
    int topPos_ = 10;
    int vertSpacing_ = 0;
    bool resizeChart_ = true;
    TColor color_ = clWhite;
    bool symbolVisible_ = true;
    bool symbolShadowVisible_ = true;
    int colorWidth_ = 20;
    TChartFont font_;
    TChartPen frame_;
};

// The legend of the last pass.
struct TLegendLayout {
    bool Shown = false;
    TLegendStyle Style = lsSeries;  // the style used, lsAuto resolved
    TRect Rect;
    int ItemHeight = 0;
    int RowCount = 0;  // rows drawn
    int SymbolWidth = 0;
    int SymbolX = 0;
    int TextX = 0;
    std::vector<std::string> Rows;  // texts of the rows drawn
};

// The title of the last pass.
struct TTitleLayout {
    bool Shown = false;
    TRect Box;
    std::vector<TDrawnLabel> Lines;  // Position unused; X, Y the top-left of each line
};

class TChart {
  public:
    explicit TChart(TChartHost* host = nullptr);
    TChart(const TChart&) = delete;
    TChart& operator=(const TChart&) = delete;

    // Margins: 0 left, 1 top, 2 right, 3 bottom.
    int Margin(int index) const;
    void SetMargin(int index, int value);
    int MarginLeft() const { return margins_[0]; }
    void SetMarginLeft(int value) { SetMargin(0, value); }
    int MarginTop() const { return margins_[1]; }
    void SetMarginTop(int value) { SetMargin(1, value); }
    int MarginRight() const { return margins_[2]; }
    void SetMarginRight(int value) { SetMargin(2, value); }
    int MarginBottom() const { return margins_[3]; }
    void SetMarginBottom(int value) { SetMargin(3, value); }
    TMarginUnits MarginUnits() const { return marginUnits_; }
    void SetMarginUnits(TMarginUnits value);

    bool View3D() const { return view3D_; }
    void SetView3D(bool value);
    TColor Color() const { return color_; }
    void SetColor(TColor value);
    bool AxisVisible() const { return axisVisible_; }
    void SetAxisVisible(bool value);
    bool ClipPoints() const { return clipPoints_; }
    void SetClipPoints(bool value);
    TChartPen& BackWallFrame() { return backWallFrame_; }
    const TChartPen& BackWallFrame() const { return backWallFrame_; }

    TChartTitle& Title() { return title_; }
    const TChartTitle& Title() const { return title_; }
    TChartLegend& Legend() { return legend_; }
    const TChartLegend& Legend() const { return legend_; }

    TChartAxis& BottomAxis() { return *axes_[0]; }
    TChartAxis& TopAxis() { return *axes_[1]; }
    TChartAxis& LeftAxis() { return *axes_[2]; }
    TChartAxis& RightAxis() { return *axes_[3]; }
    const TChartAxis& BottomAxis() const { return *axes_[0]; }
    const TChartAxis& TopAxis() const { return *axes_[1]; }
    const TChartAxis& LeftAxis() const { return *axes_[2]; }
    const TChartAxis& RightAxis() const { return *axes_[3]; }
    // The axis list: bottom, top, left, right.
    int AxisCount() const { return static_cast<int>(axes_.size()); }
    TChartAxis& Axis(int index) { return *axes_.at(static_cast<std::size_t>(index)); }

    // Joins the series list (taking an automatic colour).
    TFastLineSeries& AddFastLineSeries(const std::string& componentName);
    int SeriesCount() const { return static_cast<int>(series_.size()); }
    TChartSeries& Series(int index) { return *series_.at(static_cast<std::size_t>(index)); }
    const TChartSeries& Series(int index) const { return *series_.at(static_cast<std::size_t>(index)); }
    int ActiveSeriesCount() const;

    bool Configuring() const { return configuring_; }
    // Leaves the configuring state for good.
    void EndConfiguring() { configuring_ = false; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // A change of the panel's size requests a redraw.
    void SetBounds(int width, int height);

    const TFormatSettings& FormatSettings() const { return formatSettings_; }
    void SetFormatSettings(const TFormatSettings& value);

    // Redraw bookkeeping.
    void RequestRedraw();
    void RedrawIfPending();
    bool RedrawPending() const { return redrawPending_; }
    bool RedrawRequestsEnabled() const { return redrawRequestsEnabled_; }
    long PassCount() const { return passCount_; }

    // One full drawing pass of the panel (Width x Height) onto the surface.
    void PaintChart(TChartSurface& surface);

    // Results of the last pass.
    const TRect& PanelRect() const { return panelRect_; }
    const TRect& PlotRect() const { return plotRect_; }
    const TLegendLayout& LegendLayout() const { return legendLayout_; }
    const TTitleLayout& TitleLayout() const { return titleLayout_; }

    // Automatic end of an axis from the series associated with it: smallest or largest value, 0 if none.
    double SeriesMinMax(const TChartAxis& axis, bool largest) const;

  private:
    friend class TChartSeries;
    void NormalizePlotRect();
    void DrawBackground(TChartSurface& surface);
    void DrawLegend(TChartSurface& surface);
    void DrawTitle(TChartSurface& surface);
    void LayoutAxes(TChartSurface& surface);
    void ComputeAxisExtent(TChartAxis& axis) const;
    void AdjustRange(TChartAxis& axis);
    void WidenAutomaticEnds(TChartAxis& axis);
    bool AxisShown(const TChartAxis& axis) const;
    bool IsDateTimeAxis(const TChartAxis& axis) const;
    TAxisLabelStyle ResolvedLabelStyle(const TChartAxis& axis) const;
    int LabelsBand(TChartAxis& axis, TTextMeasure& measure) const;
    int TickBand(const TChartAxis& axis) const;
    void DrawAxis(TChartSurface& surface, TChartAxis& axis);
    void DrawAxisLabel(TChartSurface& surface, TChartAxis& axis, int position, const std::string& text,
                       const TFont& font);
    void DrawTicksAndGrid(TChartSurface& surface, TChartAxis& axis);
    void DrawSeries(TChartSurface& surface, TChartSeries& series);
    TColor AutomaticColor() const;

    TChartHost* host_;
    std::array<int, 4> margins_{3, 4, 3, 4};
    TMarginUnits marginUnits_ = muPercent;
    bool view3D_ = true;
    TColor color_ = clBtnFace;
    bool axisVisible_ = true;
    bool clipPoints_ = true;
    TChartPen backWallFrame_;
    TChartTitle title_;
    TChartLegend legend_;
    std::vector<std::unique_ptr<TChartAxis>> axes_;
    std::vector<std::unique_ptr<TChartSeries>> series_;
    bool configuring_ = true;
    int width_ = 0, height_ = 0;
    TFormatSettings formatSettings_;

    bool redrawPending_ = true;
    bool redrawRequestsEnabled_ = true;
    long passCount_ = 0;

    TRect panelRect_;
    TRect plotRect_;
    TLegendLayout legendLayout_;
    TTitleLayout titleLayout_;
};

}  // namespace marlix::chart
