// Series of a chart: value lists and the fast line series.
#pragma once

#include <string>
#include <vector>

#include "marlix/chart/types.h"

namespace marlix::chart {

class TChart;
class TChartAxis;

enum TChartListOrder { loNone, loAscending, loDescending };

class TChartValueList {
  public:
    TChartValueList(std::string name, TChartListOrder order) : name_(std::move(name)), order_(order) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& value) { name_ = value; }
    TChartListOrder Order() const { return order_; }
    void SetOrder(TChartListOrder value) { order_ = value; }
    bool DateTime() const { return dateTime_; }
    void SetDateTime(bool value) { dateTime_ = value; }

    int Count() const { return static_cast<int>(values_.size()); }
    // Callers keep the index below Count().
    double Value(int index) const { return values_[static_cast<std::size_t>(index)]; }
    const double* Data() const { return values_.data(); }
    std::size_t Capacity() const { return values_.capacity(); }

    double LowestValue() const;
    double HighestValue() const;
    double Total() const;
    double TotalABS() const;

    // The index a new value would take under this list's order (after equal values).
    int InsertionIndex(double value) const;
    void Insert(int index, double value);
    void Clear();

  private:
    void Recalc() const;
    std::string name_;
    TChartListOrder order_;
    bool dateTime_ = false;
    std::vector<double> values_;
    mutable bool statsDirty_ = true;
    mutable double minimum_ = 0, maximum_ = 0, total_ = 0, totalAbs_ = 0;
};

class TChartSeries {
  public:
    TChartSeries(TChart* owner, std::string componentName);
    virtual ~TChartSeries() = default;
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    TChart* ParentChart() const { return owner_; }
    const std::string& Name() const { return name_; }
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& value);
    bool Active() const { return active_; }
    void SetActive(bool value);
    bool ShowInLegend() const { return showInLegend_; }
    void SetShowInLegend(bool value);
    // The own colour, or the automatic colour received on joining while the own colour is clAutoColor.
    TColor SeriesColor() const { return color_ == clAutoColor ? autoColor_ : color_; }
    TColor OwnColor() const { return color_; }
    // Also sets the line pen's colour.
    void SetSeriesColor(TColor value);
    TChartPen& LinePen() { return linePen_; }
    const TChartPen& LinePen() const { return linePen_; }
    THorizAxis HorizAxis() const { return horizAxis_; }
    void SetHorizAxis(THorizAxis value);
    TVertAxis VertAxis() const { return vertAxis_; }
    void SetVertAxis(TVertAxis value);

    TChartValueList& XValues() { return xValues_; }
    TChartValueList& YValues() { return yValues_; }
    const TChartValueList& XValues() const { return xValues_; }
    const TChartValueList& YValues() const { return yValues_; }

    int AddPoint(double x, double y, const std::string& label = "", TColor color = clAutoColor);
    void ClearPoints();
    int PointCount() const { return xValues_.Count(); }
    // Empty when the series has no point colours: every point then takes the series colour.
    const std::vector<TColor>& PointColors() const { return pointColors_; }
    const std::vector<std::string>& PointLabels() const { return pointLabels_; }
    TColor PointColor(int index) const;

    TChartAxis& GetHorizAxis() const;
    TChartAxis& GetVertAxis() const;
    bool AssociatedToAxis(const TChartAxis& axis) const;
    // Pixels kept free at the two ends of an automatic axis so extreme points do not sit on the edge.
    virtual int AxisEndMargin() const { return 0; }

    int FirstDrawnIndex() const { return firstDrawnIndex_; }
    int LastDrawnIndex() const { return lastDrawnIndex_; }

  private:
    friend class TChart;
    void Changed();

    TChart* owner_;
    std::string name_;
    std::string title_;
    bool active_ = true;
    bool showInLegend_ = true;
    TColor color_ = clAutoColor;
    TColor autoColor_ = clAutoColor;
    TChartPen linePen_;
    THorizAxis horizAxis_ = aBottomAxis;
    TVertAxis vertAxis_ = aLeftAxis;
    TChartValueList xValues_{"X", loAscending};
    TChartValueList yValues_{"Y", loNone};
    std::vector<TColor> pointColors_;
    std::vector<std::string> pointLabels_;

  protected:
    int firstDrawnIndex_ = -1, lastDrawnIndex_ = -1;
};

// A polyline through the points, one segment per pixel change.
class TFastLineSeries : public TChartSeries {
  public:
    using TChartSeries::TChartSeries;
    bool DrawAllPoints() const { return drawAllPoints_; }
    void SetDrawAllPoints(bool value);
    // Neighbouring points further apart in X than this are not joined: the line breaks there, so that
    // missing data shows as a gap. 0, the default, joins every pair.
    double JoinLimit() const { return joinLimit_; }
    void SetJoinLimit(double value);
    int AxisEndMargin() const override;

  private:
    bool drawAllPoints_ = true;
    double joinLimit_ = 0;
};

}  // namespace marlix::chart
