// velmoran-cli: the measurement, the reports and the WWWC item file without
// a window. Inputs, settings and outputs are taken as the window takes them;
// see the README for the options, outputs and exit statuses.
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/CliJson.h"
#include "cli/CliTerminal.h"
#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UInputResolve.h"
#include "engine/UWarningCap.h"
#include "outside/URunEnd.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "platform/OutputFile.h"
#include "platform/Profile.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"

namespace {

constexpr int kExitProblems = 1;
constexpr int kExitFailure = 2;
constexpr int kExitInterrupted = 130;

struct TOptions {
    std::string ini;
    std::vector<std::string> sets;
    std::string text, html, json, problems, wls;
    std::string encoding = "utf-8";
    bool quiet = false;
    bool modern = false;
    std::string budget;
    std::vector<std::string> paths;
};

// Ctrl+C works as the window's Break: the run ends at the next sink call
// with the results so far. A second Ctrl+C ends the process.
volatile std::sig_atomic_t g_interrupt = 0;

void OnInterrupt(int) {
    g_interrupt = 1;
    std::signal(SIGINT, SIG_DFL);
}

// A page weight limit as written on the command line: a number with an
// optional unit B, KB, MB or GB (any case, 1 KB = 1024 bytes, as the weight
// display counts). -1 when it is not one.
int64_t ParseBudget(const std::string& text) {
    size_t i = 0;
    double value = 0;
    bool digits = false, point = false;
    double scale = 1;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            if (point) value += (scale /= 10) * (c - '0');
            else value = value * 10 + (c - '0');
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    std::string unit;
    for (; i < text.size(); ++i) unit += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    double factor = 0;
    if (unit.empty() || unit == "B") factor = 1;
    else if (unit == "K" || unit == "KB") factor = 1024.0;
    else if (unit == "M" || unit == "MB") factor = 1024.0 * 1024;
    else if (unit == "G" || unit == "GB") factor = 1024.0 * 1024 * 1024;
    const double bytes = value * factor;
    if (!digits || factor == 0 || bytes > 9e18) return -1;
    return static_cast<int64_t>(bytes + 0.5);
}

// A native (UTF-8) argument as CP932, or nothing when it has no such form.
std::optional<std::string> ArgToCp932(const std::string& arg) { return platform::Utf8ToCp932Strict(arg); }

// Writes report lines to stdout as they are made: as the report file holds
// them (CP932, CR LF), or converted to UTF-8 with LF for a terminal.
class TStdoutSink : public TReportSink {
public:
    explicit TStdoutSink(bool utf8) : utf8_(utf8) {}
    void Line(std::string_view line) override {
        if (utf8_) {
            // Report lines are mostly ASCII: only the runs of other
            // characters go through the converter.
            size_t i = 0;
            while (i < line.size()) {
                size_t j = i;
                while (j < line.size() && static_cast<unsigned char>(line[j]) < 0x80) ++j;
                std::fwrite(line.data() + i, 1, j - i, stdout);
                i = j;
                // A double-byte character's trail byte may look like ASCII.
                while (j < line.size() && static_cast<unsigned char>(line[j]) >= 0x80)
                    j += platform::IsSjisLead(static_cast<unsigned char>(line[j])) && j + 1 < line.size() ? 2 : 1;
                if (j > i) {
                    const std::string text = platform::Cp932ToUtf8(line.substr(i, j - i));
                    std::fwrite(text.data(), 1, text.size(), stdout);
                }
                i = j;
            }
            std::fputc('\n', stdout);
        } else {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fwrite("\r\n", 1, 2, stdout);
        }
    }

private:
    bool utf8_;
};

// An output file written in pieces; the failure, if any (the file could
// not be opened, written or put in place), is reported when it is
// committed, where a whole output would have been written.
class TWriterJsonSink : public TJsonSink {
public:
    explicit TWriterJsonSink(platform::TOutputFile& file) : file_(file) {}
    void Write(std::string_view bytes) override { file_.Write(bytes); }

private:
    platform::TOutputFile& file_;
};

class TCli {
public:
    explicit TCli(const TOptions& o) : o_(o), term_(o.encoding == "sjis", !o.quiet) {}
    int Run();

private:
    bool LoadSettingsForRun();
    bool ResolveOutputName(const std::string& arg, std::string& out);
    void ResolveInputs();
    void Measure();
    void CheckBudget();
    void Finish();
    void WriteOutputs();
    bool WriteOutput(const std::string& name, const std::string& bytes);
    // Puts a file written in pieces in place; false (and status 2) when it
    // could not be opened, written or put in place.
    bool CommitOutput(const std::string& name, platform::TOutputFile& out);
    // Flushes what report sinks wrote to stdout; false (and status 2) when
    // any of it could not be written.
    bool FinishStdout();
    void Fail(const std::string& cp932) {
        term_.Line(cp932);
        status_ = kExitFailure;
    }

    const TOptions& o_;
    TCliTerminal term_;
    int status_ = 0;
    std::string startDir_;
    std::string textFile_, htmlFile_, jsonFile_, problemsFile_;

    // Problem lines as the problem list shows them (after the cap): written
    // to a problem file as they come (a big site has tens of thousands),
    // kept only for stdout or a target written where it is.
    TWarningCap cap_;
    std::vector<std::string> shownLines_;
    platform::TOutputFile problemsOut_;
    bool problemsStreamed_ = false;
    int fileCount_ = 0;
    int64_t budget_ = -1;
    bool stop_ = false;
    std::string runError_;
};

bool TCli::ResolveOutputName(const std::string& arg, std::string& out) {
    if (arg.empty()) return true;
    if (arg == "-") {
        out = arg;
        return true;
    }
    auto cp = ArgToCp932(arg);
    if (!cp) {
        Fail(SJ("ファイル名を Shift-JIS で表せません: ") + platform::Utf8ToCp932(arg));
        return false;
    }
    out = platform::ExpandFileName(*cp, startDir_);
    return true;
}

bool TCli::LoadSettingsForRun() {
    platform::TIniFile ini;
    if (!o_.ini.empty()) {
        std::string name;
        if (!ResolveOutputName(o_.ini, name)) return false;
        ini.SetFileName(name);
        if (!platform::FileExists(name) || !ini.Load()) {
            Fail(SJ("設定ファイルを読めません: ") + platform::Utf8ToCp932(o_.ini));
            return false;
        }
    } else {
        std::string name = SettingsFileName();
        ini.SetFileName(name);
        if (!platform::FileExists(name) || !ini.Load()) {
            // No settings file: start from the defaults as a file would hold
            // them, so that --set changes only its own key (a file without a
            // key reads some switches as off).
            ReadStartFlagsFrom(nullptr);
            ResetSettingsDefaults();
            ini = platform::TIniFile();
            SaveSettingsTo(ini);
        }
    }
    for (const std::string& set : o_.sets) {
        auto cp = ArgToCp932(set);
        TSettingOverride o;
        switch (cp ? ParseSettingOverride(*cp, o) : TOverrideCheck::BadForm) {
            case TOverrideCheck::Ok:
                break;
            case TOverrideCheck::BadForm:
                Fail(SJ("--set には SECTION/KEY=VALUE を指定してください: ") + platform::Utf8ToCp932(set));
                return false;
            case TOverrideCheck::UnknownSection:
                Fail(SJ("--set: 不明なセクションです: ") + o.Section);
                return false;
            case TOverrideCheck::UnknownKey:
                Fail(SJ("--set: 不明なキーです: ") + o.Section + "/" + o.Key);
                return false;
        }
        // Written so that the reader gets back exactly the value parsed.
        ini.WriteString(o.Section, o.Key, o.Value);
    }
    ReadStartFlagsFrom(&ini);
    DetectShortcutSupport();
    LoadSettingsFrom(&ini, nullptr);
    // SYSTEM/CURRENTDIR moves the current folder; the command line's own
    // names are taken against the folder it was started in.
    platform::SetCurrentDir(startDir_);
    return true;
}

void TCli::ResolveInputs() {
    InputList.clear();
    // The folder the last measured input made current.
    std::string lastFolder = startDir_;
    for (const std::string& arg : o_.paths) {
        auto cp = ArgToCp932(arg);
        if (!cp) {
            Fail(SJ("ファイル名を Shift-JIS で表せません: ") + platform::Utf8ToCp932(arg));
            continue;
        }
        // Each PATH is taken against the starting folder, not against the
        // folder the previous one made current.
        platform::SetCurrentDir(startDir_);
        TResolvedInput r = ResolveInput(*cp);
        if (r.Refused) {
            Fail(platform::MessageCaption(platform::TMsgKind::Error) + ": " + r.Message);
        } else if (r.Path.empty() || !r.Exists) {
            Fail(SJ("ファイルが見つかりません: ") + *cp);
        } else {
            InputList.push_back(r.Path);
            lastFolder = platform::GetCurrentDir();
        }
    }
    // Resource references are compared against the current folder: a
    // refused, blank or missing PATH must not leave another one current
    // than the last measured input's, as in the window.
    platform::SetCurrentDir(lastFolder);
}

void TCli::Measure() {
    cap_.Reset();
    problemsStreamed_ = !problemsFile_.empty() && problemsFile_ != "-" && !platform::OutputInPlace(problemsFile_);
    // A failure to open is reported where the file is put in place.
    if (problemsStreamed_) problemsOut_.Open(problemsFile_);
    cap_.SetSink([this](const std::string& line) {
        if (!problemsStreamed_) {
            shownLines_.push_back(line);
        } else if (problemsOut_.IsOpen()) {
            problemsOut_.Write(line);
            problemsOut_.Write("\r\n");
        }
        term_.Line(line);
    });
    auto pollInterrupt = [this] {
        if (g_interrupt) stop_ = true;
    };
    auto folderSink = [&](const std::string& path) {
        pollInterrupt();
        term_.Folder(path);
    };
    auto fileSink = [&](const std::string& path) {
        pollInterrupt();
        term_.File(++fileCount_, path);
    };
    auto warningSink = [&](const std::string& line) {
        pollInterrupt();
        cap_.Report(line);
    };
    std::signal(SIGINT, OnInterrupt);
    try {
        MeasureAll(stop_, folderSink, fileSink, warningSink);
    } catch (const std::exception& e) {
        runError_ = e.what();
    }
    std::signal(SIGINT, SIG_DFL);
    term_.ClearProgress();
    if (!runError_.empty()) Fail(platform::MessageCaption(platform::TMsgKind::Error) + ": " + runError_);
}

// Every page heavier than the budget is a problem of the run, reported as
// the measurement reports its own.
void TCli::CheckBudget() {
    if (budget_ < 0 || !runError_.empty()) return;
    std::function<void(const std::string&)> sink = [this](const std::string& line) { cap_.Report(line); };
    std::vector<const THTMLFileInfo*> pages(FileList.begin(), FileList.end());
    for (const THTMLFileInfo* p : pages) {
        if (p->TotalSize <= budget_) continue;
        const std::string message =
            SJ("ページの重さが上限を超えています(") + FormatWeight(p->TotalSize) + " > " + FormatWeight(budget_) + ")";
        AddProblem(message, "", p->FileName, stop_, sink);
    }
}

void TCli::Finish() {
    // The page the last input names shows its parts sorted, as the window's
    // parts list does.
    const TRunEnd end = FinishRun(platform::ExpandFileName(InputList.back()));
    const TWlsResult& wls = end.ItemFile;
    if (wls.Outcome == TWlsOutcome::Failed) {
        std::string text = wls.Message;
        for (char& c : text)
            if (c == '\n' || c == '\r') c = ' ';
        Fail(platform::MessageCaption(wls.Kind) + ": " + text);
    } else if (wls.Outcome == TWlsOutcome::Cancelled) {
        status_ = kExitFailure;
    }
}

bool TCli::FinishStdout() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    Fail(SJ("標準出力に書けません"));
    return false;
}

bool TCli::CommitOutput(const std::string& name, platform::TOutputFile& out) {
    if (out.IsOpen() && out.Commit()) return true;
    Fail(FileCreateErrorText(name) + " (" + out.ErrorText() + ")");
    return false;
}

bool TCli::WriteOutput(const std::string& name, const std::string& bytes) {
    if (name == "-") {
        // A write that fails past the buffer leaves nothing for fflush to
        // report: the stream's error flag tells.
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return FinishStdout();
    }
    const platform::TResult written = platform::WriteFileAtomic(name, bytes);
    if (written) return true;
    Fail(FileCreateErrorText(name) + " (" + written.Error + ")");
    return false;
}

void TCli::WriteOutputs() {
    // Made before the reports, which put every page's parts and URLs into
    // their own order. A file gets the document as it is made and is put in
    // place after the reports, in the order the outputs are listed. A
    // target written where it is (a FIFO, a device) is not opened before
    // the reports' own targets: its reader may wait on those first.
    std::string json;
    platform::TOutputFile jsonOut;
    const bool jsonStreamed = !jsonFile_.empty() && jsonFile_ != "-" && !platform::OutputInPlace(jsonFile_);
    if (!jsonFile_.empty()) {
        TRunSummary s;
        s.warningCount = cap_.Count();
        s.warningsStopped = cap_.Stopped();
        s.interrupted = stop_;
        s.error = runError_;
        if (!jsonStreamed) {
            json = BuildResultJson(s);
        } else if (jsonOut.Open(jsonFile_)) {
            TWriterJsonSink sink(jsonOut);
            WriteResultJson(s, sink);
        }
    }
    auto report = [&](const std::string& name, void (*build)(TReportSink&),
                      platform::TResult (*save)(const std::string&)) {
        if (name.empty()) return;
        if (name == "-") {
            TStdoutSink out(false);
            build(out);
            FinishStdout();
        } else if (const platform::TResult saved = save(name); !saved) {
            Fail(saved.Error);
        }
    };
    report(textFile_, BuildTextReport, SaveTextReport);
    report(htmlFile_, BuildHTMLReport, SaveHTMLReport);
    if (jsonStreamed) {
        CommitOutput(jsonFile_, jsonOut);
    } else if (!jsonFile_.empty()) {
        WriteOutput(jsonFile_, json);
    }
    if (problemsFile_ == "-") {
        std::string bytes;
        for (const std::string& l : shownLines_) bytes += l + "\r\n";
        WriteOutput(problemsFile_, bytes);
    } else if (problemsStreamed_) {
        CommitOutput(problemsFile_, problemsOut_);
    } else if (!problemsFile_.empty()) {
        // Every line is here when the cap is off: written as it goes.
        platform::TOutputFile out;
        if (out.Open(problemsFile_)) {
            for (const std::string& l : shownLines_) {
                out.Write(l);
                out.Write("\r\n");
            }
        }
        CommitOutput(problemsFile_, out);
    }
    if (textFile_.empty() && htmlFile_.empty() && jsonFile_.empty() && problemsFile_.empty()) {
        TStdoutSink out(o_.encoding != "sjis");
        BuildTextReport(out);
        FinishStdout();
    }
}

int TCli::Run() {
    platform::SetMessageEncodingSjis(o_.encoding == "sjis");
    // A date that cannot be meant (negative, past year 9999, not a number)
    // would make the reports differ from what was asked for.
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && !platform::ParseSourceDateEpoch(epoch)) {
        Fail(SJ("SOURCE_DATE_EPOCH には 0 から ") + std::to_string(platform::kMaxSourceDateEpoch) +
             SJ(" までの秒数を指定してください: \"") + platform::Utf8ToCp932(epoch) + "\"");
        return kExitFailure;
    }
    startDir_ = platform::GetCurrentDir();
    if (!ResolveOutputName(o_.text, textFile_) || !ResolveOutputName(o_.html, htmlFile_) ||
        !ResolveOutputName(o_.json, jsonFile_) || !ResolveOutputName(o_.problems, problemsFile_))
        return kExitFailure;
    std::string wlsFile;
    if (!ResolveOutputName(o_.wls, wlsFile)) return kExitFailure;
    if (wlsFile == "-") {
        Fail(SJ("--wls には標準出力を指定できません"));
        return kExitFailure;
    }
    if (!LoadSettingsForRun()) return kExitFailure;
    if (o_.modern) EnvSettings.Modern = true;
    if (!o_.budget.empty()) {
        budget_ = ParseBudget(o_.budget);
        if (budget_ < 0) {
            Fail(SJ("--budget には 500KB や 2MB のような重さを指定してください: ") + platform::Utf8ToCp932(o_.budget));
            return kExitFailure;
        }
    }
    if (!wlsFile.empty()) {
        EnvSettings.WlsEnabled = true;
        EnvSettings.WlsFileName = wlsFile;
    }

    ResolveInputs();
    if (InputList.empty()) return kExitFailure;
    Measure();
    CheckBudget();
    Finish();
    WriteOutputs();
    if (status_ != 0) return status_;
    if (stop_) return kExitInterrupted;
    return ErrorLog.Count() > 0 ? kExitProblems : 0;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions o;
    CLI::App app{
        "Weighs web pages kept on the local disk: every page, the files it pulls in,\n"
        "and the local pages it links to.",
        "velmoran-cli"};
    app.add_option("--ini", o.ini, "Settings file to read (never written)")->type_name("FILE");
    app.add_option("--set", o.sets, "Override one setting, as the settings file would hold it")
        ->type_name("SECTION/KEY=VALUE")
        ->allow_extra_args(false);
    app.add_option("--text", o.text, "Text report (Shift-JIS, CR LF); - for stdout")->type_name("FILE");
    app.add_option("--html", o.html, "HTML report; - for stdout")->type_name("FILE");
    app.add_option("--json", o.json, "Whole result as JSON (UTF-8); - for stdout")->type_name("FILE");
    app.add_option("--problems", o.problems, "Problem lines as listed (Shift-JIS, CR LF); - for stdout")
        ->type_name("FILE");
    app.add_option("--wls", o.wls, "Merge the outside addresses into this WWWC item file")->type_name("FILE");
    app.add_option("--encoding", o.encoding, "Encoding of terminal output")
        ->check(CLI::IsMember({"utf-8", "sjis"}).description(""))  // the type name lists them
        ->type_name("utf-8|sjis");
    app.add_flag("--quiet", o.quiet, "No progress display");
    app.add_flag("--modern", o.modern,
                 "Weigh what a current browser loads (UTF-8, style sheets, scripts, fonts, srcset); "
                 "as CONFIG/MODERN=1");
    app.add_option("--budget", o.budget, "Every page heavier than SIZE (500KB, 2MB) is a problem")->type_name("SIZE");
    app.add_option("PATH", o.paths, "HTML files or folders to measure")->required();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitFailure;
    }
    TCli cli(o);
    const int status = cli.Run();
    // The model of a big run goes with the process instead of being freed
    // record by record; every output has been written and closed by now.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
