#include "remittance/LeitorLinhas.h"

#include <QCryptographicHash>

namespace retorno {

namespace {
constexpr qint64 kChunk = 64 * 1024;
}

bool LeitorLinhas::fill()
{
    if (pos_ < buffer_.size()) return true;
    buffer_.resize(kChunk);
    const qint64 n = in_.read(buffer_.data(), kChunk);
    if (n < 0) error_ = true;
    buffer_.resize(n > 0 ? n : 0);
    if (hash_ && n > 0) hash_->addData(buffer_);
    pos_ = 0;
    return n > 0;
}

bool LeitorLinhas::next(QByteArray& line, qint64& length)
{
    line.clear();
    length = 0;
    if (!fill()) return false;
    if (afterCR_ && buffer_.at(pos_) == '\n' && ++pos_ >= buffer_.size() && !fill())
        return false;
    afterCR_ = false;
    for (;;) {
        const char* begin = buffer_.constData() + pos_;
        const qsizetype left = buffer_.size() - pos_;
        qsizetype i = 0;
        while (i < left && begin[i] != '\n' && begin[i] != '\r') ++i;
        if (line.size() < keep_) line.append(begin, std::min(i, keep_ - line.size()));
        length += i;
        pos_ += i;
        if (i < left) {
            afterCR_ = begin[i] == '\r';
            ++pos_;
            return true;
        }
        if (!fill()) return true;  // the last line, without an end
    }
}

}  // namespace retorno
