// velmoran-cli: the measurement, the reports and the WWWC item file without
// a window. Inputs, settings and outputs are taken as the window takes them;
// see the README for the options, outputs and exit statuses.
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#include <cstdio>
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
#include "outside/UCreateWLS.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
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
    std::vector<std::string> paths;
};

// Ctrl+C works as the window's Break: the run ends at the next sink call
// with the results so far. A second Ctrl+C ends the process.
volatile std::sig_atomic_t g_interrupt = 0;

void OnInterrupt(int) {
    g_interrupt = 1;
    std::signal(SIGINT, SIG_DFL);
}

// A native (UTF-8) argument as CP932, or nothing when it has no such form.
std::optional<std::string> ArgToCp932(const std::string& arg) { return Utf8ToCp932Strict(arg); }

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
                    j += IsSjisLead(static_cast<unsigned char>(line[j])) && j + 1 < line.size() ? 2 : 1;
                if (j > i) {
                    const std::string text = Cp932ToUtf8(line.substr(i, j - i));
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

// An output file written in pieces; the failure, if any, is reported when
// it is put in place, where a whole output would have been written.
struct TStreamedOutput {
    platform::TAtomicFileWriter file;
    bool opened = false;
    std::string error;
    bool Open(const std::string& name) { return opened = file.Open(name, &error); }
};

class TWriterJsonSink : public TJsonSink {
public:
    explicit TWriterJsonSink(platform::TAtomicFileWriter& file) : file_(file) {}
    void Write(std::string_view bytes) override { file_.Write(bytes); }

private:
    platform::TAtomicFileWriter& file_;
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
    void Finish();
    void WriteOutputs();
    bool WriteOutput(const std::string& name, const std::string& bytes);
    // Puts a file written in pieces in place; false (and status 2) when it
    // could not be made, written or renamed.
    bool CommitOutput(const std::string& name, TStreamedOutput& out);
    // Flushes what report sinks wrote to stdout; false (and status 2) when
    // any of it could not be written.
    bool FinishStdout();
    void Fail(const std::string& cp932) {
        term_.Line(cp932);
        status_ = kExitFailure;
    }
    std::vector<std::string> ProblemMessages() const;

    const TOptions& o_;
    TCliTerminal term_;
    int status_ = 0;
    std::string startDir_;
    std::string textFile_, htmlFile_, jsonFile_, problemsFile_;

    // Problem lines as the problem list shows them (after the cap).
    TWarningCap cap_;
    std::vector<std::string> shownLines_;
    // Every line the run sent, with ErrorLog's size when it arrived: a line
    // that was followed by a new record is that record's line.
    std::vector<std::string> rawLines_;
    std::vector<int> recordsBefore_;
    int fileCount_ = 0;
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
        Fail(SJ("ファイル名を Shift-JIS で表せません: ") + Utf8ToCp932(arg));
        return false;
    }
    out = platform::ExpandFileName(*cp, startDir_);
    return true;
}

bool TCli::LoadSettingsForRun() {
    TIniFile ini;
    if (!o_.ini.empty()) {
        std::string name;
        if (!ResolveOutputName(o_.ini, name)) return false;
        ini.SetFileName(name);
        if (!platform::FileExists(name) || !ini.Load()) {
            Fail(SJ("設定ファイルを読めません: ") + Utf8ToCp932(o_.ini));
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
            ini = TIniFile();
            SaveSettingsTo(ini);
        }
    }
    for (const std::string& set : o_.sets) {
        auto cp = ArgToCp932(set);
        size_t slash = cp ? cp->find('/') : std::string::npos;
        size_t eq = cp ? cp->find('=') : std::string::npos;
        if (!cp || slash == 0 || slash == std::string::npos || eq == std::string::npos || eq < slash + 2) {
            Fail(SJ("--set には SECTION/KEY=VALUE を指定してください: ") + Utf8ToCp932(set));
            return false;
        }
        ini.WriteString(cp->substr(0, slash), cp->substr(slash + 1, eq - slash - 1), cp->substr(eq + 1));
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
    for (const std::string& arg : o_.paths) {
        auto cp = ArgToCp932(arg);
        if (!cp) {
            Fail(SJ("ファイル名を Shift-JIS で表せません: ") + Utf8ToCp932(arg));
            continue;
        }
        // Each PATH is taken against the starting folder, not against the
        // folder the previous one made current.
        platform::SetCurrentDir(startDir_);
        TResolvedInput r = ResolveInput(*cp);
        if (r.Refused) {
            status_ = kExitFailure;  // the error box has said why
        } else if (r.Path.empty() || !r.Exists) {
            Fail(SJ("ファイルが見つかりません: ") + *cp);
        } else {
            InputList.push_back(r.Path);
        }
    }
}

void TCli::Measure() {
    cap_.Reset();
    cap_.SetSink([this](const std::string& line) {
        shownLines_.push_back(line);
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
        rawLines_.push_back(line);
        recordsBefore_.push_back(ErrorLog.Count());
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
    if (!runError_.empty()) Fail(MessageCaption(TMsgKind::Error) + ": " + runError_);
}

std::vector<std::string> TCli::ProblemMessages() const {
    std::vector<std::string> messages(static_cast<size_t>(ErrorLog.Count()));
    for (size_t k = 0; k < rawLines_.size(); ++k) {
        const int before = recordsBefore_[k];
        const int after = k + 1 < rawLines_.size() ? recordsBefore_[k + 1] : ErrorLog.Count();
        if (after <= before || before >= ErrorLog.Count()) continue;  // no record: the interruption line
        const THTMLFileInfo* r = ErrorLog[before];
        std::string tail = ": " + r->LinkName;
        if (!r->FileName.empty()) tail += " at " + r->FileName;
        const std::string& line = rawLines_[k];
        bool ends = line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
        messages[static_cast<size_t>(before)] = ends ? line.substr(0, line.size() - tail.size()) : line;
    }
    return messages;
}

void TCli::Finish() {
    if (EnvSettings.WlsEnabled) {
        // The writer reports failures in boxes; here they go to stderr, and
        // an error box means the file was not written.
        bool failed = false;
        SetMessageBoxHook([&](const TMessageRequest& r) {
            if (r.kind == TMsgKind::Error) failed = true;
            std::string text = r.text;
            for (char& c : text)
                if (c == '\n' || c == '\r') c = ' ';
            term_.Line((r.caption.empty() ? MessageCaption(r.kind) : r.caption) + ": " + text);
            TMsgResult answer = r.unattended.value_or(r.defaultButton);
            if (answer == TMsgResult::Cancel) failed = true;
            return answer;
        });
        UpdateWlsFile(EnvSettings.WlsFileName);
        SetMessageBoxHook({});
        if (failed) status_ = kExitFailure;
    }
    int selected = -1;
    FileList.Sort(EnvSettings.SortType, EnvSettings.SortAscending, selected);
    // The page the last input names shows its parts sorted, as the window's
    // parts list does.
    const std::string named = platform::ExpandFileName(InputList.back());
    for (THTMLFileInfo* page : FileList) {
        if (page->FileName != named) continue;
        int key = EnvSettings.SortType == SortByName ? SortByName : SortBySize;
        if (EnvSettings.SortType != SortNone) page->Items.Sort(key, EnvSettings.SortAscending, selected);
        break;
    }
}

bool TCli::FinishStdout() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    Fail(SJ("標準出力に書けません"));
    return false;
}

bool TCli::CommitOutput(const std::string& name, TStreamedOutput& out) {
    if (out.opened && out.file.Commit(&out.error)) return true;
    Fail(SJ("ﾌｧｲﾙ ") + name + SJ(" を作成できません") + " (" + out.error + ")");
    return false;
}

bool TCli::WriteOutput(const std::string& name, const std::string& bytes) {
    if (name == "-") {
        // A write that fails past the buffer leaves nothing for fflush to
        // report: the stream's error flag tells.
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        return FinishStdout();
    }
    std::string error;
    if (platform::WriteFileAtomic(name, bytes, &error)) return true;
    Fail(SJ("ﾌｧｲﾙ ") + name + SJ(" を作成できません") + " (" + error + ")");
    return false;
}

void TCli::WriteOutputs() {
    // Made before the reports, which put every page's parts and URLs into
    // their own order. A file gets the document as it is made and is put in
    // place after the reports, in the order the outputs are listed.
    std::string json;
    TStreamedOutput jsonOut;
    if (!jsonFile_.empty()) {
        TRunSummary s;
        s.problemMessages = ProblemMessages();
        s.warningCount = cap_.Count();
        s.warningsStopped = cap_.Stopped();
        s.interrupted = stop_;
        s.error = runError_;
        if (jsonFile_ == "-") {
            json = BuildResultJson(s);
        } else if (jsonOut.Open(jsonFile_)) {
            TWriterJsonSink sink(jsonOut.file);
            WriteResultJson(s, sink);
        }
    }
    auto report = [&](const std::string& name, void (*build)(TReportSink&), bool (*save)(const std::string&)) {
        if (name.empty()) return;
        try {
            if (name == "-") {
                TStdoutSink out(false);
                build(out);
                FinishStdout();
            } else {
                save(name);
            }
        } catch (const std::exception& e) {
            Fail(e.what());
        }
    };
    report(textFile_, BuildTextReport, SaveTextReport);
    report(htmlFile_, BuildHTMLReport, SaveHTMLReport);
    if (jsonFile_ == "-") {
        WriteOutput(jsonFile_, json);
    } else if (!jsonFile_.empty()) {
        CommitOutput(jsonFile_, jsonOut);
    }
    if (problemsFile_ == "-") {
        std::string bytes;
        for (const std::string& l : shownLines_) bytes += l + "\r\n";
        WriteOutput(problemsFile_, bytes);
    } else if (!problemsFile_.empty()) {
        // Every line is here when the cap is off: written as it goes.
        TStreamedOutput out;
        if (out.Open(problemsFile_)) {
            for (const std::string& l : shownLines_) {
                out.file.Write(l);
                out.file.Write("\r\n");
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
    SetMessageEncodingSjis(o_.encoding == "sjis");
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
    if (!wlsFile.empty()) {
        EnvSettings.WlsEnabled = true;
        EnvSettings.WlsFileName = wlsFile;
    }

    ResolveInputs();
    if (InputList.empty()) return kExitFailure;
    Measure();
    Finish();
    WriteOutputs();
    if (status_ != 0) return status_;
    if (stop_) return kExitInterrupted;
    return ErrorLog.Count() > 0 ? kExitProblems : 0;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions o;
    CLI::App app{"Weighs web pages kept on the local disk: every page, the files it pulls in,\n"
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
        ->check(CLI::IsMember({"utf-8", "sjis"}))
        ->type_name("utf-8|sjis");
    app.add_flag("--quiet", o.quiet, "No progress display");
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
