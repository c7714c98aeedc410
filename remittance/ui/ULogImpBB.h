// The import summary window: the summary lines in an editable text area, printed as plain
// text or saved as an RTF document.
#pragma once

#include <QDialog>

#include <functional>

class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QFrame;

class TfmLogImpBB : public QDialog {
    Q_OBJECT
public:
    explicit TfmLogImpBB(QWidget* parent = nullptr);
    ~TfmLogImpBB() override;
    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

    QPlainTextEdit* RichEdit1;
    QFrame* Panel1;
    QPushButton* BitBtn3;  // "&Gravar"
    QPushButton* BitBtn2;  // "Imprimir"
    QPushButton* BitBtn1;  // "Fechar"

    void appendLines(const QStringList& lines);
    QStringList lines() const;

    void BitBtn2Click();  // print
    void BitBtn3Click();  // save

    // Chooses the printer; the default shows the print dialog. Tests replace it.
    static std::function<bool(QPrinter&)> choosePrinter;
    // Prints the lines one per printed line in `font`, a new page when one is full.
    static void printLines(QPrinter& printer, const QStringList& lines, const QFont& font);
};

extern TfmLogImpBB* fmLogImpBB;
