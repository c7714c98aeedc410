// "Exportar…" of the program's lists: asks where (CSV or XLSX by the name's ending), writes
// the list there complete, and says where it went or what to correct.
#pragma once

#include "collection/Planilha.h"

#include <functional>

class QPushButton;
class QWidget;

namespace cobranca_ui {

// `nome` proposes the file name (without extension). True when the file was written.
bool exportar(const QString& nome, const std::function<cobranca::Planilha()>& make);

// A window's "Exportar…" button, named "Btn_Exportar".
QPushButton* botaoExportar(QWidget* parent);

}  // namespace cobranca_ui
