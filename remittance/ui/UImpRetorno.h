// The return import window: the month and year, the file to import, the progress bar.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class TFImpRetorno : public QDialog {
    Q_OBJECT
public:
    explicit TFImpRetorno(QWidget* parent = nullptr);
    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Mes_Ano;
    QProgressBar* ProgressBar;
    QPushButton* SpeedButton1;  // "&Abrir Arquivo"
    QPushButton* BitBtn2;       // "&Importar!"
    QPushButton* SpeedButton7;  // "&Sair"

    QString arquivo() const { return file_; }

    void SpeedButton1Click();
    void BitBtn2Click();

    // Shows the summary window modally; tests replace it.
    static std::function<void(const QStringList& lines)> showSummary;

private:
    QString file_;
};

// The folder the open dialog starts in.
QString pastaRetorno();
