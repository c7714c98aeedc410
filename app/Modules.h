// The modules the main window can open: each registers its button's opener here.
#pragma once

void registerModules();
