// The main window: the tool row with the address box, the header bar whose
// panels are the sort buttons and the column grid, the three result lists,
// the status bar, the main menu, run control and the input history.
//
// Every child is placed by the window itself from pixel rules (the panels
// stack top to bottom, splitters resize the panel before them), so the
// geometry is exactly what the rules give, not what a Qt layout would.
#pragma once

#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/UDecodeHTML.h"
#include "engine/UWarningCap.h"
#include "settings/Uenviron.h"

class QAction;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;
class THTMLItemList;
class TBevel;
class TFindDialog;
class TOwnerDrawList;
class TSplitterBar;
class TStatusPanels;
class TYKIntelliLib;
namespace platform {
class TIniFile;
}

// The window's restored (normal-state) rectangle in NORMALLEFT, NORMALTOP,
// NORMALRIGHT and NORMALBOTTOM of a section (right and bottom exclusive).
void SaveWindowPlacement(platform::TIniFile& ini, QWidget* window, const char* section);
// Reads those keys, each defaulting to the current normal rectangle's value,
// and makes the rectangle the window's normal one (for a window shown
// normally, its geometry).
void LoadWindowPlacement(const platform::TIniFile& ini, QWidget* window, const char* section);

class TFormMain : public QMainWindow, public TSettingsWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // --- controls -------------------------------------------------------------
    QWidget* Client;  // the client area below the menu bar
    QWidget* PanelBase;
    TBevel* Bevel1;
    QWidget* Panel6;
    QWidget* URLPanel;
    QToolButton* HistoryBtn;
    QLineEdit* Edit1;
    TSplitterBar* Splitter6;
    QWidget* Panel8;
    QToolButton* BrowseBtn;
    QToolButton* StartBtn;
    QToolButton* BreakBtn;
    QToolButton* LinkBtn;
    QToolButton* EnvBtn;
    QLabel* Image3;  // link button glyph, tracking off
    QLabel* Image4;  // link button glyph, tracking on
    TBevel* Bevel2;
    QWidget* PanelBtn;
    QWidget* SizePanel;
    QPushButton* SortBySize;
    TSplitterBar* Splitter1;
    QWidget* TimePanel;
    QPushButton* SortByTime;
    TSplitterBar* Splitter2;
    QWidget* NamePanel;
    QPushButton* SortByName;
    TSplitterBar* Splitter3;
    QWidget* PanelImgs;
    QPushButton* SortByImgs;
    QWidget* HTMLListPanel;
    TOwnerDrawList* HTMLListBox;
    TSplitterBar* Splitter4;
    QWidget* HTMLSourcePanel;
    TOwnerDrawList* HTMLSource;
    TSplitterBar* Splitter5;
    QWidget* ErrorListPanel;
    TOwnerDrawList* ErrorListBox;
    TStatusPanels* StatusBar1;
    QWidget* PanelIntelli;
    QLabel* ImageIntelli;

    // --- menus ----------------------------------------------------------------
    QMenu* Menu_File;
    QAction* Menu_FileOpen;
    QAction* Menu_FileStart;
    QMenu* Menu_FileReOpen;
    QAction* Menu_Find;
    QMenu* Menu_FileExport;
    QAction* Menu_FileExit;
    QMenu* Menu_Sort;
    QAction* Menu_SortSize;
    QAction* Menu_SortName;
    QAction* Menu_SortImgs;
    QAction* Menu_SortNone;     // hidden entry
    QAction* Menu_SortNoneKey;  // the window's twin that keeps Alt+4 working
    QMenu* Menu_Option;
    QMenu* Menu_OptionSpeed;
    QMenu* Menu_OptionSpeedSlower;
    std::vector<QAction*> SpeedItems;  // in SpeedTable order
    QMenu* Menu_OptionFileSize;
    std::vector<QAction*> FileSizeItems;
    QAction* Menu_OptionShowHintFlg;
    QAction* Menu_OptionLink;
    QAction* Menu_OptionModern;  // the modern reading (CONFIG/MODERN)
    QAction* Menu_OptionExport;
    QAction* Menu_OptionConfig;
    QMenu* Menu_Help;
    QAction* Menu_HelpContents;
    QAction* Menu_HelpSearch;
    QAction* Menu_HelpHowTo;
    QAction* Menu_HelpAbout;
    QAction* Menu_Abort;
    QMenu* PopupMenu1;  // page list
    QMenu* PopupMenu2;  // problem list
    QMenu* PopupMenu3;  // parts list
    QMenu* PopupMenu4;  // history button
    QAction* Menu1_Start;
    TFindDialog* FindDialog1;
    QFileDialog* OpenDialog1;
    // The middle-button auto-scroll; freed at shutdown.
    TYKIntelliLib* AutoScroll = nullptr;
    // The old wheel driver's roll message; never registered here (0).
    int WheelRollMessage = 0;

    // --- state ------------------------------------------------------------------
    bool Running = false;
    bool StopFlag = false;
    bool WarningsStopped = false;
    int FileCount = 0;
    int WarningCount = 0;
    std::string FirstFile;
    int ShownIndex = -1;
    bool DragSelecting = false;
    bool KeySelecting = false;
    int ErrorListExtent = 0;
    std::string LastFindText;
    std::vector<std::string> TempFiles;

    // Tool-button layout values, taken from the design positions.
    int ButtonWidth = 0;
    int ButtonLeft = 0;
    int ButtonGap = 0;
    int ButtonRowWidth = 0;
    int ButtonPitch = 0;

    // --- layout (main window) ----------------------------------------------------------
    void LayoutPanels();
    void LayoutButtons();
    void RefreshStatus();
    // Places the children from their current sizes, as panel alignment does.
    void AlignControls();
    void SetURLPanelWidth(int width);
    // Header panels from x = 0 with these widths (at least 16 each).
    void SetHeaderWidths(int size, int time, int name);
    // Free height of the list area: PanelBase minus PanelBtn, Panel6, Bevel2.
    int FreeListHeight() const;
    // Tooltips on or off for the controls that carry hints.
    void ApplyHints(bool show);

    // --- progress sinks -------------------------------------------------------------------
    void ReportFile(const std::string& path);
    void ReportFolderSearch(const std::string& path);
    void ReportWarning(const std::string& line);
    void AddProblemLine(const std::string& line);

    // --- result lists -------------------------------------------------------------------------
    void HTMLListBoxDrawItem(QPainter& canvas, int index, const QRect& rect, bool selected);
    void HTMLSourceDrawItem(QPainter& canvas, int index, const QRect& rect, bool selected);
    void ErrorListBoxDrawItem(QPainter& canvas, int index, const QRect& rect, bool selected);
    void ShowParts();
    void SortFileList();
    void SortParts();
    // True when a row matched (and was selected).
    bool FindInList(const THTMLItemList& records, TOwnerDrawList* control, bool ignoreCase, bool backward,
                    std::string text);
    void FindDialog1Find();
    void OpenFindDialog(QWidget* target);
    // The page selected in HTMLListBox, or null.
    class THTMLFileInfo* SelectedPage() const;
    void HTMLListBoxBrowserClick();
    void HTMLListBoxEditorClick();
    void HTMLListBoxFolderClick();
    void HTMLSourceDblClick();
    void HTMLSourceFolderClick();
    void ErrorListBoxDblClick();
    void ErrorListBoxBrowserClick();
    void ErrorListBoxFolderClick();
    void Menu1_StartClick();

    // --- commands ----------------------------------------------------------------------------
    void ClickSortButton(int key);
    void Menu_OptionSpeedNumClick(QAction* item);
    void Menu_OptionFileSizeNumClick(QAction* item);
    void Menu_OptionShowHintFlgClick();
    void Menu_OptionLinkClick();
    void Menu_OptionModernClick();
    void Menu_OptionConfigClick();
    void Menu_FileOpenClick();
    void BrowseBtnClick();
    void Menu_FileClick();
    void Menu_FindClick();
    // The control the window's commands act on: the focused one, or, while
    // the menu bar holds the focus (a menu closed with Esc leaves it there),
    // the one that had it before.
    QWidget* ActiveControl() const;
    void HistoryBtnClick();
    void HistoryItemClick(QAction* item);
    // Loads the link button's glyph from Image3 or Image4.
    void ShowLinkState();
    // One of the five export entries (its data is the tag 0..4).
    void Menu_FileExportTxtClick(QAction* item);
    void Menu_OptionConfigExportClick();
    void Menu_HelpContentsClick();
    void Menu_HelpSearchClick();
    void Menu_HelpHowToClick();
    void Menu_HelpAboutClick();
    // The export a tag runs; tests put a recorder in its place.
    std::function<void(int tag)> ExportRunner;

    // --- shortcuts, wheel --------------------------------------------------------------------
    // The first main-menu entry (depth first, hidden ones included) carrying
    // the key, or null; menus holds the menus above it, top down.
    QAction* ShortcutEntry(const QKeySequence& key, std::vector<QMenu*>* menus = nullptr) const;
    // Runs the key as the menu does: the menus above the entry run their
    // click actions top down, a disabled menu or entry ends it there. True
    // when an entry carries the key (the key is then used up either way).
    bool DispatchShortcut(const QKeySequence& key);
    // A wheel event of delta (120 a notch) anywhere in the window.
    void FormMouseWheel(int delta);
    // The auto-scroll's scroll step.
    void AutoScrollStep(QWidget* target, int dx, int dy);

    // --- run control -------------------------------------------------------------------------
    // The engine a run calls (MeasureAll); tests put a failing one in its place.
    std::function<void(bool&, const TProgressSink&, const TProgressSink&, const TProgressSink&)> RunEngine;
    void StartMeasurement();
    void StartBtnClick();
    void StartBtn2Click();
    void BreakBtnClick();
    // Command-line arguments (without the program name) into InputList, then a run.
    void ProcessCommandLine(const std::vector<std::string>& args);
    // Dropped files, in drop order, into InputList, then a run.
    void ReceiveDroppedFiles(const std::vector<std::string>& paths);
    // A second start's arguments: count and the "|"-separated text (up to
    // its NUL byte), measured as they are.
    void ReceiveHandOver(uint32_t count, const std::string& text);

    // --- input resolution and history ----------------------------------------------------------
    std::string PrepareInput(const std::string& text);
    void AddToHistory(const std::string& path);
    // The history paths, newest first.
    std::vector<std::string> History() const;
    void ClearHistory();

    // --- auto-scroll ---------------------------------------------------------------------------
    // The list mouse events offered to the auto-scroll; true lets the list
    // go on with its own handling.
    void StopAutoScroll();
    bool AutoScrollMouseDown(TOwnerDrawList* list, QMouseEvent* event);
    bool AutoScrollMouseMove(TOwnerDrawList* list, QMouseEvent* event);
    bool AutoScrollMouseUp(TOwnerDrawList* list, QMouseEvent* event);

    // --- TSettingsWindow -----------------------------------------------------------------------
    void ApplyNoFile() override;
    void LoadHistory(const platform::TIniFile& ini) override;
    void ApplyWindowSection(const platform::TIniFile& ini) override;
    void ShowWindow() override;
    void FillInputFromHistory() override;
    void LoadFinished() override;
    void SaveHistory(platform::TIniFile& ini) override;
    void SaveWindowSection(platform::TIniFile& ini) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TAppKeyFilter;
    // Shortcut keys and the wheel, for every control of the window, before
    // the control or Qt's own shortcuts see them.
    bool AppEventFilter(QObject* watched, QEvent* event);
    void RunMenuClick(QMenu* menu);
    void InstallAppKeyFilter();
    void RemoveAppKeyFilter();
    void CreateOpenDialog();
    void CreateControls();
    void CreateMenus();
    void CreatePopupMenus();
    void ConnectLists();
    void TakeButtonLayoutValues();
    // Window keys seen before the focused control; true consumes the key.
    bool FormKeyDown(QKeyEvent* event);
    bool Edit1KeyPress(QKeyEvent* event);
    // Keys of one list, after the auto-scroll stop; true consumes the key.
    bool ListKeyDown(TOwnerDrawList* list, QKeyEvent* event);
    void ListMouseDown(TOwnerDrawList* list, QMouseEvent* event);
    void PopupAtSelection(TOwnerDrawList* list, QMenu* menu);
    void LockControls(bool running);
    void FinishMeasurement(int namedPage);
    void Shutdown();
    QAction* MakeHistoryItem(QMenu* menu, const std::string& path, int tag);
    void Launch(int kind, const std::string& program, const std::string& file);

    TWarningCap warningCap_;
    bool closePending_ = false;
    bool shutDown_ = false;
    QWidget* findTarget_ = nullptr;
    QPointer<QWidget> lastFocus_;  // the last control but the menu bar to have the focus
    // Runs the key-up of the page list once no key has come for a moment.
    QTimer* keyUpTimer_ = nullptr;
    QObject* appFilter_ = nullptr;
};
