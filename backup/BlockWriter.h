// Writing a restored file's blocks on a thread of its own, from the second block on, so that
// the next block is read and inflated while the last one goes to the disk. At most four
// blocks wait: memory stays flat whatever the size of the file.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class BlockWriter {
public:
    explicit BlockWriter(QIODevice& out) : out_(out) {}
    ~BlockWriter() { finish(); }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Queues the bytes; false once any write has failed.
    bool write(const char* data, qint64 n);
    // Waits until every queued block is written; false when a write failed.
    bool finish();

private:
    void loop();
    QIODevice& out_;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<QByteArray> queue_;
    bool closing_ = false;
    std::atomic<bool> failed_{false};
    bool first_ = true;
};
