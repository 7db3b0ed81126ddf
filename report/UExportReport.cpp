#include "report/UExportReport.h"

#include "outside/YKFileUtils.h"
#include "outside/YKWebBrowser.h"
#include "platform/Dialogs.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"

namespace {

// Writes one report; the error box when the file cannot be created.
bool SaveReport(platform::TResult (*save)(const std::string&), const std::string& fileName) {
    const platform::TResult saved = save(fileName);
    if (!saved) ShowCreateError(saved.Error);
    return saved.Ok;
}

}  // namespace

void ShowCreateError(const std::string& message) {
    platform::TMessageRequest r;
    r.kind = platform::TMsgKind::Error;
    r.caption = VersionText;
    r.text = message;
    platform::ShowMessageBox(r);
}

void ExportReport(TExportTarget target, const std::string& fileName, std::vector<std::string>& tempFiles) {
    switch (target) {
        case ExportTextFile:
            SaveReport(SaveTextReport, fileName);
            break;
        case ExportHtmlFile:
            SaveReport(SaveHTMLReport, fileName);
            break;
        case ExportClipboard:
            CopyTextReport();
            break;
        case ExportEditor: {
            // Left behind on purpose: the editor may still have it open when
            // the program ends.
            const std::string name = MakeTempFileName(".txt", true);
            if (SaveReport(SaveTextReport, name)) OpenWithProgram(EnvSettings.EditorProgram, name);
            break;
        }
        case ExportBrowser: {
            const std::string name = MakeTempFileName(".htm", true);
            tempFiles.push_back(name);
            if (SaveReport(SaveHTMLReport, name)) OpenInBrowser(EnvSettings.BrowserProgram, name);
            break;
        }
        default:
            break;
    }
}
