// Measures, on the window itself, how long History of the days around the shown one takes to open
// and to fill in (against reading the same days one after the other on this thread, in the same
// run), and the longest pause between two paints of a widget that asks for a repaint every 10 ms
// while a long load runs and while History fills a year (against the same probe while the window is
// idle).
//
//   bench_window_latency DATA-DIRECTORY SHOWN-DAY(yyyy-mm-dd) [RUNS]
//   bench_window_latency --year DATA-DIRECTORY SHOWN-DAY [RUNS]
//
// The data directory should hold the 31 days around the shown day (marlix-sqa-cli simulate). With
// --year only History of the year is measured, against the same days taken from the day store on
// this thread in the same run: the store should hold them (a `table` of the folder fills it).
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "marlix/core/day_metrics.h"
#include "marlix/core/day_store.h"
#include "marlix/core/days.h"
#include "ui/DayDate.h"
#include "ui/FormMain.h"
#include "ui/HistoryWindow.h"

namespace {

using marlix::ui::TFormMain;
using marlix::ui::TFormMainOptions;

// A small widget that repaints every 10 ms and remembers the longest time between two paints.
class TPaintProbe : public QWidget {
  public:
    TPaintProbe() {
        resize(40, 40);
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] { update(); });
    }
    void Start() {
        longestGapMs_ = 0;
        lastPaint_.start();
        timer_.start();
    }
    // Up to now: a pause that has not ended yet counts too.
    double LongestGapMs() const {
        return std::max(longestGapMs_, static_cast<double>(lastPaint_.nsecsElapsed()) / 1e6);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), (++paints_ % 2) ? Qt::black : Qt::white);
        longestGapMs_ = std::max(longestGapMs_, static_cast<double>(lastPaint_.nsecsElapsed()) / 1e6);
        lastPaint_.restart();
    }

  private:
    QTimer timer_;
    QElapsedTimer lastPaint_;
    double longestGapMs_ = 0;
    long paints_ = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Report(const char* what, const std::vector<double>& values) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("%-44s median %8.1f ms   min %8.1f   max %8.1f   (%zu runs)\n", what, Median(values), *low,
                *high, values.size());
}

// Runs the event loop until done() or the limit; returns false on the limit.
template <typename Done>
bool RunUntil(Done done, int limitMs = 60000) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() > limitMs) loop.quit();
    });
    poll.start(2);
    loop.exec();
    return done();
}

}  // namespace

// The year's History filled from the store, against the year's figures taken from the store alone.
int MeasureYear(TFormMain& form, TPaintProbe& probe, QDate shown, int runs) {
    const std::string folder = form.DataDirectory().toStdString();
    const marlix::ui::THistoryDates span = marlix::ui::HistorySpanDates(
        marlix::ui::THistorySpan::Year, shown, QDateTime::currentDateTimeUtc().date());
    const std::vector<marlix::core::DayTime> days =
        marlix::core::ListDays(folder, marlix::ui::DayTimeOf(span.first), marlix::ui::DayTimeOf(span.last))
            .days;
    std::vector<double> fromStore, filled, idleGap, yearGap;
    std::size_t stored = 0;
    for (int run = 0; run < runs; ++run) {
        probe.Start();
        RunUntil([] { return false; }, 300);
        idleGap.push_back(probe.LongestGapMs());

        QElapsedTimer t;
        t.start();
        marlix::core::DayStore store;
        marlix::core::DayMetricsOptions options;
        options.store = &store;
        options.planned = [&](std::size_t inStore, std::size_t) { stored = inStore; };
        marlix::core::ReadDayMetrics(folder, days, options,
                                     [](std::size_t, marlix::core::DayMetricsOutcome&&) {});
        fromStore.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

        probe.Start();
        t.restart();
        form.PopupHistoryClick();
        emit form.HistoryWindow()->SpanChosen(marlix::ui::THistorySpan::Year);
        if (!RunUntil([&] { return !form.HistoryWindow()->Reading(); }, 600000)) return 1;
        filled.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        yearGap.push_back(probe.LongestGapMs());
        form.HistoryWindow()->close();
    }
    std::printf("History of a year: %zu days, %zu of them in the store, %d runs\n",
                form.HistoryWindow()->Days().size(), stored, runs);
    Report("the year's days from the store (reference)", fromStore);
    Report("History of a year filled", filled);
    Report("longest paint gap, idle (reference)", idleGap);
    Report("longest paint gap while a year fills", yearGap);
    std::printf("filled / store reference: %.2f\n", Median(filled) / Median(fromStore));
    std::printf("year paint gap / idle paint gap: %.2f\n", Median(yearGap) / Median(idleGap));
    return 0;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool yearOnly = argc > 1 && std::string_view(argv[1]) == "--year";
    if (yearOnly) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s [--year] DATA-DIRECTORY SHOWN-DAY [RUNS]\n", argv[0]);
        return 2;
    }
    const QString directory = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + '/';
    const QDate shown = QDate::fromString(QString::fromLatin1(argv[2]), Qt::ISODate);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;

    TFormMainOptions options;
    options.runStartup = false;
    TFormMain form(std::move(options));
    form.SetDataDirectory(directory);
    form.SetPickerDate(shown);
    form.show();
    TPaintProbe probe;
    probe.show();
    RunUntil([] { return false; }, 300);  // the windows settle
    if (yearOnly) return MeasureYear(form, probe, shown, runs);

    const std::string folder = directory.toStdString();
    const marlix::ui::THistoryDates span = marlix::ui::HistorySpanDates(
        marlix::ui::THistorySpan::Month, shown, QDateTime::currentDateTimeUtc().date());
    const std::vector<marlix::core::DayTime> historyDays =
        marlix::core::ListDays(folder, marlix::ui::DayTimeOf(span.first), marlix::ui::DayTimeOf(span.last))
            .days;
    std::vector<double> sequential, opened, filled, idleGap, loadGap, loadTime;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        marlix::core::ReadDaysOptions oneThread;
        oneThread.workers = 1;
        marlix::core::ReadDays(folder, historyDays, {}, oneThread,
                               [](std::size_t, marlix::core::DayOutcome&&) {});
        sequential.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);

        t.restart();
        form.PopupHistoryClick();
        opened.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        if (!RunUntil([&] { return !form.HistoryWindow()->Reading(); })) return 1;
        filled.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        form.HistoryWindow()->close();

        probe.Start();
        RunUntil([] { return false; }, 500);
        idleGap.push_back(probe.LongestGapMs());

        // A long load: every day of the directory dropped at once.
        QStringList files;
        for (const marlix::core::DayTime day : marlix::core::ListDays(folder).days)
            files << QString::fromStdString(marlix::core::DayFilePath(folder, day));
        probe.Start();
        t.restart();
        form.DropFileTarget1Drop(files);
        if (!RunUntil([&] { return !form.Loading(); })) return 1;
        loadTime.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        loadGap.push_back(probe.LongestGapMs());
        form.SetPickerDate(shown);
    }
    // History of a year: how long it takes to fill, and the longest pause of the window while a
    // year of days arrives and is drawn.
    std::vector<double> yearFilled, yearGap;
    for (int run = 0; run < runs; ++run) {
        probe.Start();
        QElapsedTimer t;
        t.start();
        form.PopupHistoryClick();
        emit form.HistoryWindow()->SpanChosen(marlix::ui::THistorySpan::Year);
        if (!RunUntil([&] { return !form.HistoryWindow()->Reading(); }, 600000)) return 1;
        yearFilled.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        yearGap.push_back(probe.LongestGapMs());
        form.HistoryWindow()->close();
    }
    const std::size_t yearDays = form.HistoryWindow()->Days().size();

    std::printf("History of %zu days, %d runs\n", historyDays.size(), runs);
    Report("History read on one thread (reference)", sequential);
    Report("History window open (call returns)", opened);
    Report("History window filled", filled);
    Report("longest paint gap, idle (reference)", idleGap);
    Report("longest paint gap during a month load", loadGap);
    Report("month load (all files dropped)", loadTime);
    std::printf("History of a year: %zu days\n", yearDays);
    Report("History of a year filled", yearFilled);
    Report("longest paint gap while a year fills", yearGap);
    std::printf("filled / one-thread reference: %.2f\n", Median(filled) / Median(sequential));
    std::printf("year paint gap / idle paint gap: %.2f\n", Median(yearGap) / Median(idleGap));
    std::printf("load paint gap / idle paint gap: %.2f\n", Median(loadGap) / Median(idleGap));
    return 0;
}
