#include "HistoryWindow.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/chart/qt/painter_surface.h>
#include <marlix/core/day_texts.h>

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ChartInteraction.h"
#include "DayDate.h"

namespace marlix::ui {
namespace {

using namespace marlix::chart;

// Told apart on white and by most colour-blind eyes; the first is the colour History always had.
constexpr std::array<TColor, kMaxHistoryStations> kStationColors{
    RGBColor(0, 128, 192),  RGBColor(230, 120, 0), RGBColor(0, 150, 60),   RGBColor(200, 30, 30),
    RGBColor(130, 60, 170), RGBColor(140, 90, 40), RGBColor(210, 60, 160), RGBColor(90, 90, 90)};

// Each station has two series in every panel: its whole days, joined where they follow each other,
// and today's partial day, never joined, which the overlay marks.
int WholeDaysSeries(int station) {
    return 2 * station;
}
int TodaySeries(int station) {
    return 2 * station + 1;
}

// Days further apart than this are not joined: a day between them has no log.
constexpr double kJoinedDays = 1.5;
constexpr int kMinimumDragPixels = 5;
constexpr double kWheelFactor = 0.8;
// Beyond this many days the labels carry the year.
constexpr double kDayLabelsUpTo = 120;

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
    for (int station = 0; station < kMaxHistoryStations; ++station) {
        for (const int index : {WholeDaysSeries(station), TodaySeries(station)}) {
            TFastLineSeries& series = chart.AddFastLineSeries("Series" + std::to_string(index + 1));
            series.SetTitle(title.toStdString());
            series.SetSeriesColor(kStationColors[static_cast<std::size_t>(station)]);
            series.SetJoinLimit(kJoinedDays);
            series.XValues().SetOrder(loAscending);
            series.XValues().SetDateTime(true);
            series.YValues().SetOrder(loNone);
            series.SetActive(false);
        }
    }
}

int HalfSpanDays(THistorySpan span) {
    switch (span) {
        case THistorySpan::Month:
            return 15;
        case THistorySpan::Quarter:
            return 45;
        case THistorySpan::Year:
            return 182;
        case THistorySpan::Everything:
            break;
    }
    return 0;
}

QString IsoDate(QDate date) {
    return date.toString(Qt::ISODate);
}

bool IsolatedPoint(const TChartSeries& series, int i) {
    const double* x = series.XValues().Data();
    const int n = series.PointCount();
    return (i == 0 || x[i] - x[i - 1] > kJoinedDays) && (i == n - 1 || x[i + 1] - x[i] > kJoinedDays);
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

QString HistorySpanName(THistorySpan span) {
    switch (span) {
        case THistorySpan::Month:
            return "Month";
        case THistorySpan::Quarter:
            return "Quarter";
        case THistorySpan::Year:
            return "Year";
        case THistorySpan::Everything:
            return "Everything";
    }
    return {};
}

THistoryDates HistorySpanDates(THistorySpan span, QDate shown, QDate today) {
    const int half = HalfSpanDays(span);
    if (half == 0) return {};
    const QDate last = std::min(shown.addDays(half), std::max(today, shown));
    return {last.addDays(-2 * half), last};
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

QString HistoryTitle(THistorySpan span, THistoryDates dates, const std::vector<THistoryStation>& stations) {
    QString title = "History - " + HistorySpanName(span).toLower();
    if (dates.first.isValid()) title += ", " + IsoDate(dates.first) + " to " + IsoDate(dates.last);
    QStringList names;
    for (const THistoryStation& station : stations) names << station.name;
    if (!names.isEmpty()) title += " - " + names.join(", ");
    return title;
}

THistoryWindow::THistoryWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle("History");
    resize(560, 800);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    legend_ = new QLabel(this);
    legend_->setObjectName("LabelHistoryLegend");
    legend_->setTextFormat(Qt::RichText);
    legend_->setWordWrap(true);
    layout->addWidget(legend_);
    notice_ = new QLabel(this);
    notice_->setObjectName("LabelHistoryNotice");
    notice_->setStyleSheet("QLabel { background: #fff4ce; color: #5c3c00; padding: 0px 4px; }");
    notice_->setWordWrap(true);
    notice_->hide();
    layout->addWidget(notice_);
    for (int i = 0; i < kHistoryMetricCount; ++i) {
        auto* panel = new TChartPanel(this);
        ConfigurePanel(panel->Chart(), HistoryMetricTitle(static_cast<THistoryMetric>(i)));
        panel->installEventFilter(this);
        panel->setCursor(Qt::PointingHandCursor);
        panel->SetOverlayPainter([this, panel](QPainter& painter) { PaintOverlay(*panel, painter); });
        panel->setAccessibleName(HistoryMetricTitle(static_cast<THistoryMetric>(i)));
        layout->addWidget(panel, 1);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBarHistory");
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
    CreatePopupMenu();
    stations_.push_back({});
}

void THistoryWindow::CreatePopupMenu() {
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName("PopupHistoryMenu");
    auto* spans = new QActionGroup(popupMenu_);
    for (int i = 0; i < kHistorySpanCount; ++i) {
        const auto span = static_cast<THistorySpan>(i);
        QAction* action = popupMenu_->addAction(HistorySpanName(span));
        action->setObjectName("PopupHistory" + HistorySpanName(span));
        action->setCheckable(true);
        action->setChecked(span == span_);
        spans->addAction(action);
        connect(action, &QAction::triggered, this, [this, span] { emit SpanChosen(span); });
    }
    popupMenu_->addSeparator();
    QAction* reset = popupMenu_->addAction("Reset zoom");
    reset->setObjectName("PopupHistoryResetZoom");
    connect(reset, &QAction::triggered, this, &THistoryWindow::ResetZoom);
    popupMenu_->addSeparator();
    QAction* compare = popupMenu_->addAction("Compare with folder...");
    compare->setObjectName("PopupHistoryCompare");
    connect(compare, &QAction::triggered, this, &THistoryWindow::CompareAsked);
    QAction* remove = popupMenu_->addAction("Remove compared folders");
    remove->setObjectName("PopupHistoryRemoveCompared");
    connect(remove, &QAction::triggered, this, &THistoryWindow::ComparedRemoved);
}

void THistoryWindow::contextMenuEvent(QContextMenuEvent* event) {
    for (QAction* action : popupMenu_->actions()) {
        if (action->objectName() == "PopupHistory" + HistorySpanName(span_)) action->setChecked(true);
        if (action->objectName() == "PopupHistoryResetZoom") action->setEnabled(Zoomed());
        if (action->objectName() == "PopupHistoryCompare")
            action->setEnabled(StationCount() < kMaxHistoryStations);
        if (action->objectName() == "PopupHistoryRemoveCompared") action->setEnabled(StationCount() > 1);
    }
    popupMenu_->popup(event->globalPos());
}

void THistoryWindow::SetStations(std::vector<THistoryStation> stations, int mainStation, THistorySpan span,
                                 THistoryDates dates, QDate today) {
    stations.resize(std::min(stations.size(), static_cast<std::size_t>(kMaxHistoryStations)));
    stations_.clear();
    for (THistoryStation& station : stations) stations_.push_back({std::move(station), {}});
    if (stations_.empty()) stations_.push_back({});
    mainStation_ = std::clamp(mainStation, 0, StationCount() - 1);
    span_ = span;
    dates_ = dates;
    today_ = today;
    expectedSpan_.reset();
    zoom_.reset();
    band_.reset();
    drag_ = DragMode::None;
    SetNotice({});
    UpdateTexts();
    Replot();
}

void THistoryWindow::SetMainStation(int station) {
    mainStation_ = std::clamp(station, 0, StationCount() - 1);
    UpdateTexts();
}

const THistoryStation& THistoryWindow::Station(int station) const {
    return stations_.at(static_cast<std::size_t>(station)).station;
}

const std::vector<THistoryDay>& THistoryWindow::Days(int station) const {
    return stations_.at(static_cast<std::size_t>(station < 0 ? mainStation_ : station)).days;
}

void THistoryWindow::Select(QDate day) {
    selectedDay_ = day;
    const std::vector<THistoryDay>& days = Days();
    const auto at =
        std::find_if(days.begin(), days.end(), [day](const THistoryDay& d) { return d.date == day; });
    selectedLabel_->setText(at == days.end() ? QString() : HistoryDayText(*at, locale_));
    for (TChartPanel* panel : panels_) panel->update();
}

void THistoryWindow::keyPressEvent(QKeyEvent* event) {
    // The keyboard moves over the readable days of the main window's station.
    std::vector<QDate> readable;
    for (const THistoryDay& day : Days()) {
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
    stations_[static_cast<std::size_t>(mainStation_)].days = std::move(days);
    expectedSpan_.reset();
    shownDay_ = shownDay;
    UpdateTexts();
    Replot();
    Select(shownDay);
}

void THistoryWindow::AddDays(int station, std::vector<THistoryDay> days) {
    if (station < 0 || station >= StationCount() || days.empty()) return;
    std::vector<THistoryDay>& held = stations_[static_cast<std::size_t>(station)].days;
    for (THistoryDay& day : days) {
        const auto at = std::upper_bound(held.begin(), held.end(), day.date,
                                         [](QDate date, const THistoryDay& d) { return date < d.date; });
        held.insert(at, std::move(day));
    }
    UpdateTexts();
    Replot();
    // The selected day's figures, once its day has arrived.
    if (station == mainStation_) Select(selectedDay_);
}

void THistoryWindow::SetExpectedSpan(QDate first, QDate last) {
    expectedSpan_ = first.isValid() ? std::optional(std::pair(first, last)) : std::nullopt;
    UpdateTexts();
    Replot();
}

void THistoryWindow::SetShownDay(QDate shownDay) {
    shownDay_ = shownDay;
    Select(shownDay);
}

void THistoryWindow::SetProgress(int done, int total) {
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(done);
    progress_->setFormat(QString("Reading days: %1 of %2 still to read").arg(total - done).arg(total));
    progress_->setVisible(done < total);
}

void THistoryWindow::SetNotice(const QString& text) {
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void THistoryWindow::AddNotice(const QString& text) {
    if (text.isEmpty()) return;
    SetNotice(notice_->text().isEmpty() ? text : notice_->text() + '\n' + text);
}

bool THistoryWindow::Reading() const {
    return !progress_->isHidden();
}

void THistoryWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    progress_->hide();
    emit Hidden();
}

void THistoryWindow::UpdateTexts() {
    std::vector<THistoryStation> stations;
    for (const TStationDays& s : stations_) stations.push_back(s.station);
    // Everything is named by the days found once they are known.
    THistoryDates dates = dates_;
    if (!dates.first.isValid() && expectedSpan_) dates = {expectedSpan_->first, expectedSpan_->second};
    setWindowTitle(HistoryTitle(span_, dates, stations));

    QStringList items;
    bool partial = false;
    for (int i = 0; i < StationCount(); ++i) {
        const TStationDays& s = stations_[static_cast<std::size_t>(i)];
        partial = partial || std::any_of(s.days.begin(), s.days.end(), [this](const THistoryDay& day) {
                      return day.date == today_ && day.totals;
                  });
        if (s.station.name.isEmpty()) continue;
        const QString name = s.station.name.toHtmlEscaped();
        items << QString("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
                     .arg(ToQColor(kStationColors[static_cast<std::size_t>(i)]).name(),
                          i == mainStation_ && StationCount() > 1 ? "<b>" + name + "</b>" : name);
    }
    if (partial) items << "&#9675;&nbsp;today, a partial day";
    legend_->setText(items.join("&nbsp;&nbsp;&nbsp; "));
    legend_->setVisible(!items.isEmpty());
}

TTimeSpan THistoryWindow::FullSpan() const {
    QDate from, to;
    for (const TStationDays& s : stations_) {
        if (s.days.empty()) continue;
        if (!from.isValid() || s.days.front().date < from) from = s.days.front().date;
        if (!to.isValid() || s.days.back().date > to) to = s.days.back().date;
    }
    // While days are still being read, the span they will come from.
    if (expectedSpan_) {
        from = from.isValid() ? std::min(from, expectedSpan_->first) : expectedSpan_->first;
        to = to.isValid() ? std::max(to, expectedSpan_->second) : expectedSpan_->second;
    }
    if (!from.isValid()) {
        from = shownDay_.addDays(-15);
        to = shownDay_.addDays(15);
    }
    // Half a day of room on each side keeps the first and last day clickable.
    return {DayTimeOf(from) - 0.5, DayTimeOf(to) + 0.5};
}

TTimeSpan THistoryWindow::VisibleSpan() const {
    return zoom_.value_or(FullSpan());
}

void THistoryWindow::Replot() {
    const bool anyDay = std::any_of(stations_.begin(), stations_.end(),
                                    [](const TStationDays& s) { return !s.days.empty(); });
    const bool automatic = !anyDay && !expectedSpan_ && !shownDay_.isValid();
    const TTimeSpan full = FullSpan();
    // A zoom stays inside the span as days arrive and widen it.
    if (zoom_) zoom_ = FitSpan(*zoom_, full, kMinimumZoomDays);
    const TTimeSpan shown = VisibleSpan();
    for (int i = 0; i < kHistoryMetricCount; ++i) {
        const auto metric = static_cast<THistoryMetric>(i);
        TChart& chart = Panel(metric).Chart();
        for (int station = 0; station < kMaxHistoryStations; ++station) {
            TChartSeries& whole = chart.Series(WholeDaysSeries(station));
            TChartSeries& today = chart.Series(TodaySeries(station));
            whole.ClearPoints();
            today.ClearPoints();
            const bool active = station < StationCount();
            whole.SetActive(active);
            today.SetActive(active);
            if (!active) continue;
            for (const THistoryDay& day : stations_[static_cast<std::size_t>(station)].days) {
                if (!day.totals) continue;
                if (const auto value = HistoryMetricValue(*day.totals, metric))
                    (day.date == today_ ? today : whole).AddPoint(DayTimeOf(day.date), *value);
            }
        }
        TChartAxis& bottom = chart.BottomAxis();
        bottom.SetDateTimeFormat(shown.to - shown.from > kDayLabelsUpTo ? "d mmm yyyy" : "dd/mm");
        if (automatic) {
            bottom.SetAutomatic(true);
        } else {
            bottom.SetAutomatic(false);
            bottom.SetAutomaticMinimum(false);
            bottom.SetAutomaticMaximum(false);
            bottom.SetMinMax(shown.from, shown.to);
        }
        Panel(metric).update();
    }
}

void THistoryWindow::ZoomTo(double from, double to) {
    const TTimeSpan full = FullSpan();
    const TTimeSpan span = FitSpan({from, to}, full, kMinimumZoomDays);
    // A span as wide as the whole one is no zoom.
    if (span.to - span.from >= full.to - full.from) {
        zoom_.reset();
    } else {
        zoom_ = span;
    }
    Replot();
}

void THistoryWindow::ResetZoom() {
    zoom_.reset();
    band_.reset();
    Replot();
}

void THistoryWindow::WheelZoom(THistoryMetric metric, int x, double steps) {
    if (steps == 0) return;
    TChart& chart = Panel(metric).Chart();
    chart.RedrawIfPending();
    const TTimeSpan shown = VisibleSpan();
    if (steps > 0 && shown.to - shown.from <= kMinimumZoomDays) return;
    const TTimeSpan zoomed = WheelSpan(shown, chart.BottomAxis().PixelToValue(x), steps, kWheelFactor);
    ZoomTo(zoomed.from, zoomed.to);
}

void THistoryWindow::SetLocale(const core::LocaleConventions& locale) {
    locale_ = locale;
    const TFormatSettings settings = ChartFormatSettings(locale);
    for (TChartPanel* panel : panels_) panel->Chart().SetFormatSettings(settings);
}

std::optional<THistoryPick> THistoryWindow::PickAt(THistoryMetric metric, QPoint point) {
    TChart& chart = Panel(metric).Chart();
    chart.RedrawIfPending();
    const TRect& plot = chart.PlotRect();
    if (point.x() < plot.Left || point.x() >= plot.Right) return std::nullopt;
    const double value = chart.BottomAxis().PixelToValue(point.x());
    // The nearest day of all stations; of stations with a day there, the one whose value is drawn
    // nearest to the pointer.
    std::optional<THistoryPick> pick;
    double dayDistance = 0;
    int pixelDistance = 0;
    for (int station = 0; station < StationCount(); ++station) {
        for (const THistoryDay& day : stations_[static_cast<std::size_t>(station)].days) {
            if (!day.totals) continue;
            const double d = std::fabs(DayTimeOf(day.date) - value);
            const std::optional<double> y = HistoryMetricValue(*day.totals, metric);
            const int pixels =
                y ? std::abs(chart.LeftAxis().ValueToPixel(*y) - point.y()) : std::numeric_limits<int>::max();
            if (!pick || d < dayDistance - 1e-9 || (d < dayDistance + 1e-9 && pixels < pixelDistance)) {
                pick = THistoryPick{station, day.date};
                dayDistance = d;
                pixelDistance = pixels;
            }
        }
    }
    return pick;
}

void THistoryWindow::PaintOverlay(const TChartPanel& panel, QPainter& painter) const {
    const TChart& chart = panel.Chart();
    const TRect& plot = chart.PlotRect();
    // Marks at the ends of the plot are drawn whole.
    constexpr int kMarkRoom = 6;
    painter.setClipRect(QRect(plot.Left, plot.Top, plot.Right - plot.Left, plot.Bottom - plot.Top)
                            .adjusted(-kMarkRoom, -kMarkRoom, kMarkRoom, kMarkRoom));
    const TChartAxis& bottom = chart.BottomAxis();
    const TChartAxis& left = chart.LeftAxis();
    // The shown day is marked with a dotted line across the plot.
    const int x = shownDay_.isValid() ? bottom.ValueToPixel(DayTimeOf(shownDay_)) : plot.Left - 1;
    if (!Days().empty() && x >= plot.Left && x < plot.Right) {
        painter.setPen(QPen(Qt::red, 1, Qt::DotLine));
        painter.drawLine(x, plot.Top, x, plot.Bottom - 1);
    }
    // The day the keyboard moved to, until Enter shows it.
    const int selected = selectedDay_.isValid() && selectedDay_ != shownDay_
                             ? bottom.ValueToPixel(DayTimeOf(selectedDay_))
                             : plot.Left - 1;
    if (selected >= plot.Left && selected < plot.Right) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawLine(selected, plot.Top, selected, plot.Bottom - 1);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    for (int station = 0; station < StationCount(); ++station) {
        const QColor color = ToQColor(kStationColors[static_cast<std::size_t>(station)]);
        // A day with no neighbour has no line to show it: a dot does.
        const TChartSeries& whole = chart.Series(WholeDaysSeries(station));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        for (int i = 0; i < whole.PointCount(); ++i) {
            if (!IsolatedPoint(whole, i)) continue;
            painter.drawEllipse(QPointF(bottom.ValueToPixel(whole.XValues().Value(i)),
                                        left.ValueToPixel(whole.YValues().Value(i))),
                                2.5, 2.5);
        }
        // Today's day is not over: a hollow ring, so that it is not taken for a whole day.
        const TChartSeries& today = chart.Series(TodaySeries(station));
        painter.setPen(QPen(color, 1.5));
        painter.setBrush(Qt::white);
        for (int i = 0; i < today.PointCount(); ++i) {
            painter.drawEllipse(QPointF(bottom.ValueToPixel(today.XValues().Value(i)),
                                        left.ValueToPixel(today.YValues().Value(i))),
                                4, 4);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (band_) {
        const int from = std::max(plot.Left, bottom.ValueToPixel(band_->from));
        const int to = std::min(plot.Right, bottom.ValueToPixel(band_->to));
        painter.fillRect(QRect(from, plot.Top, to - from, plot.Bottom - plot.Top), QColor(0, 120, 215, 48));
    }
}

bool THistoryWindow::MousePress(int metric, const QMouseEvent& event) {
    const bool pan = event.button() == Qt::MiddleButton ||
                     (event.button() == Qt::LeftButton && (event.modifiers() & Qt::ShiftModifier));
    if (!pan && event.button() != Qt::LeftButton) return false;
    TChart& chart = panels_[static_cast<std::size_t>(metric)]->Chart();
    chart.RedrawIfPending();
    const TRect& plot = chart.PlotRect();
    const int x = event.position().toPoint().x();
    if (x < plot.Left || x >= plot.Right) return false;
    drag_ = pan ? DragMode::Pan : DragMode::Select;
    dragStartX_ = x;
    dragStartSpan_ = VisibleSpan();
    return true;
}

bool THistoryWindow::MouseMove(int metric, const QMouseEvent& event) {
    if (drag_ == DragMode::None) return false;
    TChartPanel& panel = *panels_[static_cast<std::size_t>(metric)];
    const TRect& plot = panel.Chart().PlotRect();
    const int x = std::clamp(event.position().toPoint().x(), plot.Left, std::max(plot.Left, plot.Right - 1));
    if (drag_ == DragMode::Pan) {
        // The day grabbed at the press stays under the pointer.
        const double daysPerPixel =
            (dragStartSpan_.to - dragStartSpan_.from) / std::max(1, plot.Right - plot.Left);
        const double shift = (dragStartX_ - x) * daysPerPixel;
        ZoomTo(dragStartSpan_.from + shift, dragStartSpan_.to + shift);
    } else if (std::abs(x - dragStartX_) >= kMinimumDragPixels) {
        const TChartAxis& bottom = panel.Chart().BottomAxis();
        const double a = bottom.PixelToValue(dragStartX_), b = bottom.PixelToValue(x);
        band_ = TTimeSpan{std::min(a, b), std::max(a, b)};
        for (TChartPanel* p : panels_) p->update();
    }
    return true;
}

bool THistoryWindow::MouseRelease(int metric, const QMouseEvent& event) {
    if (drag_ == DragMode::None) return false;
    const DragMode mode = std::exchange(drag_, DragMode::None);
    const QPoint position = event.position().toPoint();
    const std::optional<TTimeSpan> band = std::exchange(band_, std::nullopt);
    if (mode == DragMode::Select) {
        if (band) {
            ZoomTo(band->from, band->to);
        } else if (const auto pick = PickAt(static_cast<THistoryMetric>(metric), position)) {
            emit DayClicked(pick->day, pick->station);
        }
    }
    for (TChartPanel* p : panels_) p->update();
    return true;
}

bool THistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto found = std::find(panels_.begin(), panels_.end(), watched);
    if (found == panels_.end()) return QWidget::eventFilter(watched, event);
    const int metric = static_cast<int>(found - panels_.begin());
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            return MousePress(metric, *static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return MouseMove(metric, *static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return MouseRelease(metric, *static_cast<QMouseEvent*>(event));
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            WheelZoom(static_cast<THistoryMetric>(metric), wheel->position().toPoint().x(),
                      wheel->angleDelta().y() / 120.0);
            return true;
        }
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace marlix::ui
