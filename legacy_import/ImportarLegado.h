// The one-time import of the legacy system's dBase tables: the retirees' and pensioners' groups
// of Recgrp.dbf into GRUPO, then the members of those groups in Reccli.dbf into ASSOCIADOS.
// Groups are matched by description and members by branch and account (or enrolment), so a
// second run adds only what the first did not.
#pragma once

#include "core/engine/Table.h"
#include "legacy_import/DbfTable.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>

namespace legado {

// Upper case of the letters a to z only ("Pensão" gives "PENSãO").
QString maiusculas(const QString& text);

// A legacy member's bank codes as this system keeps them.
struct Codigos {
    QString agencia;    // CalculaDigitoVerificador of AGENCIA
    QString conta;      // CalculaDigitoVerificador of CONTA
    QString matricula;  // the account's base digits (CONTA less its check digit)
};
Codigos codigos(const QString& agencia, const QString& conta);

enum class Fase { Grupos, Associados };
// Records read in the current phase, and the phase's record count.
using Progress = std::function<void(Fase fase, int position, int maximum)>;

struct Resultado {
    int gruposImportados = 0;      // posted to GRUPO (added or rewritten)
    int gruposIgnorados = 0;       // neither retirees nor pensioners
    int associadosImportados = 0;  // added to ASSOCIADOS
    int associadosIgnorados = 0;   // without a group, or already recorded
    QString erro;                  // why the import stopped; empty when it went to the end
};

class TImportacao {
public:
    // Opens GRUPO and ASSOCIADOS of the alias "Tolmare", then Recgrp.dbf and Reccli.dbf of the
    // folder `pastaImp` (empty: the folder of the alias "Imp"), with the fields the import
    // reads. Throws db::EngineError naming the table (and field) that cannot be opened.
    explicit TImportacao(const QString& pastaImp = {});
    ~TImportacao();

    // Runs the import. A record that fails stops it: the records before it stay written, the
    // failing one is absent, and `erro` names its file, number and field. Every record
    // counted in the result is on disk when this returns.
    Resultado executar(const Progress& progress = {},
                       const QDateTime& hoje = QDateTime::currentDateTime());

    // The GRP_ID for a legacy group code: that of the GRUPO row described as the code's first
    // Recgrp.dbf record (upper case); -1 when there is none.
    qint64 Obter_Grupo(const QByteArray& codigo);

    db::Table TGrupos;
    db::Table TAssociados;
    DbfTable TGrupos_OR;
    DbfTable TAssociados_OR;

private:
    class Escrita;
    class Chaves;
    void importarGrupos(Resultado& r, const Progress& progress, const QDateTime& hoje);
    void importarAssociados(Resultado& r, const Progress& progress, const QDateTime& hoje);
    QString texto(const DbfTable& t, int record, int field) const;
    QString descricao(int record) const;  // DESCRI of a legacy group as GRP_DESCRICAO keeps it

    struct CamposGrupo { int grupo, descri; } grp_{};
    struct CamposAssociado { int grupo, agencia, conta, nome, ie; } ass_{};
    std::unique_ptr<Escrita> escrita_;
    std::unique_ptr<Chaves> chaves_;
    QHash<QByteArray, int> primeiroGrupo_;  // legacy code -> its first live record
    QHash<QByteArray, qint64> grupos_;      // Obter_Grupo's answers
    bool gruposLidos_ = false;
};

}  // namespace legado
