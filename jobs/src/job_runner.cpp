#include "marlix/jobs/job_runner.h"

namespace marlix::jobs {

TJobRunner::TJobRunner() : thread_([this](std::stop_token stop) { Work(stop); }) {}

TJobRunner::~TJobRunner() {
    Cancel();
    thread_.request_stop();
    thread_.join();
}

std::uint64_t TJobRunner::Submit(std::string key, Job job) {
    const std::lock_guard lock(mutex_);
    if (running_ && !finishing_ && !runningStop_.stop_requested() && runningKey_ == key)
        return runningTicket_;
    if (waiting_ && waiting_->key == key) return waiting_->ticket;
    if (running_) runningStop_.request_stop();
    waiting_ = Entry{nextTicket_++, std::move(key), std::move(job)};
    wake_.notify_one();
    return waiting_->ticket;
}

void TJobRunner::Finishing(std::uint64_t ticket) {
    const std::lock_guard lock(mutex_);
    if (running_ && runningTicket_ == ticket) finishing_ = true;
}

void TJobRunner::Cancel() {
    {
        const std::lock_guard lock(mutex_);
        waiting_.reset();
        if (running_) runningStop_.request_stop();
    }
    idle_.notify_all();
}

void TJobRunner::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !running_ && !waiting_; });
}

bool TJobRunner::Busy() const {
    const std::lock_guard lock(mutex_);
    return running_ || waiting_.has_value();
}

void TJobRunner::Work(std::stop_token threadStop) {
    for (;;) {
        Entry entry;
        std::stop_token jobStop;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, threadStop, [this] { return waiting_.has_value(); })) return;
            entry = std::move(*waiting_);
            waiting_.reset();
            running_ = true;
            finishing_ = false;
            runningKey_ = entry.key;
            runningTicket_ = entry.ticket;
            runningStop_ = std::stop_source();
            jobStop = runningStop_.get_token();
        }
        try {
            entry.job(jobStop, entry.ticket);
        } catch (...) {
            // A job reports its own failures; one that escapes must not end the worker.
        }
        // The job's captures go before the runner counts as idle, so that nothing a waiter
        // destroys next is still referenced here.
        entry.job = nullptr;
        {
            const std::lock_guard lock(mutex_);
            running_ = false;
        }
        idle_.notify_all();
    }
}

bool TGate::Wait(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    const bool opened = changed_.wait(lock, stop, [this] { return open_; });
    --waiting_;
    changed_.notify_all();
    return opened;
}

void TGate::Open() {
    {
        const std::lock_guard lock(mutex_);
        open_ = true;
    }
    changed_.notify_all();
}

int TGate::Waiting() const {
    const std::lock_guard lock(mutex_);
    return waiting_;
}

void TGate::WaitForWaiters(int count) const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this, count] { return waiting_ >= count; });
}

}  // namespace marlix::jobs
