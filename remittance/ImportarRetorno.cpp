#include "remittance/ImportarRetorno.h"

#include "core/Historico.h"
#include "core/UVariaveis.h"
#include "core/dm/UDMRet_Debito.h"
#include "core/engine/Connection.h"
#include "core/engine/EngineError.h"
#include "core/engine/Statement.h"
#include "remittance/MemberIndex.h"
#include "remittance/OrdemChave.h"
#include "remittance/ResumoRetorno.h"
#include "remittance/RetornosImportados.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace retorno {

namespace {

// A blank of the code page: tab to carriage return, space, no-break space.
bool blank(char c)
{
    return (c >= 9 && c <= 13) || c == ' ' || c == '\xA0';
}

// The member of a line: by enrolment number, by account, by name; -1 when none.
qint64 findMember(MemberIndex& members, const Linha& l)
{
    char digits[24];
    const auto end = std::to_chars(std::begin(digits), std::end(digits), l.numero).ptr;
    const std::string_view n(digits, size_t(end - digits));
    qint64 id = members.find(MemberIndex::Matricula, n);
    if (id < 0) id = members.find(MemberIndex::Conta, n);
    if (id < 0) {
        const QByteArray utf8 = nomeDeBusca(l);
        id = members.find(MemberIndex::Nome, std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    return id;
}

const QString kRetDebito = "RET_DEBITO.DB";

// A value of the key of RET_DEBITO: a number, or empty (NULL).
using Valor = std::optional<double>;

// A RET_DEBITO row of the month, by its primary key (empty values first).
struct RetRow {
    qint64 member, rowid;
    std::string date, returned;  // as stored (ISO dates); empty when empty
    Valor remessa, valor;
};

int compareKey(const Valor& a, const Valor& b)
{
    if (!a || !b) return bool(a) == bool(b) ? 0 : (a ? 1 : -1);
    return *a < *b ? -1 : (*a > *b ? 1 : 0);
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

// A line whose change the table refuses (a repeated key): it is passed over.
struct LinhaRecusada {};

// The outcome of each line on the member's RET_DEBITO rows of the month, looked up line by
// line through the index Si_Data_Associado: the dates of the month that the table holds are
// read once (a month holds few), and a member's rows are found by a seek per date, in key
// order, so memory does not grow with the file. The first row of a member is the first in
// primary key order: that of its earliest date, first in the index's order within it.
class MonthRows {
public:
    MonthRows(db::Connection& c, const QDate& first, const QDate& last, const QDate& today)
        : today_(today.toString(Qt::ISODate).toStdString()),
          first_(first.toString(Qt::ISODate).toStdString()),
          rows_(c, "SELECT rowid, DEB_DATA, DEB_DATA_RETORNO, DEB_REMESSA, DEB_VALOR FROM "
                   "RET_DEBITO.RET_DEBITO WHERE DEB_DATA = ? AND DEB_ASS_ID = ? ORDER BY "
                       + remessa::ordemDaChave("RET_DEBITO.DB", "Si_Data_Associado"), kRetDebito),
          update_(c, "UPDATE RET_DEBITO.RET_DEBITO SET DEB_OCORRENCIA = ?, DEB_DATA_RETORNO = ? "
                     "WHERE rowid = ?", kRetDebito),
          again_(c, "UPDATE RET_DEBITO.RET_DEBITO SET DEB_OCORRENCIA = ?1 WHERE rowid = ?2 AND "
                    "CAST(DEB_OCORRENCIA AS BLOB) IS NOT CAST(?1 AS BLOB)", kRetDebito),
          insert_(c, "INSERT INTO RET_DEBITO.RET_DEBITO (DEB_DATA, DEB_DATA_RETORNO, "
                     "DEB_OCORRENCIA, DEB_ASS_ID, DEB_REMESSA, DEB_DTA_CAD, DEB_USR_ID) "
                     "VALUES (?, ?, ?, ?, 0, ?, ?)", kRetDebito)
    {
        // Each date is one seek in the index, from the one before: the month's rows are not read.
        db::Statement from(c, "SELECT DEB_DATA FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA >= ? "
                              "AND DEB_DATA <= ? ORDER BY DEB_DATA LIMIT 1", kRetDebito),
            after(c, "SELECT DEB_DATA FROM RET_DEBITO.RET_DEBITO WHERE DEB_DATA > ? AND "
                     "DEB_DATA <= ? ORDER BY DEB_DATA LIMIT 1", kRetDebito);
        from.bind({first, last});
        if (from.next()) dates_.push_back(text(from, 0));
        after.bind({QString(), last});
        while (!dates_.empty()) {
            const std::string& previous = dates_.back();
            after.reset().bindText(1, QByteArrayView(previous.data(), qsizetype(previous.size())));
            if (!after.next()) break;
            dates_.push_back(text(after, 0));
        }
        update_.bindText(2, today_);
        insert_.bindText(1, first_).bindText(2, today_).bindText(5, today_)
            .bindInt(6, UsuarioAtual);
    }

    // Records the outcome `reason` (UTF-8; empty when the debit was paid) of `member`.
    void record(qint64 member, const QByteArray& reason)
    {
        for (const std::string& date : dates_) {
            rows_.reset().bindText(1, QByteArrayView(date.data(), qsizetype(date.size())))
                .bindReal(2, double(member));
            if (!rows_.next()) continue;
            // The first row gets the return date; another row of the member and date with the
            // key it then has would repeat the key.
            RetRow changed = row(member);
            const bool returned = changed.returned == today_;
            changed.returned = today_;
            while (rows_.next())
                if (compareRows(row(member), changed) == 0) throw LinhaRecusada();
            if (returned) {
                // Returned today already (an earlier line, or the file imported again): only
                // the reason can differ, and a row that holds it is not rewritten.
                bindText(again_.reset(), 1, reason);
                step(again_.bindInt(2, changed.rowid));
                return;
            }
            bindText(update_.reset(), 1, reason);
            step(update_.bindInt(3, changed.rowid));
            return;
        }
        bindText(insert_.reset(), 3, reason);
        step(insert_.bindReal(4, double(member)));
        // The rows this import adds lie on the first of the month, the earliest date.
        if (dates_.empty() || dates_.front() != first_) dates_.insert(dates_.begin(), first_);
    }

private:
    RetRow row(qint64 member) const
    {
        return RetRow{member, rows_.int64(0), text(rows_, 1), text(rows_, 2), value(rows_, 3),
                      value(rows_, 4)};
    }
    static std::string text(const db::Statement& st, int col)
    {
        const QByteArrayView t = st.bytes(col);
        return std::string(t.data() ? t.data() : "", size_t(t.size()));
    }
    static Valor value(const db::Statement& st, int col)
    {
        return st.isNull(col) ? Valor() : Valor(st.real(col));
    }
    // Binds the text, or NULL when it is empty.
    static void bindText(db::Statement& st, int i, const QByteArray& t)
    {
        if (t.isEmpty()) st.bindNull(i);
        else st.bindText(i, t);
    }
    // A key the table refuses passes the line over; any other failure stops the import.
    static void step(db::Statement& st)
    {
        try {
            st.run();
        } catch (const db::EngineError& e) {
            if (e.fault() == db::EngineFault::KeyViolation) throw LinhaRecusada();
            throw;
        }
    }

    const std::string today_, first_;
    std::vector<std::string> dates_;  // of the month's rows, in order
    db::Statement rows_, update_, again_, insert_;
};

// A file that cannot be read to its end, or that is no return file: the import stops,
// nothing changed.
struct ErroDeLeitura {
    QString message;
};

// The lines of the file, in one transaction that commits only when all were read. Throws
// db::EngineError when the table fails, ErroDeLeitura when the file does.
bool importarLinhas(db::Connection& conn, QFile& file, const QDate& first, const QDate& last,
                    const QDate& today, const Progress& progress, bool reimportar, Resumo& resumo)
{
    db::Transaction tx(conn);
    MemberIndex members(conn);
    MonthRows monthRows(conn, first, last, today);
    bool matched = false;
    QCryptographicHash impressao(kAlgoritmoImpressao);
    LinhasDoRetorno linhas(file, impressao, progress);
    Motivo motivo;
    Linha l;
    while (linhas.next(l)) {
        const qint64 member = findMember(members, l);
        try {
            if (member >= 0) {
                monthRows.record(member, motivo.utf8(l.motivo));
                matched = true;
            }
        } catch (const LinhaRecusada&) {
            continue;  // the line is passed over
        }
        resumo.linha(l, member >= 0);
    }
    if (linhas.error()) throw ErroDeLeitura{erroDeLeitura(file.fileName(), file.errorString())};
    if (linhas.membros() == 0) throw ErroDeLeitura{semLinhaDeAssociado(file.fileName())};
    resumo.fim();
    // The file counts as imported, and the import as done, with the outcomes themselves.
    const QByteArray digital = textoImpressao(impressao);
    if (!reimportar)
        if (const auto anterior = importacaoAnterior(conn, digital, file.fileName()))
            throw JaImportado{*anterior};
    registrarImportacao(conn, digital, file.fileName(), first.month(), first.year(), today,
                        linhas.lidas());
    historico::registrar(conn, "Retorno",
                         detalheImportacao(file.fileName(), first, linhas.lidas(),
                                           resumo.importadas(), resumo.naoEncontradas()));
    tx.commit();
    return matched;
}

}  // namespace

bool lerLinha(QByteArrayView line, Linha& out)
{
    const QByteArrayView used = line.first(std::min<qsizetype>(line.size(), 90));
    QByteArrayView number = used.first(std::min<qsizetype>(used.size(), 15));
    while (!number.isEmpty() && blank(number.front())) number = number.sliced(1);
    while (!number.isEmpty() && blank(number.back())) number.chop(1);
    if (number.isEmpty()) return false;
    qint64 n = 0;
    for (const char c : number) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');  // at most 15 digits
    }
    out.numero = n;
    out.nome = used.size() > 15 ? used.sliced(15, std::min<qsizetype>(used.size() - 15, 45))
                                : QByteArrayView();
    out.motivo = used.size() > 60 ? used.sliced(60) : QByteArrayView();
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
                   const QDate& today, const Progress& progress, bool reimportar)
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
    conn.attach("RET_DEBITO.DB");
    conn.attach("ASSOCIADOS.DB");  // before the transaction, inside which no file is attached

    Resultado r;
    Resumo resumo(r.resumo, month, year);

    // One transaction for the whole file: a failure of the table or of the reading leaves
    // RET_DEBITO as it was and the file under its name.
    bool matched = false;
    try {
        matched = importarLinhas(conn, file, first, last, today, progress, reimportar, resumo);
    } catch (const ErroDeLeitura& e) {
        throw db::EngineError(e.message);
    } catch (const db::EngineError& e) {
        throw db::EngineError("Erro na tabela RET_DEBITO.DB (" + e.message() + "): verifique se "
                              "a pasta de dados permite gravação e se nenhum outro programa "
                              "a usa. Nada foi importado e o arquivo manteve o nome.",
                              e.fault());
    }
    file.close();
    conn.bump();
    // The month's range stays on the consultation's table.
    if (matched) {
        dm.TRet_Debito->cancelRange();
        dm.TRet_Debito->setRange({first}, {last});
    }

    r.novoNome = renomearImportado(path, month, year);
    return r;
}

}  // namespace retorno
