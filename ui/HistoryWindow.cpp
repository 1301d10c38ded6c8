#include "HistoryWindow.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/day_texts.h>

#include <QKeyEvent>
#include <QLabel>
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

QString HistoryDayText(const THistoryDay& day, const core::LocaleConventions& locale) {
    const QString date = day.date.toString("yyyy-MM-dd");
    if (!day.totals) return date + ": " + (day.error.isEmpty() ? QString("no log") : day.error);
    struct Figure {
        THistoryMetric metric;
        const char* before;
        const char* after;
        int decimals;
    };
    static constexpr Figure kFigures[] = {{THistoryMetric::Fix3DShare, "3D fix ", " %", 0},
                                          {THistoryMetric::FineOrControlShare, "fine/control ", " %", 0},
                                          {THistoryMetric::AveragePdop, "average PDOP ", "", 2},
                                          {THistoryMetric::MeanStrength, "mean strength ", "", 1},
                                          {THistoryMetric::NumGoodMean, "Num good ", "", 1}};
    QStringList figures;
    for (const Figure& figure : kFigures) {
        const std::optional<double> value = HistoryMetricValue(*day.totals, figure.metric);
        const std::string number =
            value ? core::FormatFixed(*value, figure.decimals, locale.decimalSeparator) : std::string("none");
        figures << figure.before + QString::fromStdString(number) + (value ? figure.after : "");
    }
    return date + ": " + figures.join(", ");
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
        // The shown day is marked with a dotted line across the plot.
        panel->SetOverlayPainter([this, panel](QPainter& painter) {
            if (!shownDay_.isValid() || days_.empty()) return;
            const TChart& chart = panel->Chart();
            const TRect& plot = chart.PlotRect();
            const int x = chart.BottomAxis().ValueToPixel(DayTimeOf(shownDay_));
            if (x >= plot.Left && x < plot.Right) {
                painter.setPen(QPen(Qt::red, 1, Qt::DotLine));
                painter.drawLine(x, plot.Top, x, plot.Bottom - 1);
            }
            // The day the keyboard moved to, until Enter shows it.
            if (!selectedDay_.isValid() || selectedDay_ == shownDay_) return;
            const int selected = chart.BottomAxis().ValueToPixel(DayTimeOf(selectedDay_));
            if (selected < plot.Left || selected >= plot.Right) return;
            painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
            painter.drawLine(selected, plot.Top, selected, plot.Bottom - 1);
        });
        panel->setAccessibleName(HistoryMetricTitle(static_cast<THistoryMetric>(i)));
        layout->addWidget(panel, 1);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBarHistory");
    progress_->setFormat("Reading days... %v of %m");
    progress_->hide();
    progress_->setAccessibleName("Reading days");
    layout->addWidget(progress_);
    selectedLabel_ = new QLabel(this);
    selectedLabel_->setObjectName("LabelSelectedDay");
    selectedLabel_->setAccessibleName("Selected day");
    selectedLabel_->setWordWrap(true);
    layout->addWidget(selectedLabel_);
    setAccessibleName("History");
    setAccessibleDescription("Left and Right select a day, Enter shows it in the main window");
}

void THistoryWindow::Select(QDate day) {
    selectedDay_ = day;
    const auto at =
        std::find_if(days_.begin(), days_.end(), [day](const THistoryDay& d) { return d.date == day; });
    selectedLabel_->setText(at == days_.end() ? QString() : HistoryDayText(*at, locale_));
    for (TChartPanel* panel : panels_) panel->update();
}

void THistoryWindow::keyPressEvent(QKeyEvent* event) {
    std::vector<QDate> readable;
    for (const THistoryDay& day : days_) {
        if (day.totals) readable.push_back(day.date);
    }
    const QDate selected = selectedDay_;
    const auto after = std::upper_bound(readable.begin(), readable.end(), selected);
    const auto before = std::lower_bound(readable.begin(), readable.end(), selected);
    switch (event->key()) {
        case Qt::Key_Right:
        case Qt::Key_Down:
            if (after != readable.end()) Select(*after);
            break;
        case Qt::Key_Left:
        case Qt::Key_Up:
            if (before != readable.begin()) Select(*(before - 1));
            break;
        case Qt::Key_Home:
            if (!readable.empty()) Select(readable.front());
            break;
        case Qt::Key_End:
            if (!readable.empty()) Select(readable.back());
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (std::binary_search(readable.begin(), readable.end(), selected)) emit DayClicked(selected);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void THistoryWindow::SetDays(std::vector<THistoryDay> days, QDate shownDay) {
    days_ = std::move(days);
    expectedSpan_.reset();
    shownDay_ = shownDay;
    Replot();
    Select(shownDay);
}

void THistoryWindow::AddDay(THistoryDay day) {
    const auto at = std::upper_bound(days_.begin(), days_.end(), day.date,
                                     [](QDate date, const THistoryDay& d) { return date < d.date; });
    const QDate date = day.date;
    days_.insert(at, std::move(day));
    Replot();
    if (date == selectedDay_) Select(date);
}

void THistoryWindow::SetExpectedSpan(QDate first, QDate last) {
    expectedSpan_ = first.isValid() ? std::optional(std::pair(first, last)) : std::nullopt;
    Replot();
}

void THistoryWindow::SetShownDay(QDate shownDay) {
    shownDay_ = shownDay;
    Select(shownDay);
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
    locale_ = locale;
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
