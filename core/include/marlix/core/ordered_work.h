#pragma once

// Numbered jobs run on worker threads and handed back on the calling thread in their number order, so
// that what is made of the results never depends on the scheduling. At most `window` jobs are ahead
// of the one being handed back, which bounds the memory their results hold.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <stop_token>
#include <system_error>
#include <thread>
#include <vector>

namespace marlix::core {

// The result of one job, or the exception it ended with.
template <class Result>
struct JobOutcome {
    std::optional<Result> value;
    std::exception_ptr error;
};

// One worker per core, at least one.
inline unsigned DefaultWorkerCount() {
    return std::max(1U, std::thread::hardware_concurrency());
}

namespace detail {

template <class Result, class Work>
JobOutcome<Result> RunJob(Work& work, std::size_t i) {
    JobOutcome<Result> outcome;
    try {
        outcome.value.emplace(work(i));
    } catch (...) {
        outcome.error = std::current_exception();
    }
    return outcome;
}

// The jobs one after the other on the calling thread, for one worker or one job.
template <class Result, class Work, class Hand>
bool RunInSequence(std::size_t count, Work& work, Hand& hand) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!hand(i, RunJob<Result>(work, i))) return false;
    }
    return true;
}

// Stops and joins the workers however the scope is left, a throwing hand included.
template <class ConditionVariable>
struct WorkerStopper {
    std::mutex& mutex;
    bool& stopped;
    ConditionVariable& changed;
    std::vector<std::jthread>& threads;
    ~WorkerStopper() {
        {
            std::lock_guard lock(mutex);
            stopped = true;
        }
        changed.notify_all();
        for (std::jthread& thread : threads) {
            if (thread.joinable()) thread.join();
        }
    }
};

}  // namespace detail

// Runs work(i) for i = 0..count-1 on up to `workers` threads and calls hand(i, outcome) for each i in
// order on the calling thread. hand returning false stops the run: no further job starts, the running
// ones finish, and RunInOrder returns false once the workers are joined. With one worker or one job the
// jobs run on the calling thread, one after the other.
template <class Result, class Work, class Hand>
bool RunInOrder(std::size_t count, unsigned workers, std::size_t window, Work&& work, Hand&& hand) {
    const auto runOne = [&work](std::size_t i) { return detail::RunJob<Result>(work, i); };
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, count));
    if (workers <= 1) return detail::RunInSequence<Result>(count, work, hand);
    window = std::max<std::size_t>(window, workers);

    std::mutex mutex;
    std::condition_variable_any changed;
    std::vector<std::optional<JobOutcome<Result>>> done(count);
    std::size_t nextJob = 0;
    std::size_t handed = 0;  // jobs below this were handed back
    bool stopped = false;

    const auto workerLoop = [&](std::stop_token stop) {
        for (;;) {
            std::size_t i = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, stop,
                             [&] { return stopped || nextJob >= count || nextJob < handed + window; });
                if (stop.stop_requested() || stopped || nextJob >= count) return;
                i = nextJob++;
            }
            JobOutcome<Result> outcome = runOne(i);
            {
                std::lock_guard lock(mutex);
                done[i].emplace(std::move(outcome));
            }
            changed.notify_all();
        }
    };

    bool completed = true;
    {
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        const detail::WorkerStopper<std::condition_variable_any> stopper{mutex, stopped, changed, threads};
        try {
            for (unsigned w = 0; w < workers; ++w) threads.emplace_back(workerLoop);
        } catch (const std::system_error&) {
            // Out of threads: those that started do the work, or the calling thread when none did.
        }

        for (std::size_t i = 0; i < count; ++i) {
            JobOutcome<Result> outcome;
            if (threads.empty()) {
                outcome = runOne(i);
            } else {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return done[i].has_value(); });
                outcome = std::move(*done[i]);
                done[i].reset();
            }
            const bool goOn = hand(i, std::move(outcome));
            {
                std::lock_guard lock(mutex);
                handed = i + 1;
                if (!goOn) stopped = true;
            }
            changed.notify_all();
            if (!goOn) {
                completed = false;
                break;
            }
        }
    }
    return completed;
}

// As RunInOrder, but the results are handed back by the workers themselves: whichever finds result i
// next in order calls hand(i, outcome), one call at a time and in order, each call seeing what the
// one before did, while the calling thread only waits. So no thread is switched in merely to hand a
// result back, and a machine with as many workers as cores keeps every core reading. An exception
// from hand stops the run and is thrown again here once the workers are joined.
template <class Result, class Work, class Hand>
bool RunInOrderHandedByWorkers(std::size_t count, unsigned workers, std::size_t window, Work&& work,
                               Hand&& hand) {
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, count));
    if (workers <= 1) return detail::RunInSequence<Result>(count, work, hand);
    window = std::max<std::size_t>(window, workers);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<JobOutcome<Result>>> done(count);
    std::size_t nextJob = 0;
    std::size_t handed = 0;  // results below this were handed back
    bool handing = false;    // a thread is in hand
    bool stopped = false;
    bool refused = false;  // hand returned false
    std::exception_ptr handError;
    unsigned waiting = 0;

    const auto loop = [&] {
        std::unique_lock lock(mutex);
        while (!stopped && handed < count) {
            if (!handing && done[handed]) {
                const std::size_t i = handed;
                JobOutcome<Result> outcome = std::move(*done[i]);
                done[i].reset();
                handing = true;
                lock.unlock();
                bool goOn = false;
                std::exception_ptr error;
                try {
                    goOn = hand(i, std::move(outcome));
                } catch (...) {
                    error = std::current_exception();
                }
                lock.lock();
                handing = false;
                handed = i + 1;
                if (!goOn) {
                    stopped = true;
                    refused = !error;
                    handError = error;
                }
                if (waiting > 0) changed.notify_all();
            } else if (nextJob < count && nextJob < handed + window) {
                const std::size_t i = nextJob++;
                lock.unlock();
                JobOutcome<Result> outcome = detail::RunJob<Result>(work, i);
                lock.lock();
                done[i].emplace(std::move(outcome));
                if (waiting > 0) changed.notify_all();
            } else {
                ++waiting;
                changed.wait(lock);
                --waiting;
            }
        }
    };

    {
        std::vector<std::jthread> threads;
        threads.reserve(workers);
        const detail::WorkerStopper<std::condition_variable> stopper{mutex, stopped, changed, threads};
        try {
            for (unsigned w = 0; w < workers; ++w) threads.emplace_back(loop);
        } catch (const std::system_error&) {
            // Out of threads: those that started do the work, or the calling thread when none did.
        }
        // Waiting here rather than working: a thread that keeps its core while a new one starts can
        // leave the new one queued behind it for the first milliseconds.
        if (threads.empty()) loop();
        for (std::jthread& thread : threads) thread.join();
    }
    if (handError) std::rethrow_exception(handError);
    return !refused;
}

}  // namespace marlix::core
