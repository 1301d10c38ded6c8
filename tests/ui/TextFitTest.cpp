// Every control shows its whole text: each text is measured with the control's own font against the
// rectangle its style leaves for it. The locale is the one the process was started under, as a user
// starts the program: ctest runs this under C, en_US, en_GB, de_DE, fr_FR and fi_FI (LC_ALL), each at device
// scale 1 and again with QT_SCALE_FACTOR=2.
#include <marlix/chart/qt/chart_panel.h>

#include <QCheckBox>
#include <QDateEdit>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <cstdlib>

#include "FormFixture.h"
#include "support/locales.h"

namespace marlix::ui::test {
namespace {

// QLineEdit keeps this many pixels between its contents rectangle and its text on either side.
constexpr int kLineEditTextMargin = 2;

QString Describe(const QWidget* widget, const QString& text, int needed, int available) {
    return QString("%1 \"%2\" needs %3 px, has %4 px at scale %5")
        .arg(widget->objectName(), text)
        .arg(needed)
        .arg(available)
        .arg(widget->devicePixelRatioF());
}

void ExpectButtonTextFits(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const int needed = button->fontMetrics().horizontalAdvance(button->text());
    EXPECT_LE(needed, contents.width())
        << Describe(button, button->text(), needed, contents.width()).toStdString();
}

void ExpectCheckBoxTextFits(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect contents = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    const int needed = box->fontMetrics().horizontalAdvance(box->text());
    EXPECT_LE(needed, contents.width()) << Describe(box, box->text(), needed, contents.width()).toStdString();
    EXPECT_LE(box->fontMetrics().height(), contents.height()) << box->objectName().toStdString();
}

void ExpectPickerTextFits(const QDateEdit* picker) {
    const auto* edit = picker->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    const QMargins margins = edit->textMargins();
    const int available =
        edit->contentsRect().width() - margins.left() - margins.right() - 2 * kLineEditTextMargin;
    const int needed = edit->fontMetrics().horizontalAdvance(edit->text());
    EXPECT_LE(needed, available) << Describe(picker, edit->text(), needed, available).toStdString();
    EXPECT_LE(edit->fontMetrics().height(), edit->contentsRect().height()) << edit->text().toStdString();
}

// A label is sized to its text: it must be as large as its own measure of the text asks.
void ExpectLabelTextFits(const QLabel* label) {
    const QSize needed = label->sizeHint();
    EXPECT_LE(needed.width(), label->width())
        << Describe(label, label->text(), needed.width(), label->width()).toStdString();
    EXPECT_LE(needed.height(), label->height()) << label->objectName().toStdString();
}

// Neighbouring labels of each axis of the three charts keep apart: the vertical axes' by the height
// of their ink and a pixel, the time axis's by half the width of each (they are centred on their ticks).
void ExpectChartLabelsApart(TFormMain& form) {
    const QFontMetrics metrics(QFont("Arial", 8));
    for (chart::TChartPanel* panel : {form.ChartStrength(), form.ChartPDOP(), form.ChartMode()}) {
        panel->grab();
        const chart::TChart& chart = panel->Chart();
        const std::string name = panel->objectName().toStdString();
        for (const chart::TChartAxis* axis : {&chart.LeftAxis(), &chart.RightAxis()}) {
            const auto& labels = axis->DrawnLabels();
            for (std::size_t i = 1; i < labels.size(); ++i) {
                const QString pair = QString::fromStdString(labels[i - 1].Text + labels[i].Text);
                EXPECT_GE(std::abs(labels[i].Position - labels[i - 1].Position),
                          metrics.tightBoundingRect(pair).height() + 1)
                    << name << " \"" << labels[i - 1].Text << "\" \"" << labels[i].Text << '"';
            }
        }
        const auto& times = chart.BottomAxis().DrawnLabels();
        EXPECT_GE(times.size(), 2u) << name;
        for (std::size_t i = 1; i < times.size(); ++i) {
            const int half = (metrics.horizontalAdvance(QString::fromStdString(times[i - 1].Text)) +
                              metrics.horizontalAdvance(QString::fromStdString(times[i].Text))) /
                             2;
            EXPECT_GE(std::abs(times[i].X - times[i - 1].X), half) << name << ' ' << times[i].Text;
        }
    }
}

class TextFit : public FormFixture {};

TEST_F(TextFit, EveryControlShowsItsWholeText) {
    MARLIX_REQUIRE_LOCALE(marlix::test::EnvironmentLocaleName());
    // The fixture starts every test in the C locale; this one runs in the process's own.
    QLocale::setDefault(QLocale::system());
    const QDate shown(2024, 11, 15);
    WriteDay(shown);
    const auto form = MakeForm();
    form->SetPickerDate(shown);
    form->DateTimePickerChange();
    form->WaitForLoad();
    QApplication::processEvents();
    ASSERT_TRUE(errors.empty());

    for (const char* name : {"ButtonToday", "ButtonYesterday", "ButtonClose"})
        ExpectButtonTextFits(form->findChild<QPushButton*>(name));
    ExpectCheckBoxTextFits(form->findChild<QCheckBox*>("CheckBoxAutoRefresh"));
    // After a load, so that the labels hold a day's summary and notes.
    ExpectLabelTextFits(form->findChild<QLabel*>("LabelSummary"));
    ExpectLabelTextFits(form->findChild<QLabel*>("LabelNotes"));
    // A day without a log shows the notice line.
    form->SetPickerDate(shown.addDays(1));
    form->DateTimePickerChange();
    form->WaitForLoad();
    QApplication::processEvents();
    const auto* notice = form->findChild<QLabel*>("LabelNotice");
    ASSERT_TRUE(notice != nullptr && notice->isVisible() && !notice->text().isEmpty());
    ExpectLabelTextFits(notice);
    // The locale's own short date, its widest of each month: two-digit day, the month's name or number.
    EXPECT_EQ(form->DateTimePicker()->displayFormat(), QLocale().dateFormat(QLocale::ShortFormat));
    for (int month = 1; month <= 12; ++month) {
        form->SetPickerDate(QDate(2024, month, 28));
        QApplication::processEvents();
        ExpectPickerTextFits(form->DateTimePicker());
    }
    // The smallest window, with the notice showing.
    form->resize(1, 1);
    QApplication::processEvents();
    ASSERT_EQ(form->size(), form->minimumSize());
    ExpectChartLabelsApart(*form);
}

}  // namespace
}  // namespace marlix::ui::test
