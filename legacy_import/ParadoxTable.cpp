#include "legacy_import/ParadoxTable.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace paradox {

namespace {

uint16_t le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t be32(const unsigned char* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool allZero(const unsigned char* p, int n)
{
    for (int i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

bool validBlockCode(int code)
{
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 8 || code == 16 || code == 32;
}

// Bytes a field of `type` takes in a record, from the size byte of its description; 0 when
// the pair is not one the format has.
int recordBytes(uint8_t type, int size)
{
    switch (type) {
    case kAlpha:
    case kBytes: return size >= 1 ? size : 0;
    case kDate:
    case kLong:
    case kTime:
    case kAutoinc: return size == 4 ? 4 : 0;
    case kShort: return size == 2 ? 2 : 0;
    case kMoney:
    case kNumber:
    case kTimestamp: return size == 8 ? 8 : 0;
    case kLogical: return size == 1 ? 1 : 0;
    case kBcd: return size <= 32 ? 17 : 0;  // the size byte holds the decimals
    case kMemo:
    case kBlob:
    case kFmtMemo:
    case kOle:
    case kGraphic: return size >= 10 ? size : 0;
    default: return 0;
    }
}

std::string num(uint64_t v) { return std::to_string(v); }

}  // namespace

// ---- sources ----

FileSource::~FileSource()
{
    if (fd_ >= 0) ::close(fd_);
}

int FileSource::open(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return errno;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    size_ = uint64_t(st.st_size);
    return 0;
}

bool FileSource::read(uint64_t at, void* buffer, size_t n)
{
    if (at > size_ || n > size_ - at) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, n, off_t(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        out += got;
        at += uint64_t(got);
        n -= size_t(got);
    }
    return true;
}

bool MemorySource::read(uint64_t at, void* buffer, size_t n)
{
    if (at > n_ || n > n_ - at) return false;
    if (n) std::memcpy(buffer, data_ + at, n);
    return true;
}

// ---- recognition and the header ----

bool recognised(const unsigned char* h, size_t n)
{
    if (n < kRecogniseBytes) return false;
    if (std::memcmp(h, "SQLite format 3", 16) == 0) return false;
    const int recordSize = le16(h), headerSize = le16(h + 2);
    return recordSize > 0 && headerSize >= int(kRecogniseBytes) && h[4] <= 8
           && validBlockCode(h[5]) && h[0x39] >= 3 && h[0x39] <= 15;
}

bool Reader::fail(const std::string& why)
{
    if (error_.empty()) error_ = why;
    done_ = true;
    return false;
}

bool Reader::open(Source& source)
{
    src_ = &source;
    h_ = Header{};
    error_.clear();
    const uint64_t fileSize = source.size();
    unsigned char base[kRecogniseBytes];
    if (!source.read(0, base, sizeof base) || !recognised(base, sizeof base))
        return fail("não é um arquivo de tabela do formato antigo");
    h_.recordSize = le16(base);
    h_.headerSize = le16(base + 2);
    h_.fileType = base[4];
    h_.blockSize = base[5] * 1024;
    h_.numRecords = le32(base + 6);
    h_.fileBlocks = le16(base + 0x0C);
    h_.firstBlock = le16(base + 0x0E);
    h_.versionId = base[0x39];
    h_.keyFields = int16_t(le16(base + 0x23));
    h_.autoInc = int32_t(le32(base + 0x49));
    if (h_.fileType != 0 && h_.fileType != 2)
        return fail("é um arquivo de índice do formato antigo, não uma tabela");
    if (h_.versionId > 12) return fail("a versão do formato (" + num(h_.versionId) + ") é desconhecida");
    if (uint64_t(h_.headerSize) > fileSize)
        return fail("o arquivo termina antes do fim do seu cabeçalho (está incompleto)");
    std::vector<unsigned char> head(size_t(h_.headerSize));
    if (!source.read(0, head.data(), head.size()))
        return fail("o cabeçalho não pôde ser lido");
    const int numFields = int16_t(le16(base + 0x21));
    if (numFields < 1 || numFields > 255)
        return fail("o cabeçalho declara " + std::to_string(numFields) + " campos");
    const bool extended = h_.versionId >= 5;
    const uint32_t crypt1 = le32(base + 0x25);
    const bool encrypted = crypt1 != 0 && (crypt1 != 0xFF00FF00u || !extended
                                           || h_.headerSize < 0x60 || le32(head.data() + 0x5C) != 0);
    if (encrypted) return fail("a tabela está protegida por senha: tire a senha no programa antigo");
    const size_t infoAt = extended ? 0x78 : 0x58;
    const size_t nameLen = h_.versionId == 12 ? 261 : 79;
    size_t at = infoAt + size_t(numFields) * 2 + 4 + size_t(numFields) * 4 + nameLen;
    if (at > head.size()) return fail("o cabeçalho é curto demais para os campos que declara");
    if (extended) h_.codePage = le16(head.data() + 0x6A);
    int offset = 0;
    for (int i = 0; i < numFields; ++i) {
        Field f;
        f.type = head[infoAt + size_t(i) * 2];
        f.size = recordBytes(f.type, head[infoAt + size_t(i) * 2 + 1]);
        if (f.size == 0)
            return fail("o campo " + std::to_string(i + 1) + " tem um tipo ou tamanho inválido");
        f.offset = offset;
        offset += f.size;
        const void* end = std::memchr(head.data() + at, 0, head.size() - at);
        if (!end) return fail("os nomes dos campos não cabem no cabeçalho");
        const size_t len = size_t(static_cast<const unsigned char*>(end) - (head.data() + at));
        f.name.assign(reinterpret_cast<const char*>(head.data() + at), len);
        at += len + 1;
        h_.fields.push_back(std::move(f));
    }
    if (offset != h_.recordSize)
        return fail("o tamanho de registro do cabeçalho (" + num(h_.recordSize)
                    + " bytes) não é a soma dos seus campos (" + num(offset) + ")");
    if (h_.recordSize > h_.blockSize - 6)
        return fail("o registro (" + num(h_.recordSize) + " bytes) não cabe num bloco de "
                    + num(h_.blockSize));
    const uint64_t perBlock = uint64_t(h_.blockSize - 6) / uint64_t(h_.recordSize);
    if (h_.numRecords > uint64_t(h_.fileBlocks) * perBlock)
        return fail("o cabeçalho declara " + num(h_.numRecords) + " registros, mais do que "
                    + num(h_.fileBlocks) + " blocos comportam");
    if (uint64_t(h_.headerSize) + uint64_t(h_.fileBlocks) * uint64_t(h_.blockSize) > fileSize)
        return fail("o arquivo termina antes do último dos seus " + num(h_.fileBlocks)
                    + " blocos de dados (está incompleto)");
    if (h_.fileBlocks > 0 && (h_.firstBlock < 1 || h_.firstBlock > h_.fileBlocks))
        return fail("o primeiro bloco de dados (" + num(h_.firstBlock) + ") está fora do arquivo");
    block_.assign(size_t(h_.blockSize), 0);
    visited_.assign(size_t(h_.fileBlocks) + 1, false);
    block_no_ = 0;
    in_block_ = at_ = 0;
    next_block_ = h_.fileBlocks > 0 ? h_.firstBlock : 0;
    read_ = 0;
    done_ = false;
    return true;
}

// ---- records ----

bool Reader::loadBlock(int number)
{
    if (number < 1 || number > h_.fileBlocks)
        return fail("um bloco de dados aponta para o bloco " + num(number) + ", fora do arquivo");
    if (visited_[size_t(number)])
        return fail("os blocos de dados formam um ciclo (bloco " + num(number) + ")");
    visited_[size_t(number)] = true;
    const uint64_t at = uint64_t(h_.headerSize) + uint64_t(number - 1) * uint64_t(h_.blockSize);
    if (!src_->read(at, block_.data(), block_.size()))
        return fail("o bloco de dados " + num(number) + " não pôde ser lido");
    const int used = int16_t(le16(block_.data() + 4));
    int records = 0;
    if (used >= 0) {
        if (used % h_.recordSize != 0 || 6 + used + h_.recordSize > h_.blockSize)
            return fail("o bloco de dados " + num(number) + " declara um conteúdo inválido");
        records = used / h_.recordSize + 1;
    }
    block_no_ = number;
    in_block_ = records;
    at_ = 0;
    next_block_ = le16(block_.data());
    return true;
}

bool Reader::next(const unsigned char*& record)
{
    while (!done_ && at_ >= in_block_) {
        if (next_block_ == 0) {
            done_ = true;
            if (read_ != h_.numRecords)
                return fail("o cabeçalho declara " + num(h_.numRecords) + " registros, mas os "
                            "blocos de dados têm " + num(read_));
            return false;
        }
        if (!loadBlock(next_block_)) return false;
    }
    if (done_) return false;
    if (read_ >= h_.numRecords)
        return fail("os blocos de dados têm mais registros que os " + num(h_.numRecords)
                    + " que o cabeçalho declara");
    record = block_.data() + 6 + size_t(at_) * size_t(h_.recordSize);
    ++at_;
    ++read_;
    return true;
}

// ---- values ----

Value decode(const Field& f, const unsigned char* record)
{
    const unsigned char* p = record + f.offset;
    Value v;
    if (f.type != kAlpha && allZero(p, f.size)) return v;
    switch (f.type) {
    case kAlpha: {
        const void* nul = std::memchr(p, 0, size_t(f.size));
        const size_t n = nul ? size_t(static_cast<const unsigned char*>(nul) - p) : size_t(f.size);
        if (n == 0) return v;
        v.kind = Value::Text;
        v.text.assign(reinterpret_cast<const char*>(p), n);
        return v;
    }
    case kShort:
        v.kind = Value::Integer;
        v.i = int16_t(uint16_t((p[0] << 8 | p[1]) ^ 0x8000));
        return v;
    case kLong:
    case kAutoinc:
    case kDate:
    case kTime:
        v.i = int32_t(be32(p) ^ 0x80000000u);
        if (f.type == kDate) {
            v.kind = dateText(v.i).empty() ? Value::Invalid : Value::Date;
        } else if (f.type == kTime) {
            v.kind = Value::Other;
            const int64_t s = v.i / 1000;
            char t[32];
            std::snprintf(t, sizeof t, "%02lld:%02lld:%02lld", (long long)(s / 3600 % 100),
                          (long long)(s / 60 % 60), (long long)(s % 60));
            v.text = t;
        } else {
            v.kind = Value::Integer;
        }
        return v;
    case kMoney:
    case kNumber:
    case kTimestamp: {
        unsigned char b[8];
        if (p[0] & 0x80) {
            std::memcpy(b, p, 8);
            b[0] &= 0x7F;
        } else {
            for (int i = 0; i < 8; ++i) b[i] = uint8_t(~p[i]);
        }
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | b[i];
        std::memcpy(&v.d, &bits, 8);
        if (!std::isfinite(v.d) || (f.type == kTimestamp && std::fabs(v.d) > 1e15)) {
            v.kind = Value::Invalid;  // a timestamp past the year 9999 is no date either
        } else if (f.type == kTimestamp) {
            // Milliseconds since the day before 1 January of the year 1: the day is the date.
            v.i = int64_t(std::floor(v.d / 86400000.0));
            v.kind = dateText(v.i).empty() ? Value::Invalid : Value::Date;
        } else {
            v.kind = Value::Real;
        }
        return v;
    }
    case kLogical:
        v.kind = p[0] == 0x80 || p[0] == 0x81 ? Value::Boolean : Value::Invalid;
        v.i = p[0] == 0x81;
        return v;
    default:
        v.kind = Value::Other;
        v.text = f.type == kBcd ? "(número BCD)" : f.type == kBytes ? "(bytes)" : "(memorando)";
        return v;
    }
}

std::string dateText(int64_t days)
{
    if (days < 1 || days > 3652059) return {};  // 0001-01-01 .. 9999-12-31
    // Days since 0000-03-01 in the proleptic Gregorian calendar.
    const int64_t z = days + 305;
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2);
    char out[32];
    std::snprintf(out, sizeof out, "%04lld-%02lld-%02lld", (long long)y, (long long)m, (long long)d);
    return out;
}

// ---- code pages ----

CodePage::CodePage(int codePage) : number_(codePage > 0 ? codePage : 1252)
{
    auto own = [](unsigned c) {
        std::string s;
        if (c < 0x80) s += char(c);
        else {
            s += char(0xC0 | c >> 6);
            s += char(0x80 | (c & 0x3F));
        }
        return s;
    };
    for (unsigned c = 0; c < 256; ++c) map_[c] = own(c);
    iconv_t cd = iconv_open("UTF-8", ("CP" + std::to_string(number_)).c_str());
    if (cd == iconv_t(-1)) {
        number_ = 1252;
        cd = iconv_open("UTF-8", "CP1252");
    }
    if (cd == iconv_t(-1)) return;
    for (unsigned c = 0x80; c < 256; ++c) {
        char in = char(c), out[8];
        char* ip = &in;
        char* op = out;
        size_t il = 1, ol = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0)
            map_[c].assign(out, size_t(op - out));
    }
    iconv_close(cd);
}

std::string CodePage::toUtf8(const std::string& bytes) const
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (unsigned char c : bytes) {
        if (c < 0x80) out += char(c);
        else out += map_[c];
    }
    return out;
}

}  // namespace paradox
