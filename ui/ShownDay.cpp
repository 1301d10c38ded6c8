#include "ShownDay.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>

#include "ChartInteraction.h"
#include "DataFolder.h"
#include "DayDate.h"
#include "marlix/signal_charts/SignalCharts.h"

namespace marlix::ui {

void TShownDay::Apply(const TLoadOutcome& outcome) {
    if (outcome.error) {
        lastFailure_.reset();
        std::rethrow_exception(
            outcome.error);  // shown by the window's guard, once: this is the newest request
    }
    lastFailure_ = outcome.result.failure;
    ShowLoadOutcome(outcome.files, outcome.result);
    if (!outcome.folderNotice.isEmpty()) views_.setNotice(outcome.folderNotice);
    // An unreadable file or a cancelled load keeps the previous view and its files.
    if (!outcome.result.analysis) return;

    const core::DayAnalysis& day = *outcome.result.analysis;
    minutes_ = day.minutes;
    totals_ = day.totals;
    ++loadCount_;
    views_.charts.Plot(day);
    const bool sameDay = outcome.files == plottedFiles_;
    plottedFiles_ = outcome.files;
    views_.interaction.DayPlotted(sameDay);
    if (day.satellites) {
        QString days = QString::fromStdString(core::FormatIsoDate(day.firstDay));
        if (day.latestDay > day.firstDay)
            days += QStringLiteral(" \u2013 ") + QString::fromStdString(core::FormatIsoDate(day.latestDay));
        views_.showSatellites(*day.satellites, days);
    }
    views_.interaction.SetMinutes(minutes_);
    QLabel& summary = views_.labelSummary;
    QLabel& notes = views_.labelNotes;
    summary.setToolTip(QString::fromStdString(day.hint));
    notes.setText(QString::fromStdString(day.notes));
    notes.adjustSize();
    QStringList paths;
    for (const QString& name : outcome.files) {
        const bool absolute = QFileInfo(name).isAbsolute();
        paths << QDir::toNativeSeparators(absolute ? name : views_.dataFolder.Path() + name);
    }
    notes.setToolTip(paths.join('\n'));
    summaryText_ = QString::fromStdString(day.summary);
    summary.setText(QString(summaryText_).replace('\r', '\n'));
    summary.adjustSize();
}

QString TShownDay::ShownName(const QStringList& fileList, const core::DayAnalysis& day) const {
    if (day.firstDay != 0) {
        const QDate d = DateOf(day.firstDay);
        return QString("%1-%2-%3")
            .arg(d.year(), 4, 10, QChar('0'))
            .arg(QLocale().monthName(d.month(), QLocale::ShortFormat))
            .arg(d.day(), 2, 10, QChar('0'));
    }
    return fileList.isEmpty() ? QString() : QFileInfo(fileList.first()).fileName();
}

void TShownDay::ShowLoadOutcome(const QStringList& fileList, const core::LoadResult& result) {
    if (result.analysis) {
        shownName_ = ShownName(fileList, *result.analysis);
        views_.setNotice({});
        return;
    }
    if (!result.failure) return;
    const core::LoadFailure& failure = *result.failure;
    const QString shown = shownName_.isEmpty() ? QString() : ": showing " + shownName_;
    if (failure.cancelled) {
        views_.setNotice("Reading cancelled" + shown);
        return;
    }
    const QString file = QFile::decodeName(QByteArray::fromStdString(failure.file));
    // Until a day is shown, the notes' tool-tip says where it was looked for.
    if (plottedFiles_.isEmpty()) views_.labelNotes.setToolTip(QDir::toNativeSeparators(file));
    const QFileInfo info(file);
    if (info.isSymLink() && !info.exists()) {
        views_.setNotice("Broken or looping link: " + QDir::toNativeSeparators(file) + shown);
        return;
    }
    const QDate picked = views_.dateTimePicker.date();
    const bool pickerDay = fileList.size() == 1 && fileList.first() == DayFileName(picked);
    if (pickerDay && !info.exists()) {
        const QString folder = QDir::toNativeSeparators(views_.dataFolder.Path());
        if (!QFileInfo(views_.dataFolder.Path()).isDir()) {
            views_.setNotice("Folder gone: " + folder + shown);
        } else {
            views_.setNotice("No log for " + QLocale().toString(picked, "d MMM yyyy") + " in " + folder +
                             shown);
        }
        return;
    }
    views_.setNotice("Cannot read " + QDir::toNativeSeparators(file) + ": " +
                     QString::fromStdString(failure.reason));
}

}  // namespace marlix::ui
