// TBLSCN.DLL: takes the program's records through DEF, and on the run record checks every
// table it was given, calling back the program's definition procedures and status callback.
#include "tblscn/ParadoxConversion.h"
#include "tblscn/Restructure.h"
#include "tblscn/tblscn_api.h"

#include <cstring>
#include <string>
#include <vector>

#define TBLSCN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Entry {
    TblscnDefinitionProc proc = nullptr;
    std::string fileName;
};

struct State {
    bool opened = false;
    std::string folder;
    TblscnStatusCallback status = nullptr;
    std::vector<Entry> entries;
    std::string error;
    // The definition being received from a definition procedure.
    bool defining = false;
    store::TableSpec spec;
    bool running = false;
} g;

std::string text(const TblscnValue& v)
{
    if (!v.text) return {};
    return v.length > 0 ? std::string(v.text, size_t(v.length)) : std::string(v.text);
}

void fail(const std::string& message)
{
    if (!g.error.empty()) return;
    // At most 255 bytes, cut before a character, never inside one.
    size_t n = std::min<size_t>(message.size(), 255);
    while (n < message.size() && n > 0 && (static_cast<unsigned char>(message[n]) & 0xC0) == 0x80)
        --n;
    g.error = message.substr(0, n);
}

// The progress record's texts are Windows-1252: the component's own words are UTF-8.
std::string latin1(const std::string& utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) out += char(c);
        else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            out += '?';
            while (i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) ++i;
        }
    }
    return out;
}

// Packs a progress record and hands it to the callback; false when the program says stop.
bool notify(int state, int total, int current, const std::string& table, const std::string& action)
{
    if (!g.status) return true;
    unsigned char rec[TBLSCN_PROGRESS_SIZE] = {};
    rec[0] = static_cast<unsigned char>(state);
    for (int i = 0; i < 4; ++i) {
        rec[1 + i] = static_cast<unsigned char>((uint32_t(total) >> (8 * i)) & 0xFF);
        rec[5 + i] = static_cast<unsigned char>((uint32_t(current) >> (8 * i)) & 0xFF);
    }
    auto putShort = [&](int at, const std::string& s) {
        const size_t n = std::min<size_t>(s.size(), 255);
        rec[at] = static_cast<unsigned char>(n);
        std::memcpy(rec + at + 1, s.data(), n);
    };
    putShort(9, table);
    putShort(265, action);
    return g.status(rec) != 0;
}

void takeDefinitionRecord(const TblscnValue* v, int count)
{
    const int kind = v[0].i;
    if (kind == 1) {  // header
        g.spec = store::TableSpec{};
        g.spec.fileName = count > 1 ? text(v[1]) : std::string();
    } else if (kind == 2 && count >= 5) {  // field
        store::FieldSpec f;
        f.name = text(v[1]);
        f.type = static_cast<store::FieldType>(v[2].i);
        f.width = f.type == store::FieldType::Alpha ? v[4].i : 0;
        g.spec.fields.push_back(f);
    } else if (kind == 3 && count >= 6) {  // index
        store::IndexSpec idx;
        idx.name = text(v[1]);
        for (int i = 5; i < count && !(v[i].kind == TBLSCN_INT && v[i].i == -1); ++i)
            idx.fields.push_back(v[i].i);
        if (idx.name.empty()) g.spec.indexes.insert(g.spec.indexes.begin(), idx);
        else g.spec.indexes.push_back(idx);
    } else if (kind == 4 && count >= 3) {  // validity: the field is required
        const int field = v[1].i;
        if (field >= 1 && field <= int(g.spec.fields.size()) && v[2].i == 2)
            g.spec.fields[size_t(field - 1)].required = true;
    } else {
        fail("Unknown definition record " + std::to_string(kind));
    }
}

bool validSpec(const store::TableSpec& s, std::string& why)
{
    if (s.fields.empty()) {
        why = "no fields";
        return false;
    }
    // A table file lives in the data folder itself, never elsewhere.
    if (s.fileName.empty() || s.fileName.find('/') != std::string::npos
        || s.fileName.find('\\') != std::string::npos || s.fileName[0] == '.') {
        why = "the file name " + s.fileName + " is not a name in the data folder";
        return false;
    }
    for (const store::FieldSpec& f : s.fields) {
        const int t = int(f.type);
        if (t != 257 && t != 258 && t != 259 && t != 260 && t != 271) {
            why = "field " + f.name + " has the unknown type " + std::to_string(t);
            return false;
        }
        if (f.type == store::FieldType::Alpha && (f.width < 1 || f.width > 255)) {
            why = "field " + f.name + " has the width " + std::to_string(f.width);
            return false;
        }
    }
    if (!s.primaryKey()) {
        why = "no primary key";
        return false;
    }
    for (const store::IndexSpec& idx : s.indexes)
        for (int f : idx.fields)
            if (f < 1 || f > int(s.fields.size())) {
                why = "index " + idx.name + " names the field " + std::to_string(f);
                return false;
            }
    return true;
}

void run()
{
    const int total = int(g.entries.size());
    bool go = notify(TBLSCN_START, total, 0, "", "Iniciando");
    int current = 0;
    for (const Entry& e : g.entries) {
        if (!go) break;
        ++current;
        g.defining = true;
        g.spec = store::TableSpec{};
        if (e.proc) e.proc();
        g.defining = false;
        store::TableSpec spec = g.spec;
        if (spec.fileName.empty()) spec.fileName = e.fileName;
        std::string why;
        if (!validSpec(spec, why)) {
            fail(e.fileName + ": invalid definition (" + why + ")");
            break;
        }
        const std::string file = tblscn::tableFile(g.folder, spec.fileName);
        const bool exists = !file.empty();
        if (tblscn::conversionPending(g.folder, spec)
            || (exists && tblscn::isOldFormat(g.folder + "/" + file)))
            go = notify(TBLSCN_CONVERTING, total, current, e.fileName, "Formato antigo (Paradox)");
        else
            go = notify(exists ? TBLSCN_VERIFYING : TBLSCN_CREATING, total, current, e.fileName,
                        exists ? "Verificando estrutura" : "Criando tabela");
        if (!go) break;
        const tblscn::Result r = tblscn::bringToDefinition(g.folder, spec);
        if (!r.error.empty()) {
            fail(r.error);
            break;
        }
        if (r.action == tblscn::Action::Modified)
            go = notify(TBLSCN_MODIFYING, total, current, e.fileName, r.text);
        else if (r.action == tblscn::Action::Rebuilt)
            go = notify(TBLSCN_REBUILDING, total, current, e.fileName, r.text);
        else if (r.action == tblscn::Action::Converted)
            go = notify(r.refused ? TBLSCN_CONVERTED_REFUSED : TBLSCN_CONVERTED, total, current,
                        e.fileName, latin1(r.text));
        else if (r.action == tblscn::Action::Unreadable)
            go = notify(TBLSCN_OLD_UNREADABLE, total, current, e.fileName, latin1(r.text));
        else
            go = notify(exists ? TBLSCN_VERIFYING : TBLSCN_CREATING, total, current, e.fileName,
                        r.text);
    }
    if (!go && g.error.empty()) g.error = "Verificação das tabelas cancelada pelo operador";
    notify(TBLSCN_END, total, current, "", "Terminado");
}

}  // namespace

TBLSCN_EXPORT void DEF(const TblscnValue* values, int32_t lastIndex)
{
    if (!values || lastIndex < 0) return;
    const int count = lastIndex + 1;
    const TblscnValue& first = values[0];
    if (g.defining) {
        if (first.kind == TBLSCN_INT) takeDefinitionRecord(values, count);
        else fail("Unexpected record while a table is being defined");
        return;
    }
    if (first.kind == TBLSCN_INT && first.i == 4000) {  // opening
        g = State{};
        g.opened = true;
    } else if (first.kind == TBLSCN_BOOL) {  // parameters
        g.folder = count > 1 ? text(values[1]) : std::string();
        g.status = count > 2 ? reinterpret_cast<TblscnStatusCallback>(values[2].address) : nullptr;
    } else if (first.kind == TBLSCN_ADDRESS) {  // table entry
        g.entries.push_back({reinterpret_cast<TblscnDefinitionProc>(first.address),
                             count > 1 ? text(values[1]) : std::string()});
    } else if (first.kind == TBLSCN_INT && first.i == 0 && count == 1) {  // run
        if (!g.opened) {
            fail("No opening record before the run record");
            return;
        }
        if (g.folder.empty()) {
            fail("No database folder given");
            return;
        }
        if (g.running) return;
        g.running = true;
        run();
        g.running = false;
    } else {
        fail("Unknown record");
    }
}

TBLSCN_EXPORT void GET(char* buffer, int32_t capacity)
{
    if (!buffer || capacity <= 0) return;
    const size_t n = std::min<size_t>(g.error.size(), size_t(capacity));
    std::memcpy(buffer, g.error.data(), n);
    if (n < size_t(capacity)) buffer[n] = '\0';
}
