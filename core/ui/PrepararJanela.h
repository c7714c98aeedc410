// What every window of the program gets before it is first shown: its pixel layout scaled from
// the design font to its own (components::scaleToFont), a label for every control that has
// one beside or above it (the label's shortcut then reaches it, and a screen reader announces
// the label's text), an accessible name for every control that takes the focus, and flat
// buttons that show the keyboard focus.
#pragma once

class QWidget;

// Runs once per window; later calls do nothing.
void prepararJanela(QWidget* window);
