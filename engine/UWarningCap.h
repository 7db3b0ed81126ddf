// The cap on problem lines during a run, shared by the window's problem list
// and the command line so that both show the same lines: every line is
// counted; when EnvSettings.ErrorLogLimit is on, the line that would make the
// count exceed ErrorLogMax is replaced by a notice and every later line is
// dropped. The problem records in ErrorLog are not affected.
#pragma once

#include <functional>
#include <string>

class TWarningCap {
public:
    using TLineSink = std::function<void(const std::string&)>;

    // show receives each line to list: a problem line or the notice.
    explicit TWarningCap(TLineSink show = {}) : show_(std::move(show)) {}

    void SetSink(TLineSink show) { show_ = std::move(show); }

    // Count 0, not stopped: the start of a run.
    void Reset() {
        count_ = 0;
        stopped_ = false;
    }

    // One line from the run's warning sink.
    void Report(const std::string& line);

    // Drops every later line, as when a line could not be listed.
    void Stop() { stopped_ = true; }

    // Lines counted so far; with the default cap of 100 it ends at 101.
    int Count() const { return count_; }
    bool Stopped() const { return stopped_; }

    // "警告数が多いため、これ以上の警告出力を中止します！" (CP932).
    static const std::string& Notice();

private:
    TLineSink show_;
    int count_ = 0;
    bool stopped_ = false;
};
