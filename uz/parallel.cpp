#include "uz/parallel.h"

namespace varnox::uz {

TaskPool::TaskPool() : threads_(workerCount(static_cast<std::size_t>(-1))) {}

TaskPool::~TaskPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        waiting_.clear();
    }
    changed_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

void TaskPool::post(Task task) {
    std::unique_lock lock(mutex_);
    raiseAnyError(lock);
    waiting_.push_back(std::move(task));
    if (idle_ == 0 && workers_.size() + 1 < threads_) {
        try {
            const auto thread = static_cast<unsigned>(workers_.size() + 1);
            workers_.emplace_back([this, thread] { work(thread); });
        } catch (const std::system_error&) {
            // No more threads: the ones there are, this one included, share the tasks.
        }
    }
    changed_.notify_one();
}

bool TaskPool::runWaiting() {
    std::unique_lock lock(mutex_);
    raiseAnyError(lock);
    if (waiting_.empty()) {
        return false;
    }
    runNext(lock, 0);
    return true;
}

void TaskPool::finish() {
    std::unique_lock lock(mutex_);
    while (!waiting_.empty()) {
        runNext(lock, 0);
    }
    changed_.wait(lock, [&] { return running_ == 0; });
    raiseAnyError(lock);
}

void TaskPool::work(unsigned thread) {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        changed_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
        --idle_;
        if (waiting_.empty()) {
            return;
        }
        runNext(lock, thread);
    }
}

void TaskPool::runNext(std::unique_lock<std::mutex>& lock, unsigned thread) {
    Task task = std::move(waiting_.front());
    waiting_.pop_front();
    ++running_;
    lock.unlock();
    std::exception_ptr error;
    try {
        task(thread);
    } catch (...) {
        error = std::current_exception();
    }
    task = nullptr;  // what the task holds goes before the poster learns that it ended
    lock.lock();
    --running_;
    if (error && !error_) {
        error_ = error;
        waiting_.clear();
    }
    changed_.notify_all();
}

void TaskPool::raiseAnyError(std::unique_lock<std::mutex>& lock) {
    if (!error_) {
        return;
    }
    // The tasks still running may use what the caller is about to give up when the error
    // unwinds it.
    changed_.wait(lock, [&] { return running_ == 0; });
    std::rethrow_exception(error_);
}

}  // namespace varnox::uz
