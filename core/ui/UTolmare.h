// The main window: a launcher with one button per module of the system. Each button creates
// its module's data module and window, shows the window modally and frees both.
#pragma once

#include "core/ui/UFBasico.h"

#include <QHash>

#include <functional>

class QPushButton;
class QFrame;
class QLabel;
class QSplitter;
class QTabWidget;

class TFTolmare : public TFBasico {
    Q_OBJECT
public:
    // Opens one module modally over `parent` and frees it when its window closes.
    using ModuleOpener = std::function<void(QWidget* parent)>;
    // Registers the opener of a button ("SpeedButton5", "Btn_Parametros", ...). A button
    // without an opener is disabled.
    static void setOpener(const QString& buttonName, ModuleOpener opener);
    static bool hasOpener(const QString& buttonName);

    explicit TFTolmare(QWidget* parent = nullptr);
    ~TFTolmare() override;

    QFrame* Panel1;
    QFrame* Panel3;
    QLabel* Image1;
    QFrame* Panel4;
    QSplitter* Splitter1;
    QFrame* Panel2;
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QPushButton* SpeedButton7;
    QPushButton* SpeedButton8;
    QPushButton* Btn_Parametros;
    QPushButton* SpeedButton4;
    QPushButton* SpeedButton2;
    QPushButton* SpeedButton3;
    QPushButton* SpeedButton5;
    QPushButton* SpeedButton6;
    QPushButton* SpeedButton1;

    // The routines other modules reach through the main window.
    QString Complementa_Texto_Direita(const QString& texto, const QString& complemento,
                                      int tamanho) const;
    void Apagar_Duplicacoes_Retorno() const;

protected:
    // Only "&Sair" and the close box end the program, both through closeEvent (which closes
    // the parameters table). Escape does nothing here.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openModule(const QString& buttonName);
};

extern TFTolmare* FTolmare;

// Names the application "Tolmare": the title of message boxes and of the status window. No
// display name is set, since the platform would then add it to every window's own title.
void nameApplication();
