#include "uz/parallel.h"

namespace varnox::uz {

TaskPool::TaskPool() = default;

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
    if (idle_ == 0 && workers_.size() + 1 < threads()) {
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

OrderedWork::OrderedWork(std::size_t most, Work work, HandOn handOn)
    : most_(most), work_(std::move(work)), handOn_(std::move(handOn)), done_(most, false) {}

OrderedWork::~OrderedWork() = default;

void OrderedWork::post() {
    std::unique_lock lock(mutex_);
    const std::uint64_t item = posted_++;
    lock.unlock();
    pool_.post([this, item](unsigned thread) { run(item, thread); });
    lock.lock();
    while (posted_ - handedOn_ >= most_ && !error_) {
        lock.unlock();
        const bool ran = pool_.runWaiting();
        lock.lock();
        if (!ran) {
            // Only this thread posts: the items in flight are being worked on elsewhere.
            handed_.wait(lock, [&] { return posted_ - handedOn_ < most_ || error_; });
        }
    }
    if (error_) {
        lock.unlock();
        wait();
    }
}

void OrderedWork::runHere() {
    {
        std::lock_guard lock(mutex_);
        ++posted_;
    }
    run(posted_ - 1, 0);
}

void OrderedWork::wait() {
    pool_.finish();
    std::lock_guard lock(mutex_);
    if (error_) {
        std::rethrow_exception(error_);
    }
}

void OrderedWork::fail(std::uint64_t item, std::exception_ptr error) {
    if (item < failedAt_) {
        failedAt_ = item;
        error_ = std::move(error);
    }
}

void OrderedWork::run(std::uint64_t item, unsigned thread) {
    std::exception_ptr error;
    std::unique_lock lock(mutex_);
    if (item < failedAt_) {
        lock.unlock();
        try {
            work_(item, thread);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error) {
            fail(item, std::move(error));
        }
    }
    done_[item % most_] = true;
    // Whoever finishes the item next due hands it on, and those after it that are done
    // already; the others leave theirs to that thread.
    if (handing_) {
        return;
    }
    handing_ = true;
    while (done_[handedOn_ % most_]) {
        const std::uint64_t due = handedOn_;
        done_[due % most_] = false;
        if (due < failedAt_) {
            std::exception_ptr handOnError;
            lock.unlock();
            try {
                handOn_(due);
            } catch (...) {
                handOnError = std::current_exception();
            }
            lock.lock();
            if (handOnError) {
                fail(due, std::move(handOnError));
            }
        }
        ++handedOn_;
    }
    handing_ = false;
    handed_.notify_all();
}

}  // namespace varnox::uz
