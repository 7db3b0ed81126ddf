// What the window's own commands hand over to a seam, in one place: help,
// the file dialogs, launching programs and opening addresses. The window
// sets help at start; the others stay empty (the real dialog, the real
// launch) except in tests, which catch the requests there. The core's
// seams are in platform/FrontEnd.h.
#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "ui/UDialogParts.h"
#include "ui/ULaunch.h"

class QUrl;

struct TWindowHooks {
    // Shows help for a context number. Empty: no help.
    std::function<void(int context)> help;
    // Answers a file dialog instead of showing it (nullopt: cancelled).
    std::function<std::optional<QString>(const TFileDialogRequest&)> fileDialog;
    // Takes a launch instead of starting the program.
    std::function<void(const TLaunchRequest&)> launch;
    // Takes an address instead of handing it to the desktop.
    std::function<void(const QUrl&)> url;
};

// The hooks the window has; assign to it to install them.
TWindowHooks& WindowHooks();

// Keeps the hooks installed at its start and puts them back at its end;
// the second form installs hooks for the scope's lifetime.
class TWindowHooksScope {
public:
    TWindowHooksScope();
    explicit TWindowHooksScope(TWindowHooks hooks);
    ~TWindowHooksScope();
    TWindowHooksScope(const TWindowHooksScope&) = delete;
    TWindowHooksScope& operator=(const TWindowHooksScope&) = delete;

private:
    TWindowHooks saved_;
};
