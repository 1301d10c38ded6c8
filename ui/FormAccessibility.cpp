#include "FormAccessibility.h"

#include <marlix/chart/qt/chart_panel.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

#include "AccessibleText.h"
#include "ChartInteraction.h"
#include "ChartKeyboard.h"
#include "FormMain.h"
#include "marlix/signal_charts/ChartDescriptions.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {

namespace {

void Name(QWidget* widget, const char* name, const char* description = nullptr) {
    if (!widget) return;
    widget->setAccessibleName(name);
    if (description) widget->setAccessibleDescription(description);
}

}  // namespace

TFormAccessibility::TFormAccessibility(TFormMain& form) : form_(form) {
    InstallAccessibleText();
    keyboard_ = std::make_unique<TChartKeyboard>(
        form.Interaction(), form.Charts(),
        std::array<chart::TChartPanel*, 3>{form.ChartStrength(), form.ChartPDOP(), form.ChartMode()},
        [&form]() -> const std::vector<core::MinuteReading>& { return form.Minutes(); });
    NameControls();
    SetTabOrder();
    DescribeCharts();
}

TFormAccessibility::~TFormAccessibility() = default;

void TFormAccessibility::NameControls() {
    Name(form_.ButtonToday(), "Today", "Show today's log (UTC)");
    Name(form_.findChild<QPushButton*>("ButtonYesterday"), "Yesterday", "Show yesterday's log (UTC)");
    Name(form_.BitBtnPrev(), "Previous day");
    Name(form_.BitBtnNext(), "Next day");
    Name(form_.DateTimePicker(), "Shown day");
    Name(form_.CheckBoxAutoRefresh(), "Auto refresh", "Reload the shown day at every change of the minute");
    Name(form_.findChild<QPushButton*>("ButtonClose"), "Close");
    Name(form_.ChartStrength(), "Signal strength");
    Name(form_.ChartPDOP(), "PDOP");
    Name(form_.ChartMode(), "Signal and lock mode");
    Name(form_.LabelSummary(), "Summary");
    Name(form_.LabelNotes(), "Notes");
    Name(form_.LabelNotice(), "Notice");
    Name(form_.Interaction().Readout(), "Cursor readout");
    Name(form_.findChild<QProgressBar*>("ProgressBarLoad"), "Reading progress");
    Name(form_.PopupMenu(), "Window menu");
    MarkTextValue(*form_.LabelSummary());
    MarkTextValue(*form_.LabelNotes());
    MarkTextValue(*form_.Interaction().Readout());
    // Shown only when the view is not what was asked for: said as it appears.
    MarkTextValue(*form_.LabelNotice(), QAccessible::AlertMessage);
}

void TFormAccessibility::SetTabOrder() {
    const QList<QWidget*> order{form_.ButtonToday(),
                                form_.findChild<QPushButton*>("ButtonYesterday"),
                                form_.BitBtnPrev(),
                                form_.DateTimePicker(),
                                form_.BitBtnNext(),
                                form_.CheckBoxAutoRefresh(),
                                form_.findChild<QPushButton*>("ButtonClose"),
                                form_.ChartStrength(),
                                form_.ChartPDOP(),
                                form_.ChartMode()};
    for (QWidget* widget : order) {
        if (!widget->focusPolicy()) widget->setFocusPolicy(Qt::StrongFocus);
    }
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TFormAccessibility::DescribeCharts() {
    TSignalCharts& charts = form_.Charts();
    const std::array<chart::TChartPanel*, 3> panels{form_.ChartStrength(), form_.ChartPDOP(),
                                                    form_.ChartMode()};
    if (!charts.HasDay()) {
        for (chart::TChartPanel* panel : panels) panel->setAccessibleDescription("No log shown");
        return;
    }
    const TChartDescriptions texts = ::marlix::ui::DescribeCharts(
        {form_.Minutes(), form_.DayTotals(), charts.VisibleSpan(), charts.Zoomed()}, charts.Locale());
    panels[0]->setAccessibleDescription(QString::fromStdString(texts.strength));
    panels[1]->setAccessibleDescription(QString::fromStdString(texts.pdop));
    panels[2]->setAccessibleDescription(QString::fromStdString(texts.mode));
}

void TFormAccessibility::AnnounceNotice() {
    QLabel* notice = form_.LabelNotice();
    if (notice->isHidden()) return;
    QAccessibleEvent event(notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

}  // namespace marlix::ui
