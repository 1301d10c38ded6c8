#include "marlix/signal_charts/ChartDescriptions.h"

#include <marlix/core/day_texts.h>
#include <marlix/core/daytime.h>
#include <marlix/core/recent.h>
#include <marlix/core/state_words.h>

#include <algorithm>
#include <cstddef>
#include <optional>

namespace marlix::ui {
namespace {

constexpr double kMinute = 1.0 / 1440;
constexpr double kSecond = 1.0 / 86400;
constexpr const char* kDash = "\xE2\x80\x93";  // en dash, as the readout spans times

using Minutes = std::vector<core::MinuteReading>;
using MinuteRange = std::pair<Minutes::const_iterator, Minutes::const_iterator>;

class TDescriber {
  public:
    TDescriber(const TDescribedView& view, const core::LocaleConventions& locale)
        : view_(view), locale_(locale) {
        const Minutes& m = view.minutes;
        const auto from = std::lower_bound(m.begin(), m.end(), view.shown.from,
                                           [](const core::MinuteReading& r, double t) { return r.time < t; });
        const auto to = std::upper_bound(from, m.end(), view.shown.to,
                                         [](double t, const core::MinuteReading& r) { return t < r.time; });
        shown_ = {from, to};
        totals_ = Totals();
    }

    TChartDescriptions Describe() const {
        if (shown_.first == shown_.second) {
            const std::string none = Span() + ": no records";
            return {none, none, none};
        }
        const std::string head = Span() + ": ";
        const std::string gaps = "; " + Gaps();
        return {head + Strength() + "; " + NumGood() + "; " + FixShares() + gaps, head + Pdop() + gaps,
                head + Signal() + "; " + ModeShares() + gaps};
    }

  private:
    // The whole view's figures are the summary's; a zoomed span's, those of its minutes.
    core::DayTotals Totals() const {
        if (!view_.zoomed) return view_.totals;
        if (shown_.first == shown_.second) return {};
        return core::TotalsOfMinutes(
            view_.minutes, view_.totals.controlFormat,
            {core::DataMinute(*shown_.first), core::DataMinute(*(shown_.second - 1)) + 1});
    }

    std::string Number(double value, int decimals) const {
        return core::FormatFixed(value, decimals, locale_.decimalSeparator);
    }
    std::string Percent(double value) const { return Number(value, 0) + " %"; }
    std::string Clock(double t) const { return core::FormatClockTime(t, locale_.timeSeparator); }
    std::string Day(double t) const {
        const core::CivilDate d = core::DecodeDate(t);
        std::string text = std::to_string(d.year) + "-" + locale_.shortMonthNames[d.month - 1] + "-";
        if (d.day < 10) text += '0';
        return text + std::to_string(d.day);
    }

    std::string Span() const {
        const TTimeSpan& s = view_.shown;
        if (!view_.zoomed) {
            const std::string first = Day(s.from);
            // The day range ends at midnight after the last day.
            const std::string last = Day(std::max(s.from, s.to - kSecond));
            return first == last ? first + ", whole day" : first + " to " + last + ", all days";
        }
        if (Day(s.from) == Day(s.to)) return Day(s.from) + " " + Clock(s.from) + kDash + Clock(s.to) + " UTC";
        return Day(s.from) + " " + Clock(s.from) + " to " + Day(s.to) + " " + Clock(s.to) + " UTC";
    }

    // "low–high" of one reading over the shown minutes; nothing when no minute has it.
    template <typename Reading>
    std::optional<std::pair<double, double>> Range(Reading reading) const {
        std::optional<std::pair<double, double>> range;
        for (auto m = shown_.first; m != shown_.second; ++m) {
            const auto value = reading(*m);
            if (!value) continue;
            const auto v = static_cast<double>(*value);
            range =
                range ? std::pair(std::min(range->first, v), std::max(range->second, v)) : std::pair(v, v);
        }
        return range;
    }
    // One figure when the reading never changed.
    std::string RangeText(const std::optional<std::pair<double, double>>& range, int decimals) const {
        const std::string low = Number(range->first, decimals);
        const std::string high = Number(range->second, decimals);
        return low == high ? low : low + kDash + high;
    }

    std::string Strength() const {
        const auto range = Range([](const core::MinuteReading& m) { return m.strength; });
        if (!range) return "no strength readings";
        std::string text = "strength " + RangeText(range, 1);
        if (totals_.meanStrength) text += ", mean " + Number(*totals_.meanStrength, 1);
        return text;
    }

    std::string NumGood() const {
        const auto range = Range([](const core::MinuteReading& m) { return m.numGood; });
        if (!range) return "no Num good readings";
        std::string text = "Num good " + RangeText(range, 1);
        if (const auto mean = totals_.NumGoodMean()) text += ", mean " + Number(*mean, 1);
        return text;
    }

    std::string FixShares() const {
        if (!totals_.FixShare(0)) return "no fix records";
        const auto word = [](core::FixState fix) { return std::string(core::FixWords(fix).csv); };
        return word(core::FixState::Fix3D) + " fix " + Percent(*totals_.FixShare(2)) + ", " +
               word(core::FixState::Fix2D) + " " + Percent(*totals_.FixShare(1)) + ", " +
               word(core::FixState::None) + " " + Percent(*totals_.FixShare(0));
    }

    std::string Pdop() const {
        const auto range = Range([](const core::MinuteReading& m) { return m.pdop; });
        if (!range) return "no PDOP readings";
        std::string text = "lowest PDOP per minute " + RangeText(range, 0);
        if (const auto average = totals_.AveragePdop()) text += ", average PDOP " + Number(*average, 2);
        return text;
    }

    std::string Signal() const {
        const auto range = Range([](const core::MinuteReading& m) { return m.signal; });
        if (!range) return "no signal readings";
        double sum = 0;
        int count = 0;
        for (auto m = shown_.first; m != shown_.second; ++m) {
            if (!m->signal) continue;
            sum += *m->signal;
            ++count;
        }
        return "signal " + RangeText(range, 0) + " %, mean " + Percent(sum / count);
    }

    std::string ModeShares() const {
        if (!totals_.ModeShare(0)) return "no lock mode records";
        const bool control = totals_.controlFormat;
        const auto word = [control](core::LockMode mode) {
            return std::string(core::ModeWords(mode, control).csv);
        };
        std::string text =
            "lock mode " + word(core::LockMode::FineOrControl) + " " + Percent(*totals_.ModeShare(2)) + ", ";
        if (!control) text += word(core::LockMode::Coarse) + " " + Percent(*totals_.ModeShare(1)) + ", ";
        return text + word(core::LockMode::Inactive) + " " + Percent(*totals_.ModeShare(0));
    }

    // The logging gaps that reach into the span, with the minutes without records as the readout
    // names them.
    std::string Gaps() const {
        const Minutes& m = view_.minutes;
        const auto begin = static_cast<std::size_t>(shown_.first - m.begin());
        const auto end = static_cast<std::size_t>(shown_.second - m.begin());
        int count = 0;
        std::size_t longest = 0;
        for (std::size_t i = std::max<std::size_t>(begin, 1); i <= end && i < m.size(); ++i) {
            if (!m[i - 1].gapBegins || !m[i].gapEnds) continue;
            if (count == 0 || m[i].time - m[i - 1].time > m[longest].time - m[longest - 1].time) longest = i;
            ++count;
        }
        if (count == 0) return "no logging gaps";
        const std::string minutes =
            Clock(m[longest - 1].time + kMinute) + kDash + Clock(m[longest].time - kMinute);
        if (count == 1) return "1 logging gap, " + minutes;
        return std::to_string(count) + " logging gaps, longest " + minutes;
    }

    const TDescribedView& view_;
    const core::LocaleConventions& locale_;
    MinuteRange shown_;
    core::DayTotals totals_;
};

}  // namespace

TChartDescriptions DescribeCharts(const TDescribedView& view, const core::LocaleConventions& locale) {
    return TDescriber(view, locale).Describe();
}

}  // namespace marlix::ui
