// Handing a file, folder or address to an outside program: the one place
// the window's commands go through, so that tests can catch the requests
// (the window hooks' launch and url, ui/UWindowHooks.h).
#pragma once

#include <string>

class QUrl;

enum class TLaunchKind { Browser, Editor, Program, Folder };

struct TLaunchRequest {
    TLaunchKind kind = TLaunchKind::Browser;
    std::string program;  // CP932; empty: the system's choice
    std::string file;     // CP932 path
};

// Browser: OpenInBrowser(program, file); Editor: OpenInEditor(file), which
// takes the configured editor itself; Program: OpenWithProgram(program,
// file); Folder: OpenFolder(file), the folder holding it.
void LaunchFile(const TLaunchRequest& request);

// Hands an address (a web page, a mail address, a help page) to the
// desktop's default action; a start failure shows its error box.
void OpenUrl(const QUrl& url);
