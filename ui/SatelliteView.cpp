#include "SatelliteView.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace marlix::ui {
namespace {

constexpr int kNumberMargin = 40;  // room for the satellite numbers
constexpr int kRightMargin = 10;
constexpr int kTopMargin = 6;
constexpr int kTimeLabelHeight = 16;
constexpr int kLegendHeight = 22;
constexpr int kMaxRowHeight = 16;
constexpr double kMinutesPerDay = 1440;

}  // namespace

TSatelliteView::TSatelliteView(QWidget* parent) : QWidget(parent) {
    setWindowTitle("Satellites");
    setMouseTracking(true);
    setMinimumSize(300, 150);
    // The desktop's colours around the strip; the level colours are the data's own.
    setAutoFillBackground(true);
    setAccessibleName("Satellite levels");
}

std::optional<QRect> TSatelliteView::SelectedCell() const {
    const int rowHeight = RowHeight();
    if (selectedRow_ < 0 || selectedRow_ >= static_cast<int>(day_.satellites.size()) || rowHeight == 0)
        return {};
    const int left = TimeToPixel(selectedMinute_);
    const int right = std::max(left + 1, TimeToPixel(selectedMinute_ + 1.0 / kMinutesPerDay));
    return QRect(left, StripRect().top() + selectedRow_ * rowHeight, right - left, rowHeight);
}

QString TSatelliteView::SelectedText() const {
    const std::optional<QRect> cell = SelectedCell();
    return cell ? HoverText(cell->center()) : QString();
}

void TSatelliteView::Select(int row, double minute) {
    const int rows = static_cast<int>(day_.satellites.size());
    if (rows == 0) return;
    const double first =
        core::MinuteStart(static_cast<std::int64_t>(std::ceil(firstX_ * kMinutesPerDay - 1e-6)));
    const double last =
        core::MinuteStart(static_cast<std::int64_t>(std::floor(lastX_ * kMinutesPerDay - 1e-6)));
    selectedRow_ = std::clamp(row, 0, rows - 1);
    selectedMinute_ = std::clamp(minute, first, std::max(first, last));
    const QString text = SelectedText();
    setAccessibleDescription(text);
    if (const std::optional<QRect> cell = SelectedCell())
        QToolTip::showText(mapToGlobal(cell->bottomRight()), text, this);
    update();
}

void TSatelliteView::keyPressEvent(QKeyEvent* event) {
    const bool selected = selectedRow_ >= 0;
    const int row = selected ? selectedRow_ : 0;
    const double minute = selected ? selectedMinute_ : firstX_;
    const double step = (event->modifiers() & Qt::ShiftModifier ? 10.0 : 1.0) / kMinutesPerDay;
    switch (event->key()) {
        case Qt::Key_Up:
            Select(row - (selected ? 1 : 0), minute);
            break;
        case Qt::Key_Down:
            Select(row + (selected ? 1 : 0), minute);
            break;
        case Qt::Key_Left:
            Select(row, minute - (selected ? step : 0));
            break;
        case Qt::Key_Right:
            Select(row, minute + (selected ? step : 0));
            break;
        case Qt::Key_Home:
            Select(row, firstX_);
            break;
        case Qt::Key_End:
            Select(row, lastX_);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void TSatelliteView::SetDay(core::SatelliteDay day) {
    day_ = std::move(day);
    update();
}

void TSatelliteView::SetTimeRange(double firstX, double lastX) {
    firstX_ = firstX;
    lastX_ = lastX > firstX ? lastX : firstX + 1.0 / kMinutesPerDay;
    update();
}

void TSatelliteView::SetPlotEdges(int left, int right) {
    plotEdges_ = std::pair{left, std::max(left + 1, right)};
    update();
}

int TSatelliteView::LevelStep(double level) {
    return std::clamp(static_cast<int>(std::floor(level + 0.5)), 0, 9);
}

QColor TSatelliteView::LevelColour(double level) {
    // Red through yellow to green, so that weak satellites stand out.
    const QColor hsv = QColor::fromHsv(LevelStep(level) * 120 / 9, 230, 220);
    // Eight bits a channel, as the strip's pixels hold it.
    return QColor(hsv.red(), hsv.green(), hsv.blue());
}

QRect TSatelliteView::StripRect() const {
    const int left = plotEdges_ ? plotEdges_->first : kNumberMargin;
    const int right = plotEdges_ ? plotEdges_->second : width() - kRightMargin;
    const int bottom = height() - kLegendHeight - kTimeLabelHeight;
    const int rows = static_cast<int>(day_.satellites.size());
    const int used = rows == 0 ? 0 : std::min(bottom - kTopMargin, rows * kMaxRowHeight);
    return QRect(QPoint(left, kTopMargin), QPoint(right - 1, kTopMargin + std::max(0, used) - 1));
}

int TSatelliteView::RowHeight() const {
    const int rows = static_cast<int>(day_.satellites.size());
    return rows == 0 ? 0 : std::max(1, StripRect().height() / rows);
}

int TSatelliteView::TimeToPixel(double t) const {
    const QRect strip = StripRect();
    const double share = (t - firstX_) / (lastX_ - firstX_);
    return strip.left() + static_cast<int>(std::lround(share * (strip.right() + 1 - strip.left())));
}

std::optional<double> TSatelliteView::MinuteAt(int x) const {
    const QRect strip = StripRect();
    if (x < strip.left() || x > strip.right()) return std::nullopt;
    const double t = firstX_ + (x - strip.left()) * (lastX_ - firstX_) / (strip.right() + 1 - strip.left());
    // The minute whose column, as painted, holds x.
    std::int64_t minute = static_cast<std::int64_t>(std::floor(t * kMinutesPerDay));
    while (TimeToPixel(core::MinuteStart(minute)) > x) --minute;
    while (TimeToPixel(core::MinuteStart(minute + 1)) <= x) ++minute;
    return core::MinuteStart(minute);
}

QString TSatelliteView::HoverText(QPoint position) const {
    const QRect strip = StripRect();
    const int rowHeight = RowHeight();
    if (rowHeight == 0 || position.y() < strip.top()) return {};
    const int row = (position.y() - strip.top()) / rowHeight;
    if (row >= static_cast<int>(day_.satellites.size())) return {};
    const std::optional<double> minute = MinuteAt(position.x());
    if (!minute) return {};
    const std::int32_t satellite = day_.satellites[static_cast<std::size_t>(row)];
    const std::optional<float> level = day_.MeanLevel(satellite, *minute);
    const QString text = QString("Satellite %1, %2 UTC, ").arg(satellite).arg(HourMinute(*minute));
    if (!level) return text + "not listed";
    return text + "level " +
           QString::number(static_cast<double>(*level), 'f', 1)
               .replace('.', QString::fromStdString(locale_.decimalSeparator));
}

bool TSatelliteView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = HoverText(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void TSatelliteView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect strip = StripRect();
    const int rowHeight = RowHeight();
    const auto& numbers = day_.satellites;
    painter.setPen(palette().color(QPalette::WindowText));
    for (std::size_t row = 0; row < numbers.size(); ++row) {
        const int top = strip.top() + static_cast<int>(row) * rowHeight;
        if (!plotEdges_ || plotEdges_->first > 24) {
            painter.drawText(QRect(0, top, strip.left() - 4, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(numbers[row]));
        }
    }
    painter.setClipRect(strip);
    // Blank cells (not listed) in the colour of a view's data area.
    painter.fillRect(strip, palette().color(QPalette::Base));
    for (const core::SatelliteMinuteLevel& level : day_.levels) {
        if (level.minute + 1.0 / kMinutesPerDay <= firstX_ || level.minute >= lastX_) continue;
        const auto row = std::lower_bound(numbers.begin(), numbers.end(), level.satellite) - numbers.begin();
        const int left = TimeToPixel(level.minute);
        const int right = TimeToPixel(level.minute + 1.0 / kMinutesPerDay);
        painter.fillRect(QRect(left, strip.top() + static_cast<int>(row) * rowHeight,
                               std::max(1, right - left), rowHeight),
                         LevelColour(level.meanLevel));
    }
    painter.setClipping(false);
    painter.setPen(Qt::gray);
    painter.drawRect(strip.adjusted(-1, -1, 0, 0));
    if (const std::optional<QRect> cell = SelectedCell()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(cell->adjusted(-1, -1, 0, 0));
    }
    PaintTimeLabels(painter, strip);
    PaintLegend(painter,
                QRect(strip.left(), height() - kLegendHeight, width() - strip.left(), kLegendHeight));
}

void TSatelliteView::SetLocale(const core::LocaleConventions& locale) {
    locale_ = locale;
    update();
}

QString TSatelliteView::HourMinute(double t) const {
    return QString::fromStdString(core::FormatClockTime(t, locale_.timeSeparator));
}

void TSatelliteView::PaintTimeLabels(QPainter& painter, const QRect& strip) const {
    // A label every whole hour, or every ten minutes on a zoomed range of less than three hours.
    const double span = lastX_ - firstX_;
    const double step = span < 3.0 / 24 ? 10.0 / kMinutesPerDay : span < 12.0 / 24 ? 1.0 / 24 : 2.0 / 24;
    painter.setPen(palette().color(QPalette::WindowText));
    const int labelTop = strip.bottom() + 2;
    for (double t = std::ceil(firstX_ / step - 1e-9) * step; t <= lastX_ + 1e-9; t += step) {
        const int x = TimeToPixel(t);
        painter.drawLine(x, strip.bottom() + 1, x, strip.bottom() + 3);
        painter.drawText(QRect(x - 20, labelTop, 40, kTimeLabelHeight), Qt::AlignHCenter | Qt::AlignTop,
                         HourMinute(t));
    }
}

void TSatelliteView::PaintLegend(QPainter& painter, const QRect& area) const {
    constexpr int kBox = 12;
    painter.setPen(palette().color(QPalette::WindowText));
    int x = area.left();
    painter.drawText(QRect(x, area.top(), 40, area.height()), Qt::AlignLeft | Qt::AlignVCenter, "Level");
    x += 40;
    for (int level = 0; level <= 9; ++level) {
        const QRect box(x, area.top() + (area.height() - kBox) / 2, kBox, kBox);
        painter.fillRect(box, LevelColour(level));
        painter.drawText(QRect(x + kBox + 2, area.top(), 14, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(level));
        x += kBox + 18;
    }
    painter.drawText(QRect(x + 6, area.top(), 140, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     "blank: not listed");
}

}  // namespace marlix::ui
