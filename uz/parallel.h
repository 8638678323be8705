#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
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

}  // namespace varnox::uz
