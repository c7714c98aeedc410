// The remittance window's "Desfazer a última remessa": names the remittance and its file,
// asks, undoes it and says what became of it (or why it cannot be undone).
#pragma once

class QWidget;

namespace remessa_ui {

void desfazerUltimaRemessa();

}  // namespace remessa_ui
