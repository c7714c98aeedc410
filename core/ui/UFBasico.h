// The base window of the program's windows: the creation step that gives the current user
// its default, the navigator key control and the text helpers. Before it is first shown, its
// pixel layout is scaled from the design font to its font (components::scaleToFont) and every
// control gets its label's text as accessible name (ui::nomearControles).
#pragma once

#include "core/TextHelpers.h"

#include <QDialog>

namespace components { class DBNavigator; }
namespace db { class Table; }

class TFBasico : public QDialog {
    Q_OBJECT
public:
    explicit TFBasico(QWidget* parent = nullptr);
    ~TFBasico() override;

    // The navigator keys: Insert; Ctrl+Delete and Ctrl+S (then the table's save-changes
    // request); Shift+Esc; Ctrl+Home; Ctrl+End; Page Up; Page Down. A handled key becomes 0.
    void Controla_Davegador(db::Table* table, components::DBNavigator* nav,
                            Qt::KeyboardModifiers shift, int& key);

    QString Padlzero(const QString& text, int length) const { return ::Padlzero(text, length); }
    QString RetirarMascara(const QString& t, const QString& r) const { return ::RetirarMascara(t, r); }
    QString FormataValor(Currency value) const { return ::FormataValor(value); }
    QString FormataData(const QDate& d) const { return ::FormataData(d); }
    QString CalculaDigitoVerificador(const QString& c) const { return ::CalculaDigitoVerificador(c); }

    void FormCreate();
    void setVisible(bool visible) override;

protected:
    // The window sees every key before its controls: a derived window handles it here and sets
    // `key` to 0 to keep it from the control.
    virtual void FormKeyDown(int& key, Qt::KeyboardModifiers shift);
    bool eventFilter(QObject* watched, QEvent* event) override;
};
