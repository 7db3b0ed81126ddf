// The configuration dialog: general behaviour, the outside programs, the
// WWWC item file and the four lists of EnvSettings. It edits copies of the
// settings in its controls; OK copies them back and writes the settings file
// at once, Cancel, Esc and the close box leave the settings alone.
#pragma once

#include <QDialog>
#include <string>

#include "ui/UDialogParts.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TSettingsWindow;

// --- help contexts --------------------------------------------------------------------------

inline constexpr int HelpContextConfig = 10145;
// Topic of the first tab; the tab's position among all seven tabs (the
// hidden one included) counts on from it up to the sixth. The alias tab,
// seventh, opens the dialog's own topic.
inline constexpr int HelpTopicConfigFirstTab = 10012;

// --- the dialog -----------------------------------------------------------------------------

class TFConfig : public QDialog {
    Q_OBJECT
public:
    explicit TFConfig(QWidget* parent = nullptr);

    // Whose history and window geometry the settings file gets on OK.
    TSettingsWindow* Window = nullptr;

    QTabWidget* PageControl1;
    QWidget* TabStandard;
    QWidget* TabSheet1;
    QWidget* TabTool;
    QWidget* TabHTMLExt;
    QWidget* TabHREFSkip;
    QWidget* TabIMGSkip;
    QWidget* TabAlias;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;

    // general
    TRadioGroup* GUI_EnvEscKeyAction;
    QCheckBox* GUI_AnotherFolder;
    QCheckBox* GUI_EnvSplitLine;
    QCheckBox* GUI_EnvMultiOpen;
    QCheckBox* GUI_EnvLnkFlag;
    QCheckBox* GUI_EnvMessageBeep;
    QCheckBox* GUI_EnvMessageDialog;
    QCheckBox* GUI_EnvModern;
    TRadioGroup* RadioGroup_CharSet;
    QGroupBox* GUI_EnvErrorLogGroupBox;
    QRadioButton* GUI_EnvErrorLogLimitOff;
    QRadioButton* GUI_EnvErrorLogLimitOn;
    QSpinBox* GUI_EnvErrorLogMax;
    QGroupBox* GUI_EnvWWWCGroupBox;
    QCheckBox* GUI_EnvWWWCWLSEnabled;
    QLabel* GUI_EnvWWWCWLSLabel;
    QLineEdit* GUI_EnvWWWCWLSFileName;
    QPushButton* GUI_EnvWWWCWLSDialog;
    QCheckBox* GUI_EnvWWWCWLSKeepInfo;
    QCheckBox* GUI_EnvWWWCWLSRemoveURL;
    QCheckBox* GUI_EnvWWWCExecute;

    // tools
    QGroupBox* GroupBoxPrograms;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QLabel* GUI_EnvPrgBrowserLabel;
    QLineEdit* GUI_EnvPrgBrowser;
    QPushButton* GUI_EnvPrgBrowserDialog;
    QLabel* GUI_EnvPrgTextLabel;
    QLineEdit* GUI_EnvPrgText;
    QPushButton* GUI_EnvPrgTextDialog;
    QLabel* GUI_EnvPrgImageLabel;
    QLineEdit* GUI_EnvPrgImage;
    QPushButton* GUI_EnvPrgImageDialog;
    QCheckBox* CheckBox9;

    // lists
    QLineEdit* HTMExtEdit;
    TSortedListBox* HTMExtList;
    QPushButton* HTMExtAdd;
    QPushButton* HTMExtRemove;
    QPushButton* HTMExtDefault;
    QLineEdit* HREFSkipEdit;
    TSortedListBox* HREFSkipList;
    QPushButton* HREFSkipAdd;
    QPushButton* HREFSkipRemove;
    QPushButton* HREFSkipDefault;
    QCheckBox* HREFSkipListEnabled;
    QLineEdit* IMGSkipEdit;
    TSortedListBox* IMGSkipList;
    QPushButton* IMGSkipAdd;
    QPushButton* IMGSkipRemove;
    QPushButton* IMGSkipDefault;
    QCheckBox* IMGSkipListEnabled;
    QLineEdit* AliasEditSou;
    QLineEdit* AliasEditDes;
    TSortedListBox* AliasList;
    QPushButton* AliasAdd;
    QPushButton* AliasRemove;
    QPushButton* AliasDefauld;
    QCheckBox* AliasListEnabled;

    void FormShow();
    void OkButtonClick();
    void CancelButtonClick();
    void HelpButtonClick();
    // True when the key was handled (Enter = OK, Esc = Cancel).
    bool FormKeyDown(QKeyEvent* key);
    // The help topic of the tab shown.
    int CurrentHelpTopic() const;

    void HTMExtAddClick();
    void HTMExtRemoveClick();
    void HTMExtDefaultClick();
    void HTMExtListClick();
    void HREFSkipAddClick();
    void HREFSkipRemoveClick();
    void HREFSkipDefaultClick();
    void HREFSkipListClick();
    void IMGSkipAddClick();
    void IMGSkipRemoveClick();
    void IMGSkipDefaultClick();
    void IMGSkipListClick();
    void AliasAddClick();
    void AliasRemoveClick();
    void AliasDefauldClick();
    void AliasListClick();
    void GUI_EnvPrgBrowserDialogClick();
    void GUI_EnvPrgTextDialogClick();
    void GUI_EnvPrgImageDialogClick();
    void RadioButton1Click();
    void GUI_EnvWWWCWLSEnabledClick();
    void GUI_EnvWWWCWLSKeepInfoClick();
    void GUI_EnvWWWCWLSDialogClick();
    void GUI_EnvErrorLogLimitOffClick(QRadioButton* sender);
    // True when the key is discarded (Enter and Esc in the WLS file name).
    bool GUI_EnvWWWCWLSFileNameKeyPress(QKeyEvent* key);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void reject() override;

private:
    void FormCreate();
    void CreateGeneralTab();
    void CreateToolTab();
    void CreateListTab(QWidget* tab, const char* prefix, const std::string& caption, bool withSwitch, QLineEdit** edit,
                       TSortedListBox** list, QPushButton** add, QPushButton** remove, QPushButton** byDefault,
                       QCheckBox** enabled);
    void EnableWlsControls();
    void PickProgram(QLabel* label, QLineEdit* edit);
    bool ConfirmDefault(const std::string& question);
    void AddSkipEntry(QLineEdit* edit, TSortedListBox* list);

    TKeyPreview* preview_;
};

// Empties the five entry fields of the list tabs and shows the dialog
// modally; returns when it is closed. The dialog is made on first use and
// kept, so the tab last shown is shown again. window: the main window, whose
// sections the settings file gets on OK (nullptr: none).
void ShowConfigDialog(QWidget* parent, TSettingsWindow* window);
// The dialog ShowConfigDialog uses, made when missing.
TFConfig* ConfigDialog(QWidget* parent = nullptr);
