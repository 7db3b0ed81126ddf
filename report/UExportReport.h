// Sending the report of the last run to one target: a text or HTML file,
// the clipboard, the text editor or the browser. The window's export
// command (ui/UExport) chooses the sections and the file name first.
#pragma once

#include <string>
#include <vector>

// The export targets: the tag of the menu item, which also picks the
// dialog's title. 5 opens the dialog for the choices alone.
enum TExportTarget : int {
    ExportTextFile = 0,
    ExportHtmlFile = 1,
    ExportClipboard = 2,
    ExportEditor = 3,
    ExportBrowser = 4,
    ExportOptionsOnly = 5,
};

// Sends the report to target (0..4). The file targets write fileName; the
// editor and the browser get a new temporary file, opened with the
// configured program: the browser's is added to tempFiles, to be deleted
// when the window goes, the editor's is kept. A report file that cannot be
// created is reported in an error box, and nothing is opened.
void ExportReport(TExportTarget target, const std::string& fileName, std::vector<std::string>& tempFiles);

// The error box for a report file that cannot be created (message: CP932).
void ShowCreateError(const std::string& message);
