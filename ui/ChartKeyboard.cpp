#include "ChartKeyboard.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>

#include "ChartInteraction.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {

using chart::TChartPanel;

TChartKeyboard::TChartKeyboard(TChartInteraction& interaction, TSignalCharts& charts,
                               std::array<TChartPanel*, 3> panels, Minutes minutes)
    : interaction_(interaction), charts_(charts), panels_(panels), minutes_(std::move(minutes)) {
    for (TChartPanel* panel : panels_) {
        panel->setFocusPolicy(Qt::StrongFocus);
        panel->installEventFilter(this);
    }
}

TChartPanel* TChartKeyboard::PanelOf(const QObject* object) const {
    for (TChartPanel* panel : panels_) {
        if (panel == object) return panel;
    }
    return nullptr;
}

bool TChartKeyboard::ChartFocused() const {
    return PanelOf(QApplication::focusWidget()) != nullptr;
}

void TChartKeyboard::ShowCursor(TChartPanel& panel, double time) {
    const std::vector<core::MinuteReading>& minutes = minutes_();
    if (!charts_.HasDay() || minutes.empty()) return;
    // Among the records, as far as the day range shows them.
    const double first = std::max(minutes.front().time, charts_.DayStart());
    time = std::clamp(time, first, std::max(first, std::min(minutes.back().time, charts_.DayEnd())));
    // The cursor stays in view: the shown span follows it as a text follows its caret.
    const TTimeSpan shown = charts_.VisibleSpan();
    if (time < shown.from) interaction_.PanBy(time - shown.from);
    if (time > shown.to) interaction_.PanBy(time - shown.to);
    panel.Chart().RedrawIfPending();
    interaction_.ShowCursorAt(panel, time);
    panel.SetAccessibleValue(interaction_.Readout()->text());
}

bool TChartKeyboard::ChartKey(TChartPanel& panel, int key, Qt::KeyboardModifiers modifiers) {
    const std::vector<core::MinuteReading>& minutes = minutes_();
    if (!charts_.HasDay() || minutes.empty()) return false;
    const double cursor = interaction_.CursorTime().value_or(minutes.front().time);
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool control = modifiers & Qt::ControlModifier;
    const double direction = key == Qt::Key_Left ? -1 : 1;
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
            if (control) {
                const TTimeSpan shown = charts_.VisibleSpan();
                interaction_.PanBy(direction * (shown.to - shown.from) * kPanShare);
                // The cursor keeps its place on the screen.
                const double moved = charts_.VisibleSpan().from - shown.from;
                ShowCursor(panel, cursor + moved);
            } else {
                ShowCursor(panel, cursor + direction * kStep * (shift ? kLongStep : 1));
            }
            return true;
        case Qt::Key_Home:
            ShowCursor(panel, minutes.front().time);
            return true;
        case Qt::Key_End:
            ShowCursor(panel, minutes.back().time);
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_Minus: {
            panel.Chart().RedrawIfPending();
            const int x = panel.Chart().BottomAxis().ValueToPixel(cursor);
            interaction_.WheelZoom(panel, x, key == Qt::Key_Minus ? -1 : 1);
            ShowCursor(panel, cursor);
            return true;
        }
        default:
            return false;
    }
}

void TChartKeyboard::FocusEntered(TChartPanel& panel) {
    const std::vector<core::MinuteReading>& minutes = minutes_();
    if (!charts_.HasDay() || minutes.empty()) return;
    const TTimeSpan shown = charts_.VisibleSpan();
    const std::optional<double> cursor = interaction_.CursorTime();
    if (cursor && *cursor >= shown.from && *cursor <= shown.to) {
        ShowCursor(panel, *cursor);
        return;
    }
    // The first record in view.
    const auto first = std::lower_bound(minutes.begin(), minutes.end(), shown.from,
                                        [](const core::MinuteReading& m, double t) { return m.time < t; });
    ShowCursor(panel, first == minutes.end() ? minutes.back().time : first->time);
}

void TChartKeyboard::FocusLeft(TChartPanel& panel) {
    panel.SetAccessibleValue({});
    // Tab from one chart to the next keeps the cursor; leaving the charts takes it away.
    if (!PanelOf(QApplication::focusWidget())) interaction_.HideCursor();
}

bool TChartKeyboard::eventFilter(QObject* watched, QEvent* event) {
    TChartPanel* panel = PanelOf(watched);
    if (!panel) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            return ChartKey(*panel, key->key(), key->modifiers() & ~Qt::KeypadModifier);
        }
        case QEvent::FocusIn:
            // A click leaves the cursor to the mouse.
            if (static_cast<QFocusEvent*>(event)->reason() != Qt::MouseFocusReason) FocusEntered(*panel);
            return false;
        case QEvent::FocusOut:
            FocusLeft(*panel);
            return false;
        default:
            return false;
    }
}

}  // namespace marlix::ui
