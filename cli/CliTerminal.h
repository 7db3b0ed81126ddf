// What velmoran-cli writes on stderr while a run goes on: problem lines as
// they come and, on a terminal, a one-line progress display.
#pragma once

#include <chrono>
#include <string>

class TCliTerminal {
public:
    // sjis: write CP932 bytes instead of UTF-8. progress: keep the progress
    // line (only honoured when stderr is a terminal).
    TCliTerminal(bool sjis, bool progress);
    ~TCliTerminal();

    // A line of the program's own (CP932), on a line of its own.
    void Line(const std::string& cp932);
    // The progress line: a count and a path, shown at most ten times a
    // second.
    void Folder(const std::string& cp932Path);
    void File(int count, const std::string& cp932Path);
    // Removes the progress line.
    void ClearProgress();

    // The text as this terminal wants it (CP932 or UTF-8).
    std::string Encode(const std::string& cp932) const;

private:
    void Show(const std::string& cp932);

    bool sjis_;
    bool progress_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};
