#include "outside/YKWebBrowser.h"

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"
#include "settings/Uenviron.h"

bool NetscapeRunning = false;
bool IERunning = false;

namespace {

TBrowserSeam& Seam() {
    static TBrowserSeam seam;
    return seam;
}

const std::string kNetscape = "NETSCAPE";
const std::string kIExplore = "IEXPLORE";

// The program a desktop would hand the file to. Only its name matters, to
// prefer one of two running DDE browsers; as none can run here, nothing is
// looked up.
std::string AssociatedProgram(const std::string& file) {
    if (Seam().association) return Seam().association(file);
    return {};
}

bool TryDde(const std::string& service, const std::string& file) {
    if (Seam().ddeOpen) return Seam().ddeOpen(service, file);
    return DdeOpenURL(service, file);
}

}  // namespace

void SetBrowserSeam(TBrowserSeam seam) { Seam() = std::move(seam); }

const std::string& ShellErrorText(int code) {
    static const std::string none;
    switch (code) {
        case 0:
            return SJ("システムに､ メモリまたはリソースが足りません。");
        case 2:
            return SJ("指定されたファイルが見つかりませんでした。");
        case 3:
            return SJ("指定されたパスが見つかりませんでした。");
        case 11:
            return SJ(".EXEファイルが無効です (Win32 .EXEではないか､ .EXEイメージ内のエラーです)。");
        case 26:
            return SJ("共有違反が発生しました。");
        case 27:
            return SJ("ファイル名の関連付けが不完全､ または無効です。");
        case 28:
            return SJ("要求タイム アウトのためにDDEトランザクションを完了できませんでした。");
        case 29:
            return SJ("DDEトランザクションが失敗しました。");
        case 30:
            return SJ("ほかのDDEトランザクションが処理されているために､ DDEトランザクションを完了できませんでした。");
        case 31:
            return SJ("指定されたファイル名拡張子には､ アプリケーションが関連付けられていません。");
        default:
            return none;
    }
}

bool ShowShellError(int code) {
    const std::string& text = ShellErrorText(code);
    if (!text.empty()) platform::ShowMessage(platform::TMsgKind::Error, text);
    return code >= 32;
}

void OpenWithProgram(const std::string& program, const std::string& file) {
    std::string resolved;
    if (!program.empty()) {
        resolved = platform::FindProgram(program);
        // A folder of that name is no program file either.
        if (resolved.empty() || !platform::FileExists(resolved)) {
            platform::ShowMessage(platform::TMsgKind::Error,
                                  SJ("指定された実行ファイルが見つかりません。") + "\n\n" + program);
            return;
        }
    }
    if (!platform::FileExists(file)) {
        platform::ShowMessage(platform::TMsgKind::Error, SJ("ファイルが見つかりません") + "\n\n" + file);
        return;
    }
    int code = resolved.empty() ? platform::ShellOpen(file) : platform::StartDetached(resolved, {file});
    ShowShellError(code);
}

void OpenInBrowser(const std::string& program, const std::string& file) {
    if (EnvSettings.BrowserDDE == 1) BrowseURL(file);
    else OpenWithProgram(program, file);
}

const std::vector<std::string>& SystemTextEditors() {
    static const std::vector<std::string> editors = {
        "gnome-text-editor", "gedit", "kwrite", "kate", "mousepad", "pluma", "xed", "featherpad", "leafpad", "geany"};
    return editors;
}

void OpenInEditor(const std::string& file) {
    if (!EnvSettings.EditorProgram.empty()) {
        OpenWithProgram(EnvSettings.EditorProgram, file);
        return;
    }
    // No editor named: Linux has no one text editor every system carries,
    // so take the first well-known graphical one installed, else whatever
    // the desktop opens text files with; a missing open program is then
    // reported through the shell error table like any other.
    for (const std::string& editor : SystemTextEditors()) {
        std::string found = platform::FindProgram(editor);
        if (!found.empty()) {
            OpenWithProgram(found, file);
            return;
        }
    }
    OpenWithProgram(std::string(), file);
}

void DetectBrowsers() {
    NetscapeRunning = false;
    IERunning = false;
    // Neither browser exists on this platform: there is no window of theirs
    // to find unless a test stands in for them.
    if (Seam().detect) Seam().detect();
}

bool DdeOpenURL(const std::string& service, const std::string& file) {
    (void)service;
    (void)file;
    return false;
}

void BrowseURL(const std::string& file) {
    DetectBrowsers();

    std::string program = AssociatedProgram(file);
    size_t cut = platform::SjisRFindAny(program, "\\/:");
    std::string name = platform::AnsiUpper(cut == std::string::npos ? program : program.substr(cut + 1));
    std::string preferred;
    if (name == "NETSCAPE.EXE") preferred = kNetscape;
    else if (name == "IEXPLORE.EXE") preferred = kIExplore;

    bool done = false;
    if (NetscapeRunning && IERunning) {
        done = TryDde(preferred.empty() ? kNetscape : preferred, file);
    } else {
        if (NetscapeRunning) done = TryDde(kNetscape, file);
        if (!done && IERunning) done = TryDde(kIExplore, file);
    }
    if (done) return;
    ShowShellError(platform::ShellOpen(file));
}

void OpenFolder(const std::string& path) {
    size_t cut = platform::SjisRFind(path, '/');
    if (cut == std::string::npos) return;
    platform::ShellOpen(path.substr(0, cut + 1));
}
