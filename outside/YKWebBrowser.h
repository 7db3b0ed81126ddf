// Handing files to outside programs: the web browser, the HTML editor, the
// image viewer, the system's text editor and the file manager. Failures are
// shown in error boxes (ShowMessage); nothing here returns an error.
//
// All texts are CP932. Programs are started detached with the file as one
// argument (platform/Shell.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

// Set by DetectBrowsers. Linux has no Netscape or Internet Explorer windows
// to talk to, so both stay false and every page goes the shell's way.
extern bool NetscapeRunning;
extern bool IERunning;

// Opens file with program, or with the desktop's "open" when program is
// empty. A program or file that does not exist is reported before anything
// starts: "指定された実行ファイルが見つかりません。" / "ファイルが見つかりません",
// each followed by two line breaks and the path. A program named without
// "/" is looked for on PATH.
void OpenWithProgram(const std::string& program, const std::string& file);

// EnvSettings.BrowserDDE 1: BrowseURL(file); else OpenWithProgram.
void OpenInBrowser(const std::string& program, const std::string& file);

// EnvSettings.EditorProgram when set; otherwise the system's text editor:
// the first of SystemTextEditors() found on PATH, else the desktop's "open"
// of the file (no open program: the table's message for code 31).
void OpenInEditor(const std::string& file);

// The GUI text editors looked for, in order, when no editor is configured.
const std::vector<std::string>& SystemTextEditors();

// A running DDE browser when one answers, else the desktop's "open" of file.
void BrowseURL(const std::string& file);

void DetectBrowsers();

// The "WWW_Activate" / "WWW_OpenURL" conversation with a running browser.
// There is no DDE on Linux: no conversation can be made, the answer is false.
bool DdeOpenURL(const std::string& service, const std::string& file);

// The message of a shell result code, or empty when the table has none
// (success, or a code the table does not list).
const std::string& ShellErrorText(int code);
// Shows that message in an error box when there is one. True for success
// (code >= 32).
bool ShowShellError(int code);

// Shows the folder of path (everything up to and including the last "/")
// in the file manager. The outcome is not examined.
void OpenFolder(const std::string& path);

// The outside world of BrowseURL, replaceable so that the routing between
// running browsers can be exercised. Empty members take the real thing.
struct TBrowserSeam {
    std::function<void()> detect;                                     // sets the two flags
    std::function<std::string(const std::string& file)> association;  // program file associated with file
    std::function<bool(const std::string& service, const std::string& file)> ddeOpen;
};
void SetBrowserSeam(TBrowserSeam seam);
