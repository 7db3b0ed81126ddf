// Run control: starting a measurement, locking the window while it runs,
// the progress sinks, Break, and filling the lists when it ends. Also the
// input preparation every start request goes through.
#include <QApplication>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QUrl>
#include <exception>

#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "engine/UInputResolve.h"
#include "outside/URunEnd.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "ui/QtText.h"
#include "ui/UControls.h"
#include "ui/UnitMain.h"

// --- input preparation --------------------------------------------------------------------------

std::string TFormMain::PrepareInput(const std::string& text) {
    const TResolvedInput input = ResolveInput(text);
    if (input.Refused) platform::ShowMessage(platform::TMsgKind::Error, input.Message);
    if (input.Path.empty()) return input.Path;
    Edit1->setText(Q(input.Path));
    if (input.Exists) AddToHistory(input.Path);
    return input.Path;
}

// --- progress sinks --------------------------------------------------------------------------------

namespace {

// The page begun is put up at most every 40 ms: painting the status texts
// for each of 100,000 pages costs more than measuring them. The last page's
// texts are put up when the run ends.
struct TFileStatus {
    QElapsedTimer shown;
    std::string path;
    bool pending = false;
};
TFileStatus g_fileStatus;
constexpr qint64 kFileStatusInterval = 40;

void ShowFileStatus(TFormMain& form, const std::string& path) {
    form.StatusBar1->SetPanelText(0, std::to_string(form.FileCount) + SJ(" ファイル"));
    form.StatusBar1->SetPanelText(3, path);
    form.StatusBar1->repaint();
    g_fileStatus.shown.start();
    g_fileStatus.pending = false;
}

void FlushFileStatus(TFormMain& form) {
    if (g_fileStatus.pending) ShowFileStatus(form, g_fileStatus.path);
    g_fileStatus.shown.invalidate();
}

}  // namespace

void TFormMain::ReportFile(const std::string& path) {
    QCoreApplication::processEvents();
    ++FileCount;
    if (g_fileStatus.shown.isValid() && g_fileStatus.shown.elapsed() < kFileStatusInterval) {
        g_fileStatus.path = path;
        g_fileStatus.pending = true;
        return;
    }
    ShowFileStatus(*this, path);
}

void TFormMain::ReportFolderSearch(const std::string& path) {
    QCoreApplication::processEvents();
    StatusBar1->SetPanelText(0, SJ("フォルダ検索中"));
    StatusBar1->SetPanelText(3, path);
    StatusBar1->repaint();
}

void TFormMain::ReportWarning(const std::string& line) {
    QCoreApplication::processEvents();
    if (warningCap_.Stopped()) return;
    try {
        warningCap_.Report(line);
    } catch (const std::exception&) {
        // A line that cannot be listed ends the listing, as the cap does.
        warningCap_.Stop();
        WarningCount = warningCap_.Count();
        WarningsStopped = true;
        platform::ShowMessage(platform::TMsgKind::Error, TWarningCap::Notice());
        return;
    }
    WarningCount = warningCap_.Count();
    WarningsStopped = warningCap_.Stopped();
    ErrorListBox->repaint();
    StatusBar1->repaint();
}

void TFormMain::AddProblemLine(const std::string& line) {
    const int width = ErrorListBox->fontMetrics().horizontalAdvance(Q(line)) + 16;
    if (width >= ErrorListExtent) {
        ErrorListBox->SetHorizontalExtent(width);
        ErrorListExtent = width;
    }
    ErrorListBox->AddItem(line);
}

// --- starting and stopping ---------------------------------------------------------------------------

void TFormMain::LockControls(bool running) {
    for (QMenu* m : {Menu_File, Menu_Sort, Menu_Option, Menu_Help}) m->menuAction()->setEnabled(!running);
    Menu_Abort->setVisible(running);
    for (QWidget* w :
         {static_cast<QWidget*>(BrowseBtn), static_cast<QWidget*>(StartBtn), static_cast<QWidget*>(EnvBtn),
          static_cast<QWidget*>(LinkBtn), static_cast<QWidget*>(SortBySize), static_cast<QWidget*>(SortByTime),
          static_cast<QWidget*>(SortByName), static_cast<QWidget*>(SortByImgs), static_cast<QWidget*>(Edit1)})
        w->setEnabled(!running);
    HistoryBtn->setEnabled(!running && !History().empty());
    BreakBtn->setEnabled(running);
}

void TFormMain::StartMeasurement() {
    if (Running || InputList.empty()) return;
    // The run's busy cursor must not land on top of the auto-scroll's.
    StopAutoScroll();
    Running = true;
    setAcceptDrops(false);
    if (isMinimized()) showNormal();
    ShownIndex = -1;
    HTMLListBox->Clear();
    HTMLSource->Clear();
    ErrorListBox->Clear();
    WarningsStopped = false;
    warningCap_.Reset();
    ErrorListExtent = 0;
    ErrorListBox->SetHorizontalExtent(0);
    FileCount = 0;
    WarningCount = 0;

    QApplication::setOverrideCursor(Qt::WaitCursor);
    LockControls(true);
    StatusBar1->SetPanelText(1, std::to_string(0) + SJ(" 警告"));
    StopFlag = false;

    // The page to select afterwards; Linux names compare exactly.
    const std::string selectPath = platform::ExpandFileName(FromQ(Edit1->text()));
    FirstFile = InputList.front();

    std::string failure;
    bool failed = false;
    g_fileStatus = TFileStatus{};
    try {
        RunEngine(
            StopFlag, [this](const std::string& p) { ReportFolderSearch(p); },
            [this](const std::string& p) { ReportFile(p); }, [this](const std::string& l) { ReportWarning(l); });
    } catch (const std::exception& e) {
        failed = true;
        failure = e.what();
    } catch (...) {
        failed = true;
    }
    FlushFileStatus(*this);
    // An engine that failed leaves the item file alone; the lists are
    // filled with what was gathered all the same.
    const TRunEnd end = FinishRun(selectPath, !failed);
    if (end.ItemFile.Outcome == TWlsOutcome::Failed) platform::ShowMessage(end.ItemFile.Kind, end.ItemFile.Message);
    FinishMeasurement(end.NamedPage);
    if (failed)
        platform::ShowMessage(platform::TMsgKind::Error,
                              failure.empty() ? SJ("計測中にエラーが発生しました。") : failure);
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

void TFormMain::FinishMeasurement(int namedPage) {
    LockControls(false);

    // FinishRun has sorted the pages and the named page's parts.
    HTMLListBox->BeginUpdate();
    for (int i = 0; i < FileList.Count(); ++i) HTMLListBox->AddItem(std::string());
    HTMLListBox->EndUpdate();
    HTMLListBox->SetItemIndex(namedPage);
    HTMLListBox->viewport()->update();
    ShowParts();

    HTMLListBox->setFocus();
    setAcceptDrops(true);
    QApplication::restoreOverrideCursor();

    if (EnvSettings.MessageBeep) QApplication::beep();
    if (EnvSettings.MessageDialog) platform::ShowMessage(platform::TMsgKind::Information, SJ("測定は終了しました。"));
    Running = false;
}

void TFormMain::StartBtnClick() {
    StopAutoScroll();
    if (Running) return;
    const std::string text = FromQ(Edit1->text());
    // A folder test finds the folder itself, with or without the separator.
    if (!text.empty() && (platform::FileExists(text) || platform::DirectoryExists(text))) {
        InputList.assign(1, text);
        StartMeasurement();
    } else {
        platform::ShowMessage(platform::TMsgKind::Error, SJ("ファイルが見つかりません") + "\n\n" + text);
    }
}

void TFormMain::StartBtn2Click() {
    if (Running) return;
    const std::string path = PrepareInput(FromQ(Edit1->text()));
    if (!path.empty()) StartBtnClick();
}

void TFormMain::BreakBtnClick() {
    StopAutoScroll();
    StopFlag = true;
}

// --- other ways in ----------------------------------------------------------------------------------------

void TFormMain::ProcessCommandLine(const std::vector<std::string>& args) {
    if (args.empty() || Running) return;
    InputList.clear();
    for (std::string arg : args) {
        if (arg.size() > 2 && arg.front() == '"' && arg.back() == '"') arg = arg.substr(1, arg.size() - 2);
        const std::string path = PrepareInput(arg);
        if (!path.empty()) InputList.push_back(path);
    }
    StartMeasurement();
}

void TFormMain::ReceiveDroppedFiles(const std::vector<std::string>& paths) {
    if (Running) return;
    InputList.clear();
    for (const std::string& dropped : paths) {
        const std::string path = PrepareInput(dropped);
        if (!path.empty()) InputList.push_back(path);
    }
    raise();
    activateWindow();
    StartMeasurement();
}

void TFormMain::ReceiveHandOver(uint32_t count, const std::string& text) {
    if (Running) return;
    if (isMinimized()) showNormal();
    // The second start asked for this window to come forward.
    raise();
    activateWindow();
    // "|" may be the second byte of a double-byte character (ポ): never split there.
    if (count < 1 || platform::SjisFind(text, '|') == std::string::npos) return;
    InputList.clear();
    std::string rest = text;
    size_t bar;
    while (!rest.empty() && (bar = platform::SjisFind(rest, '|')) != std::string::npos) {
        std::string piece = rest.substr(0, bar);
        if (!piece.empty() && piece.front() == '"' && piece.back() == '"') {
            piece.erase(0, 1);
            if (!piece.empty()) piece.pop_back();
        }
        InputList.push_back(piece);
        rest.erase(0, bar + 1);
    }
    StartMeasurement();
}

void TFormMain::dragEnterEvent(QDragEnterEvent* event) {
    if (Running || !event->mimeData()->hasUrls()) return;
    for (const QUrl& url : event->mimeData()->urls())
        if (!url.isLocalFile()) return;
    event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QByteArray native = url.toLocalFile().toUtf8();
        const std::string_view view(native.constData(), static_cast<size_t>(native.size()));
        const auto cp = platform::FromNative(view);
        paths.push_back(cp ? *cp : platform::Utf8ToCp932(view));
    }
    event->acceptProposedAction();
    // Measure after the drop has been answered, so the program the files
    // came from is not kept waiting for the whole run.
    QMetaObject::invokeMethod(
        this, [this, paths] { ReceiveDroppedFiles(paths); }, Qt::QueuedConnection);
}
