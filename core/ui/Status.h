// The status window of the schema check, and the status callback that drives it.
#pragma once

#include <QDialog>

class QLabel;
class QFrame;
class QPushButton;

class TFormStatus : public QDialog {
    Q_OBJECT
public:
    explicit TFormStatus(QWidget* parent = nullptr);
    ~TFormStatus() override;
    // Before the first show: the layout scaled to the font, controls named (prepararJanela).
    void setVisible(bool visible) override;

    QLabel* LabelTitle;
    QLabel* LabelTablesT;
    QLabel* LabelTables;
    QLabel* LabelCurrentT;
    QLabel* LabelCurrent;
    QLabel* LabelOperationT;
    QLabel* LabelOperation;
    QLabel* LabelActionT;
    QLabel* LabelAction;
    QLabel* ImageIcon;
    QFrame* BevelMain;
    QFrame* ShapeProgress;
    QPushButton* BitBtnCancel;

    int tag() const { return tag_; }
    void BitBtnCancelClick() { tag_ = -1; }

private:
    int tag_ = 0;
};

extern TFormStatus* FormStatus;

// The status callback handed to the table-structure component: shows the window at the start,
// updates it for every table, frees it at the end. Answers nonzero to go on.
extern "C" int StatusCallback(const unsigned char* progressRecord);

// Frees the status window if the component ended without the end notification.
void closeStatusWindow();
