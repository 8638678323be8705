#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace varnox::uz {

// The number of threads worth starting for `tasks` independent tasks on this machine.
inline unsigned workerCount(std::size_t tasks) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
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
    unsigned threads() const { return threads_; }

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

    const unsigned threads_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Task> waiting_;
    std::size_t running_ = 0;
    unsigned idle_ = 0;  // workers waiting for a task
    bool stopping_ = false;
    std::exception_ptr error_;
};

}  // namespace varnox::uz
