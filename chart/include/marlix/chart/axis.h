// One chart axis: its range settings, label items, label settings and the per-pass scale.
#pragma once

#include <array>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "marlix/chart/surface.h"
#include "marlix/chart/types.h"

namespace marlix::chart {

class TChart;

// Misuse of an axis range; the only error the chart reports.
class AxisException : public std::runtime_error {
  public:
    explicit AxisException(const std::string& message) : std::runtime_error(message) {}
};

constexpr double SmallestIncrement = 1e-12;
constexpr int PixelClamp = 0x3FFFFFF;

// Steps available to date-time labels, as fractions of a day.
constexpr int TimeStepCount = 27;
extern const std::array<double, TimeStepCount> TimeStepTable;

// 1 -> 2 -> 5 -> 10 -> 20 ...; 0.3 -> 0.5.
double NextNiceStep(double step);
// The table entry after the largest one (from 182 days down) that is <= step.
double NextTableStep(double step);

enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText };

class TAxisItem {
  public:
    TAxisItem(TChart* owner, double value, std::string text)
        : owner_(owner), value_(value), text_(std::move(text)) {}
    double Value() const { return value_; }
    void SetValue(double value);
    const std::string& Text() const { return text_; }
    void SetText(const std::string& value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    // The item's own font, not a copy of the axis's labels font.
    TChartFont& Font() { return font_; }
    const TChartFont& Font() const { return font_; }

  private:
    TChart* owner_;
    double value_;
    std::string text_;
    bool visible_ = true;
    TChartFont font_;
};

class TAxisItems {
  public:
    explicit TAxisItems(TChart* owner) : owner_(owner) {}
    void ClearItems();
    // Does not request a redraw: a caller always clears first, and clearing does.
    TAxisItem& AddItem(double value, const std::string& text);
    int Count() const { return static_cast<int>(items_.size()); }
    TAxisItem& Item(int index) { return items_.at(static_cast<std::size_t>(index)); }
    const TAxisItem& Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    // Once an item was added, the items are the axis's labels for good.
    bool HasCustomItems() const { return hasCustomItems_; }

  private:
    TChart* owner_;
    // A deque keeps earlier items where they are while more are added.
    std::deque<TAxisItem> items_;
    bool hasCustomItems_ = false;
};

// A label drawn in the last pass: its text, its pixel position along the axis and the text anchor.
struct TDrawnLabel {
    std::string Text;
    int Position = 0;
    int X = 0, Y = 0;
    friend bool operator==(const TDrawnLabel&, const TDrawnLabel&) = default;
};

class TChartAxis {
  public:
    TChartAxis(TChart* owner, bool horizontal, bool otherSide);
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    bool Horizontal() const { return horizontal_; }
    bool OtherSide() const { return otherSide_; }

    // Range settings.
    bool Automatic() const { return automatic_; }
    void SetAutomatic(bool value);
    bool AutomaticMinimum() const { return automaticMinimum_; }
    void SetAutomaticMinimum(bool value);
    bool AutomaticMaximum() const { return automaticMaximum_; }
    void SetAutomaticMaximum(bool value);
    double Minimum() const { return minimum_; }
    void SetMinimum(double value);
    double Maximum() const { return maximum_; }
    void SetMaximum(double value);
    // Both ends at once: only the new pair must be ordered, whatever the range was before. The
    // separate setters check against the stored other end, so their order matters.
    void SetMinMax(double minimum, double maximum);

    bool Visible() const { return visible_; }
    void SetVisible(bool value);
    const std::string& DateTimeFormat() const { return dateTimeFormat_; }
    void SetDateTimeFormat(const std::string& value);
    const std::string& AxisValuesFormat() const { return axisValuesFormat_; }
    void SetAxisValuesFormat(const std::string& value);

    // Label settings.
    bool Labels() const { return labels_; }
    void SetLabels(bool value);
    TChartFont& LabelsFont() { return labelsFont_; }
    const TChartFont& LabelsFont() const { return labelsFont_; }
    void SetLabelsFontPixelSize(int value) { labelsFont_.SetPixelSize(value); }
    void SetLabelsFontColor(TColor value) { labelsFont_.SetColor(value); }
    int LabelsSeparation() const { return labelsSeparation_; }
    void SetLabelsSeparation(int value);
    bool RoundFirstLabel() const { return roundFirstLabel_; }
    void SetRoundFirstLabel(bool value);
    bool ExactDateTime() const { return exactDateTime_; }
    void SetExactDateTime(bool value);
    double Increment() const { return increment_; }
    void SetIncrement(double value);
    TAxisLabelStyle LabelStyle() const { return labelStyle_; }
    void SetLabelStyle(TAxisLabelStyle value);
    bool LabelsOnAxis() const { return labelsOnAxis_; }
    void SetLabelsOnAxis(bool value);
    bool TickOnLabelsOnly() const { return tickOnLabelsOnly_; }
    void SetTickOnLabelsOnly(bool value);

    // Pens and tick lengths.
    TChartPen& Axis() { return axisPen_; }
    TChartPen& Grid() { return grid_; }
    TChartPen& Ticks() { return ticks_; }
    TChartPen& TicksInner() { return ticksInner_; }
    TChartPen& MinorTicks() { return minorTicks_; }
    const TChartPen& Axis() const { return axisPen_; }
    const TChartPen& Grid() const { return grid_; }
    const TChartPen& Ticks() const { return ticks_; }
    const TChartPen& TicksInner() const { return ticksInner_; }
    const TChartPen& MinorTicks() const { return minorTicks_; }
    int TickLength() const { return tickLength_; }
    void SetTickLength(int value);
    int TickInnerLength() const { return tickInnerLength_; }
    void SetTickInnerLength(int value);
    int MinorTickLength() const { return minorTickLength_; }
    void SetMinorTickLength(int value);
    int MinorTickCount() const { return minorTickCount_; }
    void SetMinorTickCount(int value);
    // Start and end of the axis along the plot rectangle, in percent.
    double StartPosition() const { return startPosition_; }
    void SetStartPosition(double value);
    double EndPosition() const { return endPosition_; }
    void SetEndPosition(double value);

    TAxisItems& Items() { return items_; }
    const TAxisItems& Items() const { return items_; }

    // Results of the last drawing pass.
    bool Shown() const { return shown_; }
    bool IsDateTimeAxis() const { return isDateTime_; }
    double ScaleMinimum() const { return scaleMinimum_; }
    double ScaleMaximum() const { return scaleMaximum_; }
    bool RangeZero() const { return rangeZero_; }
    int IStartPos() const { return startPos_; }
    int IEndPos() const { return endPos_; }
    int IAxisSize() const { return axisSize_; }
    int AxisPos() const { return axisPos_; }
    int LabelsPos() const { return labelsPos_; }
    double LastIncrement() const { return lastIncrement_; }
    const std::vector<int>& TickPositions() const { return tickPositions_; }
    const std::vector<TDrawnLabel>& DrawnLabels() const { return drawnLabels_; }

    // Scale arithmetic on the working range and the pixel extent.
    int ValueToPixel(double value) const;
    double PixelToValue(int pixel) const;
    std::string LabelValue(double value) const;
    double LabelIncrement(TTextMeasure& measure) const;
    // Label values from the top of the range downwards, for a given increment.
    std::vector<double> LabelValues(double increment) const;

    // Used by the drawing pass (and by tests that set up a scale by hand).
    void SetScale(double scaleMinimum, double scaleMaximum);
    void SetPixelExtent(int start, int end);
    void SetDateTime(bool value) { isDateTime_ = value; }

  private:
    friend class TChart;
    void Changed();
    bool Configuring() const;
    int LabelSpan(TTextMeasure& measure, double value) const;
    double IncrementFor(TTextMeasure& measure, double increment) const;
    double DateTimeStep(int count, double increment) const;
    double ValueStep(int count, double increment) const;

    TChart* owner_;
    bool horizontal_;
    bool otherSide_;

    bool automatic_ = true, automaticMinimum_ = true, automaticMaximum_ = true;
    double minimum_ = 0, maximum_ = 0;
    bool visible_ = true;
    std::string dateTimeFormat_;
    std::string axisValuesFormat_ = "#,##0.###";
    bool labels_ = true;
    TChartFont labelsFont_;
    int labelsSeparation_ = 10;
    bool roundFirstLabel_ = true;
    bool exactDateTime_ = true;
    double increment_ = 0;
    TAxisLabelStyle labelStyle_ = talAuto;
    bool labelsOnAxis_ = true;
    bool tickOnLabelsOnly_ = true;
    TChartPen axisPen_, grid_, ticks_, ticksInner_, minorTicks_;
    int tickLength_ = 4, tickInnerLength_ = 0, minorTickLength_ = 2, minorTickCount_ = 3;
    double startPosition_ = 0, endPosition_ = 100;
    TAxisItems items_;

    bool shown_ = false;
    bool isDateTime_ = false;
    double scaleMinimum_ = 0, scaleMaximum_ = 0;
    bool rangeZero_ = true;
    int startPos_ = 0, endPos_ = 0, axisSize_ = 0, axisPos_ = 0, labelsPos_ = 0;
    double lastIncrement_ = 0;
    std::vector<int> tickPositions_;
    std::vector<TDrawnLabel> drawnLabels_;
};

}  // namespace marlix::chart
