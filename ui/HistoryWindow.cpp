#include "HistoryWindow.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "DayDate.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {
namespace {

using namespace marlix::chart;

// Today's day is hatched in a colour that no series or grid line uses.
const QColor kPartialDayHatch(230, 140, 0);

void ConfigurePanel(TChart& chart, const QString& title) {
    chart.SetColor(clWhite);
    chart.SetView3D(false);
    chart.SetMarginUnits(muPixels);
    chart.SetMarginLeft(10);
    chart.Title().SetText(title.toStdString());
    chart.Legend().SetVisible(false);
    TChartAxis& bottom = chart.BottomAxis();
    bottom.SetDateTimeFormat("dd/mm");
    // Labels a day apart at the closest: finer steps would print the same date twice.
    bottom.SetIncrement(1.0);
    bottom.MinorTicks().SetVisible(false);
    chart.LeftAxis().MinorTicks().SetVisible(false);
    TFastLineSeries& series = chart.AddFastLineSeries("Series1");
    series.SetTitle(title.toStdString());
    series.SetSeriesColor(RGBColor(0, 128, 192));
    series.XValues().SetOrder(loAscending);
    series.XValues().SetDateTime(true);
    series.YValues().SetOrder(loNone);
}

}  // namespace

QString HistoryMetricTitle(THistoryMetric metric) {
    switch (metric) {
        case THistoryMetric::Fix3DShare:
            return "3D fix %";
        case THistoryMetric::FineOrControlShare:
            return "Fine/control %";
        case THistoryMetric::AveragePdop:
            return "Average PDOP";
        case THistoryMetric::MeanStrength:
            return "Mean strength";
        case THistoryMetric::NumGoodMean:
            return "Num good (mean)";
    }
    return {};
}

std::optional<double> HistoryMetricValue(const core::DayTotals& totals, THistoryMetric metric) {
    switch (metric) {
        case THistoryMetric::Fix3DShare:
            return totals.FixShare(2);
        case THistoryMetric::FineOrControlShare:
            return totals.ModeShare(2);
        case THistoryMetric::AveragePdop:
            return totals.AveragePdop();
        case THistoryMetric::MeanStrength:
            return totals.meanStrength;
        case THistoryMetric::NumGoodMean:
            return totals.NumGoodMean();
    }
    return std::nullopt;
}

THistoryDay HistoryDayOf(core::DayTime day, core::DayOutcome&& outcome) {
    THistoryDay historyDay{DateOf(day), std::nullopt, QString::fromStdString(outcome.error)};
    if (outcome.analysis) historyDay.totals = outcome.analysis->totals;
    return historyDay;
}

THistoryWindow::THistoryWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle("History");
    resize(520, 760);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    for (int i = 0; i < kHistoryMetricCount; ++i) {
        auto* panel = new TChartPanel(this);
        ConfigurePanel(panel->Chart(), HistoryMetricTitle(static_cast<THistoryMetric>(i)));
        panel->installEventFilter(this);
        panel->setCursor(Qt::PointingHandCursor);
        panel->SetOverlayPainter([this, panel](QPainter& painter) { PaintMarks(*panel, painter); });
        layout->addWidget(panel, 1);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBarHistory");
    progress_->setFormat("Reading days... %v of %m");
    progress_->hide();
    layout->addWidget(progress_);
}

void THistoryWindow::SetDays(std::vector<THistoryDay> days, QDate shownDay) {
    days_ = std::move(days);
    expectedSpan_.reset();
    shownDay_ = shownDay;
    Replot();
}

void THistoryWindow::AddDay(THistoryDay day) {
    const auto at = std::upper_bound(days_.begin(), days_.end(), day.date,
                                     [](QDate date, const THistoryDay& d) { return date < d.date; });
    days_.insert(at, std::move(day));
    Replot();
}

void THistoryWindow::SetExpectedSpan(QDate first, QDate last) {
    expectedSpan_ = first.isValid() ? std::optional(std::pair(first, last)) : std::nullopt;
    Replot();
}

void THistoryWindow::SetShownDay(QDate shownDay) {
    shownDay_ = shownDay;
    for (TChartPanel* panel : panels_) panel->update();
}

void THistoryWindow::SetStation(const QString& station, QDate today) {
    station_ = station;
    today_ = today;
    Replot();
}

void THistoryWindow::PaintMarks(const TChartPanel& panel, QPainter& painter) const {
    if (days_.empty()) return;
    const TChart& chart = panel.Chart();
    const TRect& plot = chart.PlotRect();
    const TChartAxis& axis = chart.BottomAxis();
    // Today's day is hatched: its log is still growing, and its values are those of a part of a day.
    const bool todayRead = std::any_of(days_.begin(), days_.end(), [this](const THistoryDay& day) {
        return day.date == today_ && day.totals;
    });
    if (todayRead) {
        const int left = std::max(plot.Left, axis.ValueToPixel(DayTimeOf(today_) - 0.4));
        const int right = std::min(plot.Right, axis.ValueToPixel(DayTimeOf(today_) + 0.4));
        if (right > left)
            painter.fillRect(QRect(left, plot.Top, right - left, plot.Bottom - plot.Top),
                             QBrush(kPartialDayHatch, Qt::BDiagPattern));
    }
    // The shown day is marked with a dotted line across the plot.
    if (!shownDay_.isValid()) return;
    const int x = axis.ValueToPixel(DayTimeOf(shownDay_));
    if (x < plot.Left || x >= plot.Right) return;
    painter.setPen(QPen(Qt::red, 1, Qt::DotLine));
    painter.drawLine(x, plot.Top, x, plot.Bottom - 1);
}

void THistoryWindow::SetProgress(int done, int total) {
    progress_->setRange(0, total);
    progress_->setValue(done);
    progress_->setVisible(done < total);
}

bool THistoryWindow::Reading() const {
    return !progress_->isHidden();
}

void THistoryWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    progress_->hide();
    emit Hidden();
}

void THistoryWindow::Replot() {
    // "History · station · first day – last day", the span once days are known.
    QStringList title{"History"};
    if (!station_.isEmpty()) title << station_;
    QDate first = days_.empty() ? QDate() : days_.front().date;
    QDate last = days_.empty() ? QDate() : days_.back().date;
    if (expectedSpan_) {
        first = first.isValid() ? std::min(first, expectedSpan_->first) : expectedSpan_->first;
        last = last.isValid() ? std::max(last, expectedSpan_->second) : expectedSpan_->second;
    }
    if (first.isValid())
        title << first.toString(Qt::ISODate) + QStringLiteral(" \u2013 ") + last.toString(Qt::ISODate);
    setWindowTitle(title.join(QStringLiteral(" \u00b7 ")));
    for (int i = 0; i < kHistoryMetricCount; ++i) {
        const auto metric = static_cast<THistoryMetric>(i);
        TChart& chart = Panel(metric).Chart();
        TChartSeries& series = chart.Series(0);
        series.ClearPoints();
        for (const THistoryDay& day : days_) {
            if (!day.totals) continue;
            if (const auto value = HistoryMetricValue(*day.totals, metric))
                series.AddPoint(DayTimeOf(day.date), *value);
        }
        // Half a day of room on each side keeps the first and last day clickable.
        TChartAxis& bottom = chart.BottomAxis();
        if (days_.empty() && !shownDay_.isValid()) {
            bottom.SetAutomatic(true);
        } else {
            bottom.SetAutomatic(false);
            bottom.SetAutomaticMinimum(false);
            bottom.SetAutomaticMaximum(false);
            // While days are still being read, the span they will come from.
            QDate from = days_.empty() ? shownDay_.addDays(-15) : days_.front().date;
            QDate to = days_.empty() ? shownDay_.addDays(15) : days_.back().date;
            if (expectedSpan_) {
                from = std::min(from, expectedSpan_->first);
                to = std::max(to, expectedSpan_->second);
            }
            bottom.SetMinMax(DayTimeOf(from) - 0.5, DayTimeOf(to) + 0.5);
        }
        Panel(metric).update();
    }
}

void THistoryWindow::SetLocale(const core::LocaleConventions& locale) {
    const TFormatSettings settings = ChartFormatSettings(locale);
    for (TChartPanel* panel : panels_) panel->Chart().SetFormatSettings(settings);
}

std::optional<QDate> THistoryWindow::DayAtPixel(THistoryMetric metric, int x) {
    TChart& chart = Panel(metric).Chart();
    chart.RedrawIfPending();
    const TRect& plot = chart.PlotRect();
    if (x < plot.Left || x >= plot.Right) return std::nullopt;
    const double value = chart.BottomAxis().PixelToValue(x);
    std::optional<QDate> nearest;
    double distance = 0;
    for (const THistoryDay& day : days_) {
        if (!day.totals) continue;
        const double d = std::fabs(DayTimeOf(day.date) - value);
        if (!nearest || d < distance) {
            nearest = day.date;
            distance = d;
        }
    }
    return nearest;
}

bool THistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        for (int i = 0; i < kHistoryMetricCount; ++i) {
            if (watched != panels_[static_cast<std::size_t>(i)] || mouse->button() != Qt::LeftButton)
                continue;
            const QPoint position = mouse->position().toPoint();
            if (const auto day = DayAtPixel(static_cast<THistoryMetric>(i), position.x()))
                emit DayClicked(*day);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace marlix::ui
