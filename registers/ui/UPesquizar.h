// What the two member search dialogs share: the title, the three tabs with their edits, the
// grid over the search table, "&Cancelar" and "&OK", and the search as the operator types
// (registers::MemberSearch). The variants say what OK and Cancel do.
#pragma once

#include "core/ui/UFBasico.h"
#include "registers/MemberSearch.h"

#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
namespace components { class DBGrid; }
namespace db { class DataSource; }

class TFPesquizar : public TFBasico {
    Q_OBJECT
public:
    // `source` is the search table's data source in the opening window's data module.
    TFPesquizar(db::DataSource* source, QWidget* parent);

    QLabel* Label1;  // "Pesquizar por:"
    QTabWidget* PageControl1;
    QLineEdit* Edt_Nome;
    QLineEdit* Edt_Conta_Corrente;
    QLineEdit* Edt_Identificador;
    components::DBGrid* DBGrid1;
    QFrame* Panel2;
    QPushButton* SpeedButton2;  // "&Cancelar"
    QPushButton* Btn_OK;        // "&OK"

    // The tab change: the search table's index follows the tab, the focus its edit.
    void PageControl1Change();
    // Typing in a tab's edit: the nearest-key search, errors shown with the position kept.
    void EdtChange(QLineEdit* edit);
    virtual void Btn_OKClick() = 0;
    virtual void SpeedButton2Click() = 0;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Runs `work`, showing an engine error instead; true when it succeeded.
    bool guarded(const std::function<void()>& work);

    std::optional<registers::MemberSearch> search_;
};
