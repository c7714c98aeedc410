#include "backup/BlockWriter.h"

namespace {
constexpr qsizetype kPiece = 256 * 1024;
constexpr size_t kWaiting = 2;
}  // namespace

bool BlockWriter::write(const char* data, qint64 n)
{
    if (failed_) return false;
    if (piece_.capacity() < kPiece) piece_.reserve(kPiece);
    piece_.append(data, n);
    if (piece_.size() >= kPiece) {
        if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
        hand(std::exchange(piece_, QByteArray()));
    }
    return !failed_;
}

void BlockWriter::hand(QByteArray piece)
{
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return queue_.size() < kWaiting || failed_; });
    queue_.push_back(std::move(piece));
    cv_.notify_all();
}

void BlockWriter::loop()
{
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
        cv_.wait(lock, [this] { return !queue_.empty() || closing_; });
        if (queue_.empty()) return;
        const QByteArray piece = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        const bool ok = !failed_ && out_.write(piece) == piece.size();
        lock.lock();
        if (!ok) failed_ = true;
        cv_.notify_all();
    }
}

bool BlockWriter::finish()
{
    if (thread_.joinable()) {
        if (!piece_.isEmpty()) hand(std::exchange(piece_, QByteArray()));
        {
            const std::lock_guard<std::mutex> lock(m_);
            closing_ = true;
            cv_.notify_all();
        }
        thread_.join();
        closing_ = false;
    } else if (!piece_.isEmpty() && !failed_) {
        if (out_.write(piece_) != piece_.size()) failed_ = true;
        piece_.clear();
    }
    return !failed_;
}
