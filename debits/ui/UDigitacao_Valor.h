// The debit entry window TFDigitacao_Valor, "Inserção / Alteração de débitos": one debit
// entered (the member chosen in the member search, then the value) or altered, on the data
// module's debit table.
#pragma once

#include "core/ui/UFBasico.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace components { class DBNavigator; }

class TFDigitacao_Valor : public TFBasico {
    Q_OBJECT
public:
    enum class Modo { Inserir, Alterar };

    explicit TFDigitacao_Valor(QWidget* parent = nullptr);
    ~TFDigitacao_Valor() override;

    // Chosen by the opener before showing: insert begins a new debit and opens the search;
    // alter shows the debit on which TDebito stands.
    void setModo(Modo m) { modo_ = m; }
    Modo modo() const { return modo_; }

    QLineEdit* Edt_Grupo;       // Grupo_Associado
    QLineEdit* Edt_Agencia;     // Agencia_Associadi
    QLineEdit* Edt_Conta;       // CC_Associado
    QLineEdit* Edt_Nome;        // Nome_Associado
    QLineEdit* Edt_Identif;     // Indent_Associado
    QLineEdit* Edt_Valor;       // DEB_VALOR, the only editable field
    QLineEdit* Edt_DtCad;       // DEB_DTA_CAD
    components::DBNavigator* Nav_Debito;
    QPushButton* Btn_Busca;
    QPushButton* SpeedButton1;

    // The member search (TFPesquizar_Cliente_Deb), then the focus in the value.
    void Btn_BuscaClick();

    // Replaces the member search dialog (tests: nothing waits for an operator); empty: the
    // dialog TFPesquizar_Cliente_Deb, shown modally.
    static std::function<void(TFDigitacao_Valor&)> abrirBusca;

protected:
    void showEvent(QShowEvent* event) override;
    void FormKeyDown(int& key, Qt::KeyboardModifiers shift) override;

public:
    // Closing: a debit still pending is never posted silently (see the .cpp).
    void done(int result) override;

private:
    void FormCreate();
    void FormClose();
    void showDebit();
    void valueEdited(const QString& text);
    bool settlePending();
    Modo modo_ = Modo::Inserir;
    bool showing_ = false;
    bool typing_ = false;  // the value edit is writing DEB_VALOR: it keeps its own text
};
