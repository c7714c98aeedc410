#include "core/dm/UDMDebito.h"

#include <QDate>

TDMDebito* DMDebito = nullptr;

QStringList TDMDebito::baseStatement()
{
    return {"SELECT",
            "  DEB_ASS_ID",
            "  ,GRP_DESCRICAO",
            "  ,ASS_NOME",
            "  ,DEB_DATA",
            "  ,DEB_VALOR",
            "  ,ASS_IDENTIFICADOR",
            "  ,ASS_AGENCIA",
            "  ,ASS_CONTA_CORRENTE",
            "  ,ASS_MATRICULA",
            "FROM",
            "  GRUPO",
            "  ,ASSOCIADOS",
            "  ,DEBITO",
            "WHERE",
            "  ASS_ID         = DEB_ASS_ID",
            "  AND ASS_GRP_ID = GRP_ID",
            " "};
}

TDMDebito::TDMDebito(QObject* parent) : QObject(parent)
{
    setObjectName("DMDebito");
    TGrupos = dm::makeTable(this, "TGrupos", "GRUPO.DB");
    DsTGrupos = dm::makeSource(this, "DsTGrupos", TGrupos);

    TAssociados = dm::makeTable(this, "TAssociados", "ASSOCIADOS.db",
                                {"ASS_ID", "ASS_NOME", "ASS_GRP_ID", "ASS_AGENCIA",
                                 "ASS_CONTA_CORRENTE", "ASS_IDENTIFICADOR", "ASS_DTA_CAD",
                                 "ASS_USR_ID", "Nome_Grupo", "ASS_MATRICULA"});
    TAssociados->setIndexName("ID_ASSOCIADOS_NOME");
    TAssociados->addLookupField("Nome_Grupo", 50, "ASS_GRP_ID", TGrupos, "GRP_ID",
                                "GRP_DESCRICAO");
    DsTAssociados = dm::makeSource(this, "DsTAssociados", TAssociados);

    TDebito = dm::makeTable(this, "TDebito", "DEBITO.db",
                            {"DEB_DATA", "DEB_ASS_ID", "DEB_VALOR", "Nome_Associado",
                             "Agencia_Associadi", "Grupo_Associado", "CC_Associado",
                             "Indent_Associado", "DEB_DTA_CAD", "DEB_USR_ID"});
    TDebito->addLookupField("Nome_Associado", 60, "DEB_ASS_ID", TAssociados, "ASS_ID", "ASS_NOME");
    TDebito->addLookupField("Agencia_Associadi", 20, "DEB_ASS_ID", TAssociados, "ASS_ID",
                            "ASS_AGENCIA");
    TDebito->addLookupField("Grupo_Associado", 50, "DEB_ASS_ID", TAssociados, "ASS_ID",
                            "Nome_Grupo");
    TDebito->addLookupField("CC_Associado", 50, "DEB_ASS_ID", TAssociados, "ASS_ID",
                            "ASS_CONTA_CORRENTE");
    TDebito->addLookupField("Indent_Associado", 50, "DEB_ASS_ID", TAssociados, "ASS_ID",
                            "ASS_IDENTIFICADOR");
    TDebito->setFieldRequired("DEB_DTA_CAD", true);
    TDebito->setFieldRequired("DEB_USR_ID", true);
    TDebito->onNewRecord = [this](db::Dataset& ds) { TDebitoNewRecord(ds); };
    TDebito->afterPost = [this](db::Dataset& ds) { TDebitoAfterPost(ds); };
    TDebito->afterDelete = [this](db::Dataset& ds) { TDebitoAfterDelete(ds); };
    DsTDebito = dm::makeSource(this, "DsTDebito", TDebito);

    QDebito = new db::Query(this);
    QDebito->setObjectName("QDebito");
    QDebito->setDatabaseName("Tolmare");
    QDebito->setSql(baseStatement());
    DsQDebito = dm::makeSource(this, "DsQDebito", QDebito);

    TBusca_Associados = dm::makeTable(this, "TBusca_Associados", "ASSOCIADOS.db",
                                      {"ASS_NOME", "ASS_AGENCIA", "ASS_CONTA_CORRENTE",
                                       "ASS_IDENTIFICADOR", "ASS_GRP_ID", "Nome_Grupo", "ASS_ID",
                                       "ASS_DTA_CAD", "ASS_USR_ID"});
    TBusca_Associados->addLookupField("Nome_Grupo", 50, "ASS_GRP_ID", TGrupos, "GRP_ID",
                                      "GRP_DESCRICAO");
    DsTBusca_Associados = dm::makeSource(this, "DsTBusca_Associados", TBusca_Associados);
    DMDebito = this;
}

TDMDebito::~TDMDebito()
{
    if (DMDebito == this) DMDebito = nullptr;
}

void TDMDebito::TDebitoNewRecord(db::Dataset& ds)
{
    ds.fieldByName("DEB_DATA").setAsDate(QDate::currentDate());
    dm::stampNewRow(ds, "DEB_DTA_CAD", "DEB_USR_ID");
}

void TDMDebito::TDebitoAfterPost(db::Dataset&) { TDebito->flushBuffers(); }
void TDMDebito::TDebitoAfterDelete(db::Dataset&) { TDebito->flushBuffers(); }
