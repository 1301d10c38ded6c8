#pragma once

// Numbered jobs run on worker threads and their results handed over in their number order, so that
// what is made of the results never depends on the scheduling. At most `window` jobs are ahead of
// the one being handed over: job i + window starts only once hand(i) has returned, which bounds the
// memory their results hold and lets a job reuse the buffer of the job `window` before it.

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
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

// Stops and joins the workers however the scope is left.
struct WorkerStopper {
    std::mutex& mutex;
    bool& stopped;
    std::condition_variable& changed;
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

// Runs work(i) for i = 0..count-1 on up to `workers` threads and hands each outcome over in order:
// whichever worker finds result i next in order calls hand(i, outcome), one call at a time, each call
// seeing what the one before did, while the calling thread only waits. So no thread is switched in
// merely to hand a result over, and a machine with as many workers as cores keeps every core busy.
// hand returning false stops the run: no further job starts, the running ones finish, and RunInOrder
// returns false once the workers are joined. An exception from hand stops the run the same way and
// is thrown again here. With one worker or one job the jobs run on the calling thread, one after the
// other.
template <class Result, class Work, class Hand>
bool RunInOrder(std::size_t count, unsigned workers, std::size_t window, Work&& work, Hand&& hand) {
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, count));
    if (workers <= 1) return detail::RunInSequence<Result>(count, work, hand);
    window = std::max<std::size_t>(window, workers);

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<JobOutcome<Result>>> done(count);
    std::size_t nextJob = 0;
    std::size_t handed = 0;  // results below this were handed over
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
        const detail::WorkerStopper stopper{mutex, stopped, changed, threads};
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

// Runs `beside` on a thread of its own while the calling thread runs `work`: the two stages of a
// pipeline. Returns false, having run neither, when no thread could be started. Each must end by
// itself whatever the other does (work that throws must first let beside finish). An exception of
// either is thrown here once both have ended, work's first.
template <class Beside, class Work>
bool RunBeside(Beside&& beside, Work&& work) {
    std::exception_ptr besideError;
    {
        std::jthread thread;
        try {
            thread = std::jthread([&] {
                try {
                    beside();
                } catch (...) {
                    besideError = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            return false;
        }
        work();
    }
    if (besideError) std::rethrow_exception(besideError);
    return true;
}

}  // namespace marlix::core
