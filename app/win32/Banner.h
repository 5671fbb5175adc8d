// The banner in Image1: a blue fade with six lines of white text.
#pragma once

#include "app/win32/MainWindow.h"

// Paints Image1's picture anew; the image control repaints from it.
void DrawBanner(MainWindow& form);
