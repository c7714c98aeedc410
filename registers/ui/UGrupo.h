// The groups register "Cadastro de Grupos": the groups in description order, one at a time,
// with the record navigator and its keys.
#pragma once

#include "core/ui/UFBasico.h"

class QFrame;
class QPushButton;
namespace components { class DBEdit; class DBNavigator; }

class TFGrupo : public TFBasico {
    Q_OBJECT
public:
    explicit TFGrupo(QWidget* parent = nullptr);
    ~TFGrupo() override;

    QFrame* Panel1;
    QFrame* Panel2;
    components::DBEdit* DBEdit1;  // GRP_DESCRICAO
    components::DBEdit* DBEdit2;  // GRP_DTA_CAD, shown only
    components::DBNavigator* DBNavigator1;
    QPushButton* SpeedButton1;    // "&Fechar"

    void SpeedButton1Click() { close(); }

protected:
    void FormKeyDown(int& key, Qt::KeyboardModifiers shift) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

extern TFGrupo* FGrupo;

// Opens the module: DmGrupo, the window shown modally, both freed.
void abrirGrupo(QWidget* parent);
