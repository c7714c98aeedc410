// Opening a module from the main window: its data module, then its window shown modally;
// then both freed, the data module first.
#pragma once

#include <QWidget>

#include <memory>

template <class DataModule, class Window>
void openModule(QWidget* parent)
{
    auto dm = std::make_unique<DataModule>();
    auto window = std::make_unique<Window>(parent);
    window->exec();
    dm.reset();
    window.reset();
}
