#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace varnox::uz {

// The number of threads worth starting for `tasks` independent tasks on this machine. (The
// number of cores is read once: the system reads it from a file each time it is asked.)
inline unsigned workerCount(std::size_t tasks) {
    static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<std::size_t>(cores, tasks));
}

// Runs work(worker, task) for every task in 0..tasks-1, spread over workerCount(tasks)
// threads that take the next task as they become free. The worker number lets each thread
// keep its own scratch buffers. The first exception a task raises is raised again here
// once all threads have stopped.
template <typename Work>
void forEachTask(std::size_t tasks, Work&& work) {
    const unsigned workers = workerCount(tasks);
    if (workers <= 1) {
        for (std::size_t t = 0; t < tasks; ++t) {
            work(0u, t);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr firstError;
    std::mutex errorLock;
    auto run = [&](unsigned worker) {
        try {
            for (std::size_t t = next++; t < tasks && !failed; t = next++) {
                work(worker, t);
            }
        } catch (...) {
            std::lock_guard lock(errorLock);
            if (!firstError) {
                firstError = std::current_exception();
            }
            failed = true;
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(workers - 1);
    for (unsigned w = 1; w < workers; ++w) {
        try {
            threads.emplace_back(run, w);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones running share the tasks
        }
    }
    run(0);
    for (auto& t : threads) {
        t.join();
    }
    if (firstError) {
        std::rethrow_exception(firstError);
    }
}

// Runs the tasks one thread posts while that thread goes on with its own work: on threads
// of its own, one per core beside the posting thread's, started as the tasks come, and on
// the posting thread whenever it calls runWaiting() or finish(). Tasks start in the order
// posted. Each learns the number of the thread running it, 0 for the posting thread, so
// that each thread can keep scratch space of its own. Where no thread can be had, the
// posting thread runs every task.
//
// A task that raises stops the pool: the tasks still waiting are dropped, and post() or
// finish() raise that first exception on the posting thread. The destructor waits for the
// tasks running: declare the pool after everything its tasks use.
class TaskPool {
public:
    using Task = std::function<void(unsigned thread)>;

    TaskPool();
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // How many threads may run tasks, the posting thread included: thread numbers are
    // below this.
    static unsigned threads() { return workerCount(static_cast<std::size_t>(-1)); }

    void post(Task task);
    // Runs the oldest waiting task on this thread; false when none is waiting.
    bool runWaiting();
    // Runs the waiting tasks on this thread too and waits for the others to end.
    void finish();

private:
    void work(unsigned thread);
    // With `lock` held and a task waiting: runs the oldest, unlocked while it runs.
    void runNext(std::unique_lock<std::mutex>& lock, unsigned thread);
    void raiseAnyError(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> waiting_;
    std::size_t running_ = 0;
    unsigned idle_ = 0;  // workers waiting for a task
    bool stopping_ = false;
    std::exception_ptr error_;
};

// Work on numbered items (0, 1, 2, ...) on all cores, handed on in order: work(item,
// thread) runs on any thread, for several items at once; handOn(item) then runs for each
// item in turn, one at a time, on whichever thread finished the item next due. At most
// `most` items are in flight (posted and not yet handed on), so item % most names a slot of
// the caller's that the item may use until it is handed on.
//
// Errors come out as going through the items one after the other would meet them: the
// error of the earliest item whose work or handing on failed. Work on later items is
// skipped, and nothing after it is handed on.
class OrderedWork {
public:
    using Work = std::function<void(std::uint64_t item, unsigned thread)>;
    using HandOn = std::function<void(std::uint64_t item)>;

    OrderedWork(std::size_t most, Work work, HandOn handOn);
    ~OrderedWork();
    OrderedWork(const OrderedWork&) = delete;
    OrderedWork& operator=(const OrderedWork&) = delete;

    // The number of the next item to post: its slot is free.
    std::uint64_t next() const { return posted_; }
    // Posts the next item, then returns once the slot of the one after is free, doing work
    // itself meanwhile. When an item has failed, waits for the others and raises its error.
    void post();
    // Does the next item's work on this thread and hands on what is due: for the last item,
    // so that work of a single item needs no thread.
    void runHere();
    // Waits until every item posted is handed on, doing work itself meanwhile; raises the
    // error of the earliest item that failed, if any.
    void wait();

private:
    void run(std::uint64_t item, unsigned thread);
    void fail(std::uint64_t item, std::exception_ptr error);

    const std::size_t most_;
    Work work_;
    HandOn handOn_;
    std::uint64_t posted_ = 0;  // changed by the posting thread only, under the lock

    std::mutex mutex_;
    std::condition_variable handed_;
    std::vector<bool> done_;  // by slot: the work is done and the item waits for its turn
    std::uint64_t handedOn_ = 0;
    bool handing_ = false;
    std::uint64_t failedAt_ = UINT64_MAX;
    std::exception_ptr error_;

    TaskPool pool_;  // last: its tasks use the above
};

}  // namespace varnox::uz
