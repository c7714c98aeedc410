// The debit list window TFDebito, "Digitação de Valores para Débito": the pending debits with
// their member and group in one of five orders, optionally for one group, and the buttons that
// enter, alter, delete, enter by group and print them.
#pragma once

#include "core/ui/UFBasico.h"

#include <QComboBox>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
namespace components { class DBGrid; }

// The group drop-down: tells when its list closes, whether or not an entry was chosen.
class GrupoComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void hidePopup() override;

Q_SIGNALS:
    void popupClosed();
};

class TFDebito : public TFBasico {
    Q_OBJECT
public:
    enum class Modo { Inserir, Alterar };

    explicit TFDebito(QWidget* parent = nullptr);
    ~TFDebito() override;

    QFrame* Panel1;
    QGroupBox* Radio_Orden;
    QButtonGroup* Radio_OrdenItems;
    QPushButton* SpeedButton1;
    QPushButton* Btn_Grupo;
    QPushButton* SpeedButton2;
    QPushButton* Btn_Inserir;
    QPushButton* Btn_Alterar;
    QPushButton* Btn_Agagar;
    QPushButton* Btn_Exportar;  // the list as it stands, to a spreadsheet
    QLabel* Label1;
    GrupoComboBox* DB_Grupo;
    components::DBGrid* DBGridDebito;

    // The chosen order item (0 to 4) and group (none: "<< Todos >>").
    int ordem() const;
    std::optional<qint64> grupo() const;

    void Radio_OrdenClick();
    void SpeedButton1Click();
    void Btn_AgagarClick();
    void Btn_InserirClick(Modo modo);
    void DBGridDebitoDblClick() { Btn_InserirClick(Modo::Alterar); }
    void Btn_GrupoClick();
    void SpeedButton2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void fillGroups();
    void showError(const QString& message);
    Modo modo_ = Modo::Inserir;
};

extern TFDebito* FDebito;

// Opens the module: data module, window shown modally; the window is freed first, then the
// data module.
void abrirDebito(QWidget* parent);
