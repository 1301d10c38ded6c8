#include "HistoryRequests.h"

#include <QFile>
#include <QStringList>
#include <string>
#include <utility>
#include <vector>

#include "DayDate.h"
#include "marlix/core/day_metrics.h"
#include "marlix/core/day_store.h"
#include "marlix/core/days.h"

namespace marlix::ui {

namespace {

std::optional<core::DayTime> Bound(QDate date) {
    return date.isValid() ? std::optional(DayTimeOf(date)) : std::nullopt;
}

QString Sentence(const std::string& text) {
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) sentence[0] = sentence[0].toUpper();
    return sentence;
}

}  // namespace

THistoryDaySource StoreDaySource(std::function<void(std::stop_token)> beforeDay) {
    return [beforeDay = std::move(beforeDay)](const std::string& folder,
                                              const std::vector<core::DayTime>& days, std::stop_token stop,
                                              const THistoryDayHand& hand, const THistorySay& say) {
        // A store that cannot be used leaves the logs: History reads them all, as without one.
        core::DayStore store;
        const auto sayNotice = [&] {
            if (std::string notice = store.TakeNotice(); !notice.empty()) say(notice);
        };
        sayNotice();
        core::DayMetricsOptions options;
        options.store = &store;
        options.stopRequested = [&stop] { return stop.stop_requested(); };
        if (beforeDay) options.beforeDay = [&beforeDay, &stop](core::DayTime) { beforeDay(stop); };
        core::ReadDayMetrics(folder, days, options, [&](std::size_t i, core::DayMetricsOutcome&& day) {
            THistoryDay historyDay{DateOf(days[i]), std::nullopt, QString::fromStdString(day.error)};
            if (day.metrics) historyDay.totals = day.metrics->totals;
            sayNotice();
            hand(std::move(historyDay));
        });
    };
}

THistoryRequests::THistoryRequests(THistoryDaySource source) : source_(std::move(source)) {}

THistoryRequests::~THistoryRequests() {
    historyRunner_.reset();
}

void THistoryRequests::RequestHistory(THistoryWindow& window, const THistoryRequest& request) {
    historyWindow_ = &window;
    const THistoryDates dates = HistorySpanDates(request.span, request.shown, request.today);
    std::vector<std::string> folders;
    QString key = HistorySpanName(request.span) + '\n' + request.shown.toString(Qt::ISODate) + '\n' +
                  request.today.toString(Qt::ISODate);
    for (const THistoryStation& station : request.stations) {
        folders.push_back(QFile::encodeName(station.folder).toStdString());
        key += '\n' + station.folder + '\t' + station.name;
    }
    // The runner by its address: while it is being destroyed (and joins this job) the owning pointer
    // is already empty.
    auto job = [this, folders, dates, runner = historyRunner_.get(), source = source_](std::stop_token stop,
                                                                                       std::uint64_t ticket) {
        // The runner hears that the result is on its way before the last step goes out, so that
        // asking again from then on starts a new reading instead of joining this one.
        const auto hand = [this, runner, ticket](THistoryArrival arrival, bool last) {
            if (last) runner->Finishing(ticket);
            historyArrivals_.Push(std::move(arrival));
            QMetaObject::invokeMethod(
                this, [this] { ApplyHistoryDays(); }, Qt::QueuedConnection);
        };
        std::vector<std::vector<core::DayTime>> days;
        QStringList problems;
        THistoryArrival listed;
        listed.ticket = ticket;
        for (const std::string& folder : folders) {
            core::FolderDays found = core::ListDays(folder, Bound(dates.first), Bound(dates.last));
            if (!found.problem.empty()) problems << Sentence(found.problem);
            if (!found.days.empty()) {
                const QDate first = DateOf(found.days.front()), last = DateOf(found.days.back());
                if (!listed.first.isValid() || first < listed.first) listed.first = first;
                if (!listed.last.isValid() || last > listed.last) listed.last = last;
            }
            listed.total += static_cast<int>(found.days.size());
            days.push_back(std::move(found.days));
        }
        listed.problems = problems.join('\n');
        const int total = listed.total;
        hand(std::move(listed), total == 0);
        int handed = 0;
        // Each station opens the store again: its notice is said for the first station only.
        bool said = false;
        const auto say = [&](const std::string& notice) {
            if (std::exchange(said, true)) return;
            THistoryArrival arrival{ticket, 0, std::nullopt, total, {}, {}, {}, Sentence(notice)};
            hand(std::move(arrival), false);
        };
        for (std::size_t station = 0; station < folders.size() && !stop.stop_requested(); ++station) {
            source(
                folders[station], days[station], stop,
                [&](THistoryDay&& day) {
                    ++handed;
                    hand({ticket, static_cast<int>(station), std::move(day), total, {}, {}, {}, {}},
                         handed == total);
                },
                say);
        }
    };
    const std::uint64_t ticket = historyRunner_->Submit(key.toStdString(), std::move(job));
    if (ticket == historyTicket_) return;  // these days are being read already
    historyTicket_ = ticket;
    historyDaysRead_ = 0;
    window.SetStations(request.stations, request.mainStation, request.span, dates, request.today);
    window.SetShownDay(request.shown);
    window.SetNotice(request.notice);
    window.SetProgress(0, 1);
}

void THistoryRequests::ApplyHistoryDays() {
    if (!historyWindow_) return;
    std::vector<std::vector<THistoryDay>> arrived(static_cast<std::size_t>(historyWindow_->StationCount()));
    int total = -1;
    for (THistoryArrival& arrival : historyArrivals_.TakeAll()) {
        // Days of a reading that was superseded or stopped are dropped.
        if (arrival.ticket != historyTicket_) continue;
        total = arrival.total;
        if (arrival.day) {
            if (arrival.station < static_cast<int>(arrived.size()))
                arrived[static_cast<std::size_t>(arrival.station)].push_back(std::move(*arrival.day));
            ++historyDaysRead_;
        } else if (!arrival.said.isEmpty()) {
            historyWindow_->AddNotice(arrival.said);
        } else {
            historyWindow_->SetExpectedSpan(arrival.first, arrival.last);
            historyWindow_->AddNotice(arrival.problems);
        }
    }
    if (total < 0) return;
    // All days that arrived together join the charts in one drawing.
    for (std::size_t station = 0; station < arrived.size(); ++station)
        historyWindow_->AddDays(static_cast<int>(station), std::move(arrived[station]));
    historyWindow_->SetProgress(historyDaysRead_, total);
    if (historyDaysRead_ == total) historyTicket_ = 0;
}

void THistoryRequests::WaitForHistory() {
    historyRunner_->WaitIdle();
    ApplyHistoryDays();
}

void THistoryRequests::Cancel() {
    historyRunner_->Cancel();
    historyTicket_ = 0;
}

}  // namespace marlix::ui
