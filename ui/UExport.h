// Exporting the results of the last run: the options dialog that chooses
// the report sections, and the command that sends a report to a text file,
// an HTML file, the clipboard, the text editor or the browser.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "report/UExportReport.h"
#include "ui/UDialogParts.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPushButton;

inline constexpr int HelpTopicExport = 10018;
inline constexpr int HelpContextExport = 10145;

class TFExport : public QDialog {
    Q_OBJECT
public:
    explicit TFExport(QWidget* parent = nullptr);

    QLabel* Label1;
    QCheckBox* CheckExportURLList;
    QCheckBox* CheckExportHTMList;
    QCheckBox* CheckExportHTMLRes;
    QCheckBox* CheckExportOtherURL;
    QCheckBox* CheckExportError;
    QCheckBox* CheckExportUseTable;
    QCheckBox* CheckExportToShow;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

    // Shows the dialog modally with the title of index (0..5) and the
    // choices of EnvSettings; true when it was closed with OK (the choices
    // are then in EnvSettings).
    bool Execute(int index);

    void OkButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();
    // Enter = OK, Esc = Cancel, from any control. True when handled.
    bool FormKeyDown(QKeyEvent* key);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    TKeyPreview* preview_;
    bool showConfigAtOpen_ = false;
    bool result_ = false;
};

// The dialog, made on first use and kept.
TFExport* ExportDialog(QWidget* parent = nullptr);

// The export command for the tag of the chosen menu item (0..4): the options
// dialog first when EnvSettings.ExportShowConfig is on (Cancel exports
// nothing), then the target. The browser's temporary report is added to
// tempFiles, to be deleted when the window goes; the editor's is kept.
// A report file that cannot be created is reported in an error box.
void RunExport(int Tag, QWidget* owner, std::vector<std::string>& TempFiles);

// The options menu's entry: the dialog for the choices alone.
void ShowExportOptions(QWidget* parent);
