#include "backup/BlockWriter.h"

namespace {
constexpr size_t kWaiting = 4;
}

bool BlockWriter::write(const char* data, qint64 n)
{
    if (failed_) return false;
    if (first_) {  // a file of one block is written without a thread
        first_ = false;
        if (out_.write(data, n) != n) failed_ = true;
        return !failed_;
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
    QByteArray block(data, n);
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return queue_.size() < kWaiting || failed_; });
    queue_.push_back(std::move(block));
    cv_.notify_all();
    return !failed_;
}

void BlockWriter::loop()
{
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        cv_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        const QByteArray block = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        const bool ok = !failed_ && out_.write(block) == block.size();
        lock.lock();
        if (!ok) failed_ = true;
        cv_.notify_all();
    }
}

bool BlockWriter::finish()
{
    if (thread_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(m_);
            closing_ = true;
            cv_.notify_all();
        }
        thread_.join();
        closing_ = false;
    }
    return !failed_;
}
