#include "backup/WorkAhead.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

namespace backupfmt {

namespace {

// The taker works too, so the pool has one thread fewer than there are cores: one working
// thread per core. With a thread per core in the pool as well, three threads shared two
// cores, and the time lost switching between them and to tasks waiting on a preempted thread
// kept two cores at 1.6 times one.
QThreadPool& pool()
{
    static QThreadPool p;
    static const bool init = [] {
        p.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        p.setExpiryTimeout(5000);
        return true;
    }();
    (void)init;
    return p;
}

int g_threads = -1;  // -1: one per core

}  // namespace

void setCompressionThreads(int n) { g_threads = n; }

int compressionThreads()
{
    return g_threads >= 0 ? g_threads
                          : (QThread::idealThreadCount() > 1 ? QThread::idealThreadCount() : 0);
}

bool AheadTask::claim()
{
    bool expected = false;
    return claimed_.compare_exchange_strong(expected, true);
}

void AheadTask::run()
{
    work_();
    const std::lock_guard<std::mutex> lock(m_);
    done_ = true;
    cv_.notify_all();
}

bool AheadTask::isDone()
{
    const std::lock_guard<std::mutex> lock(m_);
    return done_;
}

void AheadTask::wait()
{
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return done_; });
}

void startAhead(const std::shared_ptr<AheadTask>& task)
{
    if (compressionThreads() > 0) pool().start([task] {
        if (task->claim()) task->run();
    });
}

void takeFront(std::deque<std::shared_ptr<AheadTask>>& pending)
{
    const std::shared_ptr<AheadTask> front = pending.front();
    pending.pop_front();
    if (front->claim()) {
        front->run();
        return;
    }
    for (const auto& later : pending) {
        if (front->isDone()) break;
        if (later->claim()) later->run();
    }
    front->wait();
}

void dropAll(std::deque<std::shared_ptr<AheadTask>>& pending)
{
    for (auto& t : pending) t->claim();
    pending.clear();
}

}  // namespace backupfmt
