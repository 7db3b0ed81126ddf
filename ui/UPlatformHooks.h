// The window's side of the core's seams: real message boxes, the busy
// cursor and the system clipboard.
#pragma once

#include <functional>

#include "platform/FrontEnd.h"

// The window's front end. help, when given, is called with a message box's
// help context when its Help button is pressed (the box stays open).
platform::TFrontEnd WindowFrontEnd(std::function<void(int)> help = {});

// Installs the window's front end.
void InstallPlatformHooks(std::function<void(int)> help = {});
