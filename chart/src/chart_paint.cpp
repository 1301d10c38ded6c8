// The drawing pass: layout of legend, title and axes, then frame, axes, and series.
#include <algorithm>
#include <cmath>

#include "marlix/chart/chart.h"

namespace marlix::chart {

namespace {

// Pixel arithmetic rounds halves to even.
int Round(double x) {
    return static_cast<int>(std::nearbyint(x));
}

// Bevel pixels around the panel: one ring for the raised outer bevel.
constexpr int kBorderWidth = 1;
constexpr int kSymbolShadowSize = 3;
constexpr char kColumnSeparator = '\x06';
// Guards the band measurement against pathological increments.
constexpr int kMaxMeasuredLabels = 10000;

enum TAxisSide { sideBottom, sideTop, sideLeft, sideRight };

TAxisSide SideOf(const TChartAxis& axis) {
    if (axis.Horizontal()) return axis.OtherSide() ? sideTop : sideBottom;
    return axis.OtherSide() ? sideRight : sideLeft;
}

// +1 when "away from the plot" is the growing coordinate.
int OutwardDirection(TAxisSide side) {
    return side == sideBottom || side == sideRight ? 1 : -1;
}

void DrawLine(TChartSurface& surface, int x1, int y1, int x2, int y2) {
    surface.MoveTo(x1, y1);
    surface.LineTo(x2, y2);
}

struct RestoreRedrawRequests {
    bool& enabled;
    ~RestoreRedrawRequests() { enabled = true; }
};

}  // namespace

void TChart::NormalizePlotRect() {
    TRect& r = plotRect_;
    r.Left = std::max(r.Left, 0);
    r.Top = std::max(r.Top, 0);
    if (r.Right < r.Left) r.Right = r.Left + 1;
    if (r.Right == r.Left) r.Right = r.Left + width_;
    if (r.Bottom < r.Top) r.Bottom = r.Top + 1;
    if (r.Bottom == r.Top) r.Bottom = r.Top + height_;
}

void TChart::PaintChart(TChartSurface& surface) {
    // Nothing stored during the pass (automatic ends, widened ranges) may owe another pass.
    redrawRequestsEnabled_ = false;
    RestoreRedrawRequests restore{redrawRequestsEnabled_};
    ++passCount_;

    panelRect_ = TRect{0, 0, width_, height_};
    const auto marginPixels = [&](int index, int extent) {
        const int m = margins_[static_cast<std::size_t>(index)];
        return marginUnits_ == muPixels ? m : m * extent / 100;
    };
    plotRect_ = TRect{kBorderWidth + marginPixels(0, width_), kBorderWidth + marginPixels(1, height_),
                      width_ - kBorderWidth - marginPixels(2, width_),
                      height_ - kBorderWidth - marginPixels(3, height_)};
    NormalizePlotRect();

    DrawBackground(surface);
    legendLayout_ = TLegendLayout{};
    titleLayout_ = TTitleLayout{};
    if (legend_.Visible() && ActiveSeriesCount() > 0) DrawLegend(surface);
    DrawTitle(surface);
    LayoutAxes(surface);

    if (backWallFrame_.Visible())
        surface.FrameRect(TRect{plotRect_.Left, plotRect_.Top, plotRect_.Right + 1, plotRect_.Bottom + 1},
                          backWallFrame_.Pen());
    for (auto& axis : axes_) {
        axis->tickPositions_.clear();
        axis->drawnLabels_.clear();
        if (axis->shown_) DrawAxis(surface, *axis);
    }
    for (auto& series : series_)
        if (series->Active()) DrawSeries(surface, *series);

    redrawPending_ = false;
}

void TChart::DrawBackground(TChartSurface& surface) {
    surface.FillRect(panelRect_, color_);
    surface.RaisedBevel(panelRect_);
}

void TChart::DrawLegend(TChartSurface& surface) {
    TLegendLayout& layout = legendLayout_;
    struct Row {
        std::string Text;
        const TChartSeries* Series;
        TColor Color;
    };
    std::vector<Row> rows;

    layout.Style = legend_.LegendStyle();
    if (layout.Style == lsAuto) layout.Style = ActiveSeriesCount() > 1 ? lsSeries : lsValues;
    if (layout.Style == lsValues) {
        // One row per point of the first active series.
        const auto it =
            std::find_if(series_.begin(), series_.end(), [](const auto& s) { return s->Active(); });
        const TChartSeries& s = **it;
        for (int i = 0; i < s.PointCount(); ++i) {
            std::string text = FormatNumber("#,##0.###", s.YValues().Value(i), formatSettings_);
            if (static_cast<std::size_t>(i) < s.PointLabels().size() &&
                !s.PointLabels()[static_cast<std::size_t>(i)].empty())
                text += " " + s.PointLabels()[static_cast<std::size_t>(i)];
            rows.push_back({std::move(text), &s, s.PointColor(i)});
        }
    } else {
        for (std::size_t i = 0; i < series_.size(); ++i) {
            const TChartSeries& s = *series_[i];
            if (!s.Active() || !s.ShowInLegend()) continue;
            std::string text = s.Title();
            std::replace(text.begin(), text.end(), kColumnSeparator, ' ');
            if (text.empty()) text = s.Name();
            if (text.empty()) text = "Series" + std::to_string(i + 1);
            if (layout.Style == lsLastValues && s.PointCount() > 0)
                text = FormatNumber("#,##0.###", s.YValues().Value(s.PointCount() - 1), formatSettings_) +
                       " " + text;
            rows.push_back({std::move(text), &s, s.LinePen().Color()});
        }
    }

    const TFont& font = legend_.Font().Font();
    const int fw = legend_.Frame().Visible() ? legend_.Frame().Width() : 0;
    const int itemHeight = surface.TextHeight(font) + legend_.VertSpacing();
    const int top = panelRect_.Top + Round(legend_.TopPos() * 0.01 * height_);
    int shown = 0;
    if (top < plotRect_.Bottom && itemHeight > 0)
        shown = std::min((plotRect_.Bottom - 2 * fw - top) / itemHeight, static_cast<int>(rows.size()));
    if (shown <= 0) return;
    rows.resize(static_cast<std::size_t>(shown));

    const bool symbol = legend_.SymbolVisible();
    const bool symbolShadow = symbol && legend_.SymbolShadowVisible();
    int height = itemHeight * shown + 2 + 2 * Round(itemHeight * 0.1);
    if (symbolShadow && itemHeight / 6 < kSymbolShadowSize) height += kSymbolShadowSize - itemHeight / 6;

    int widest = 0;
    for (const Row& row : rows) widest = std::max(widest, surface.TextWidth(font, row.Text));
    const int column = widest > 0 ? widest + surface.TextWidth(font, " ") - 1 : 0;
    const int base = column + 12;
    const int symbolWidth = symbol ? Round(base * legend_.ColorWidth() * 0.01) : 0;
    int width = base + symbolWidth;
    if (symbol) width += 2 + (symbolShadow ? kSymbolShadowSize : 0);

    const int right = plotRect_.Right - (fw + 1);
    layout.Rect = TRect{right - width, top, right, top + height};
    layout.ItemHeight = itemHeight;
    layout.RowCount = shown;
    layout.SymbolWidth = symbolWidth;
    layout.SymbolX = layout.Rect.Left + 6;
    layout.TextX = symbol ? layout.Rect.Left + symbolWidth + 12 + (symbolShadow ? kSymbolShadowSize : 0)
                          : layout.Rect.Left + 8;
    layout.Shown = true;

    surface.FillRect(layout.Rect, legend_.Color());
    if (legend_.Frame().Visible()) surface.FrameRect(layout.Rect, legend_.Frame().Pen());
    const int spacing = legend_.VertSpacing();
    for (int r = 0; r < shown; ++r) {
        const Row& row = rows[static_cast<std::size_t>(r)];
        const int y = top + Round(itemHeight * 0.1) + 1 + itemHeight * r + spacing / 2;
        surface.TextOut(layout.TextX - 2, y, row.Text, font, htaLeft, vtaTop);
        layout.Rows.push_back(row.Text);
        if (symbolWidth > 0 && row.Series->LinePen().Visible()) {
            const TRect box{layout.SymbolX, y + 2, layout.SymbolX + symbolWidth,
                            y + itemHeight - 2 - spacing};
            TPen pen = row.Series->LinePen().Pen();
            pen.Color = row.Color;
            surface.SetPen(pen);
            const int middle = (box.Top + box.Bottom) / 2;
            DrawLine(surface, box.Left, middle, box.Right, middle);
        }
    }

    if (legend_.ResizeChart()) {
        const int gap = legend_.HorizMargin() != 0 ? legend_.HorizMargin() : 3 * plotRect_.Width() / 100;
        plotRect_.Right = layout.Rect.Left - gap;
        NormalizePlotRect();
    }
}

void TChart::DrawTitle(TChartSurface& surface) {
    if (!title_.Visible() || title_.Lines().empty()) return;
    const TFont& font = title_.Font().Font();
    const TChartPen& frame = title_.Frame();
    const int fw = frame.Visible() && frame.Color() != clAutoColor ? frame.Width() : 0;
    const int h = surface.TextHeight(font);
    const auto& lines = title_.Lines();

    TRect box{plotRect_.Left, plotRect_.Top + fw, plotRect_.Right,
              plotRect_.Top + fw + static_cast<int>(lines.size()) * h};
    box = TRect{box.Left - fw, box.Top - fw, box.Right + fw, box.Bottom + fw};
    std::vector<int> widths;
    int widest = 0;
    for (const auto& line : lines) {
        widths.push_back(surface.TextWidth(font, line));
        widest = std::max(widest, widths.back());
    }
    const int wWidth = surface.TextWidth(font, "W");
    if (title_.AdjustFrame()) {
        const int a = wWidth + fw + widest;
        if (title_.Alignment() == taCenter) {
            const int c = (box.Left + box.Right) / 2;
            box.Left = c - a / 2;
            box.Right = c + a / 2;
        } else if (title_.Alignment() == taLeftJustify) {
            box.Right = box.Left + a;
        } else {
            box.Left = box.Right - a;
        }
    }
    titleLayout_.Shown = true;
    titleLayout_.Box = box;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int y = box.Top + static_cast<int>(i) * h + fw;
        int x = (box.Left + box.Right) / 2 - widths[i] / 2;
        if (title_.Alignment() == taRightJustify) x = box.Right - widths[i] - wWidth / 2;
        if (title_.Alignment() == taLeftJustify) x = box.Left + wWidth / 2;
        surface.TextOut(x, y, lines[i], font, htaLeft, vtaTop);
        titleLayout_.Lines.push_back(TDrawnLabel{lines[i], 0, x, y});
    }
    plotRect_.Top = box.Bottom + title_.VertMargin() + fw;
    NormalizePlotRect();
}

bool TChart::AxisShown(const TChartAxis& axis) const {
    if (!axisVisible_ || !axis.Visible()) return false;
    if (ActiveSeriesCount() == 0) return true;
    return std::any_of(series_.begin(), series_.end(),
                       [&](const auto& s) { return s->Active() && s->AssociatedToAxis(axis); });
}

bool TChart::IsDateTimeAxis(const TChartAxis& axis) const {
    for (const auto& s : series_) {
        if (!s->Active() || !s->AssociatedToAxis(axis)) continue;
        return axis.Horizontal() ? s->XValues().DateTime() : s->YValues().DateTime();
    }
    return false;
}

TAxisLabelStyle TChart::ResolvedLabelStyle(const TChartAxis& axis) const {
    if (axis.LabelStyle() != talAuto) return axis.LabelStyle();
    bool attached = false;
    for (const auto& s : series_) {
        if (!s->Active() || !s->AssociatedToAxis(axis)) continue;
        attached = true;
        if (!s->PointLabels().empty()) return talText;
    }
    return attached ? talValue : talNone;
}

void TChart::AdjustRange(TChartAxis& axis) {
    if (axis.automatic_ || axis.automaticMaximum_) axis.maximum_ = SeriesMinMax(axis, true);
    if (axis.automatic_ || axis.automaticMinimum_) axis.minimum_ = SeriesMinMax(axis, false);
    axis.SetScale(axis.minimum_, axis.maximum_);
}

void TChart::ComputeAxisExtent(TChartAxis& axis) const {
    if (axis.Horizontal()) {
        const int w = plotRect_.Width();
        axis.SetPixelExtent(plotRect_.Left + Round(w * axis.StartPosition() * 0.01),
                            plotRect_.Left + Round(w * axis.EndPosition() * 0.01));
    } else {
        const int h = plotRect_.Height();
        axis.SetPixelExtent(plotRect_.Top + Round(h * axis.StartPosition() * 0.01),
                            plotRect_.Top + Round(h * axis.EndPosition() * 0.01));
    }
}

int TChart::TickBand(const TChartAxis& axis) const {
    int band = (axis.Axis().Visible() ? axis.Axis().Width() + 1 : 0) +
               (axis.Ticks().Visible() ? axis.TickLength() : 0);
    if (axis.MinorTicks().Visible()) band = std::max(band, axis.MinorTickLength());
    return band;
}

int TChart::LabelsBand(TChartAxis& axis, TTextMeasure& measure) const {
    if (axis.Horizontal()) return measure.TextHeight(axis.LabelsFont().Font());
    if (axis.Items().HasCustomItems()) {
        int widest = 0;
        for (int i = 0; i < axis.Items().Count(); ++i) {
            const TAxisItem& item = axis.Items().Item(i);
            const std::string text = item.Text().empty() ? axis.LabelValue(item.Value()) : item.Text();
            widest = std::max(widest, measure.TextWidth(item.Font().Font(), text));
        }
        return widest;
    }
    const bool attached = std::any_of(series_.begin(), series_.end(), [&](const auto& s) {
        return s->Active() && s->AssociatedToAxis(axis);
    });
    if (!attached) return 0;

    const TFont& font = axis.LabelsFont().Font();
    const double inc = axis.LabelIncrement(measure);
    double lo = axis.ScaleMinimum(), hi = axis.ScaleMaximum();
    if (axis.RoundFirstLabel() || (axis.IsDateTimeAxis() && axis.ExactDateTime())) {
        lo = std::trunc(lo / inc) * inc;
        hi = std::trunc(hi / inc) * inc;
    }
    int widest = measure.TextWidth(font, axis.LabelValue(hi));
    if (inc == 0) {
        widest = std::max(widest, measure.TextWidth(font, axis.LabelValue(lo)));
    } else {
        double v = hi - inc;
        for (int n = 0; v >= lo && n < kMaxMeasuredLabels; ++n, v -= inc)
            widest = std::max(widest, measure.TextWidth(font, axis.LabelValue(v)));
    }
    return widest + measure.TextWidth(font, " ");
}

void TChart::WidenAutomaticEnds(TChartAxis& axis) {
    int margin = 0;
    for (const auto& s : series_)
        if (s->Active() && s->AssociatedToAxis(axis)) margin = std::max(margin, s->AxisEndMargin());
    const int a = axis.AutomaticMinimum() ? margin : 0;
    const int b = axis.AutomaticMaximum() ? margin : 0;
    const double range = axis.ScaleMaximum() - axis.ScaleMinimum();
    const int inner = axis.IAxisSize() - a - b;
    // An axis too short for its end margins keeps its data range.
    if (range == 0 || inner < 1 || (a == 0 && b == 0)) return;
    double lo = axis.ScaleMinimum() - a * range / inner;
    double hi = axis.ScaleMaximum() + b * range / inner;
    if (lo > hi) std::swap(lo, hi);
    axis.SetScale(lo, hi);
}

void TChart::LayoutAxes(TChartSurface& surface) {
    for (auto& axis : axes_) {
        axis->shown_ = AxisShown(*axis);
        AdjustRange(*axis);
        axis->SetDateTime(IsDateTimeAxis(*axis));
        ComputeAxisExtent(*axis);
    }
    TRect r = plotRect_;
    for (auto& axis : axes_) {
        if (!axis->shown_) continue;
        const TAxisSide side = SideOf(*axis);
        const auto shrink = [&](int n) {
            switch (side) {
                case sideBottom:
                    r.Bottom -= n;
                    return r.Bottom;
                case sideTop:
                    r.Top += n;
                    return r.Top;
                case sideLeft:
                    r.Left += n;
                    return r.Left;
                case sideRight:
                    r.Right -= n;
                    return r.Right;
            }
            return 0;
        };
        axis->labelsPos_ = shrink(axis->Labels() ? LabelsBand(*axis, surface) : 0);
        const int tickBand = TickBand(*axis);
        if (tickBand > 0) shrink(tickBand);
    }
    plotRect_ = r;
    NormalizePlotRect();
    for (auto& axis : axes_) {
        ComputeAxisExtent(*axis);
        WidenAutomaticEnds(*axis);
    }
}

void TChart::DrawAxisLabel(TChartSurface& surface, TChartAxis& axis, int position, const std::string& text,
                           const TFont& font) {
    const int h = surface.TextHeight(font);
    TDrawnLabel label{text, position, 0, 0};
    switch (SideOf(axis)) {
        case sideBottom:
            label.X = position;
            label.Y = axis.labelsPos_;
            surface.TextOut(label.X, label.Y, text, font, htaCenter, vtaTop);
            break;
        case sideTop:
            label.X = position;
            label.Y = axis.labelsPos_;
            surface.TextOut(label.X, label.Y, text, font, htaCenter, vtaBottom);
            break;
        case sideLeft:
            label.X = axis.labelsPos_;
            label.Y = position - h / 2;
            surface.TextOut(label.X, label.Y, text, font, htaRight, vtaTop);
            break;
        case sideRight:
            label.X = axis.labelsPos_;
            label.Y = position - h / 2;
            surface.TextOut(label.X, label.Y, text, font, htaLeft, vtaTop);
            break;
    }
    axis.drawnLabels_.push_back(std::move(label));
}

void TChart::DrawAxis(TChartSurface& surface, TChartAxis& axis) {
    switch (SideOf(axis)) {
        case sideBottom:
            axis.axisPos_ = plotRect_.Bottom;
            break;
        case sideTop:
            axis.axisPos_ = plotRect_.Top;
            break;
        case sideLeft:
            axis.axisPos_ = plotRect_.Left;
            break;
        case sideRight:
            axis.axisPos_ = plotRect_.Right;
            break;
    }
    axis.lastIncrement_ = 0;
    auto& ticks = axis.tickPositions_;

    if (axis.Items().HasCustomItems()) {
        for (int i = 0; i < axis.Items().Count(); ++i) {
            const TAxisItem& item = axis.Items().Item(i);
            if (item.Value() < axis.Minimum() || item.Value() > axis.Maximum()) continue;
            const int p = axis.ValueToPixel(item.Value());
            if (!axis.TickOnLabelsOnly()) ticks.push_back(p);
            if (!item.Visible()) continue;
            const std::string text = item.Text().empty() ? axis.LabelValue(item.Value()) : item.Text();
            if (axis.TickOnLabelsOnly()) ticks.push_back(p);
            DrawAxisLabel(surface, axis, p, text, item.Font().Font());
        }
    } else if (ResolvedLabelStyle(axis) != talNone) {
        const double inc = axis.LabelIncrement(surface);
        axis.lastIncrement_ = inc;
        for (double v : axis.LabelValues(inc)) {
            const int p = axis.ValueToPixel(v);
            if (!axis.LabelsOnAxis() && !(p > axis.IStartPos() && p < axis.IEndPos())) continue;
            if (!axis.TickOnLabelsOnly()) ticks.push_back(p);
            if (!axis.Labels()) continue;
            if (axis.TickOnLabelsOnly()) ticks.push_back(p);
            DrawAxisLabel(surface, axis, p, axis.LabelValue(v), axis.LabelsFont().Font());
        }
    }
    DrawTicksAndGrid(surface, axis);
}

void TChart::DrawTicksAndGrid(TChartSurface& surface, TChartAxis& axis) {
    const TAxisSide side = SideOf(axis);
    const int out = OutwardDirection(side);
    const auto& ticks = axis.tickPositions_;
    const auto between = [&](int p) { return p > axis.IStartPos() && p < axis.IEndPos(); };
    // A tick at axis position p from offset `from` to `to`, counted outward from AxisPos.
    const auto tick = [&](int p, int from, int to) {
        if (from == to) return;
        const int a = axis.axisPos_ + out * from, b = axis.axisPos_ + out * to;
        if (axis.Horizontal())
            DrawLine(surface, p, a, p, b);
        else
            DrawLine(surface, a, p, b, p);
    };

    if (axis.Ticks().Visible() && !ticks.empty()) {
        surface.SetPen(axis.Ticks().Pen());
        for (int p : ticks) tick(p, 1, 1 + axis.TickLength());
    }
    if (axis.Grid().Visible() && !ticks.empty()) {
        TPen pen = axis.Grid().Pen();
        if (pen.Color == clAutoColor) pen.Color = clGray;
        surface.SetPen(pen);
        for (int p : ticks) {
            if (!between(p)) continue;
            if (axis.Horizontal())
                DrawLine(surface, p, plotRect_.Top + 1, p, plotRect_.Bottom);
            else
                DrawLine(surface, plotRect_.Left + 1, p, plotRect_.Right, p);
        }
    }
    if (axis.TicksInner().Visible() && axis.TickInnerLength() != 0 && !ticks.empty()) {
        surface.SetPen(axis.TicksInner().Pen());
        for (int p : ticks) tick(p, -1, -1 - axis.TickInnerLength());
    }
    if (axis.MinorTicks().Visible() && ticks.size() >= 2 && axis.MinorTickCount() > 0) {
        surface.SetPen(axis.MinorTicks().Pen());
        const int count = axis.MinorTickCount();
        const auto minor = [&](int p) {
            if (between(p)) tick(p, 1, 1 + axis.MinorTickLength());
        };
        const double d = (ticks[1] - ticks[0]) / static_cast<double>(count + 1);
        for (int j = 1; j <= count; ++j) {
            minor(ticks.front() - Round(d * j));
            minor(ticks.back() + Round(d * j));
        }
        for (std::size_t i = 1; i < ticks.size(); ++i) {
            const double di = (ticks[i] - ticks[i - 1]) / static_cast<double>(count + 1);
            for (int j = 1; j <= count; ++j) minor(ticks[i] - Round(di * j));
        }
    }
}

void TChart::DrawSeries(TChartSurface& surface, TChartSeries& series) {
    const int n = series.PointCount();
    series.firstDrawnIndex_ = series.lastDrawnIndex_ = -1;
    if (n == 0) return;
    const TChartAxis& hAxis = series.GetHorizAxis();
    const TChartAxis& vAxis = series.GetVertAxis();
    const TChartValueList& xs = series.XValues();
    const TChartValueList& ys = series.YValues();

    int first = 0, last = n - 1;
    if (xs.Order() == loAscending) {
        const double xl = hAxis.PixelToValue(plotRect_.Left);
        const double xr = hAxis.PixelToValue(plotRect_.Right);
        first = 0;
        while (first < n && xs.Value(first) < xl) ++first;
        if (first == n) return;
        if (xs.Value(n - 1) > xr) {
            last = first;
            while (last < n - 1 && xs.Value(last) < xr) ++last;
        }
    }
    series.firstDrawnIndex_ = first;
    series.lastDrawnIndex_ = last;
    if (!series.LinePen().Visible()) return;

    if (clipPoints_)
        surface.SetClipRect(TRect{plotRect_.Left, plotRect_.Top - 1, plotRect_.Right, plotRect_.Bottom + 1});
    surface.SetPen(series.LinePen().Pen());
    const auto* fast = dynamic_cast<const TFastLineSeries*>(&series);
    const bool drawAll = fast == nullptr || fast->DrawAllPoints();
    const double joinLimit = fast == nullptr ? 0 : fast->JoinLimit();
    const int start = first > 0 ? first - 1 : first;
    int ox = hAxis.ValueToPixel(xs.Value(start));
    int oy = vAxis.ValueToPixel(ys.Value(start));
    surface.MoveTo(ox, oy);
    for (int i = first > 0 ? first : first + 1; i <= last; ++i) {
        const int x = hAxis.ValueToPixel(xs.Value(i));
        const int y = vAxis.ValueToPixel(ys.Value(i));
        if (joinLimit > 0 && xs.Value(i) - xs.Value(i - 1) > joinLimit) {
            surface.MoveTo(x, y);
            ox = x;
            oy = y;
            continue;
        }
        if (x == ox && (!drawAll || y == oy)) continue;
        surface.LineTo(x, y);
        ox = x;
        oy = y;
    }
    if (clipPoints_) surface.RemoveClipRect();
}

}  // namespace marlix::chart
