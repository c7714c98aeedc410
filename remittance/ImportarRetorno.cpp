#include "remittance/ImportarRetorno.h"

#include "core/Historico.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "core/Cp1252.h"
#include "remittance/LeitorLinhas.h"
#include "remittance/MemberIndex.h"
#include "remittance/RetornosImportados.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <memory>

namespace retorno {

namespace {

QString withoutTrailingBlanks(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == ' ') --n;
    return s.left(n);
}

// The member of a line: by enrolment number, by account, by name; -1 when none.
qint64 findMember(const MemberIndex& members, const Linha& l)
{
    const QString n = QString::number(l.numero);
    qint64 id = members.find(MemberIndex::Matricula, n);
    if (id < 0) id = members.find(MemberIndex::Conta, n);
    if (id < 0) id = members.find(MemberIndex::Nome, withoutTrailingBlanks(l.nome.toUpper()));
    return id;
}

// A RET_DEBITO row of the month, by its primary key (empty values first).
struct RetRow {
    qint64 rowid;
    QString date, returned;  // ISO dates; empty when empty
    QVariant remessa, valor;
};

int compareKey(const QVariant& a, const QVariant& b)
{
    const bool na = !a.isValid() || a.isNull(), nb = !b.isValid() || b.isNull();
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    const double x = a.toDouble(), y = b.toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The primary key order: DEB_DATA, DEB_DATA_RETORNO, (DEB_ASS_ID equal), DEB_REMESSA,
// DEB_VALOR; 0 when the keys are equal (empty parts equal too).
int compareRows(const RetRow& a, const RetRow& b)
{
    if (a.date != b.date) return a.date < b.date ? -1 : 1;
    if (a.returned != b.returned) return a.returned < b.returned ? -1 : 1;
    if (int c = compareKey(a.remessa, b.remessa)) return c;
    return compareKey(a.valor, b.valor);
}

bool keyLess(const RetRow& a, const RetRow& b)
{
    const int c = compareRows(a, b);
    return c != 0 ? c < 0 : a.rowid < b.rowid;  // rows of equal keys follow their rowid
}

// A line whose change the table refuses (a repeated key): it is passed over.
struct LinhaRecusada {};

// The month's RET_DEBITO rows by member, read once; the outcome of each line is written by
// rowid. The first row of a member is the first in primary key order, as the table's order
// would give it.
class MonthRows {
public:
    MonthRows(db::Connection& c, const QDate& first, const QDate& last, const QDate& today)
        : c_(c), today_(today.toString(Qt::ISODate)), first_(first.toString(Qt::ISODate))
    {
        c.attach("RET_DEBITO.DB");
        db::StmtGuard st(db::prepare(c.handle(),
            "SELECT rowid, DEB_ASS_ID, DEB_DATA, DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR "
            "FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA >= ? AND DEB_DATA <= ?", "RET_DEBITO.DB"));
        db::bindAll(st.get(), {first, last});
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const qint64 member = qint64(sqlite3_column_double(st.get(), 1));
            rows_[member] << RetRow{sqlite3_column_int64(st.get(), 0), text(st.get(), 2),
                                    text(st.get(), 3), value(st.get(), 4), value(st.get(), 5)};
        }
        if (rc != SQLITE_DONE) db::throwSqlite(c.handle(), "RET_DEBITO.DB");
        update_.reset(new db::StmtGuard(db::prepare(c.handle(),
            "UPDATE RET_DEBITO.RET_DEBITO SET DEB_OCORRENCIA = ?, DEB_DATA_RETORNO = ? "
            "WHERE rowid = ?")));
        insert_.reset(new db::StmtGuard(db::prepare(c.handle(),
            "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, DEB_OCORRENCIA, "
            "DEB_ASS_ID, DEB_REMESSA, DEB_DTA_CAD, DEB_USR_ID) VALUES (?, ?, ?, ?, 0, ?, ?)")));
    }

    void record(qint64 member, const QVariant& reason)
    {
        QVector<RetRow>& rows = rows_[member];
        if (!rows.isEmpty()) {
            RetRow* firstRow = &*std::min_element(rows.begin(), rows.end(), keyLess);
            RetRow changed = *firstRow;
            changed.returned = today_;
            for (const RetRow& r : rows)
                if (r.rowid != changed.rowid && compareRows(r, changed) == 0) throw LinhaRecusada();
            sqlite3_stmt* st = update_->get();
            sqlite3_reset(st);
            db::bindAll(st, {reason});
            sqlite3_bind_text(st, 2, todayUtf8_.constData(), int(todayUtf8_.size()), SQLITE_STATIC);
            sqlite3_bind_int64(st, 3, changed.rowid);
            step(st);
            *firstRow = changed;
        } else {
            run(*insert_, {first_, today_, reason, double(member), today_, qint64(UsuarioAtual)});
            rows << RetRow{sqlite3_last_insert_rowid(c_.handle()), first_, today_, 0.0, QVariant()};
        }
    }

private:
    static QString text(sqlite3_stmt* st, int col)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
        return p ? QString::fromUtf8(p) : QString();
    }
    static QVariant value(sqlite3_stmt* st, int col)
    {
        return sqlite3_column_type(st, col) == SQLITE_NULL ? QVariant()
                                                             : QVariant(sqlite3_column_double(st, col));
    }
    void run(db::StmtGuard& st, const QVector<QVariant>& params)
    {
        sqlite3_reset(st.get());
        db::bindAll(st.get(), params);
        step(st.get());
    }
    void step(sqlite3_stmt* st)
    {
        if (sqlite3_step(st) == SQLITE_DONE) return;
        if ((sqlite3_extended_errcode(c_.handle()) & 0xff) == SQLITE_CONSTRAINT)
            throw LinhaRecusada();
        db::throwSqlite(c_.handle(), "RET_DEBITO.DB");
    }

    db::Connection& c_;
    QString today_, first_;
    QByteArray todayUtf8_ = today_.toUtf8();
    QHash<qint64, QVector<RetRow>> rows_;
    std::unique_ptr<db::StmtGuard> update_, insert_;
};

// The texts of the summary, made once.
const QString kVazio("");  // the blank line between outcomes
const QString kImportado("RETORNO IMPORTADO");
const QString kNaoEncontrado("ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS");
const QString kNome("     NOME: ");
const QString kMatricula("     MATRICULA: ");
const QString kMotivo("     MOTIVO: ");

// A file that cannot be read to its end: the import stops, nothing changed.
struct ErroDeLeitura {
    QString message;
};

// The lines of the file, in one transaction that commits only when all were read. Throws
// db::EngineError when the table fails, ErroDeLeitura when the file does.
bool importarLinhas(db::Connection& conn, QFile& file, const QDate& first, const QDate& last,
                    const QDate& today, const MemberIndex& members, const Progress& progress,
                    QStringList& resumo, const QByteArray& impressao)
{
    qint64 lidas = 0, importadas = 0, naoEncontradas = 0;
    const qint64 size = file.size();
    db::Transaction tx(conn);
    MonthRows monthRows(conn, first, last, today);
    bool matched = false;
    qint64 done = 0;
    LeitorLinhas reader(file);
    QByteArray raw;
    qint64 length = 0;
    while (reader.next(raw, length)) {
        done += length;
        ++lidas;
        if (progress) progress(done, size);
        Linha l;
        if (!lerLinha(cp1252::decode(raw), l)) continue;
        const qint64 member = findMember(members, l);
        try {
            if (member >= 0) {
                const QString reason = withoutTrailingBlanks(l.motivo);
                monthRows.record(member, reason.isEmpty() ? QVariant() : QVariant(reason));
                matched = true;
            }
        } catch (const LinhaRecusada&) {
            continue;  // the line is passed over
        }
        ++(member >= 0 ? importadas : naoEncontradas);
        resumo << kVazio << (member >= 0 ? kImportado : kNaoEncontrado)
               << kNome + l.nome << kMatricula + QString::number(l.numero);
        if (!l.motivo.trimmed().isEmpty()) resumo << kMotivo + l.motivo;
    }
    if (reader.error())
        throw ErroDeLeitura{QString("Erro ao ler o arquivo %1: %2. Nada foi importado e o "
                                    "arquivo manteve o nome.")
                                .arg(file.fileName(), file.errorString())};
    // The file counts as imported, and the import as done, with the outcomes themselves.
    const QString mesAno = first.toString("MM/yyyy");
    registrarImportacao(conn, impressao, file.fileName(), first.month(), first.year(), today,
                        lidas);
    historico::registrar(conn, "Retorno",
                         QString("arquivo %1 para %2: %3 linha(s), %4 importada(s), %5 sem "
                                 "associado encontrado")
                             .arg(file.fileName(), mesAno).arg(lidas).arg(importadas)
                             .arg(naoEncontradas));
    tx.commit();
    return matched;
}

}  // namespace

bool lerLinha(const QString& line, Linha& out)
{
    const QString used = line.left(90);
    const QString number = used.left(15).trimmed();
    if (number.isEmpty()) return false;
    for (const QChar c : number)
        if (!c.isDigit() || c.unicode() > 127) return false;
    bool ok = false;
    out.numero = number.toLongLong(&ok);
    if (!ok) return false;
    out.nome = used.mid(15, 45);
    out.motivo = used.mid(60, 30);
    return true;
}

QString validarMesAno(const QString& monthText, const QString& yearText, int& month, int& year)
{
    const QString m = monthText.trimmed(), y = yearText.trimmed();
    if (m.isEmpty() && y.isEmpty())
        return "Informe o Mês / Ano do arquivo que você está importando.";
    auto digits = [](const QString& t) {
        for (const QChar c : t)
            if (c < '0' || c > '9') return false;
        return !t.isEmpty();
    };
    if (!digits(m) || m.size() > 2 || m.toInt() < 1 || m.toInt() > 12)
        return "Mês inválido: '" + m + "'. Informe o mês de 01 a 12 (MM/AAAA).";
    if (!digits(y) || y.size() != 4)
        return "Ano inválido: '" + y + "'. Informe o ano com quatro algarismos (MM/AAAA).";
    month = m.toInt();
    year = y.toInt();
    return {};
}

Resultado importar(TDMRet_Debito& dm, const QString& path, int month, int year,
                   const QDate& today, const Progress& progress)
{
    const QDate first(year, month, 1);
    if (month < 1 || month > 12 || year < 1000 || year > 9999 || !first.isValid())
        throw db::EngineError(QString("Mês / Ano inválido: %1/%2. Informe o mês de 01 a 12 e o "
                                      "ano com quatro algarismos (MM/AAAA).").arg(month).arg(year));
    const QDate last(year, month, first.daysInMonth());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw db::EngineError(QString("Não foi possível abrir o arquivo %1: %2")
                                  .arg(path, file.errorString()));
    if (progress) progress(0, file.size());

    if (!dm.TAssociados->active()) dm.TAssociados->open();
    if (!dm.TRet_Debito->active()) dm.TRet_Debito->open();
    dm.TAssociados->setIndexFieldNames("ASS_CONTA_CORRENTE");
    db::Connection& conn = *dm.TRet_Debito->connection();
    const MemberIndex members(conn);

    const QString m = QString::number(month), y = QString::number(year);
    Resultado r;
    r.resumo << "IMPORTANTO ARQUIVO DE RETORNO" << "MÊS: " + m + " Ano: " + y << "";

    // One transaction for the whole file: a failure of the table or of the reading leaves
    // RET_DEBITO as it was and the file under its name.
    bool matched = false;
    try {
        matched = importarLinhas(conn, file, first, last, today, members, progress, r.resumo,
                                 impressaoDigital(path));
    } catch (const ErroDeLeitura& e) {
        throw db::EngineError(e.message);
    } catch (const db::EngineError& e) {
        throw db::EngineError("Erro na tabela RET_DEBITO.DB (" + e.message() + "): verifique se "
                              "a pasta de dados permite gravação e se nenhum outro programa "
                              "a usa. Nada foi importado e o arquivo manteve o nome.");
    }
    file.close();
    conn.bump();
    // The month's range stays on the consultation's table.
    if (matched) {
        dm.TRet_Debito->cancelRange();
        dm.TRet_Debito->setRange({first}, {last});
    }

    const QFileInfo info(path);
    const QString target = info.dir().filePath("Retorno_" + info.fileName().left(1) + "_" + m
                                               + "-" + y + ".imp");
    if (!QFileInfo::exists(target) && QFile::rename(path, target)) r.novoNome = target;
    return r;
}

}  // namespace retorno
