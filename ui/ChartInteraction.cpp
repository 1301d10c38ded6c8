#include "ChartInteraction.h"

#include <marlix/chart/qt/chart_panel.h>
#include <marlix/core/daytime.h>
#include <marlix/core/minute_readings.h>
#include <marlix/core/state_words.h>

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <exception>

namespace marlix::ui {

using chart::TChartPanel;
using chart::TChartSeries;

int NearestPointIndex(const TChartSeries& series, double x) {
    const int count = series.PointCount();
    if (count == 0) return -1;
    const double* values = series.XValues().Data();
    const int after = static_cast<int>(std::lower_bound(values, values + count, x) - values);
    if (after == 0) return 0;
    if (after == count) return count - 1;
    return x - values[after - 1] < values[after] - x ? after - 1 : after;
}

namespace {

// Up to two decimals, without trailing zeros, with the locale's decimal separator: the readout is
// read by eye.
QString ReadoutNumber(double value, const core::LocaleConventions& locale) {
    QString text = QString::number(value, 'f', 2);
    while (text.endsWith('0')) text.chop(1);
    if (text.endsWith('.')) text.chop(1);
    if (text == "-0") return "0";
    return text.replace('.', QString::fromStdString(locale.decimalSeparator));
}

QString FixWord(core::FixState fix) {
    return QString::fromUtf8(core::FixWords(fix).label);
}

QString ModeWord(core::LockMode mode, bool controlFormat) {
    return QString::fromUtf8(core::ModeWords(mode, controlFormat).label);
}

QString HourMinute(double time, const core::LocaleConventions& locale) {
    return QString::fromStdString(core::FormatClockTime(time, locale.timeSeparator));
}

template <typename T, typename Format>
QString Reading(const std::optional<T>& value, Format format) {
    return value ? format(*value) : QStringLiteral("\u2014");
}

QString ClockTime(double time, const core::LocaleConventions& locale) {
    return QString::fromStdString(core::FormatClockTime(time, locale.timeSeparator, true));
}

}  // namespace

QString CursorReadout(const std::vector<core::MinuteReading>& minutes, bool controlFormat, double time,
                      const core::LocaleConventions& locale, bool withDate) {
    const QString date = withDate ? QString::fromStdString(core::FormatIsoDate(time)) + ' ' : QString();
    QStringList lines{date + ClockTime(time, locale) + " UTC"};
    const core::MinuteAtTime at = core::MinuteAt(minutes, time);
    if (at.recordsBegin)
        return lines.join('\n') + "\nno records before " + HourMinute(*at.recordsBegin, locale);
    if (at.recordsEnd) return lines.join('\n') + "\nno records after " + HourMinute(*at.recordsEnd, locale);
    if (at.gap) {
        lines << "no records " + HourMinute(at.gap->first, locale) + QStringLiteral("\u2013") +
                     HourMinute(at.gap->last, locale);
        return lines.join('\n');
    }
    const core::MinuteReading none;
    const core::MinuteReading& m = at.nearest ? minutes[*at.nearest] : none;
    if (at.nearest) lines << "Minute " + HourMinute(at.nearestMinute, locale);
    const auto number = [&locale](auto v) { return ReadoutNumber(static_cast<double>(v), locale); };
    lines << "Strength: " + Reading(m.strength, number) << "Num good: " + Reading(m.numGood, number)
          << "2D/3D fix: " + Reading(m.fix, FixWord) << "Trend: " + Reading(m.trend, number)
          << "PDOP: " + Reading(m.pdop, number) << "Signal: " + Reading(m.signal, number)
          << "Mode: " + Reading(m.mode, [controlFormat](core::LockMode mode) {
                 return ModeWord(mode, controlFormat);
             });
    return lines.join('\n');
}

TTimeSpan FitSpan(TTimeSpan span, TTimeSpan bounds, double minimum) {
    auto [from, to] = span;
    if (to < from) std::swap(from, to);
    if (to - from < minimum) {
        const double middle = (from + to) / 2;
        from = middle - minimum / 2;
        to = middle + minimum / 2;
    }
    if (from < bounds.from) {
        to += bounds.from - from;
        from = bounds.from;
    }
    if (to > bounds.to) {
        from -= to - bounds.to;
        to = bounds.to;
    }
    return {from, to};
}

TTimeSpan WheelSpan(TTimeSpan shown, double at, double steps, double factor) {
    const double kept = std::pow(factor, steps);
    return {at - (at - shown.from) * kept, at + (shown.to - at) * kept};
}

TChartInteraction::TChartInteraction(TSignalCharts& charts, std::array<TChartPanel*, 3> panels,
                                     QWidget* readoutParent)
    : charts_(charts), panels_(panels) {
    readout_ = new QLabel(readoutParent);
    readout_->setObjectName("LabelReadout");
    // In the desktop's tool-tip colours, light or dark.
    readout_->setFrameShape(QFrame::Box);
    readout_->setContentsMargins(3, 1, 3, 1);
    readout_->setAutoFillBackground(true);
    readout_->setBackgroundRole(QPalette::ToolTipBase);
    readout_->setForegroundRole(QPalette::ToolTipText);
    // The pointer stays over the panel below, which must keep getting its moves.
    readout_->setAttribute(Qt::WA_TransparentForMouseEvents);
    readout_->hide();
    for (TChartPanel* panel : panels_) {
        panel->setMouseTracking(true);
        panel->installEventFilter(this);
        panel->SetOverlayPainter([this, panel](QPainter& painter) { PaintOverlay(*panel, painter); });
    }
}

TChartInteraction::~TChartInteraction() {
    for (TChartPanel* panel : panels_) panel->SetOverlayPainter({});
}

void TChartInteraction::ShowSpan(TTimeSpan span) {
    charts_.SetTimeSpan(span.from, span.to);
    zoom_ = charts_.Zoomed() ? std::optional(charts_.VisibleSpan()) : std::nullopt;
    emit SpanChanged();
}

void TChartInteraction::ZoomTo(double from, double to) {
    if (!charts_.HasDay()) return;
    ShowSpan(FitSpan({from, to}, {charts_.DayStart(), charts_.DayEnd()}, kMinimumSpan));
}

void TChartInteraction::ResetZoom() {
    band_.reset();
    drag_ = DragMode::None;
    if (!charts_.HasDay()) return;
    charts_.ResetTimeSpan();
    zoom_.reset();
    UpdateReadout(lastPointer_);
    RepaintPanels();
    emit SpanChanged();
}

QString TChartInteraction::ZoomText() const {
    if (!zoom_) return {};
    const core::LocaleConventions& locale = charts_.Locale();
    const bool severalDays = charts_.DayEnd() - charts_.DayStart() > 1;
    const auto at = [&](double time) {
        const QString clock = HourMinute(time, locale);
        return severalDays ? QString::fromStdString(core::FormatIsoDate(time)) + ' ' + clock : clock;
    };
    return "Showing " + at(zoom_->from) + QStringLiteral("\u2013") + at(zoom_->to) +
           QStringLiteral(" \u00b7 Esc: ") + (severalDays ? "all days" : "whole day");
}

void TChartInteraction::WheelZoom(const TChartPanel& panel, int x, double steps) {
    if (!charts_.HasDay() || steps == 0) return;
    const chart::TChartAxis& axis = panel.Chart().BottomAxis();
    const TTimeSpan shown{axis.ScaleMinimum(), axis.ScaleMaximum()};
    if (steps > 0 && shown.to - shown.from <= kMinimumSpan) return;
    const TTimeSpan zoomed = WheelSpan(shown, axis.PixelToValue(x), steps, kWheelFactor);
    ZoomTo(zoomed.from, zoomed.to);
}

void TChartInteraction::PanBy(double shift) {
    if (!zoom_) return;  // the whole day is in view: nothing to move
    const TTimeSpan shown = *zoom_;
    ZoomTo(shown.from + shift, shown.to + shift);
}

void TChartInteraction::DayPlotted(bool sameDay) {
    band_.reset();
    drag_ = DragMode::None;
    if (sameDay && zoom_) {
        ShowSpan(*zoom_);
    } else {
        zoom_.reset();
    }
    if (cursor_ && readout_->isVisible()) UpdateReadout(lastPointer_);
    // A new day, or the same one reloaded: what the charts show changed.
    emit SpanChanged();
}

void TChartInteraction::SetOverlaysHidden(bool hidden) {
    overlaysHidden_ = hidden;
    for (TChartPanel* panel : panels_) panel->SetFocusFrameShown(!hidden);
    if (hidden) {
        readout_->hide();
    } else if (cursor_) {
        UpdateReadout(lastPointer_);
    }
    RepaintPanels();
}

int TChartInteraction::PanelIndex(const QObject* object) const {
    for (std::size_t i = 0; i < panels_.size(); ++i) {
        if (panels_[i] == object) return static_cast<int>(i);
    }
    return -1;
}

bool TChartInteraction::InsidePlot(const TChartPanel& panel, int x) const {
    const chart::TRect& plot = panel.Chart().PlotRect();
    return x >= plot.Left && x < plot.Right;
}

int TChartInteraction::ClampToPlot(const TChartPanel& panel, int x) const {
    const chart::TRect& plot = panel.Chart().PlotRect();
    return std::clamp(x, plot.Left, std::max(plot.Left, plot.Right - 1));
}

void TChartInteraction::RepaintPanels() {
    for (TChartPanel* panel : panels_) panel->update();
}

void TChartInteraction::MoveCursor(const TChartPanel& panel, QPoint position) {
    if (!charts_.HasDay() || !InsidePlot(panel, position.x())) {
        HideCursor();
        return;
    }
    cursor_ = panel.Chart().BottomAxis().PixelToValue(position.x());
    lastPointer_ = panel.mapTo(readout_->parentWidget(), position);
    UpdateReadout(lastPointer_);
    RepaintPanels();
}

void TChartInteraction::ShowCursorAt(const TChartPanel& panel, double time) {
    if (!charts_.HasDay()) return;
    cursor_ = time;
    const chart::TChartAxis& axis = panel.Chart().BottomAxis();
    const int x = ClampToPlot(panel, axis.ValueToPixel(time));
    lastPointer_ = panel.mapTo(readout_->parentWidget(), QPoint(x, panel.Chart().PlotRect().Top));
    UpdateReadout(lastPointer_);
    RepaintPanels();
}

void TChartInteraction::HideCursor() {
    if (!cursor_) return;
    cursor_.reset();
    readout_->hide();
    RepaintPanels();
}

void TChartInteraction::UpdateReadout(QPoint pointerInParent) {
    if (!cursor_ || overlaysHidden_) {
        readout_->hide();
        return;
    }
    const bool severalDays = charts_.DayEnd() - charts_.DayStart() > 1;
    readout_->setText(
        CursorReadout(minutes_, charts_.ControlFormat(), *cursor_, charts_.Locale(), severalDays));
    readout_->adjustSize();
    // Beside the pointer, on whichever side keeps the box inside the window.
    const QWidget* parent = readout_->parentWidget();
    constexpr int kOffset = 14;
    int x = pointerInParent.x() + kOffset;
    int y = pointerInParent.y() + kOffset;
    if (x + readout_->width() > parent->width()) x = pointerInParent.x() - kOffset - readout_->width();
    if (y + readout_->height() > parent->height()) y = pointerInParent.y() - kOffset - readout_->height();
    readout_->move(std::max(0, x), std::max(0, y));
    readout_->show();
    readout_->raise();
}

void TChartInteraction::PaintOverlay(const TChartPanel& panel, QPainter& painter) const {
    if (overlaysHidden_) return;
    const chart::TRect& plot = panel.Chart().PlotRect();
    const chart::TChartAxis& axis = panel.Chart().BottomAxis();
    if (band_) {
        const int left = std::max(plot.Left, axis.ValueToPixel(band_->from));
        const int right = std::min(plot.Right, axis.ValueToPixel(band_->to));
        if (right > left) {
            painter.fillRect(QRect(left, plot.Top, right - left, plot.Bottom - plot.Top),
                             QColor(0, 120, 215, 48));
            painter.setPen(QColor(0, 120, 215));
            painter.drawLine(left, plot.Top, left, plot.Bottom - 1);
            painter.drawLine(right - 1, plot.Top, right - 1, plot.Bottom - 1);
        }
    }
    if (cursor_) {
        const int x = axis.ValueToPixel(*cursor_);
        if (x >= plot.Left && x < plot.Right) {
            painter.setPen(QColor(192, 0, 0));
            painter.drawLine(x, plot.Top, x, plot.Bottom - 1);
        }
    }
}

bool TChartInteraction::MousePress(TChartPanel& panel, QMouseEvent& event) {
    const int x = event.position().toPoint().x();
    const bool pan = event.button() == Qt::MiddleButton ||
                     (event.button() == Qt::LeftButton && (event.modifiers() & Qt::ShiftModifier));
    if (!charts_.HasDay() || !InsidePlot(panel, x)) return false;
    if (pan) {
        drag_ = DragMode::Pan;
    } else if (event.button() == Qt::LeftButton) {
        drag_ = DragMode::Select;
    } else {
        return false;
    }
    dragPanel_ = PanelIndex(&panel);
    dragStartX_ = x;
    dragStartTime_ = panel.Chart().BottomAxis().PixelToValue(x);
    return true;
}

bool TChartInteraction::MouseMove(TChartPanel& panel, QMouseEvent& event) {
    const QPoint position = event.position().toPoint();
    if (drag_ == DragMode::None || PanelIndex(&panel) != dragPanel_) {
        MoveCursor(panel, position);
        return false;
    }
    const chart::TChartAxis& axis = panel.Chart().BottomAxis();
    if (drag_ == DragMode::Pan) {
        // The time grabbed at the press stays under the pointer.
        PanBy(dragStartTime_ - axis.PixelToValue(position.x()));
    } else if (std::abs(position.x() - dragStartX_) >= kMinimumDragPixels) {
        const double to = axis.PixelToValue(ClampToPlot(panel, position.x()));
        band_ = TTimeSpan{std::min(dragStartTime_, to), std::max(dragStartTime_, to)};
    } else {
        band_.reset();
    }
    MoveCursor(panel, position);
    return true;
}

bool TChartInteraction::MouseRelease(TChartPanel& panel, QMouseEvent& event) {
    if (drag_ == DragMode::None) return false;
    const DragMode mode = drag_;
    drag_ = DragMode::None;
    const int x = event.position().toPoint().x();
    band_.reset();
    if (mode == DragMode::Select && std::abs(x - dragStartX_) >= kMinimumDragPixels) {
        const double to = panel.Chart().BottomAxis().PixelToValue(ClampToPlot(panel, x));
        ZoomTo(dragStartTime_, to);
        UpdateReadout(lastPointer_);
    }
    RepaintPanels();
    return true;
}

bool TChartInteraction::eventFilter(QObject* watched, QEvent* event) {
    const int index = PanelIndex(watched);
    if (index < 0) return QObject::eventFilter(watched, event);
    TChartPanel& panel = *panels_[static_cast<std::size_t>(index)];
    bool used = false;
    const auto handle = [&] { used = FilterPanelEvent(panel, event); };
    try {
        if (guard_) {
            guard_(handle);
        } else {
            handle();
        }
    } catch (const std::exception& e) {
        qWarning("Chart event dropped: %s", e.what());
    } catch (...) {
        qWarning("Chart event dropped: unknown exception");
    }
    return used;
}

bool TChartInteraction::FilterPanelEvent(TChartPanel& panel, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            return MousePress(panel, *static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return MouseMove(panel, *static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return MouseRelease(panel, *static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
            ResetZoom();
            return true;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int x = wheel->position().toPoint().x();
            if (!InsidePlot(panel, x)) return false;
            WheelZoom(panel, x, wheel->angleDelta().y() / 120.0);
            MoveCursor(panel, wheel->position().toPoint());
            return true;
        }
        case QEvent::ContextMenu:
            // The popup takes the pointer; the readout would stay behind under it.
            HideCursor();
            return false;
        case QEvent::Leave:
            if (drag_ == DragMode::None) HideCursor();
            return false;
        default:
            return false;
    }
}

}  // namespace marlix::ui
