#include "tblscn/ParadoxConversion.h"

#include "legacy_import/ParadoxTable.h"
#include "tblscn/FileOps.h"
#include "tblscn/OldTableFiles.h"
#include "tblscn/SoundFiles.h"
#include "tblscn/TableDb.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <strings.h>
#include <unistd.h>

namespace tblscn {

namespace {

using store::FieldType;
using paradox::Value;

std::string numberText(double d)
{
    char b[40];
    std::snprintf(b, sizeof b, "%.15g", d);
    std::string s = b;
    for (char& c : s)
        if (c == '.') c = ',';
    return s;
}

// How the operator reads a value of the old table in the report.
std::string shown(const Value& v, const paradox::CodePage& cp)
{
    switch (v.kind) {
    case Value::Null: return "";
    case Value::Integer: return std::to_string(v.i);
    case Value::Real: return numberText(v.d);
    case Value::Text: return cp.toUtf8(v.text);
    case Value::Date: {
        const std::string d = paradox::dateText(v.i);
        return d.substr(8, 2) + "/" + d.substr(5, 2) + "/" + d.substr(0, 4);
    }
    case Value::Boolean: return v.i ? "Sim" : "Não";
    case Value::Other: return v.text;
    case Value::Invalid: return "(valor inválido)";
    }
    return "";
}

// A value made ready for a field of the definition; `why` set when the field refuses it.
struct Bound {
    enum { Null, Int, Real, Text } kind = Null;
    int64_t i = 0;
    double d = 0;
    std::string text;
};

bool bindable(const Value& v, const store::FieldSpec& f, const paradox::CodePage& cp, Bound& out,
              std::string& why)
{
    out = Bound{};
    if (v.kind == Value::Null) {
        if (f.required) why = f.name + ": campo obrigatório vazio";
        return why.empty();
    }
    if (v.kind == Value::Invalid || v.kind == Value::Other) {
        why = f.name + ": valor que o campo não aceita";
        return false;
    }
    switch (f.type) {
    case FieldType::Alpha:
        out.kind = Bound::Text;
        if (v.kind == Value::Text) {
            // One byte of the code page is one character.
            if (int(v.text.size()) > f.width) {
                why = f.name + ": texto de " + std::to_string(v.text.size())
                      + " caracteres, maior que a largura " + std::to_string(f.width);
                return false;
            }
            out.text = cp.toUtf8(v.text);
        } else {
            out.text = v.kind == Value::Date ? paradox::dateText(v.i) : shown(v, cp);
            if (int(out.text.size()) > f.width) {
                why = f.name + ": valor maior que a largura " + std::to_string(f.width);
                return false;
            }
        }
        return true;
    case FieldType::Number:
    case FieldType::Money:
        out.kind = Bound::Real;
        if (v.kind == Value::Integer || v.kind == Value::Boolean) out.d = double(v.i);
        else if (v.kind == Value::Real) out.d = v.d;
        else if (v.kind == Value::Text) {
            std::string t = v.text;
            for (char& c : t)
                if (c == ',') c = '.';
            char* end = nullptr;
            out.d = std::strtod(t.c_str(), &end);
            if (t.empty() || *end || !std::isfinite(out.d)) {
                why = f.name + ": \"" + cp.toUtf8(v.text) + "\" não é um número";
                return false;
            }
        } else {
            why = f.name + ": uma data não é um número";
            return false;
        }
        return true;
    case FieldType::Date:
        out.kind = Bound::Text;
        if (v.kind == Value::Date) {
            out.text = paradox::dateText(v.i);
            return true;
        }
        why = f.name + ": o valor não é uma data";
        return false;
    case FieldType::Autoincrement:
        out.kind = Bound::Int;
        if (v.kind == Value::Integer) out.i = v.i;
        else if (v.kind == Value::Real && v.d == std::floor(v.d) && std::fabs(v.d) < 2147483648.0)
            out.i = int64_t(v.d);
        else {
            why = f.name + ": o valor não é um número inteiro";
            return false;
        }
        return true;
    }
    return false;
}

void bind(sqlite3_stmt* st, int at, const Bound& b)
{
    switch (b.kind) {
    case Bound::Null: sqlite3_bind_null(st, at); break;
    case Bound::Int: sqlite3_bind_int64(st, at, b.i); break;
    case Bound::Real: sqlite3_bind_double(st, at, b.d); break;
    case Bound::Text:
        sqlite3_bind_text(st, at, b.text.data(), int(b.text.size()), SQLITE_TRANSIENT);
        break;
    }
}

class Conversion {
public:
    Conversion(const std::string& folder, const std::string& file, const store::TableSpec& spec)
        : folder_(folder), file_(file), spec_(spec), files_(folder, spec)
    {}

    Result run();

private:
    bool prepare(Result& r);
    bool take(const unsigned char* record, bool deferred, Result& r);
    void refuse(const unsigned char* record, const std::string& why);
    bool finishRows(Result& r);
    Result unreadable(const std::string& why);

    std::string folder_, file_;
    const store::TableSpec& spec_;
    OldTableFiles files_;
    paradox::FileSource source_;
    paradox::Reader reader_;
    paradox::CodePage cp_{1252};
    std::vector<int> from_;  // per field of the definition: the old field, or -1
    std::optional<Db> db_{std::in_place};
    sqlite3_stmt* insert_ = nullptr;
    FILE* report_ = nullptr;
    int autoField_ = -1;     // the definition's autoincrement field
    std::vector<std::vector<unsigned char>> deferred_;  // rows without an autoincrement value
    long taken_ = 0, refused_ = 0;
};

Result Conversion::unreadable(const std::string& why)
{
    files_.discardPartial();
    Result r;
    r.action = Action::Unreadable;
    r.text = "A tabela " + spec_.fileName + " (" + file_ + ") está no formato antigo mas não "
             "pôde ser convertida: " + why + ". O arquivo ficou onde estava.";
    return r;
}

bool Conversion::prepare(Result& r)
{
    const paradox::Header& h = reader_.header();
    cp_ = paradox::CodePage(h.codePage);
    std::string dropped;
    std::vector<bool> used(h.fields.size(), false);
    for (size_t i = 0; i < spec_.fields.size(); ++i) {
        int found = -1;
        for (size_t j = 0; j < h.fields.size() && found < 0; ++j)
            if (::strcasecmp(h.fields[j].name.c_str(), spec_.fields[i].name.c_str()) == 0)
                found = int(j);
        from_.push_back(found);
        if (found >= 0) used[size_t(found)] = true;
        if (spec_.fields[i].type == FieldType::Autoincrement) autoField_ = int(i);
    }
    for (size_t j = 0; j < h.fields.size(); ++j)
        if (!used[j]) dropped += (dropped.empty() ? "" : ", ") + cp_.toUtf8(h.fields[j].name);
    const std::string partial = files_.partialTable();
    if (const int e = createPrivateFile(partial)) {
        r.error = errnoText(e, spec_.fileName);
        return false;
    }
    report_ = files_.openPartialReport();
    if (!report_) {
        r.error = errnoText(errno, spec_.fileName);
        return false;
    }
    std::fprintf(report_, "Conversão da tabela %s do formato antigo (arquivo %s, página de código "
                          "%d, %u registro(s))\n",
                 spec_.fileName.c_str(), file_.c_str(), cp_.number(), h.numRecords);
    if (!dropped.empty())
        std::fprintf(report_, "Campos que a definição não tem, deixados de fora: %s\n",
                     dropped.c_str());
    bool ok = db_->open(partial, SQLITE_OPEN_READWRITE) && db_->exec("PRAGMA journal_mode=DELETE")
              && db_->exec("BEGIN");
    for (const std::string& sql : store::createStatements(spec_, "main")) ok = ok && db_->exec(sql);
    std::string cols, marks;
    for (const store::FieldSpec& f : spec_.fields) {
        cols += (cols.empty() ? "" : ", ") + store::quoted(f.name);
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string sql = "INSERT INTO main." + store::quoted(spec_.tableName()) + " (" + cols
                            + ") VALUES (" + marks + ")";
    if (ok && sqlite3_prepare_v2(db_->h, sql.c_str(), -1, &insert_, nullptr) != SQLITE_OK)
        ok = db_->failed(sqlite3_errcode(db_->h));
    if (!ok) r.error = sqliteText(*db_, spec_.fileName);
    return ok;
}

void Conversion::refuse(const unsigned char* record, const std::string& why)
{
    ++refused_;
    const paradox::Header& h = reader_.header();
    std::string line = "Registro " + std::to_string(reader_.recordsRead()) + " recusado (" + why + "):";
    for (const paradox::Field& f : h.fields)
        line += " " + cp_.toUtf8(f.name) + "=" + shown(paradox::decode(f, record), cp_) + ";";
    line.back() = '\n';
    std::fputs(line.c_str(), report_);
}

// Puts one old record into the new table, or lists it as refused. False on a failure of the
// new file.
bool Conversion::take(const unsigned char* record, bool deferred, Result& r)
{
    const paradox::Header& h = reader_.header();
    std::string why;
    Bound b;
    for (size_t i = 0; i < spec_.fields.size(); ++i) {
        const Value v = from_[i] < 0 ? Value{} : paradox::decode(h.fields[size_t(from_[i])], record);
        if (!bindable(v, spec_.fields[i], cp_, b, why)) {
            refuse(record, why);
            return true;
        }
        if (int(i) == autoField_ && b.kind == Bound::Null && from_[i] >= 0 && !deferred) {
            // Numbered after every number the old table used, once they are all in.
            deferred_.emplace_back(record, record + h.recordSize);
            return true;
        }
        bind(insert_, int(i) + 1, b);
    }
    const int rc = sqlite3_step(insert_);
    sqlite3_reset(insert_);
    if (rc == SQLITE_DONE) {
        ++taken_;
        return true;
    }
    if ((rc & 0xff) == SQLITE_CONSTRAINT) {
        refuse(record, "chave repetida: outro registro já tem a mesma chave primária");
        return true;
    }
    db_->failed(rc);
    r.error = sqliteText(*db_, spec_.fileName);
    return false;
}

bool Conversion::finishRows(Result& r)
{
    bool ok = true;
    if (autoField_ >= 0 && spec_.rowidKey()) {
        // The counter goes on after the highest number used and the old table's own counter.
        const std::string t = "'" + spec_.tableName() + "'";
        const std::string counter = std::to_string(std::max<int32_t>(reader_.header().autoInc, 0));
        ok = db_->exec("INSERT INTO main.sqlite_sequence (name, seq) SELECT " + t + ", 0 WHERE NOT "
                      "EXISTS (SELECT 1 FROM main.sqlite_sequence WHERE name = " + t + ")")
             && db_->exec("UPDATE main.sqlite_sequence SET seq = MAX(seq, " + counter
                         + ", COALESCE((SELECT MAX(rowid) FROM main."
                         + store::quoted(spec_.tableName()) + "), 0)) WHERE name = " + t);
        if (!ok) {
            r.error = sqliteText(*db_, spec_.fileName);
            return false;
        }
    }
    for (const std::vector<unsigned char>& rec : deferred_)
        if (!take(rec.data(), true, r)) return false;
    std::fprintf(report_, "Convertidos: %ld; recusados: %ld\n", taken_, refused_);
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    if (!db_->exec("COMMIT")) {
        r.error = sqliteText(*db_, spec_.fileName);
        return false;
    }
    return true;
}

Result Conversion::run()
{
    Result r;
    files_.discardPartial();  // left by a stop before the point of no return
    if (const int e = source_.open(folder_ + "/" + file_))
        return unreadable(e == ELOOP    ? "é um link simbólico"
                          : e == EACCES ? "o usuário não tem permissão de lê-lo"
                                        : std::string(std::strerror(e)));
    if (!reader_.open(source_)) return unreadable(reader_.error());
    bool ok = prepare(r);
    const unsigned char* record = nullptr;
    while (ok && reader_.next(record)) ok = take(record, false, r);
    if (ok && !reader_.error().empty()) {
        sqlite3_finalize(insert_);
        insert_ = nullptr;
        db_.reset();
        std::fclose(report_);
        report_ = nullptr;
        return unreadable(reader_.error());
    }
    ok = ok && finishRows(r);
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    db_.reset();  // closed: a transaction left open is rolled back
    const bool reportOk = report_ && OldTableFiles::closeDurably(report_);
    report_ = nullptr;
    if (!ok || !reportOk) {
        files_.discardPartial();
        if (r.error.empty()) r.error = errnoText(errno ? errno : EIO, spec_.fileName);
        return r;
    }
    if (const int e = files_.commitPartial(file_)) {
        files_.discardPartial();
        r.error = errnoText(e, spec_.fileName);
        return r;
    }
    return files_.finish();
}

}  // namespace

bool isOldFormat(const std::string& path)
{
    paradox::FileSource src;
    unsigned char head[paradox::kRecogniseBytes];
    return src.open(path) == 0 && src.read(0, head, sizeof head)
           && paradox::recognised(head, sizeof head);
}

bool conversionPending(const std::string& folder, const store::TableSpec& spec)
{
    return OldTableFiles(folder, spec).pending();
}

Result convertOldTable(const std::string& folder, const std::string& file,
                       const store::TableSpec& spec)
{
    OldTableFiles files(folder, spec);
    if (files.pending()) return files.finish();
    return Conversion(folder, file, spec).run();
}

}  // namespace tblscn
