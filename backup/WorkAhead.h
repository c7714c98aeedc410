// Work done ahead of the thread that needs it, in order: each task goes to a pool of one
// thread fewer than the cores, and the thread that takes the results does a task itself when
// no pool thread has started it (or, while it waits for one, a later task). So every core
// works, and no more threads than cores compete for them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace backupfmt {

// Threads working ahead with the taker, compressing a backup or decoding its read-back (0: the
// taker does everything itself).
void setCompressionThreads(int n);
int compressionThreads();

class AheadTask {
public:
    explicit AheadTask(std::function<void()> work) : work_(std::move(work)) {}
    // Whoever claims the task runs it; a task claimed by nobody is never run.
    bool claim();
    void run();
    bool isDone();
    void wait();

private:
    std::function<void()> work_;
    std::atomic<bool> claimed_{false};
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
};

// Hands the task to the pool (nothing when no thread works ahead).
void startAhead(const std::shared_ptr<AheadTask>& task);

// Pops the first task of `pending` once it is done: runs it when nobody has started it,
// otherwise runs later tasks nobody has started while it waits.
void takeFront(std::deque<std::shared_ptr<AheadTask>>& pending);

// Drops the tasks nobody has started; a started one finishes on its own.
void dropAll(std::deque<std::shared_ptr<AheadTask>>& pending);

}  // namespace backupfmt
