#include "core/Historico.h"

#include "core/UVariaveis.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/CreateMainTable.h"

namespace historico {

namespace {

// Created on first use; the triggers keep the log append-only against any program.
void criar(db::Connection& c)
{
    store::createMainTable(c, "HISTORICO");
}

bool existe(db::Connection& c)
{
    return db::Statement(c, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND "
                            "name = 'HISTORICO'", "HISTORICO").found();
}

}  // namespace

void registrar(db::Connection& c, const QString& operacao, const QString& detalhe)
{
    const bool proprio = !c.inTransaction();
    if (proprio) c.begin();
    try {
        criar(c);
        db::Statement(c, "INSERT INTO main.HISTORICO (QUANDO, USUARIO, OPERACAO, DETALHE) "
                         "VALUES (?, ?, ?, ?)", "HISTORICO")
            .bind({QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                   qint64(UsuarioAtual), operacao, detalhe})
            .run();
        if (proprio) c.commit();
    } catch (...) {
        if (proprio && c.inTransaction()) {
            try {
                c.rollback();
            } catch (...) {
            }
        }
        throw;
    }
}

void registrar(const QString& operacao, const QString& detalhe)
{
    registrar(db::Session::instance().connectionFor("Tolmare"), operacao, detalhe);
}

QList<Linha> ler(db::Connection& c, const QDate& desde)
{
    QList<Linha> out;
    if (!existe(c)) return out;
    db::Statement st(c, "SELECT QUANDO, USUARIO, OPERACAO, DETALHE FROM main.HISTORICO "
                        "WHERE QUANDO >= ? ORDER BY ID", "HISTORICO");
    st.bind({desde.isValid() ? desde.toString(Qt::ISODate) : QString()});
    while (st.next())
        out.append({QDateTime::fromString(st.text(0), Qt::ISODateWithMs), int(st.int64(1)),
                    st.text(2), st.text(3)});
    return out;
}

QString formatar(const Linha& l)
{
    return QString("%1  usuário %2  %3: %4")
        .arg(l.quando.toString("dd/MM/yyyy hh:mm:ss"))
        .arg(l.usuario)
        .arg(l.operacao, l.detalhe);
}

namespace {

constexpr int kPorLote = 64;

// "INSERT ... VALUES (?1, ?2, ?3, ?4), (?1, ?2, ?3, ?5), ..." for `n` lines.
QString insertLote(qsizetype n)
{
    QString sql = "INSERT INTO main.HISTORICO (QUANDO, USUARIO, OPERACAO, DETALHE) VALUES ";
    for (qsizetype i = 0; i < n; ++i)
        sql += QString(i ? ", " : "") + "(?1, ?2, ?3, ?" + QString::number(i + 4) + ")";
    return sql;
}

}  // namespace

Lote::Lote(db::Connection& c, const QString& operacao)
    : c_(c), quando_(QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8()),
      operacao_(operacao.toUtf8())
{
    criar(c);
}

Lote::~Lote() = default;

void Lote::registrar(const QString& detalhe) { registrarUtf8(detalhe.toUtf8()); }

void Lote::registrarUtf8(const QByteArray& detalhe)
{
    detalhes_ << detalhe;
    if (detalhes_.size() == kPorLote) gravar();
}

void Lote::gravar()
{
    if (detalhes_.isEmpty()) return;
    std::unique_ptr<db::Statement> resto;
    if (detalhes_.size() == kPorLote && !cheio_)
        cheio_ = std::make_unique<db::Statement>(c_, insertLote(kPorLote), "HISTORICO");
    else if (detalhes_.size() < kPorLote)
        resto = std::make_unique<db::Statement>(c_, insertLote(detalhes_.size()), "HISTORICO");
    db::Statement& st = resto ? *resto : *cheio_;
    st.reset().bindText(1, quando_).bindInt(2, UsuarioAtual).bindText(3, operacao_);
    for (int i = 0; i < detalhes_.size(); ++i) st.bindText(i + 4, detalhes_[i]);
    detalhes_.clear();
    st.run();
}

}  // namespace historico
