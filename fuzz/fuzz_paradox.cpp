// Fuzz target: the reader of the older (Paradox) table files. Opens arbitrary bytes as a table
// file the way the schema check does, walks every record and decodes every field, texts
// through the table's code page.
#include "legacy_import/ParadoxTable.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The input goes through a file, as the schema check reads it; removed at the end.
    static const struct Scratch {
        std::string path = "/tmp/fuzz_paradox." + std::to_string(::getpid()) + ".DB";
        ~Scratch() { ::unlink(path.c_str()); }
    } scratch;
    const std::string& path = scratch.path;
    static std::map<int, std::unique_ptr<paradox::CodePage>> pages;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) __builtin_trap();
    if (size && std::fwrite(data, 1, size, f) != size) __builtin_trap();
    std::fclose(f);
    if (!paradox::recognised(data, size)) return 0;
    paradox::FileSource src;
    if (src.open(path) != 0) __builtin_trap();
    paradox::Reader reader;
    if (!reader.open(src)) {
        if (reader.error().empty()) __builtin_trap();
        return 0;
    }
    const paradox::Header& h = reader.header();
    if (pages.size() > 64) pages.clear();  // code pages seen, kept bounded
    std::unique_ptr<paradox::CodePage>& cp = pages[h.codePage];
    if (!cp) cp = std::make_unique<paradox::CodePage>(h.codePage);
    size_t bytes = 0;
    for (const paradox::Field& fd : h.fields) bytes += cp->toUtf8(fd.name).size();
    const unsigned char* record = nullptr;
    while (reader.next(record)) {
        for (const paradox::Field& fd : h.fields) {
            const paradox::Value v = paradox::decode(fd, record);
            if (v.kind == paradox::Value::Text) bytes += cp->toUtf8(v.text).size();
            if (v.kind == paradox::Value::Date && paradox::dateText(v.i).size() != 10) __builtin_trap();
        }
    }
    // Never more records than the header declared.
    if (reader.recordsRead() > h.numRecords) __builtin_trap();
    return bytes == size_t(-1);
}
