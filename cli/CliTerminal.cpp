#include "cli/CliTerminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/Encoding.h"

namespace {

int TerminalColumns() {
    struct winsize ws {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10) return ws.ws_col;
    return 80;
}

// CP932 bytes are display columns (a double-byte character takes two), so
// the text is cut by bytes, keeping whole characters and the end of the
// path, which names the file.
std::string FitColumns(const std::string& s, size_t columns) {
    if (s.size() <= columns) return s;
    const std::string dots = "...";
    if (columns <= dots.size()) return dots.substr(0, columns);
    size_t keep = columns - dots.size();
    // Walk whole characters from the start and keep the last `keep` bytes'
    // worth that begin on a character boundary.
    size_t from = s.size() - keep;
    size_t i = 0;
    while (i < from) i += platform::IsSjisLead(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    return dots + s.substr(i);
}

}  // namespace

TCliTerminal::TCliTerminal(bool sjis, bool progress) : sjis_(sjis), progress_(progress && ::isatty(STDERR_FILENO)) {}

TCliTerminal::~TCliTerminal() { ClearProgress(); }

std::string TCliTerminal::Encode(const std::string& cp932) const {
    return sjis_ ? cp932 : platform::Cp932ToUtf8(cp932);
}

void TCliTerminal::Line(const std::string& cp932) {
    ClearProgress();
    std::string out = Encode(cp932);
    out += '\n';
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

void TCliTerminal::ClearProgress() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void TCliTerminal::Show(const std::string& cp932) {
    if (!progress_) return;
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::string out = "\r\033[K" + Encode(FitColumns(cp932, static_cast<size_t>(TerminalColumns() - 1)));
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void TCliTerminal::Folder(const std::string& cp932Path) { Show(SJ("フォルダ検索中 ") + cp932Path); }

void TCliTerminal::File(int count, const std::string& cp932Path) {
    Show(std::to_string(count) + SJ(" ファイル ") + cp932Path);
}
