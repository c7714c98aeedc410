// The legacy import window: the status label, the progress bar and the import button over
// the import of the legacy groups and members (legacy_import/ImportarLegado.h).
#pragma once

#include "core/ui/UFBasico.h"

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace legado { class TImportacao; }

class TFImport : public TFBasico {
    Q_OBJECT
public:
    // Opens the four tables; throws db::EngineError when one cannot be opened.
    explicit TFImport(QWidget* parent = nullptr);
    ~TFImport() override;

    QLabel* LStatus;
    QProgressBar* Progress;
    QPushButton* SpeedButton1;
    QPushButton* SpeedButton2;

    void SpeedButton1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    std::unique_ptr<legado::TImportacao> importacao_;
    bool importando_ = false;
};

extern TFImport* FImport;

// The main window's "&Importar Dados": the window shown modally, then freed.
void abrirImport(QWidget* parent);
