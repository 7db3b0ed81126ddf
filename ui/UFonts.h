// The fonts the window was designed with. Their Windows names are kept; the
// alias file shipped with the program maps them onto the IPA fonts.
#pragma once

#include <QFont>

// Reads the alias file (built into the program) and registers every alias
// with Qt's font matching. Call once, after the QApplication exists.
void SetUpFontAliases();

// "ＭＳ Ｐゴシック", 12 pixels: the window, its controls and the problem list.
QFont WindowFont();
// "ＭＳ 明朝", 13 pixels, fixed pitch: the page list and the parts list.
QFont ListFont();
