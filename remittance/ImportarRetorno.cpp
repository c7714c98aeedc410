#include "remittance/ImportarRetorno.h"

#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/SqlValue.h"
#include "core/Cp1252.h"
#include "remittance/MemberIndex.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <memory>

namespace retorno {

namespace {

constexpr qint64 kLineLimit = 4096;

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

bool keyLess(const RetRow& a, const RetRow& b)
{
    // DEB_DATA, DEB_DATA_RETORNO, (DEB_ASS_ID equal), DEB_REMESSA, DEB_VALOR, rowid.
    if (a.date != b.date) return a.date < b.date;
    if (a.returned != b.returned) return a.returned < b.returned;
    if (int c = compareKey(a.remessa, b.remessa)) return c < 0;
    if (int c = compareKey(a.valor, b.valor)) return c < 0;
    return a.rowid < b.rowid;
}

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
        while (sqlite3_step(st.get()) == SQLITE_ROW) {
            const qint64 member = qint64(sqlite3_column_double(st.get(), 1));
            rows_[member] << RetRow{sqlite3_column_int64(st.get(), 0), text(st.get(), 2),
                                    text(st.get(), 3), value(st.get(), 4), value(st.get(), 5)};
        }
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
                if (r.rowid != changed.rowid && !keyLess(r, changed) && !keyLess(changed, r))
                    throw db::EngineError("Key violation.\nTable: RET_DEBITO.DB");
            run(*update_, {reason, today_, changed.rowid});
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
        if (sqlite3_step(st.get()) != SQLITE_DONE) db::throwSqlite(c_.handle(), "RET_DEBITO.DB");
    }

    db::Connection& c_;
    QString today_, first_;
    QHash<qint64, QVector<RetRow>> rows_;
    std::unique_ptr<db::StmtGuard> update_, insert_;
};

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

Resultado importar(TDMRet_Debito& dm, const QString& path, int month, int year,
                   const QDate& today, const Progress& progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw db::EngineError(QString("Não foi possível abrir o arquivo %1: %2")
                                  .arg(path, file.errorString()));
    const qint64 size = file.size();
    if (progress) progress(0, size);

    if (!dm.TAssociados->active()) dm.TAssociados->open();
    if (!dm.TRet_Debito->active()) dm.TRet_Debito->open();
    dm.TAssociados->setIndexFieldNames("ASS_CONTA_CORRENTE");
    db::Connection& conn = *dm.TRet_Debito->connection();
    const MemberIndex members(conn);

    const QString m = QString::number(month), y = QString::number(year);
    Resultado r;
    r.resumo << "IMPORTANTO ARQUIVO DE RETORNO" << "MÊS: " + m + " Ano: " + y << "";
    const QDate first(year, month, 1);
    const QDate last = first.isValid() ? QDate(year, month, first.daysInMonth()) : QDate();

    // One transaction for the whole file; a row already recorded stays when reading fails.
    db::Transaction tx(conn);
    std::unique_ptr<MonthRows> monthRows;
    if (first.isValid()) monthRows = std::make_unique<MonthRows>(conn, first, last, today);
    bool matched = false;
    qint64 done = 0;
    try {
        while (!file.atEnd()) {
            // Only the first 90 positions count: a longer line is read in pieces and the rest
            // passed over, so that a file without line ends cannot fill the memory.
            QByteArray raw = file.readLine(kLineLimit);
            if (raw.isEmpty() && file.error() != QFileDevice::NoError)
                throw db::EngineError(
                    QString("Erro ao ler o arquivo %1: %2").arg(path, file.errorString()));
            qint64 length = raw.size();
            while (!raw.endsWith('\n') && !file.atEnd()) {
                const QByteArray rest = file.readLine(kLineLimit);
                if (rest.isEmpty()) break;
                length += rest.size();
                if (rest.endsWith('\n')) raw += "\n";
            }
            if (raw.endsWith('\n')) {
                raw.chop(1);
                --length;
            }
            if (raw.endsWith('\r')) {
                raw.chop(1);
                --length;
            }
            done += length;
            if (progress) progress(done, size);
            Linha l;
            try {
                if (!lerLinha(cp1252::decode(raw), l)) continue;
                const qint64 member = findMember(members, l);
                if (member >= 0) {
                    // A month that does not exist fails every found line.
                    if (!monthRows) throw db::EngineError("Invalid month for the return");
                    const QString reason = withoutTrailingBlanks(l.motivo);
                    monthRows->record(member, reason.isEmpty() ? QVariant() : QVariant(reason));
                    matched = true;
                }
                QStringList lines{"", member >= 0 ? "RETORNO IMPORTADO"
                                                   : "ERRO: ASSOCIADO NÃO ENCOTRADO NA BASE DE DADOS",
                                  "     NOME: " + l.nome,
                                  "     MATRICULA: " + QString::number(l.numero)};
                if (!l.motivo.trimmed().isEmpty()) lines << "     MOTIVO: " + l.motivo;
                r.resumo << lines;
            } catch (const db::EngineError&) {
                // The line is passed over.
            }
        }
    } catch (...) {
        tx.commit();
        throw;
    }
    file.close();
    tx.commit();
    conn.bump();
    // The month's range stays on the consultation's table.
    if (matched) {
        dm.TRet_Debito->cancelRange();
        dm.TRet_Debito->setRange({first}, {last});
    }

    const QFileInfo info(path);
    const QString target = info.dir().filePath("Retorno_" + info.fileName().left(1) + "_" + m
                                               + "-" + y + ".imp");
    if (QFile::rename(path, target)) r.novoNome = target;
    return r;
}

}  // namespace retorno
