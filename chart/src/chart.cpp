#include "marlix/chart/chart.h"

#include <algorithm>
#include <stdexcept>

namespace marlix::chart {

namespace {

// Colours handed to series that join without a colour of their own, in this order.
constexpr std::array<TColor, 20> kAutoColors{
    RGBColor(255, 0, 0),     RGBColor(0, 128, 0),     RGBColor(255, 255, 0),   RGBColor(0, 0, 255),
    RGBColor(255, 255, 255), RGBColor(128, 128, 128), RGBColor(255, 0, 255),   RGBColor(0, 128, 128),
    RGBColor(0, 0, 128),     RGBColor(128, 0, 0),     RGBColor(0, 255, 0),     RGBColor(128, 128, 0),
    RGBColor(128, 0, 128),   RGBColor(192, 192, 192), RGBColor(0, 255, 255),   RGBColor(0, 0, 0),
    RGBColor(192, 220, 192), RGBColor(166, 202, 240), RGBColor(255, 251, 240), RGBColor(160, 160, 164)};

template <typename T>
bool Store(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) return lines;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

TChartTitle::TChartTitle(TChart* owner)
    : owner_(owner), font_(owner, TFont{"Arial", 8, 0, clBlue}), frame_(owner, TPen{clBlack, 1, psSolid}) {}

void TChartTitle::SetText(const std::string& text) {
    if (Store(lines_, SplitLines(text))) owner_->RequestRedraw();
}

std::string TChartTitle::Text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines_[i];
    }
    return text;
}

void TChartTitle::SetVisible(bool value) {
    if (Store(visible_, value)) owner_->RequestRedraw();
}
void TChartTitle::SetAlignment(TTitleAlignment value) {
    if (Store(alignment_, value)) owner_->RequestRedraw();
}
void TChartTitle::SetAdjustFrame(bool value) {
    if (Store(adjustFrame_, value)) owner_->RequestRedraw();
}
void TChartTitle::SetVertMargin(int value) {
    if (Store(vertMargin_, value)) owner_->RequestRedraw();
}

TChartLegend::TChartLegend(TChart* owner)
    : owner_(owner), font_(owner), frame_(owner, TPen{clBlack, 1, psSolid}) {}

void TChartLegend::SetVisible(bool value) {
    if (Store(visible_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetLegendStyle(TLegendStyle value) {
    if (Store(legendStyle_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetTextStyle(TLegendTextStyle value) {
    if (Store(textStyle_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetHorizMargin(int value) {
    if (Store(horizMargin_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetAlignment(TLegendAlignment value) {
    if (Store(alignment_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetTopPos(int value) {
    if (Store(topPos_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetVertSpacing(int value) {
    if (Store(vertSpacing_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetResizeChart(bool value) {
    if (Store(resizeChart_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetColor(TColor value) {
    if (Store(color_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetSymbolVisible(bool value) {
    if (Store(symbolVisible_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetSymbolShadowVisible(bool value) {
    if (Store(symbolShadowVisible_, value)) owner_->RequestRedraw();
}
void TChartLegend::SetColorWidth(int value) {
    if (Store(colorWidth_, value)) owner_->RequestRedraw();
}

TChart::TChart(TChartHost* host)
    : host_(host), backWallFrame_(this, TPen{clBlack, 1, psSolid}), title_(this), legend_(this) {
    axes_.push_back(std::make_unique<TChartAxis>(this, true, false));   // bottom
    axes_.push_back(std::make_unique<TChartAxis>(this, true, true));    // top
    axes_.push_back(std::make_unique<TChartAxis>(this, false, false));  // left
    axes_.push_back(std::make_unique<TChartAxis>(this, false, true));   // right
}

int TChart::Margin(int index) const {
    if (index < 0 || index > 3) throw std::out_of_range("margin index");
    return margins_[static_cast<std::size_t>(index)];
}

void TChart::SetMargin(int index, int value) {
    if (index < 0 || index > 3) throw std::out_of_range("margin index");
    if (Store(margins_[static_cast<std::size_t>(index)], value)) RequestRedraw();
}

void TChart::SetMarginUnits(TMarginUnits value) {
    if (Store(marginUnits_, value)) RequestRedraw();
}
void TChart::SetView3D(bool value) {
    if (Store(view3D_, value)) RequestRedraw();
}
void TChart::SetColor(TColor value) {
    if (Store(color_, value)) RequestRedraw();
}
void TChart::SetAxisVisible(bool value) {
    if (Store(axisVisible_, value)) RequestRedraw();
}
void TChart::SetClipPoints(bool value) {
    if (Store(clipPoints_, value)) RequestRedraw();
}

void TChart::SetBounds(int width, int height) {
    if (width_ == width && height_ == height) return;
    width_ = width;
    height_ = height;
    RequestRedraw();
}

void TChart::SetFormatSettings(const TFormatSettings& value) {
    formatSettings_ = value;
    RequestRedraw();
}

TColor TChart::AutomaticColor() const {
    for (TColor candidate : kAutoColors) {
        if (candidate == color_) continue;
        const bool taken = std::any_of(series_.begin(), series_.end(),
                                       [&](const auto& s) { return s->SeriesColor() == candidate; });
        if (!taken) return candidate;
    }
    return kAutoColors.back();
}

TFastLineSeries& TChart::AddFastLineSeries(const std::string& componentName) {
    auto series = std::make_unique<TFastLineSeries>(this, componentName);
    TFastLineSeries& added = *series;
    added.autoColor_ = AutomaticColor();
    added.linePen_ = TChartPen(this, TPen{added.autoColor_, 1, psSolid});
    series_.push_back(std::move(series));
    RequestRedraw();
    return added;
}

int TChart::ActiveSeriesCount() const {
    return static_cast<int>(
        std::count_if(series_.begin(), series_.end(), [](const auto& s) { return s->Active(); }));
}

void TChart::RequestRedraw() {
    if (!redrawRequestsEnabled_) return;
    redrawPending_ = true;
    if (host_) host_->InvalidateLater();
}

void TChart::RedrawIfPending() {
    if (host_ && host_->HandleAllocated() && redrawPending_) host_->PaintNow();
}

double TChart::SeriesMinMax(const TChartAxis& axis, bool largest) const {
    const bool anyActive = std::any_of(series_.begin(), series_.end(), [&](const auto& s) {
        return s->Active() && s->AssociatedToAxis(axis);
    });
    bool found = false;
    double result = 0;
    for (const auto& s : series_) {
        if (s->PointCount() == 0 || !s->AssociatedToAxis(axis)) continue;
        if (!s->Active() && anyActive) continue;
        const TChartValueList& list = axis.Horizontal() ? s->XValues() : s->YValues();
        const double candidate = largest ? list.HighestValue() : list.LowestValue();
        if (!found || (largest ? candidate > result : candidate < result)) result = candidate;
        found = true;
    }
    return result;
}

}  // namespace marlix::chart
