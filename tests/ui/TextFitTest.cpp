// Every control shows its whole text: each text is measured with the control's own font against the
// rectangle its style leaves for it. The locale is the one the process was started under, as a user
// starts the program: ctest runs this under C, en_US, de_DE and fr_FR (LC_ALL), each at device scale 1
// and again with QT_SCALE_FACTOR=2.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

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
    // The widest date of each month: two-digit day, the month's name or number.
    for (int month = 1; month <= 12; ++month) {
        form->SetPickerDate(QDate(2024, month, 28));
        QApplication::processEvents();
        ExpectPickerTextFits(form->DateTimePicker());
    }
}

}  // namespace
}  // namespace marlix::ui::test
