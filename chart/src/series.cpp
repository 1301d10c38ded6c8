#include "marlix/chart/series.h"

#include <cmath>

#include "marlix/chart/chart.h"

namespace marlix::chart {

namespace {
// Value arrays grow in steps of this many values when an insertion finds them full.
constexpr std::size_t kCapacityStep = 1000;
}  // namespace

void TChartValueList::Recalc() const {
    if (!statsDirty_) return;
    minimum_ = maximum_ = total_ = totalAbs_ = 0;
    if (!values_.empty()) {
        minimum_ = maximum_ = total_ = values_.front();
        totalAbs_ = std::fabs(values_.front());
        for (std::size_t i = 1; i < values_.size(); ++i) {
            const double v = values_[i];
            if (v < minimum_)
                minimum_ = v;
            else if (v > maximum_)
                maximum_ = v;
            total_ += v;
            totalAbs_ += std::fabs(v);
        }
    }
    statsDirty_ = false;
}

double TChartValueList::LowestValue() const {
    Recalc();
    return minimum_;
}

double TChartValueList::HighestValue() const {
    Recalc();
    return maximum_;
}

double TChartValueList::Total() const {
    Recalc();
    return total_;
}

double TChartValueList::TotalABS() const {
    Recalc();
    return totalAbs_;
}

int TChartValueList::InsertionIndex(double value) const {
    const int n = Count();
    if (order_ == loNone || n == 0) return n;
    int j = n - 1;
    if (order_ == loAscending) {
        if (value >= values_[static_cast<std::size_t>(j)]) return n;
        while (j >= 0 && values_[static_cast<std::size_t>(j)] > value) --j;
    } else {
        if (value <= values_[static_cast<std::size_t>(j)]) return n;
        while (j >= 0 && values_[static_cast<std::size_t>(j)] < value) --j;
    }
    return j + 1;
}

void TChartValueList::Insert(int index, double value) {
    if (values_.size() == values_.capacity()) values_.reserve(values_.capacity() + kCapacityStep);
    values_.insert(values_.begin() + index, value);
    statsDirty_ = true;
}

void TChartValueList::Clear() {
    std::vector<double>().swap(values_);
    statsDirty_ = true;
}

TChartSeries::TChartSeries(TChart* owner, std::string componentName)
    : owner_(owner), name_(std::move(componentName)), linePen_(owner) {}

void TChartSeries::Changed() {
    if (owner_) owner_->RequestRedraw();
}

void TChartSeries::SetTitle(const std::string& value) {
    if (title_ == value) return;
    title_ = value;
    Changed();
}

void TChartSeries::SetActive(bool value) {
    if (active_ == value) return;
    active_ = value;
    Changed();
}

void TChartSeries::SetShowInLegend(bool value) {
    if (showInLegend_ == value) return;
    showInLegend_ = value;
    Changed();
}

void TChartSeries::SetSeriesColor(TColor value) {
    linePen_.SetColor(value);
    if (color_ == value) return;
    color_ = value;
    Changed();
}

void TChartSeries::SetHorizAxis(THorizAxis value) {
    if (horizAxis_ == value) return;
    horizAxis_ = value;
    Changed();
}

void TChartSeries::SetVertAxis(TVertAxis value) {
    if (vertAxis_ == value) return;
    vertAxis_ = value;
    Changed();
}

int TChartSeries::AddPoint(double x, double y, const std::string& label, TColor color) {
    const int n = xValues_.Count();
    const int i = xValues_.InsertionIndex(x);
    xValues_.Insert(i, x);
    yValues_.Insert(i, y);
    if (!pointColors_.empty()) {
        pointColors_.insert(pointColors_.begin() + i, color);
    } else if (color != clAutoColor) {
        pointColors_.assign(static_cast<std::size_t>(n) + 1, clAutoColor);
        pointColors_[static_cast<std::size_t>(i)] = color;
    }
    if (!label.empty() || !pointLabels_.empty()) {
        // Labels are filled lazily: earlier points without one get an empty text.
        if (pointLabels_.size() < static_cast<std::size_t>(n))
            pointLabels_.resize(static_cast<std::size_t>(n));
        pointLabels_.insert(pointLabels_.begin() + i, label);
    }
    if (active_) Changed();
    return i;
}

void TChartSeries::ClearPoints() {
    firstDrawnIndex_ = -1;
    lastDrawnIndex_ = -1;
    xValues_.Clear();
    yValues_.Clear();
    std::vector<TColor>().swap(pointColors_);
    pointLabels_.clear();
    if (active_) Changed();
}

TColor TChartSeries::PointColor(int index) const {
    if (index >= 0 && static_cast<std::size_t>(index) < pointColors_.size()) {
        const TColor c = pointColors_[static_cast<std::size_t>(index)];
        if (c != clAutoColor) return c;
    }
    return SeriesColor();
}

TChartAxis& TChartSeries::GetHorizAxis() const {
    return horizAxis_ == aTopAxis ? owner_->TopAxis() : owner_->BottomAxis();
}

TChartAxis& TChartSeries::GetVertAxis() const {
    return vertAxis_ == aRightAxis ? owner_->RightAxis() : owner_->LeftAxis();
}

bool TChartSeries::AssociatedToAxis(const TChartAxis& axis) const {
    if (axis.Horizontal()) return horizAxis_ == aBothHorizAxis || &GetHorizAxis() == &axis;
    return vertAxis_ == aBothVertAxis || &GetVertAxis() == &axis;
}

void TFastLineSeries::SetDrawAllPoints(bool value) {
    if (drawAllPoints_ == value) return;
    drawAllPoints_ = value;
    if (ParentChart()) ParentChart()->RequestRedraw();
}

void TFastLineSeries::SetJoinLimit(double value) {
    if (joinLimit_ == value) return;
    joinLimit_ = value;
    if (ParentChart()) ParentChart()->RequestRedraw();
}

int TFastLineSeries::AxisEndMargin() const {
    const int w = LinePen().Width();
    return w - (w - 2) / 2;
}

}  // namespace marlix::chart
