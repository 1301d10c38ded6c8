#include "HistoryRequests.h"

#include <string>
#include <utility>
#include <vector>

#include "DayDate.h"
#include "marlix/core/days.h"

namespace marlix::ui {

THistoryRequests::THistoryRequests(std::function<void(std::stop_token)> beforeHistoryDay)
    : beforeHistoryDay_(std::move(beforeHistoryDay)) {}

THistoryRequests::~THistoryRequests() {
    historyRunner_.reset();
}

void THistoryRequests::RequestHistory(THistoryWindow& window, const QString& dataDirectory, QDate shown) {
    historyWindow_ = &window;
    const std::string folder = dataDirectory.toStdString();
    // The runner by its address: while it is being destroyed (and joins this job) the owning pointer
    // is already empty.
    auto job = [this, folder, shown, runner = historyRunner_.get(), hold = beforeHistoryDay_](
                   std::stop_token stop, std::uint64_t ticket) {
        const core::DayTime shownDay = DayTimeOf(shown);
        const std::vector<core::DayTime> days =
            core::ListDays(folder, shownDay - kHistorySpanDays, shownDay + kHistorySpanDays).days;
        const int total = static_cast<int>(days.size());
        // The runner hears that the result is on its way before the last step goes out, so that
        // asking again from then on starts a new reading instead of joining this one.
        const auto hand = [this, runner, ticket](THistoryArrival arrival, bool last) {
            if (last) runner->Finishing(ticket);
            historyArrivals_.Push(std::move(arrival));
            QMetaObject::invokeMethod(
                this, [this] { ApplyHistoryDays(); }, Qt::QueuedConnection);
        };
        hand({ticket, std::nullopt, total, days.empty() ? QDate() : DateOf(days.front()),
              days.empty() ? QDate() : DateOf(days.back())},
             days.empty());
        core::ReadDaysOptions options;
        options.stopRequested = [&stop] { return stop.stop_requested(); };
        if (hold) options.beforeDay = [&hold, &stop](core::DayTime) { hold(stop); };
        core::ReadDays(
            folder, days, core::LocaleConventions{}, options, [&](std::size_t i, core::DayOutcome&& day) {
                hand({ticket, HistoryDayOf(days[i], std::move(day)), total, {}, {}}, i + 1 == days.size());
            });
    };
    const std::uint64_t ticket = historyRunner_->Submit(
        (dataDirectory + '\n' + shown.toString(Qt::ISODate)).toStdString(), std::move(job));
    if (ticket == historyTicket_) return;  // these days are being read already
    historyTicket_ = ticket;
    historyDaysRead_ = 0;
    historyWindow_->SetDays({}, shown);
    historyWindow_->SetProgress(0, 1);
}

void THistoryRequests::ApplyHistoryDays() {
    for (THistoryArrival& arrival : historyArrivals_.TakeAll()) {
        // Days of a reading that was superseded or stopped are dropped.
        if (arrival.ticket != historyTicket_ || !historyWindow_) continue;
        if (arrival.day) {
            historyWindow_->AddDay(std::move(*arrival.day));
            ++historyDaysRead_;
        } else {
            historyWindow_->SetExpectedSpan(arrival.first, arrival.last);
        }
        historyWindow_->SetProgress(historyDaysRead_, arrival.total);
        if (historyDaysRead_ == arrival.total) historyTicket_ = 0;
    }
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
