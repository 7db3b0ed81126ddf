// The help file: one HTML page shipped with the program, with an anchor for
// every help context the window and its dialogs use, opened in the browser.
#pragma once

#include <QString>
#include <QUrl>
#include <string>

// Help contexts of the window and its controls.
inline constexpr int HelpMainWindow = 10145;
inline constexpr int HelpAddressBox = 10051;
inline constexpr int HelpPageList = 10069;
inline constexpr int HelpPartsList = 10074;
inline constexpr int HelpProblemList = 10079;

// Name of the help file.
inline constexpr const char* HelpFileBaseName = "velmoran-help.html";

// The help file's native path: beside the program (also in its help/
// folder), in the installed share/velmoran/help/ folder, or in the source
// tree's help/ folder, the first that exists; empty when none does.
QString HelpFilePath();
// The help file's address with the anchor as fragment; empty when there is
// no help file.
QUrl HelpUrl(const QString& anchor);
// Anchor of a help context: "context-10051".
QString HelpAnchor(int context);

// Open the help at a context, its contents, its index of topics and its
// page on using the help. Without a help file an error box says so.
void ShowHelpContext(int context);
void ShowHelpContents();
void ShowHelpFinder();
void ShowHelpOnHelp();
