#pragma once

// Background work for the window, free of any user-interface code: one worker thread that runs
// the newest request, cancels the one it supersedes and joins cleanly.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace marlix::jobs {

// Runs one job at a time on its own thread. A job checks its stop token at each progress step and
// returns early once stop is requested.
//
// Submit with a new key asks the running job to stop and runs the new one after it; of the jobs
// that wait, only the newest is kept. A request with the key of the job that runs (and was not
// asked to stop) or of the job that waits is coalesced: nothing new is queued and the ticket of
// that job is returned. The destructor stops the running job, drops the waiting one and joins.
class TJobRunner {
  public:
    // The job's stop token and the ticket Submit returned for it.
    using Job = std::function<void(std::stop_token, std::uint64_t ticket)>;

    TJobRunner();
    ~TJobRunner();
    TJobRunner(const TJobRunner&) = delete;
    TJobRunner& operator=(const TJobRunner&) = delete;

    // The ticket of the job that serves the request: a new one, or the coalesced job's.
    std::uint64_t Submit(std::string key, Job job);
    // A job calls this with its ticket just before it hands over its result: a request for the
    // same key then starts a new job instead of joining one whose result is already on its way.
    void Finishing(std::uint64_t ticket);
    // Stops the running job and drops the waiting one.
    void Cancel();
    // Blocks until no job runs or waits.
    void WaitIdle();
    bool Busy() const;

  private:
    struct Entry {
        std::uint64_t ticket = 0;
        std::string key;
        Job job;
    };

    void Work(std::stop_token threadStop);

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable idle_;
    std::optional<Entry> waiting_;
    bool running_ = false;
    bool finishing_ = false;
    std::string runningKey_;
    std::uint64_t runningTicket_ = 0;
    std::stop_source runningStop_;
    std::uint64_t nextTicket_ = 1;
    // Declared last: it starts after the state above exists and is joined before it goes.
    std::jthread thread_;
};

// The latest result handed from a worker to the thread that applies it; an older one not yet taken
// is replaced, since only the newest request is applied.
template <typename T>
class TLatestResult {
  public:
    void Put(T value) {
        const std::lock_guard lock(mutex_);
        value_ = std::move(value);
    }
    std::optional<T> Take() {
        const std::lock_guard lock(mutex_);
        std::optional<T> taken = std::move(value_);
        value_.reset();
        return taken;
    }

  private:
    std::mutex mutex_;
    std::optional<T> value_;
};

// Results handed from a worker one by one, taken in the order they came.
template <typename T>
class TResultQueue {
  public:
    void Push(T value) {
        const std::lock_guard lock(mutex_);
        values_.push_back(std::move(value));
    }
    std::vector<T> TakeAll() {
        const std::lock_guard lock(mutex_);
        return std::exchange(values_, {});
    }

  private:
    std::mutex mutex_;
    std::vector<T> values_;
};

// A barrier a job can wait at until it is opened or the job is asked to stop; tests use it to hold
// a job at a known point without waiting on real time.
class TGate {
  public:
    // Blocks until Open or until stop is requested; true when opened.
    bool Wait(std::stop_token stop);
    void Open();
    // How many callers are blocked in Wait right now.
    int Waiting() const;
    // Blocks until at least count callers wait.
    void WaitForWaiters(int count) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    bool open_ = false;
    int waiting_ = 0;
};

}  // namespace marlix::jobs
