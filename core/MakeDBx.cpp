#include "core/MakeDBx.h"

#include "core/Historico.h"
#include "core/TableDefs.h"
#include "core/engine/Database.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"

#include <QCoreApplication>

#include <deque>
#include <string>

#include <dlfcn.h>

namespace makedbx {

namespace {

int quietStatus(const unsigned char*) { return 1; }

TblscnStatusCallback g_status = quietStatus;
TblscnDefFn g_def = nullptr;
QStringList g_replaced;  // "table\naction" of every table rebuilt in this check
QStringList g_converted;  // "table\naction" of every table converted from the older format,
                          // a line break after it when rows were refused
QStringList g_unreadable;  // the component's message for every old table it could not read
QList<QPair<QString, QString>> g_changes;  // what this check changed, for the operation log
Outcome g_outcome;

QString shortText(const unsigned char* at)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(at + 1), at[0]);
}

// Notes the tables the component rebuilt, then hands the record to the installed callback.
int relayStatus(const unsigned char* rec)
{
    const QString table = shortText(rec + 9), action = shortText(rec + 265);
    QString change, operacao = "Tabelas";
    switch (rec[0]) {
    case TBLSCN_CREATING: change = table + " criada"; break;
    case TBLSCN_MODIFYING: change = table + " reestruturada: " + action; break;
    case TBLSCN_REBUILDING:
        g_replaced << table + "\n" + action;
        change = table + " ilegível, substituída: " + action;
        break;
    case TBLSCN_CONVERTED_REFUSED: g_outcome.refused = true; [[fallthrough]];
    case TBLSCN_CONVERTED:
        g_converted << table + "\n" + action + (rec[0] == TBLSCN_CONVERTED_REFUSED ? "\n" : "");
        operacao = "Conversão";
        change = table + " convertida do formato antigo: " + action;
        break;
    case TBLSCN_OLD_UNREADABLE: g_unreadable << action; break;
    default: break;
    }
    if (!change.isEmpty() && !g_changes.contains({operacao, change})) g_changes.append({operacao, change});
    return g_status(rec);
}

// One record under construction: the values and the texts they point into.
class Record {
public:
    Record& integer(int32_t v) { return add({TBLSCN_INT, v, nullptr, 0, nullptr}); }
    Record& boolean(bool v) { return add({TBLSCN_BOOL, v ? 1 : 0, nullptr, 0, nullptr}); }
    Record& shortText(const std::string& s)
    {
        texts_.push_back(s.substr(0, 255));
        return add({TBLSCN_SHORTTEXT, 0, texts_.back().c_str(), int32_t(texts_.back().size()),
                    nullptr});
    }
    Record& address(void* p) { return add({TBLSCN_ADDRESS, 0, nullptr, 0, p}); }
    void send() const
    {
        if (g_def) g_def(values_.data(), int32_t(values_.size()) - 1);
    }

private:
    Record& add(TblscnValue v)
    {
        values_.push_back(v);
        return *this;
    }
    std::vector<TblscnValue> values_;
    std::deque<std::string> texts_;
};

int typeCode(store::FieldType t) { return int(t); }

// Sends one table's header, field, index and validity records.
void sendDefinition(const char* fileName)
{
    const store::TableSpec* t = tables::find(fileName);
    if (!t) return;
    int required = 0;
    for (const store::FieldSpec& f : t->fields) required += f.required ? 1 : 0;
    Record().integer(1).shortText(t->fileName).shortText("").shortText("ANSII850")
        .integer(int32_t(t->fields.size())).integer(int32_t(t->indexes.size()))
        .integer(required).integer(0).integer(0).send();
    for (const store::FieldSpec& f : t->fields)
        Record().integer(2).shortText(f.name).integer(typeCode(f.type)).integer(0)
            .integer(f.type == store::FieldType::Alpha ? f.width : 1).integer(0).send();
    int secondary = 0;
    for (const store::IndexSpec& idx : t->indexes) secondary += idx.name.empty() ? 0 : 1;
    int seen = 0;
    for (const store::IndexSpec& idx : t->indexes) {
        const bool primary = idx.name.empty();
        Record r;
        r.integer(3).shortText(idx.name).shortText("").shortText("").shortText("");
        for (int f : idx.fields) r.integer(f);
        r.integer(-1).integer(primary ? 0 : 256 + (secondary - 1 - seen++))
            .integer(int32_t(idx.fields.size())).integer(0).integer(2048)
            .integer(primary ? 6 : 64).send();
    }
    const bool picture = t->fileName == "RET_DEBITO.DB";
    for (size_t i = 0; i < t->fields.size(); ++i) {
        if (!t->fields[i].required) continue;
        Record r;
        r.integer(4).integer(int32_t(i + 1)).integer(2);
        for (int group = 0; group < 3; ++group) {
            if (t->fields[i].type == store::FieldType::Date)
                r.integer(0).integer(0).integer(0).integer(128).integer(-1);
            else
                r.integer(0).integer(-1);
        }
        r.shortText(picture ? std::string(" \0", 2) : std::string()).shortText("").integer(0).send();
    }
}

void defASSOCIADOS() { sendDefinition("ASSOCIADOS.DB"); }
void defDEBITO() { sendDefinition("DEBITO.DB"); }
void defGRUPO() { sendDefinition("GRUPO.DB"); }
void defPARAMETROS() { sendDefinition("PARAMETROS.DB"); }
void defRET_DEBITO() { sendDefinition("RET_DEBITO.DB"); }

// Loads the component: the engine's folder first, then the program's own folder, then the
// bare name. The program's folder is named outright: a loader placed between the program and
// dlopen (a sanitizer's) hides the program's run path.
void* loadComponent(std::string& path)
{
    QStringList candidates{db::EngineConfig::dllPath() + "/TBLSCN.DLL"};
    if (QCoreApplication::instance())
        candidates << QCoreApplication::applicationDirPath() + "/TBLSCN.DLL";
    candidates << "TBLSCN.DLL";
    for (const QString& candidate : candidates) {
        path = candidate.toStdString();
        if (void* busy = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
            dlclose(busy);
            throw db::EngineError("TBLSCN.DLL is busy");
        }
        if (void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    throw db::EngineError("Could not find TBLSCN.DLL");
}

}  // namespace

void setStatusCallback(TblscnStatusCallback cb) { g_status = cb ? cb : quietStatus; }
TblscnStatusCallback statusCallback() { return g_status; }

void CheckTables(const std::vector<TblscnValue>& params)
{
    if (params.empty() || params[0].kind != TBLSCN_BOOL)
        throw db::EngineError("CheckTables invalid parameter");
    std::string path;
    void* lib = loadComponent(path);
    auto def = reinterpret_cast<TblscnDefFn>(dlsym(lib, "DEF"));
    if (!def) {
        dlclose(lib);
        throw db::EngineError(QString::fromStdString(path) + " invalid version");
    }
    auto get = reinterpret_cast<TblscnGetFn>(dlsym(lib, "GET"));
    char error[256] = {};
    QString raised;
    g_def = def;
    try {
        Record().integer(4000).address(db::Session::instance().handle()).send();
        def(params.data(), int32_t(params.size()) - 1);
        Record().address(reinterpret_cast<void*>(defASSOCIADOS)).shortText("ASSOCIADOS.DB").send();
        Record().address(reinterpret_cast<void*>(defDEBITO)).shortText("DEBITO.DB").send();
        Record().address(reinterpret_cast<void*>(defGRUPO)).shortText("GRUPO.DB").send();
        Record().address(reinterpret_cast<void*>(defPARAMETROS)).shortText("PARAMETROS.DB").send();
        Record().address(reinterpret_cast<void*>(defRET_DEBITO)).shortText("RET_DEBITO.DB").send();
        Record().integer(0).send();
    } catch (const std::exception& e) {
        raised = QString::fromUtf8(e.what());
    }
    g_def = nullptr;
    if (get) get(error, 255);
    dlclose(lib);
    const QString text = QString::fromUtf8(error);
    if (!text.isEmpty()) throw db::EngineError(text);
    if (!raised.isEmpty()) throw db::EngineError(raised);
}

QStringList checkDataFolder(const QString& folder)
{
    const QByteArray bytes = folder.toUtf8();
    g_replaced.clear();
    g_converted.clear();
    g_unreadable.clear();
    g_changes.clear();
    g_outcome = {};
    CheckTables({{TBLSCN_BOOL, 0, nullptr, 0, nullptr},
                 {TBLSCN_LONGTEXT, 0, bytes.constData(), int32_t(bytes.size()), nullptr},
                 {TBLSCN_ADDRESS, 0, nullptr, 0, reinterpret_cast<void*>(relayStatus)}});
    // The changes go to the operation log; a log that cannot be written does not stop the
    // start-up (the tables themselves are in order).
    for (const auto& [operacao, change] : std::as_const(g_changes)) {
        try {
            historico::registrar(db::Session::instance().connectionForFolder(folder), operacao,
                                 change);
        } catch (const db::EngineError& e) {
            qWarning("%s", qPrintable(e.message()));
            break;
        }
    }
    QStringList messages;
    for (const QString& r : std::as_const(g_replaced))
        messages << QString("A tabela %1 não pôde ser lida e foi substituída por uma nova.\n%2.\n"
                            "Pasta de dados: %3\nConfira os dados dessa tabela antes de continuar.")
                        .arg(r.section('\n', 0, 0), r.section('\n', 1), folder);
    for (const QString& c : std::as_const(g_converted))
        messages << QString("A tabela %1 estava no formato antigo (Paradox) e foi convertida: %2.\n"
                            "Pasta de dados: %3%4")
                        .arg(c.section('\n', 0, 0), c.section('\n', 1, 1), folder,
                             c.endsWith('\n')
                                 ? "\nOs registros recusados não estão na tabela: corrija-os e "
                                   "cadastre-os de novo."
                                 : "");
    for (const QString& u : std::as_const(g_unreadable))
        messages << u + "\nPasta de dados: " + folder
                        + "\nCopie de novo esse arquivo da instalação antiga (ou tire-o da pasta) e "
                          "abra o programa outra vez; as outras tabelas foram verificadas.";
    g_outcome.replaced = int(g_replaced.size());
    g_outcome.converted = int(g_converted.size());
    g_outcome.unreadable = int(g_unreadable.size());
    return messages;
}

Outcome lastOutcome() { return g_outcome; }

}  // namespace makedbx
