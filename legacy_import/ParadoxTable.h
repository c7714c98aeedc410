// A reader of the older (Paradox) table files an existing installation keeps its tables in,
// bounded on every length it reads: the header is checked against itself and against the
// file's size before a single record is read, the data blocks are walked along their chain
// with every block visited at most once, and one block is held in memory at a time.
//
// Plain C++ (no Qt): the table-structure component links it, and so does the fuzz target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace paradox {

// Field type codes of the format.
enum FieldCode : uint8_t {
    kAlpha = 0x01, kDate = 0x02, kShort = 0x03, kLong = 0x04, kMoney = 0x05, kNumber = 0x06,
    kLogical = 0x09, kMemo = 0x0C, kBlob = 0x0D, kFmtMemo = 0x0E, kOle = 0x0F, kGraphic = 0x10,
    kTime = 0x14, kTimestamp = 0x15, kAutoinc = 0x16, kBcd = 0x17, kBytes = 0x18
};

struct Field {
    std::string name;  // as stored (in the table's code page)
    uint8_t type = 0;
    int size = 0;      // bytes in the record
    int offset = 0;    // from the start of the record
};

struct Header {
    int recordSize = 0;
    int headerSize = 0;
    int fileType = 0;       // 0 keyed table, 2 table without key
    int blockSize = 0;      // bytes
    uint32_t numRecords = 0;
    int fileBlocks = 0;
    int firstBlock = 0;
    int versionId = 0;
    int keyFields = 0;
    int32_t autoInc = 0;    // the table's autoincrement counter
    int codePage = 0;       // 0 when the header names none
    std::vector<Field> fields;
};

// Where the bytes come from: a file (read with pread, never past its size) or memory.
class Source {
public:
    virtual ~Source() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly `n` bytes at `at`; false when they are not all there.
    virtual bool read(uint64_t at, void* buffer, size_t n) = 0;
};

class FileSource : public Source {
public:
    FileSource() = default;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    ~FileSource() override;
    // Opens for reading only, following no symbolic link; 0 or the errno.
    int open(const std::string& path);
    uint64_t size() const override { return size_; }
    bool read(uint64_t at, void* buffer, size_t n) override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const unsigned char* data, size_t n) : data_(data), n_(n) {}
    uint64_t size() const override { return n_; }
    bool read(uint64_t at, void* buffer, size_t n) override;

private:
    const unsigned char* data_;
    size_t n_;
};

// The bytes a file of the format starts with (any of its kinds: tables, indexes); `n` is how
// many are given (at least 0x58 are needed). Recognises by the header, never by the name.
bool recognised(const unsigned char* head, size_t n);
constexpr size_t kRecogniseBytes = 0x58;

// A table file, read record by record in the order of its block chain.
class Reader {
public:
    // Reads and checks the header; false with error() set. `source` must outlive the reader.
    bool open(Source& source);
    const Header& header() const { return h_; }
    // The next record (header().recordSize bytes, valid until the next call); false at the end
    // or on a fault, error() telling which.
    bool next(const unsigned char*& record);
    // What is wrong with the file, in words for the operator (no file name); empty when none.
    const std::string& error() const { return error_; }
    uint32_t recordsRead() const { return read_; }

private:
    bool fail(const std::string& why);
    bool loadBlock(int number);

    Source* src_ = nullptr;
    Header h_;
    std::string error_;
    std::vector<unsigned char> block_;
    std::vector<bool> visited_;
    int block_no_ = 0;      // the block loaded, 0 before the first
    int in_block_ = 0;      // records in it
    int at_ = 0;            // next record in it
    int next_block_ = 0;
    uint32_t read_ = 0;
    bool done_ = false;
};

// One field's value, decoded from a record.
struct Value {
    enum Kind { Null, Integer, Real, Text, Date, Boolean, Other, Invalid } kind = Null;
    int64_t i = 0;     // Integer, Boolean; Date: days since 1 January of the year 1 (that day is 1)
    double d = 0;      // Real
    std::string text;  // Text: the raw bytes; Other: a description for the operator
};
Value decode(const Field& f, const unsigned char* record);

// "YYYY-MM-DD" of a day counted as Value::i counts dates; empty when out of 1..9999.
std::string dateText(int64_t days);

// Decodes single-byte text of a code page ("1252" when the header names none) into UTF-8;
// bytes the code page leaves undefined keep their own value as a code point.
class CodePage {
public:
    explicit CodePage(int codePage);
    std::string toUtf8(const std::string& bytes) const;
    int number() const { return number_; }

private:
    int number_;
    std::string map_[256];
};

}  // namespace paradox
