#include "legacy_import/ImportarLegado.h"

#include "core/Cp1252.h"
#include "core/TextHelpers.h"
#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineConfig.h"
#include "core/engine/EngineError.h"
#include "core/engine/FieldValue.h"
#include "core/engine/SqlValue.h"
#include "core/engine/Statement.h"
#include "core/store/StoreSchema.h"

#include <QElapsedTimer>
#include <QSet>

namespace legado {

namespace {

// Posts are committed together when this many milliseconds have passed since the first of
// them: a commit waits for the disk (tens of milliseconds on an ordinary one), so committing
// each of 100,000 members alone would take most of an hour. A record is always written whole
// or not at all, and a second run takes over what an interrupted one left.
constexpr qint64 kIntervaloGravacao = 200;

bool ativo(const db::Dataset& d)
{
    return d.state() == db::DatasetState::Edit || d.state() == db::DatasetState::Insert;
}

// A failing record: the message names the file, the record (from 1) and the legacy field.
[[noreturn]] void falha(const DbfTable& t, int record, const QString& campo, const QString& why)
{
    QString where = QString("%1, registro %2").arg(t.fileName()).arg(record + 1);
    if (!campo.isEmpty()) where += ", campo " + campo;
    throw db::EngineError(QString("Importação interrompida em %1: %2").arg(where, why));
}

}  // namespace

QString maiusculas(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 32);
    return out;
}

Codigos codigos(const QString& agencia, const QString& conta)
{
    Codigos c;
    c.agencia = CalculaDigitoVerificador(agencia.trimmed());
    c.conta = CalculaDigitoVerificador(conta.trimmed());
    // The base that the check character was computed from: CONTA less its last character,
    // or what stands before its "-".
    c.matricula = c.conta.left(c.conta.size() - 2);
    return c;
}

// The write-through of the posts: a transaction that is committed as soon as its first post
// is kIntervaloGravacao old, and at the end. Counts move to `gravado` only with the commit.
class TImportacao::Escrita {
public:
    explicit Escrita(db::Connection& c) : c_(c) {}
    ~Escrita()
    {
        if (aberta_) {
            try {
                c_.rollback();
            } catch (...) {
            }
        }
    }
    // Before the work on a record: true when a new transaction was begun.
    bool antes()
    {
        if (aberta_) return false;
        c_.begin();
        aberta_ = true;
        relogio_.start();
        return true;
    }
    void depois(const Resultado& atual)
    {
        if (relogio_.elapsed() >= kIntervaloGravacao) gravar(atual);
    }
    // After a failure (a full disk) SQLite may have ended the transaction itself: what it
    // held is gone and is not committed, and a failed commit is said once.
    void gravar(const Resultado& atual)
    {
        if (falhou_) return;
        if (aberta_ && !c_.inTransaction()) {
            aberta_ = false;
            falhou_ = true;
            return;
        }
        if (aberta_) {
            try {
                c_.commit();
            } catch (...) {
                falhou_ = true;
                aberta_ = c_.inTransaction();
                throw;
            }
        }
        aberta_ = false;
        gravado = atual;
    }
    Resultado gravado;

private:
    db::Connection& c_;
    QElapsedTimer relogio_;
    bool aberta_ = false;
    bool falhou_ = false;
};

// The branch-and-account and branch-and-enrolment pairs of ASSOCIADOS, read once and read
// again only when another program has changed the table since.
class TImportacao::Chaves {
public:
    explicit Chaves(db::Connection& c) : c_(c), schema_(db::sqlName(c.attach("ASSOCIADOS.DB"))) {}

    // Called with the write lock held, so nobody changes the table before the commit.
    void atualizar()
    {
        const qint64 versao = numero("PRAGMA " + schema_ + ".data_version");
        if (versao == versao_) return;
        contas_.clear();
        matriculas_.clear();
        db::Statement st(
            c_,
            "SELECT ASS_AGENCIA, ASS_CONTA_CORRENTE, ASS_MATRICULA FROM " + schema_ + ".ASSOCIADOS",
            "ASSOCIADOS.DB");
        while (st.next()) acrescentar(st.text(0), st.text(1), st.text(2));
        versao_ = versao;
    }
    bool contem(const QString& agencia, const QString& conta, const QString& matricula) const
    {
        return contas_.contains(par(agencia, conta))
               || matriculas_.contains(par(agencia, matricula));
    }
    void acrescentar(const QString& agencia, const QString& conta, const QString& matricula)
    {
        contas_.insert(par(agencia, conta));
        matriculas_.insert(par(agencia, matricula));
    }

private:
    static QString par(const QString& a, const QString& b) { return a + QChar(0x1f) + b; }
    qint64 numero(const QString& sql)
    {
        db::Statement st(c_, sql, "ASSOCIADOS.DB");
        if (!st.next()) throw db::EngineError("Sem resposta de " + sql);
        return st.int64(0);
    }

    db::Connection& c_;
    QString schema_;
    qint64 versao_ = -1;
    QSet<QString> contas_, matriculas_;
};

TImportacao::TImportacao(const QString& pastaImp)
{
    TGrupos.setDatabaseName("Tolmare");
    TGrupos.setTableName("GRUPO.DB");
    TAssociados.setDatabaseName("Tolmare");
    TAssociados.setTableName("ASSOCIADOS.DB");
    TGrupos.open();
    TAssociados.open();
    const QString pasta = pastaImp.isEmpty() ? db::EngineConfig::aliasFolder("Imp") : pastaImp;
    TGrupos_OR.open(pasta, "Recgrp.dbf");
    grp_ = {TGrupos_OR.fieldIndex("GRUPO"), TGrupos_OR.fieldIndex("DESCRI")};
    TAssociados_OR.open(pasta, "Reccli.dbf");
    ass_ = {TAssociados_OR.fieldIndex("GRUPO"), TAssociados_OR.fieldIndex("AGENCIA"),
            TAssociados_OR.fieldIndex("CONTA"), TAssociados_OR.fieldIndex("NOME"),
            TAssociados_OR.fieldIndex("IE")};
}

TImportacao::~TImportacao()
{
    escrita_.reset();
    TGrupos.close();
    TAssociados.close();
    TGrupos_OR.close();
    TAssociados_OR.close();
}

QString TImportacao::texto(const DbfTable& t, int record, int field) const
{
    return cp1252::decode(t.text(record, field));
}

QString TImportacao::descricao(int record) const
{
    const db::FieldDef& d = TGrupos.fieldDef(TGrupos.fieldIndex("GRP_DESCRICAO"));
    return db::fitToField(maiusculas(texto(TGrupos_OR, record, grp_.descri)), d.type, d.width,
                          d.name)
        .toString();
}

qint64 TImportacao::Obter_Grupo(const QByteArray& codigo)
{
    if (!gruposLidos_) {
        for (int i = 0; i < TGrupos_OR.recordCount(); ++i) {
            if (TGrupos_OR.isDeleted(i)) continue;
            const QByteArray code = TGrupos_OR.text(i, grp_.grupo);
            if (!primeiroGrupo_.contains(code)) primeiroGrupo_.insert(code, i);
        }
        gruposLidos_ = true;
    }
    const auto known = grupos_.constFind(codigo);
    if (known != grupos_.constEnd()) return known.value();
    qint64 id = -1;
    const auto first = primeiroGrupo_.constFind(codigo);
    if (first != primeiroGrupo_.constEnd()) {
        const QVariant v = TGrupos.lookup("GRP_DESCRICAO", {descricao(first.value())}, "GRP_ID");
        if (v.isValid() && !v.isNull()) id = v.toLongLong();
    }
    grupos_.insert(codigo, id);
    return id;
}

Resultado TImportacao::executar(const Progress& progress, const QDateTime& hoje)
{
    escrita_ = std::make_unique<Escrita>(*TAssociados.connection());
    chaves_ = std::make_unique<Chaves>(*TAssociados.connection());
    Resultado r;
    try {
        importarGrupos(r, progress, hoje);
        importarAssociados(r, progress, hoje);
        const Resultado gravado = escrita_->gravado;
        escrita_.reset();
        return gravado;
    } catch (const db::EngineError& e) {
        r.erro = e.message();
    }
    // What was posted before the failing record is kept; the failing one never was.
    if (ativo(TGrupos)) TGrupos.cancel();
    try {
        escrita_->gravar(r);
    } catch (const db::EngineError& e) {
        r.erro += "\n" + e.message();
    }
    Resultado gravado = escrita_->gravado;
    gravado.erro = r.erro;
    escrita_.reset();
    return gravado;
}

void TImportacao::importarGrupos(Resultado& r, const Progress& progress, const QDateTime& hoje)
{
    const int total = TGrupos_OR.recordCount();
    if (progress) progress(Fase::Grupos, 0, total);
    for (int i = 0; i < total; ++i) {
        if (!TGrupos_OR.isDeleted(i)) {
            const QString d = descricao(i);
            if (d.contains("APOSENTAD") || d.contains("PENSIONI")) {
                escrita_->antes();
                try {
                    if (TGrupos.locate("GRP_DESCRICAO", {d}))
                        TGrupos.edit();
                    else
                        TGrupos.insert();
                    TGrupos.fieldByName("GRP_DESCRICAO").setAsString(d);
                    TGrupos.fieldByName("GRP_USR_ID").setAsInteger(UsuarioAtual);
                    TGrupos.fieldByName("GRP_DTA_CAD").setAsDateTime(hoje);
                    TGrupos.post();
                } catch (const db::EngineError& e) {
                    falha(TGrupos_OR, i, "DESCRI", e.message());
                }
                ++r.gruposImportados;
                escrita_->depois(r);  // TGruposAfterPost
            } else {
                ++r.gruposIgnorados;
            }
        }
        if (progress) progress(Fase::Grupos, i + 1, total);
    }
    escrita_->gravar(r);
}

void TImportacao::importarAssociados(Resultado& r, const Progress& progress, const QDateTime& hoje)
{
    grupos_.clear();
    db::Connection& conn = *TAssociados.connection();
    const QString schema = conn.attach("ASSOCIADOS.DB");
    // The members are written with one prepared statement, a row at a time: each INSERT is
    // whole or nothing on its own. Values are brought to the fields as a post through the
    // table brings them (fitToField); an empty value is NULL.
    const store::TableSpec& spec = conn.spec(schema);
    auto field = [&](const char* name) -> const store::FieldSpec& {
        for (const store::FieldSpec& f : spec.fields)
            if (f.name == name) return f;
        throw db::EngineError(QString("Field '%1' not found").arg(name));
    };
    auto fit = [&](const char* name, const QString& text) {
        return db::fitToField(text, field(name));
    };
    const bool nomeObrigatorio = field("ASS_NOME").required;
    db::Statement insert(conn,
                         "INSERT INTO " + db::sqlName(schema)
                             + ".ASSOCIADOS (ASS_NOME, ASS_GRP_ID, ASS_AGENCIA, ASS_CONTA_CORRENTE,"
                               " ASS_IDENTIFICADOR, ASS_DTA_CAD, ASS_USR_ID, ASS_MATRICULA)"
                               " VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                         "ASSOCIADOS.DB");

    const int total = TAssociados_OR.recordCount();
    if (progress) progress(Fase::Associados, 0, total);
    const DbfTable& t = TAssociados_OR;
    for (int i = 0; i < total; ++i) {
        if (progress && i > 0) progress(Fase::Associados, i, total);
        if (t.isDeleted(i)) continue;
        const qint64 g = Obter_Grupo(t.text(i, ass_.grupo));
        if (g == -1) {
            ++r.associadosIgnorados;
            continue;
        }
        // The codes are compared as the fields keep them.
        const Codigos c = codigos(texto(t, i, ass_.agencia), texto(t, i, ass_.conta));
        const QVariant agencia = fit("ASS_AGENCIA", c.agencia);
        const QVariant conta = fit("ASS_CONTA_CORRENTE", c.conta);
        const QVariant matricula = fit("ASS_MATRICULA", c.matricula);
        if (escrita_->antes()) chaves_->atualizar();
        if (chaves_->contem(agencia.toString(), conta.toString(), matricula.toString())) {
            ++r.associadosIgnorados;
            continue;
        }
        const QVariant nome = fit("ASS_NOME", maiusculas(texto(t, i, ass_.nome)));
        if (!nome.isValid() && nomeObrigatorio)
            falha(t, i, "NOME", "Field 'ASS_NOME' must have a value");
        QVariant ie;
        try {
            ie = fit("ASS_IDENTIFICADOR", texto(t, i, ass_.ie).trimmed());
        } catch (const db::EngineError& e) {
            falha(t, i, "IE", e.message());
        }
        try {
            insert
                .bind({nome, double(g), agencia, conta, ie, hoje.date(), double(UsuarioAtual),
                       matricula})
                .run();
        } catch (const db::EngineError& e) {
            falha(t, i, {}, e.message());
        }
        chaves_->acrescentar(agencia.toString(), conta.toString(), matricula.toString());
        ++r.associadosImportados;
        escrita_->depois(r);  // TAssociadosAfterPost
    }
    if (progress) progress(Fase::Associados, total, total);
    escrita_->gravar(r);
}

}  // namespace legado
