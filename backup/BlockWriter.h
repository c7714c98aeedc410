// Writing a restored file on a thread of its own, so that the next blocks are read and
// inflated while the last ones go to the disk. Blocks are gathered into pieces of 256 KB
// before they change threads, and at most two pieces wait: memory stays flat whatever the
// size of the file. A file smaller than one piece is written on the caller's thread.
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
    ~BlockWriter()  // a file dropped unfinished: what is not handed over yet is not written
    {
        piece_.clear();
        finish();
    }
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Takes the bytes; false once any write has failed.
    bool write(const char* data, qint64 n);
    // Writes what is left and waits until everything is written; false when a write failed.
    bool finish();

private:
    void hand(QByteArray piece);
    void loop();
    QIODevice& out_;
    QByteArray piece_;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<QByteArray> queue_;
    bool closing_ = false;
    std::atomic<bool> failed_{false};
};
