#include "remittance/DesfazerRemessa.h"

#include "core/Historico.h"
#include "core/TableDefs.h"
#include "core/engine/Connection.h"
#include "core/engine/Database.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "core/store/CreateMainTable.h"
#include "remittance/ArquivoPendente.h"
#include "remittance/OrdemChave.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace remessa {

namespace {

const QString kRegistro = "REMESSA_DESFAZER";

// The record of the last remittance (core/store/MainTables).
void criar(db::Connection& c)
{
    store::createMainTable(c, "REMESSA_DESFAZER");
    store::createMainTable(c, "REMESSA_DESFAZER_LINHAS");
}

bool existe(db::Connection& c, const char* table)
{
    return db::Statement(c, "SELECT 1 FROM main.sqlite_master WHERE type = 'table' AND name = ?",
                         kRegistro)
        .bind({QString::fromLatin1(table)})
        .found();
}

// The fields of a table as the one table definition names them.
QStringList campos(const char* fileName)
{
    QStringList out;
    for (const store::FieldSpec& f : tables::find(fileName)->fields)
        out << QString::fromStdString(f.name);
    return out;
}

// Imports recorded for a month so far (the record of imported files may not exist yet).
qint64 importacoes(db::Connection& c, const QDate& mes)
{
    if (!existe(c, "RETORNOS_IMPORTADOS")) return 0;
    db::Statement st(c, "SELECT count(*) FROM main.RETORNOS_IMPORTADOS WHERE MES = ? AND ANO = ?",
                     "RETORNOS_IMPORTADOS");
    return st.bind({mes.month(), mes.year()}).next() ? st.int64(0) : 0;
}

using desfazer::Cabecalho;

std::optional<Cabecalho> lerCabecalho(db::Connection& c)
{
    if (!existe(c, "REMESSA_DESFAZER")) return std::nullopt;
    db::Statement st(c, "SELECT REMESSA, ARQUIVO, DATA_DEBITO, IMPORTACOES, DESFEITA, DESTINO "
                        "FROM main.REMESSA_DESFAZER LIMIT 1", kRegistro);
    if (!st.next()) return std::nullopt;
    return Cabecalho{st.int64(0), st.text(1), QDate::fromString(st.text(2), Qt::ISODate),
                     st.int64(3), st.int64(4) != 0, st.text(5)};
}

db::Connection& tabelas()
{
    db::Connection& c = db::Session::instance().connectionFor("Tolmare");
    for (const char* f : {"PARAMETROS.DB", "DEBITO.DB", "RET_DEBITO.DB"})
        c.attach(QString::fromLatin1(f));
    return c;
}

double numeroAtual(db::Connection& c)
{
    db::Statement st(c, "SELECT EMP_NR_REM_PREVI FROM PARAMETROS.PARAMETROS ORDER BY "
                            + ordemDaChave("PARAMETROS.DB") + " LIMIT 1", "PARAMETROS.DB");
    return st.next() ? st.real(0) : -1;
}

// Why the remittance of `h` cannot be undone now; empty when it can.
QString recusa(db::Connection& c, const Cabecalho& h)
{
    if (h.desfeita) return desfazer::recusa(h.remessa, true, false, false, h.dataDebito);
    const bool voltou = db::Statement(c, "SELECT 1 FROM RET_DEBITO.RET_DEBITO WHERE "
                                         "DEB_REMESSA = ? AND DEB_DATA_RETORNO IS NOT NULL "
                                         "LIMIT 1", "RET_DEBITO.DB")
                            .bind({double(h.remessa)})
                            .found();
    return desfazer::recusa(h.remessa, false, numeroAtual(c) != double(h.remessa),
                            voltou || importacoes(c, h.dataDebito) > h.importacoes, h.dataDebito);
}

struct Recusa {
    QString message;
};

// Runs a change of the undo; a key the table refuses is a row put back that clashes with one
// added since. Returns the rows changed.
qint64 repor(db::Statement& st, const QString& qual)
{
    try {
        st.run();
    } catch (const db::EngineError& e) {
        if (e.fault() == db::EngineFault::KeyViolation)
            throw Recusa{qual + desfazer::kDebitoDeNovo};
        throw;
    }
    return st.changes();
}

QString marcas(qsizetype n) { return QStringList(n, "?").join(", "); }

// The columns O1..On (or N1..Nn) of the record.
QString colunas(char prefix, qsizetype n)
{
    QStringList out;
    for (int i = 1; i <= n; ++i) out << QString("%1%2").arg(prefix).arg(i);
    return out.join(", ");
}

// Puts back what the record kept: the remittance number, each debit re-dated (still as the
// remittance left it) and each debit deleted, and the RET_DEBITO rows of the debit date as
// they were.
void reporLinhas(db::Connection& c, const Cabecalho& h, const QString& qual)
{
    const QStringList deb = campos("DEBITO.DB"), ret = campos("RET_DEBITO.DB");
    const QString date = h.dataDebito.toString(Qt::ISODate);
    // Columns of the record: SEQ, TABELA, OP, RID, O1, N1, O2, N2, ...
    auto oldCol = [](int i) { return 4 + 2 * i; };
    db::Statement log(c, "SELECT * FROM main.REMESSA_DESFAZER_LINHAS ORDER BY SEQ", kRegistro);
    db::Statement numero(c, "UPDATE PARAMETROS.PARAMETROS SET EMP_NR_REM_PREVI = ? WHERE "
                            "rowid = ? AND EMP_NR_REM_PREVI IS ?", "PARAMETROS.DB");
    QStringList same;
    for (int i = 1; i < deb.size(); ++i) same << deb[i] + " IS ?";
    db::Statement redatado(c, "UPDATE DEBITO.DEBITO SET DEB_DATA = ? WHERE rowid = ? AND "
                              "DEB_DATA IS ? AND " + same.join(" AND "), "DEBITO.DB");
    db::Statement apagado(c, "INSERT INTO DEBITO.DEBITO (rowid, " + deb.join(", ") + ") VALUES ("
                                 + marcas(deb.size() + 1) + ")", "DEBITO.DB");
    db::Statement retorno(c, "INSERT INTO RET_DEBITO.RET_DEBITO (rowid, " + ret.join(", ")
                                 + ") VALUES (" + marcas(ret.size() + 1) + ")", "RET_DEBITO.DB");
    db::Statement limpar(c, "DELETE FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ?",
                         "RET_DEBITO.DB");
    repor(limpar.bind({date}), qual);
    while (log.next()) {
        const QString table = log.text(1);
        const QByteArrayView op = log.bytes(2);
        const qint64 rid = log.int64(3);
        if (table == "PARAMETROS") {
            numero.reset().bindColumn(1, log, oldCol(0)).bindInt(2, rid)
                .bindColumn(3, log, oldCol(0) + 1);
            if (repor(numero, qual) != 1) throw Recusa{qual + desfazer::kNumeroMudou};
        } else if (table == "DEBITO" && op == "U") {
            redatado.reset().bindColumn(1, log, oldCol(0)).bindInt(2, rid)
                .bindColumn(3, log, oldCol(0) + 1);
            for (int i = 1; i < deb.size(); ++i) redatado.bindColumn(i + 3, log, oldCol(i));
            if (repor(redatado, qual) != 1) throw Recusa{qual + desfazer::kDebitoAlterado};
        } else {
            db::Statement& put = table == "DEBITO" ? apagado : retorno;
            const qsizetype n = table == "DEBITO" ? deb.size() : ret.size();
            put.reset().bindInt(1, rid);
            for (int i = 0; i < n; ++i) put.bindColumn(i + 2, log, oldCol(i));
            repor(put, qual);
        }
    }
}

constexpr int kWaitForOther = 3000;  // ms

}  // namespace

GravacaoDesfazer::GravacaoDesfazer(db::Connection& c, qint64 remessa, const QString& arquivo,
                                   const QDate& debitDate)
    : c_(c), data_(debitDate.toString(Qt::ISODate))
{
    if (const QString left = concluirDesfazimento(c); !left.isEmpty())
        throw db::EngineError(left);
    criar(c);
    c.exec("DELETE FROM main.REMESSA_DESFAZER_LINHAS; DELETE FROM main.REMESSA_DESFAZER");
    db::Statement(c, "INSERT INTO main.REMESSA_DESFAZER (REMESSA, ARQUIVO, DATA_DEBITO, "
                     "GERADA_EM, IMPORTACOES) VALUES (?, ?, ?, ?, ?)", kRegistro)
        .bind({remessa, arquivo, data_, QDateTime::currentDateTime().toString(Qt::ISODate),
               importacoes(c, debitDate)})
        .run();
    // The RET_DEBITO rows of the debit date, where every row the remittance writes lies, and
    // the remittance number with the one it becomes.
    const QStringList ret = campos("RET_DEBITO.DB");
    db::Statement(c, "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, "
                         + colunas('O', ret.size()) + ") SELECT 'RET_DEBITO', 'S', rowid, "
                         + ret.join(", ") + " FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ?",
                  kRegistro)
        .bind({data_})
        .run();
    db::Statement(c, "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, O1, N1) SELECT "
                     "'PARAMETROS', 'U', rowid, EMP_NR_REM_PREVI, ? FROM PARAMETROS.PARAMETROS "
                     "ORDER BY " + ordemDaChave("PARAMETROS.DB") + " LIMIT 1", kRegistro)
        .bind({double(remessa)})
        .run();
}

void GravacaoDesfazer::guardarDebitos()
{
    // A re-dated debit keeps, beside what it was, the date it gets (checked by the undo).
    const QStringList deb = campos("DEBITO.DB");
    db::Statement(c_, "INSERT INTO main.REMESSA_DESFAZER_LINHAS (TABELA, OP, RID, N1, "
                          + colunas('O', deb.size()) + ") SELECT 'DEBITO', p.OP, d.rowid, "
                          "CASE p.OP WHEN 'U' THEN ? END, d." + deb.join(", d.") + " FROM "
                          + kPasso + " p JOIN DEBITO.DEBITO d ON d.rowid = p.RID ORDER BY p.RID",
                  kRegistro)
        .bind({data_})
        .run();
}

QString concluirDesfazimento(db::Connection& c)
{
    const std::optional<Cabecalho> h = lerCabecalho(c);
    if (!h || !h->desfeita) return {};
    if (const QString why = desfazer::renomear(h->remessa, h->arquivo, h->destino); !why.isEmpty())
        return why;
    c.exec("DELETE FROM main.REMESSA_DESFAZER");
    return {};
}

std::optional<UltimaRemessa> ultimaRemessa()
{
    db::Connection& c = tabelas();
    const std::optional<Cabecalho> h = lerCabecalho(c);
    if (!h || h->desfeita) return std::nullopt;
    return UltimaRemessa{h->remessa, h->arquivo, h->dataDebito, recusa(c, *h)};
}

ResultadoDesfazer desfazerUltimaRemessa()
{
    using Kind = ResultadoDesfazer::Kind;
    const QString& nada = desfazer::kNadaAlterado;
    db::Connection* conn = nullptr;
    try {
        db::Connection& c = tabelas();
        conn = &c;
        QLockFile lock(QDir(c.folder()).filePath(".tolmare-remessa.lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(kWaitForOther))
            return {Kind::Failed, "As tabelas estão em uso por outro programa (uma remessa em "
                                  "andamento). Tente de novo quando ele terminar." + nada};
        if (const QStringList left = concluirPendentes(c); !left.isEmpty())
            return {Kind::Failed, left.join("\n")};
        if (const QString left = concluirDesfazimento(c); !left.isEmpty())
            return {Kind::Failed, left};

        db::Transaction tx(c);
        const std::optional<Cabecalho> h = lerCabecalho(c);
        if (!h) return {Kind::Refused, desfazer::kSemRemessa};
        if (const QString why = recusa(c, *h); !why.isEmpty()) return {Kind::Refused, why + nada};
        reporLinhas(c, *h, desfazer::naoPode(h->remessa));
        const QString destino = desfazer::destinoLivre(h->arquivo);
        db::Statement(c, "UPDATE main.REMESSA_DESFAZER SET DESFEITA = 1, DESTINO = ?", kRegistro)
            .bind({destino})
            .run();
        c.exec("DELETE FROM main.REMESSA_DESFAZER_LINHAS");
        historico::registrar(
            c, "Remessa",
            desfazer::linhaDoHistorico(h->remessa, h->dataDebito, h->arquivo, destino));
        tx.commit();
        c.bump();
        const QString left = concluirDesfazimento(c);
        const QString message = desfazer::feito(h->remessa, h->dataDebito, h->arquivo, destino);
        if (!left.isEmpty()) return {Kind::Failed, message + "\n" + left};
        return {Kind::Done, message};
    } catch (const Recusa& r) {
        if (conn) conn->bump();
        return {Kind::Refused, r.message + nada};
    } catch (const db::EngineError& e) {
        if (conn) conn->bump();
        return {Kind::Failed, e.message() + nada};
    }
}

namespace desfazer {

const QString kNadaAlterado = "\nNada foi alterado.";
const QString kSemRemessa =
    "Não há remessa a desfazer: a última remessa gerada não foi "
    "registrada para ser desfeita.";

const QString kNumeroMudou = "o número da remessa mudou depois dela.";
const QString kDebitoAlterado =
    "um débito que ela levou à data de débito foi alterado ou excluído depois.";
const QString kDebitoDeNovo = "um débito excluído por ela foi cadastrado de novo depois.";

QString naoPode(qint64 remessa)
{
    return "A remessa " + QString::number(remessa) + " não pode ser desfeita: ";
}

QString recusa(qint64 remessa, bool desfeita, bool numeroMudou, bool voltou,
               const QDate& dataDebito)
{
    if (desfeita) return "A remessa " + QString::number(remessa) + " já foi desfeita.";
    if (numeroMudou)
        return naoPode(remessa)
               + "o número da remessa nos parâmetros da empresa mudou depois dela.";
    if (voltou)
        return naoPode(remessa) + "já foi importado um retorno para ela ("
               + dataDebito.toString("MM/yyyy") + ").";
    return {};
}

QString destinoLivre(const QString& arquivo)
{
    QString destino = arquivo + ".desfeita";
    for (int n = 2; QFileInfo::exists(destino) || QFileInfo(destino).isSymLink(); ++n)
        destino = arquivo + ".desfeita." + QString::number(n);
    return destino;
}

QString linhaDoHistorico(qint64 remessa, const QDate& dataDebito, const QString& arquivo,
                         const QString& destino)
{
    return QString("remessa %1 de %2 desfeita: arquivo %3 renomeado para %4")
        .arg(remessa)
        .arg(dataDebito.toString("dd/MM/yyyy"), arquivo, destino);
}

QString feito(qint64 remessa, const QDate& dataDebito, const QString& arquivo,
              const QString& destino)
{
    QString message = "A remessa " + QString::number(remessa) + " de "
                      + dataDebito.toString("dd/MM/yyyy") + " foi desfeita: os débitos, os "
                      "retornos e o número da remessa voltaram ao que eram antes dela.";
    if (QFileInfo::exists(destino))
        message += "\nO arquivo " + arquivo + " foi renomeado para " + destino + ".";
    return message;
}

QString renomear(qint64 remessa, const QString& arquivo, const QString& destino)
{
    if (QFileInfo::exists(arquivo) && !QFileInfo::exists(destino)
        && !QFile::rename(arquivo, destino))
        return "A remessa " + QString::number(remessa) + " foi desfeita, mas o arquivo " + arquivo
               + " não pôde ser renomeado para " + destino + ": verifique a pasta.";
    return {};
}

}  // namespace desfazer

}  // namespace remessa
