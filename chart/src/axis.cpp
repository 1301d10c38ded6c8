#include "marlix/chart/axis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "marlix/chart/chart.h"

namespace marlix::chart {

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMinute = 60 * kSecond;
constexpr double kHour = 60 * kMinute;
constexpr double kDay = 1.0;
// Above this many labels the count is not rounded but treated as "too many".
constexpr double kMaxLabelCount = 2147483647.0;
// Step values compare with this relative slack, so 1e-6 built by repeated division still counts as 1e-6.
constexpr double kStepSlack = 1e-9;

double Round(double x) {
    return std::nearbyint(x);
}

int CountLines(const std::string& text) {
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

int WidestLine(TTextMeasure& measure, const TFont& font, const std::string& text) {
    int widest = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find('\n', start);
        widest = std::max(widest, measure.TextWidth(font, std::string_view(text).substr(start, end - start)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return widest;
}

}  // namespace

const std::array<double, TimeStepCount> TimeStepTable{
    1e-6 * kSecond, 1e-3 * kSecond, kSecond,      5 * kSecond,  10 * kSecond, 15 * kSecond, 30 * kSecond,
    kMinute,        5 * kMinute,    10 * kMinute, 15 * kMinute, 30 * kMinute, kHour,        2 * kHour,
    6 * kHour,      12 * kHour,     kDay,         2 * kDay,     3 * kDay,     7 * kDay,     15 * kDay,
    30 * kDay,      60 * kDay,      90 * kDay,    120 * kDay,   182 * kDay,   365 * kDay};

double NextNiceStep(double step) {
    if (std::isinf(step)) return 1;
    if (step >= 10 * (1 - kStepSlack)) return 10 * NextNiceStep(step / 10);
    if (step < 1 - kStepSlack) {
        if (step <= 0) return 1;  // no finite decade reaches 1
        return NextNiceStep(step * 10) / 10;
    }
    if (step < 2 * (1 - kStepSlack)) return 2;
    if (step < 5 * (1 - kStepSlack)) return 5;
    return 10;
}

double NextTableStep(double step) {
    for (int i = TimeStepCount - 2; i >= 0; --i)
        if (TimeStepTable[static_cast<std::size_t>(i)] <= step * (1 + kStepSlack))
            return TimeStepTable[static_cast<std::size_t>(i) + 1];
    return TimeStepTable[0];
}

void TAxisItem::SetValue(double value) {
    if (value_ == value) return;
    value_ = value;
    if (owner_) owner_->RequestRedraw();
}

void TAxisItem::SetText(const std::string& value) {
    if (text_ == value) return;
    text_ = value;
    if (owner_) owner_->RequestRedraw();
}

void TAxisItem::SetVisible(bool value) {
    if (visible_ == value) return;
    visible_ = value;
    if (owner_) owner_->RequestRedraw();
}

void TAxisItems::ClearItems() {
    items_.clear();
    if (owner_) owner_->RequestRedraw();
}

TAxisItem& TAxisItems::AddItem(double value, const std::string& text) {
    hasCustomItems_ = true;
    return items_.emplace_back(owner_, value, text);
}

TChartAxis::TChartAxis(TChart* owner, bool horizontal, bool otherSide)
    : owner_(owner),
      horizontal_(horizontal),
      otherSide_(otherSide),
      labelsFont_(owner),
      axisPen_(owner, TPen{clBlack, 2, psSolid}),
      grid_(owner, TPen{clGray, 1, psDot}),
      ticks_(owner, TPen{clGray, 1, psSolid}),
      ticksInner_(owner, TPen{clGray, 1, psSolid}),
      minorTicks_(owner, TPen{clGray, 1, psSolid}),
      items_(owner) {}

void TChartAxis::Changed() {
    if (owner_) owner_->RequestRedraw();
}

bool TChartAxis::Configuring() const {
    return owner_ && owner_->Configuring();
}

void TChartAxis::SetAutomatic(bool value) {
    if (automatic_ != value) {
        automatic_ = value;
        Changed();
    }
    if (!Configuring()) {
        automaticMinimum_ = value;
        automaticMaximum_ = value;
    }
}

void TChartAxis::SetAutomaticMinimum(bool value) {
    if (automaticMinimum_ != value) {
        automaticMinimum_ = value;
        Changed();
    }
    if (!value)
        automatic_ = false;
    else if (automaticMaximum_)
        automatic_ = true;
}

void TChartAxis::SetAutomaticMaximum(bool value) {
    if (automaticMaximum_ != value) {
        automaticMaximum_ = value;
        Changed();
    }
    if (!value)
        automatic_ = false;
    else if (automaticMinimum_)
        automatic_ = true;
}

void TChartAxis::SetMinimum(double value) {
    if (!Configuring() && value > maximum_) throw AxisException("Axis Minimum Value must be <= Maximum");
    if (minimum_ == value) return;
    minimum_ = value;
    Changed();
}

void TChartAxis::SetMaximum(double value) {
    if (!Configuring() && value < minimum_) throw AxisException("Axis Maximum Value must be >= Minimum");
    if (maximum_ == value) return;
    maximum_ = value;
    Changed();
}

void TChartAxis::SetMinMax(double minimum, double maximum) {
    if (!Configuring() && minimum > maximum) throw AxisException("Axis Minimum Value must be <= Maximum");
    if (minimum_ == minimum && maximum_ == maximum) return;
    minimum_ = minimum;
    maximum_ = maximum;
    Changed();
}

namespace {
template <typename T>
bool Store(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}
}  // namespace

void TChartAxis::SetVisible(bool value) {
    if (Store(visible_, value)) Changed();
}
void TChartAxis::SetDateTimeFormat(const std::string& value) {
    if (Store(dateTimeFormat_, value)) Changed();
}
void TChartAxis::SetAxisValuesFormat(const std::string& value) {
    if (Store(axisValuesFormat_, value)) Changed();
}
void TChartAxis::SetLabels(bool value) {
    if (Store(labels_, value)) Changed();
}
void TChartAxis::SetLabelsSeparation(int value) {
    if (Store(labelsSeparation_, value)) Changed();
}
void TChartAxis::SetRoundFirstLabel(bool value) {
    if (Store(roundFirstLabel_, value)) Changed();
}
void TChartAxis::SetExactDateTime(bool value) {
    if (Store(exactDateTime_, value)) Changed();
}
void TChartAxis::SetIncrement(double value) {
    if (Store(increment_, value)) Changed();
}
void TChartAxis::SetLabelStyle(TAxisLabelStyle value) {
    if (Store(labelStyle_, value)) Changed();
}
void TChartAxis::SetLabelsOnAxis(bool value) {
    if (Store(labelsOnAxis_, value)) Changed();
}
void TChartAxis::SetTickOnLabelsOnly(bool value) {
    if (Store(tickOnLabelsOnly_, value)) Changed();
}
void TChartAxis::SetTickLength(int value) {
    if (Store(tickLength_, value)) Changed();
}
void TChartAxis::SetTickInnerLength(int value) {
    if (Store(tickInnerLength_, value)) Changed();
}
void TChartAxis::SetMinorTickLength(int value) {
    if (Store(minorTickLength_, value)) Changed();
}
void TChartAxis::SetMinorTickCount(int value) {
    if (Store(minorTickCount_, value)) Changed();
}
void TChartAxis::SetStartPosition(double value) {
    if (Store(startPosition_, value)) Changed();
}
void TChartAxis::SetEndPosition(double value) {
    if (Store(endPosition_, value)) Changed();
}

void TChartAxis::SetScale(double scaleMinimum, double scaleMaximum) {
    scaleMinimum_ = scaleMinimum;
    scaleMaximum_ = scaleMaximum;
    rangeZero_ = scaleMaximum_ - scaleMinimum_ == 0;
}

void TChartAxis::SetPixelExtent(int start, int end) {
    startPos_ = start;
    endPos_ = end;
    axisSize_ = end - start;
}

int TChartAxis::ValueToPixel(double value) const {
    if (rangeZero_) return (startPos_ + endPos_) / 2;
    const double offset = (value - scaleMinimum_) * axisSize_ / (scaleMaximum_ - scaleMinimum_);
    double pixel = horizontal_ ? startPos_ + offset : endPos_ - offset;
    // Also catches NaN, which would otherwise reach the integer conversion.
    if (!(pixel >= -PixelClamp)) pixel = -PixelClamp;
    if (pixel > PixelClamp) pixel = PixelClamp;
    return static_cast<int>(Round(pixel));
}

double TChartAxis::PixelToValue(int pixel) const {
    if (axisSize_ < 1) return 0;
    const double a = static_cast<double>(pixel - startPos_) * (scaleMaximum_ - scaleMinimum_) / axisSize_;
    return horizontal_ ? scaleMinimum_ + a : scaleMaximum_ - a;
}

std::string TChartAxis::LabelValue(double value) const {
    static const TFormatSettings kDefaultSettings;
    const TFormatSettings& settings = owner_ ? owner_->FormatSettings() : kDefaultSettings;
    if (!isDateTime_) return FormatNumber(axisValuesFormat_, value, settings);
    if (value < 0) return {};
    if (!dateTimeFormat_.empty()) return FormatDayTime(dateTimeFormat_, value, settings);
    const bool longerThanDay = scaleMaximum_ - scaleMinimum_ > 1;
    return FormatDayTime(longerThanDay ? settings.ShortDateFormat : settings.ShortTimeFormat, value,
                         settings);
}

int TChartAxis::LabelSpan(TTextMeasure& measure, double value) const {
    const std::string text = LabelValue(value);
    if (horizontal_) return WidestLine(measure, labelsFont_.Font(), text);
    return measure.TextHeight(labelsFont_.Font()) * CountLines(text);
}

double TChartAxis::DateTimeStep(int count, double increment) const {
    const double range = scaleMaximum_ - scaleMinimum_;
    double s = std::max(TimeStepTable[0], increment);
    if (s > 0) {
        if (range / s > 1000000) s = range / 1000000;
        while (count < Round(range / s)) {
            if (s >= 365 * kDay)
                s *= 2;
            else if (s >= kSecond * (1 - kStepSlack))
                s = NextTableStep(s);
            else
                s = NextNiceStep(s);
        }
    }
    return std::max(TimeStepTable[0], s);
}

double TChartAxis::ValueStep(int count, double increment) const {
    const double range = scaleMaximum_ - scaleMinimum_;
    double s = increment > 0 ? increment : (range != 0 ? range / (count + 1) : 1);
    if (labelsSeparation_ >= 1) {
        double c = 0;
        do {
            c = range / s;
            if ((std::fabs(c) < kMaxLabelCount && count < Round(c)) || std::fabs(c) >= kMaxLabelCount)
                s = NextNiceStep(s);
        } while (count < Round(c) && s <= range && std::isfinite(s));
        if (std::isinf(s)) s = range;
    }
    return std::max(SmallestIncrement, s);
}

double TChartAxis::IncrementFor(TTextMeasure& measure, double increment) const {
    double hi = scaleMaximum_, lo = scaleMinimum_;
    if (roundFirstLabel_ && increment == 1) {
        hi = std::trunc(scaleMaximum_);
        lo = Round(scaleMinimum_);
    }
    double middle = (hi + lo) * 0.5;
    // A whole middle is halved until it has decimals, so decimal labels are measured too.
    while (middle != 0 && std::isfinite(middle) && middle == std::trunc(middle)) middle *= 0.5;

    int span = std::max({LabelSpan(measure, middle), LabelSpan(measure, hi), LabelSpan(measure, lo)});
    if (increment != 0)
        span = std::max({span, LabelSpan(measure, hi - increment), LabelSpan(measure, lo + increment)});

    int count = 1;
    if (span > 0) {
        const double spacing = labelsSeparation_ > 0 ? Round(span * labelsSeparation_ * 0.01) : 0;
        count = static_cast<int>(Round(axisSize_ / (span + spacing)));
    }
    if (count < 1) return isDateTime_ ? TimeStepTable[0] : SmallestIncrement;
    return isDateTime_ ? DateTimeStep(count, increment) : ValueStep(count, increment);
}

double TChartAxis::LabelIncrement(TTextMeasure& measure) const {
    const double step = IncrementFor(measure, increment_);
    // A whole step of 2 or more is measured again on whole-number labels.
    if (increment_ == 0 && step >= 2) return IncrementFor(measure, 1);
    return step;
}

std::vector<double> TChartAxis::LabelValues(double increment) const {
    std::vector<double> values;
    if (!(increment > 0) || !(scaleMaximum_ >= scaleMinimum_)) return values;
    const double range = scaleMaximum_ - scaleMinimum_;
    if (std::fabs(range / increment) >= 10000) return values;

    double v = scaleMaximum_;
    if (GeneralText(scaleMinimum_) != GeneralText(scaleMaximum_) && roundFirstLabel_)
        v = std::trunc(scaleMaximum_ / increment) * increment;
    while (v > scaleMaximum_) v -= increment;

    if (rangeZero_ || std::fabs(range) < 1e-10) {
        values.push_back(v);
        return values;
    }
    if (GeneralText(v) == GeneralText(v - increment)) {
        values.push_back(v);
        return values;
    }
    const double lo =
        scaleMinimum_ >= 0 ? (scaleMinimum_ - SmallestIncrement) / (1 + SmallestIncrement) : scaleMinimum_;
    while (v >= lo) {
        values.push_back(v);
        v -= increment;
    }
    return values;
}

}  // namespace marlix::chart
