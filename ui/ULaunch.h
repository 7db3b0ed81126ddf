// Handing a file or folder to an outside program. Until the browser and
// editor launchers take over, every request opens the file with the desktop's
// default program; the program named in the settings is passed along so the
// launchers can honour it.
#pragma once

#include <functional>
#include <string>

enum class TLaunchKind { Browser, Editor, Program, Folder };

struct TLaunchRequest {
    TLaunchKind kind = TLaunchKind::Browser;
    std::string program;  // CP932; empty: the system's choice
    std::string file;     // CP932 path
};

// Opens the request's file (for Folder: the folder holding it).
void LaunchFile(const TLaunchRequest& request);

// Replaces the launching (tests; an empty function restores the default).
void SetLaunchHook(std::function<void(const TLaunchRequest&)> hook);
