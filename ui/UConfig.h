// The configuration dialog: general behaviour, the outside programs, the
// WWWC item file and the four lists of EnvSettings. It edits copies of the
// settings in its controls; OK copies them back and writes the settings file
// at once, Cancel, Esc and the close box leave the settings alone.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
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

// Shows help for a context number: the topic of a dialog's Help button or
// the context of a control clicked in context-help mode. Set by whoever owns
// the help file; the configuration and export dialogs only call it.
extern std::function<void(int context)> DialogHelpHook;

// --- pieces the program's dialogs share -------------------------------------------------------

// One file dialog. The filters are Qt name filters ("text (*.x *.y)").
struct TFileDialogRequest {
    QString title;
    QStringList filters;
    QString selectedFilter;
    QString defaultSuffix;
    QString initialName;
    bool save = false;  // a save dialog (asks before overwriting), else an open one
};

// Runs the dialog and gives the chosen path (native, absolute), or nullopt
// when cancelled. Tests put an answer in FileDialogHook instead.
std::optional<QString> RunFileDialog(QWidget* parent, const TFileDialogRequest& request);
using TFileDialogHook = std::function<std::optional<QString>(const TFileDialogRequest&)>;
extern TFileDialogHook FileDialogHook;

// Lets a dialog see the keys pressed in any of its controls before they do,
// and turns a context-help click on a control into its "helpContext"
// property (or its nearest parent's). Active while the dialog is shown:
// call Activate from showEvent/hideEvent.
class TKeyPreview : public QObject {
public:
    // onKey returns true when it has handled (swallowed) the key.
    TKeyPreview(QWidget* dialog, std::function<bool(QObject* target, QKeyEvent* key)> onKey,
                std::function<void(int context)> onHelp);
    void Activate(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* dialog_;
    std::function<bool(QObject*, QKeyEvent*)> onKey_;
    std::function<void(int)> onHelp_;
    bool active_ = false;
};

// Enter or Esc pressed without Shift, Ctrl or Alt (the keypad's Enter too).
bool IsPlainKey(const QKeyEvent* key, int qtKey);

// The dialogs' own key handling: a plain Esc runs cancel, a plain Enter runs
// ok, from any control. True when the key was one of the two.
bool OkCancelKey(const QKeyEvent* key, const std::function<void()>& ok, const std::function<void()>& cancel);

// A captioned frame of radio buttons, one chosen (ItemIndex), laid out in
// columns filled top to bottom.
class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent);
    int ItemIndex() const;
    void SetItemIndex(int index);
    QRadioButton* Button(int index) const;
    int Count() const { return static_cast<int>(buttons_.size()); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::vector<QRadioButton*> buttons_;
    QButtonGroup* group_;
    int columns_;
};

// A sorted list box of CP932 entries that several may be selected in. The
// order is that of the upper-cased bytes, so entries differing only in case
// sit together. The horizontal scroll width follows the widest entry.
class TSortedListBox : public QListWidget {
public:
    explicit TSortedListBox(QWidget* parent);
    // Empties the box and fills it with the entries (sorted in).
    void SetEntries(const std::vector<std::string>& entries);
    std::vector<std::string> Entries() const;
    std::string Entry(int row) const;
    void AddEntry(const std::string& entry);
    // The first row for which key(entry), upper-cased, equals upper, or -1.
    int IndexOfUpper(const std::string& upper,
                     const std::function<std::string(const std::string&)>& key = {}) const;
    void RemoveSelected();
    // Text width of the widest entry plus 16 pixels; kept as it was when the
    // box is emptied.
    int HorizontalExtent() const { return extent_; }
    void UpdateHorizontalExtent();

    // The user picked an entry: clicked it, or moved onto it with a key.
    // The focus arriving by Tab (which makes the first row current) and the
    // program's own changes are not picks.
    std::function<void()> OnPick;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int extent_ = 0;
};

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
    void CreateListTab(QWidget* tab, const char* prefix, const std::string& caption, bool withSwitch,
                       QLineEdit** edit, TSortedListBox** list, QPushButton** add, QPushButton** remove,
                       QPushButton** byDefault, QCheckBox** enabled);
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
