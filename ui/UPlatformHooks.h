// The window's side of the core's seams: real message boxes, the busy
// cursor and the system clipboard.
#pragma once

#include <functional>

// Installs all three hooks. help, when given, is called with a message box's
// help context when its Help button is pressed (the box stays open).
void InstallPlatformHooks(std::function<void(int)> help = {});

// Only the message-box hook.
void InstallMessageBoxHook(std::function<void(int)> help = {});
