// The main menu, the option toggles, the open-file command and the history
// of inputs (the re-open submenu and the history button).
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QWheelEvent>

#include "engine/UHTMLList.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "ui/QtText.h"
#include "ui/UConfig.h"
#include "ui/UControls.h"
#include "ui/UExport.h"
#include "ui/UFileDialog.h"
#include "ui/UHelp.h"
#include "ui/UVersion.h"
#include "ui/UnitMain.h"

namespace {

QString MenuCaption(const std::string& cp932) {
    // A path in a menu shows its "&" as typed, not as a mnemonic.
    return Q(cp932).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

constexpr int kHistoryMax = 20;
constexpr int kClearTag = -1;

// The first entry carrying key in menu, depth first; menus collects the
// menus on the way down to it.
QAction* FindShortcut(QMenu* menu, const QKeySequence& key, std::vector<QMenu*>& menus) {
    menus.push_back(menu);
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        if (QMenu* sub = a->menu()) {
            if (QAction* found = FindShortcut(sub, key, menus)) return found;
        } else if (!a->shortcut().isEmpty() && a->shortcut() == key) {
            return a;
        }
    }
    menus.pop_back();
    return nullptr;
}

}  // namespace

// Sees every event of the application first and hands the window's keys
// and wheel events to it, before Qt's shortcut handling and the controls.
class TAppKeyFilter : public QObject {
public:
    explicit TAppKeyFilter(TFormMain* form) : QObject(form), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override { return form_->AppEventFilter(watched, event); }

private:
    TFormMain* form_;
};

void TFormMain::InstallAppKeyFilter() {
    if (appFilter_) return;
    appFilter_ = new TAppKeyFilter(this);
    qApp->installEventFilter(appFilter_);
}

void TFormMain::RemoveAppKeyFilter() {
    if (!appFilter_) return;
    qApp->removeEventFilter(appFilter_);
    delete appFilter_;
    appFilter_ = nullptr;
}

bool TFormMain::AppEventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::Wheel) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;

    if (type == QEvent::Wheel) {
        FormMouseWheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence sequence(key->keyCombination());
    if (!ShortcutEntry(sequence)) return false;
    // Claiming the override keeps Qt's own shortcut handling (and its
    // ambiguity between entries sharing a key) out; the press that follows
    // is the menu's, not the focused control's.
    if (type == QEvent::KeyPress) DispatchShortcut(sequence);
    key->accept();
    return true;
}

QAction* TFormMain::ShortcutEntry(const QKeySequence& key, std::vector<QMenu*>* menus) const {
    std::vector<QMenu*> path;
    QAction* found = nullptr;
    for (QAction* top : menuBar()->actions()) {
        if (QMenu* menu = top->menu()) {
            found = FindShortcut(menu, key, path);
        } else if (!top->shortcut().isEmpty() && top->shortcut() == key) {
            found = top;
        }
        if (found) break;
    }
    if (found && menus) *menus = path;
    return found;
}

void TFormMain::RunMenuClick(QMenu* menu) {
    if (menu == Menu_File) Menu_FileClick();
    else if (menu->menuAction() && menuBar()->actions().contains(menu->menuAction())) StopAutoScroll();
}

bool TFormMain::DispatchShortcut(const QKeySequence& key) {
    std::vector<QMenu*> menus;
    QAction* entry = ShortcutEntry(key, &menus);
    if (!entry) return false;
    for (QMenu* menu : menus) {
        if (!menu->isEnabled() || !menu->menuAction()->isEnabled()) return true;
        RunMenuClick(menu);
    }
    // A hidden entry reads as disabled; it is only ever hidden, never
    // switched off, and its twin on the window carries its action.
    if (entry->isVisible() && !entry->isEnabled()) return true;
    QAction* twin = qobject_cast<QAction*>(entry->property("twin").value<QObject*>());
    (!entry->isVisible() && twin ? twin : entry)->trigger();
    return true;
}

void TFormMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [this](QMenu* parent, const char* name, const std::string& caption) {
        QMenu* m = parent ? parent->addMenu(Q(caption)) : menuBar()->addMenu(Q(caption));
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto item = [](QMenu* parent, const char* name, const std::string& caption, const QKeySequence& key = {}) {
        QAction* a = parent->addAction(Q(caption));
        a->setObjectName(name);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            // Shown in the menu, but run by DispatchShortcut only.
            a->setShortcutContext(Qt::WidgetShortcut);
        }
        return a;
    };

    // File
    Menu_File = menu(nullptr, "Menu_File", SJ("ﾌｧｲﾙ(&F)"));
    Menu_FileOpen =
        item(Menu_File, "Menu_FileOpen", SJ("HTMLファイルを開く(&O)..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    Menu_FileStart = item(Menu_File, "Menu_FileStart", SJ("計測開始(&G)"), QKeySequence(Qt::ALT | Qt::Key_G));
    Menu_FileReOpen = menu(Menu_File, "Menu_FileReOpen", SJ("再び開く(&R)"));
    Menu_File->addSeparator();
    Menu_Find = item(Menu_File, "Menu_Find", SJ("検索(&F)"), QKeySequence(Qt::CTRL | Qt::Key_F));
    Menu_File->addSeparator();
    Menu_FileExport = menu(Menu_File, "Menu_FileExport", SJ("測定結果を出力(&E)"));
    const std::pair<const std::string*, Qt::Key> exports[] = {{&SJ("テキストファイル(*.TXT)"), Qt::Key_T},
                                                              {&SJ("HTMLファイル(*.HTML)"), Qt::Key_M},
                                                              {&SJ("クリップボード"), Qt::Key_C},
                                                              {&SJ("テキストエディタで開く"), Qt::Key_E},
                                                              {&SJ("ブラウザで開く"), Qt::Key_B}};
    int tag = 0;
    for (const auto& [caption, key] : exports) {
        QAction* a = item(Menu_FileExport, "", *caption, QKeySequence(Qt::ALT | key));
        a->setObjectName(QStringLiteral("Menu_FileExport%1").arg(tag));
        a->setData(tag++);
        connect(a, &QAction::triggered, this, [this, a] { Menu_FileExportTxtClick(a); });
    }
    Menu_File->addSeparator();
    Menu_FileExit = item(Menu_File, "Menu_FileExit", SJ("終了(&X)"), QKeySequence(Qt::ALT | Qt::Key_X));

    // Sort
    Menu_Sort = menu(nullptr, "Menu_Sort", SJ("ソート(&S)"));
    Menu_SortSize =
        item(Menu_Sort, "Menu_SortSize", SJ("サイズ/所要時間でソート(&S)"), QKeySequence(Qt::ALT | Qt::Key_1));
    Menu_SortName = item(Menu_Sort, "Menu_SortName", SJ("ファイル名でソート(&N)"), QKeySequence(Qt::ALT | Qt::Key_2));
    Menu_SortImgs =
        item(Menu_Sort, "Menu_SortImgs", SJ("IMG ファイル総数でソート(&I)"), QKeySequence(Qt::ALT | Qt::Key_3));
    Menu_SortNone = item(Menu_Sort, "Menu_SortNone", SJ("ソートしない(&U)"), QKeySequence(Qt::ALT | Qt::Key_4));
    Menu_SortNone->setVisible(false);
    // A hidden entry does not fire on its shortcut; the window's twin does.
    Menu_SortNoneKey = new QAction(this);
    Menu_SortNoneKey->setObjectName("Menu_SortNoneKey");
    Menu_SortNoneKey->setShortcut(QKeySequence(Qt::ALT | Qt::Key_4));
    addAction(Menu_SortNoneKey);
    Menu_SortNone->setProperty("twin", QVariant::fromValue<QObject*>(Menu_SortNoneKey));
    Menu_SortSize->setData(0);
    Menu_SortName->setData(1);
    Menu_SortImgs->setData(2);
    Menu_SortNone->setData(3);
    Menu_SortNoneKey->setData(3);
    for (QAction* a : {Menu_SortSize, Menu_SortName, Menu_SortImgs, Menu_SortNone, Menu_SortNoneKey})
        connect(a, &QAction::triggered, this, [this, a] { ClickSortButton(a->data().toInt()); });

    // Option
    Menu_Option = menu(nullptr, "Menu_Option", SJ("ｵﾌﾟｼｮﾝ(&O)"));
    Menu_OptionSpeed = menu(Menu_Option, "Menu_OptionSpeed", SJ("回線速度(&S)"));
    Menu_OptionSpeedSlower = menu(Menu_OptionSpeed, "Menu_OptionSpeedSlower", SlowerSpeedsCaption());
    for (const TSpeedEntry& entry : SpeedTable) {
        QMenu* parent = entry.Slower ? Menu_OptionSpeedSlower : Menu_OptionSpeed;
        QAction* a = parent->addAction(MenuCaption(entry.Caption));
        a->setObjectName(QStringLiteral("Menu_OptionSpeed%1").arg(entry.Bps));
        a->setCheckable(true);
        a->setData(entry.Bps);
        connect(a, &QAction::triggered, this, [this, a] { Menu_OptionSpeedNumClick(a); });
        SpeedItems.push_back(a);
    }
    Menu_OptionFileSize = menu(Menu_Option, "Menu_OptionFileSize", SJ("ファイルサイズ表示方式(&F)"));
    for (int mode = 0; mode < FileSizeDispCount; ++mode) {
        QAction* a = Menu_OptionFileSize->addAction(MenuCaption(FileSizeDispCaption(mode)));
        a->setObjectName(QStringLiteral("Menu_OptionFileSize%1").arg(mode));
        a->setCheckable(true);
        a->setData(mode);
        connect(a, &QAction::triggered, this, [this, a] { Menu_OptionFileSizeNumClick(a); });
        FileSizeItems.push_back(a);
    }
    Menu_Option->addSeparator();
    Menu_OptionShowHintFlg = item(Menu_Option, "Menu_OptionShowHintFlg", SJ("ヒントを表示する(&H)"));
    Menu_OptionShowHintFlg->setCheckable(true);
    Menu_OptionShowHintFlg->setChecked(EnvSettings.ShowHint);
    Menu_OptionLink = item(Menu_Option, "Menu_OptionLink", SJ("ﾘﾝｸを追跡する(&L)"));
    Menu_OptionLink->setCheckable(true);
    Menu_OptionLink->setChecked(EnvSettings.LinkEnabled);
    Menu_OptionModern = item(Menu_Option, "Menu_OptionModern", SJ("最新ﾌﾞﾗｳｻﾞの読み込みで計測する(&W)"));
    Menu_OptionModern->setCheckable(true);
    Menu_OptionModern->setChecked(EnvSettings.Modern);
    Menu_Option->addSeparator();
    Menu_OptionExport = item(Menu_Option, "Menu_OptionExport", SJ("「測定結果を出力」の設定(&C)"));
    Menu_OptionConfig = item(Menu_Option, "Menu_OptionConfig", SJ("環境設定(&E)"));

    // Help
    Menu_Help = menu(nullptr, "Menu_Help", SJ("ﾍﾙﾌﾟ(&H)"));
    Menu_HelpContents = item(Menu_Help, "Menu_HelpContents", SJ("目次(&C)"));
    Menu_HelpSearch = item(Menu_Help, "Menu_HelpSearch", SJ("ﾄﾋﾟｯｸの検索(&S)..."));
    Menu_HelpHowTo = item(Menu_Help, "Menu_HelpHowTo", SJ("ﾍﾙﾌﾟの使い方(&H)"));
    Menu_Help->addSeparator();
    Menu_HelpAbout = item(Menu_Help, "Menu_HelpAbout", SJ("ﾊﾞｰｼﾞｮﾝ情報(&A)..."));

    // Break, on the bar itself and only during a run.
    Menu_Abort = bar->addAction(Q(SJ("中止(&B)")));
    Menu_Abort->setObjectName("Menu_Abort");
    Menu_Abort->setShortcut(QKeySequence(Qt::ALT | Qt::Key_B));
    Menu_Abort->setShortcutContext(Qt::WidgetShortcut);
    Menu_Abort->setVisible(false);

    connect(Menu_FileOpen, &QAction::triggered, this, [this] { Menu_FileOpenClick(); });
    connect(Menu_FileStart, &QAction::triggered, this, [this] { StartBtnClick(); });
    connect(Menu_Find, &QAction::triggered, this, [this] { Menu_FindClick(); });
    connect(Menu_FileExit, &QAction::triggered, this, [this] { close(); });
    connect(Menu_OptionShowHintFlg, &QAction::triggered, this, [this] { Menu_OptionShowHintFlgClick(); });
    connect(Menu_OptionLink, &QAction::triggered, this, [this] { Menu_OptionLinkClick(); });
    connect(Menu_OptionModern, &QAction::triggered, this, [this] { Menu_OptionModernClick(); });
    connect(Menu_OptionConfig, &QAction::triggered, this, [this] { Menu_OptionConfigClick(); });
    connect(Menu_OptionExport, &QAction::triggered, this, [this] { Menu_OptionConfigExportClick(); });
    connect(Menu_HelpContents, &QAction::triggered, this, [this] { Menu_HelpContentsClick(); });
    connect(Menu_HelpSearch, &QAction::triggered, this, [this] { Menu_HelpSearchClick(); });
    connect(Menu_HelpHowTo, &QAction::triggered, this, [this] { Menu_HelpHowToClick(); });
    connect(Menu_HelpAbout, &QAction::triggered, this, [this] { Menu_HelpAboutClick(); });
    connect(Menu_Abort, &QAction::triggered, this, [this] { BreakBtnClick(); });

    // Opening a top-level menu runs its click action, as a shortcut key
    // below it does (DispatchShortcut).
    for (QMenu* m : {Menu_File, Menu_Sort, Menu_Option, Menu_Help})
        connect(m, &QMenu::aboutToShow, this, [this, m] { RunMenuClick(m); });

    ExportRunner = [this](int tag) { RunExport(tag, this, TempFiles); };
}

void TFormMain::CreateOpenDialog() {
    OpenDialog1 = new TFileDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setOption(QFileDialog::HideNameFilterDetails);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    // The captions as they were; the patterns behind them match any letter
    // case, as the names of pages copied from elsewhere often are.
    OpenDialog1->setNameFilters(
        {Q(SJ("HTML 文書(*.htm;html)")) + QStringLiteral(" (*.[Hh][Tt][Mm] *.[Hh][Tt][Mm][Ll])"),
         Q(SJ("すべてのファイル")) + QStringLiteral(" (*)")});
}

// --- export and help -------------------------------------------------------------------------------

void TFormMain::Menu_FileExportTxtClick(QAction* item) {
    if (Running) return;
    if (ExportRunner) ExportRunner(item->data().toInt());
}

void TFormMain::Menu_OptionConfigExportClick() {
    if (Running) return;
    ShowExportOptions(this);
}

void TFormMain::Menu_HelpContentsClick() { ShowHelpContents(); }
void TFormMain::Menu_HelpSearchClick() { ShowHelpFinder(); }
void TFormMain::Menu_HelpHowToClick() { ShowHelpOnHelp(); }
void TFormMain::Menu_HelpAboutClick() { ShowAboutBox(this); }

// --- option commands ------------------------------------------------------------------------------

void TFormMain::Menu_OptionSpeedNumClick(QAction* entry) {
    for (QAction* a : SpeedItems) a->setChecked(a == entry);
    EnvSettings.Bps = entry->data().toInt();
    const int index = SpeedIndex(EnvSettings.Bps);
    if (index >= 0) EnvSettings.BpsCaption = SpeedTable[static_cast<size_t>(index)].Caption;
    RefreshStatus();
}

void TFormMain::Menu_OptionFileSizeNumClick(QAction* entry) {
    for (QAction* a : FileSizeItems) a->setChecked(a == entry);
    EnvSettings.FileSizeDisp = entry->data().toInt();
    RefreshStatus();
}

void TFormMain::Menu_OptionShowHintFlgClick() {
    // The menu has already turned the mark over; the mark is the setting.
    EnvSettings.ShowHint = Menu_OptionShowHintFlg->isChecked();
    ApplyHints(EnvSettings.ShowHint);
}

void TFormMain::Menu_OptionLinkClick() {
    StopAutoScroll();
    if (Running) return;
    EnvSettings.LinkEnabled = !EnvSettings.LinkEnabled;
    Menu_OptionLink->setChecked(EnvSettings.LinkEnabled);
    ShowLinkState();
}

void TFormMain::Menu_OptionModernClick() {
    StopAutoScroll();
    // The results of a run keep the reading they were made with.
    if (!Running) EnvSettings.Modern = !EnvSettings.Modern;
    Menu_OptionModern->setChecked(EnvSettings.Modern);
    HTMLSource->update();
}

void TFormMain::ShowLinkState() { LinkBtn->setIcon(QIcon((EnvSettings.LinkEnabled ? Image4 : Image3)->pixmap())); }

void TFormMain::Menu_OptionConfigClick() {
    StopAutoScroll();
    if (Running) return;
    ShowConfigDialog(this, this);
    // The status and the lists follow whatever the dialog changed.
    Menu_OptionModern->setChecked(EnvSettings.Modern);
    HTMLSource->update();
    RefreshStatus();
}

// --- file menu --------------------------------------------------------------------------------------------

QWidget* TFormMain::ActiveControl() const {
    QWidget* focus = focusWidget();
    return focus && focus == menuWidget() ? lastFocus_.data() : focus;
}

void TFormMain::Menu_FileClick() {
    QWidget* active = ActiveControl();
    Menu_Find->setEnabled(active == HTMLListBox || active == HTMLSource);
    StopAutoScroll();
}

void TFormMain::Menu_FindClick() {
    if (Running) return;
    QWidget* active = ActiveControl();
    if (active == HTMLListBox || active == HTMLSource) OpenFindDialog(active);
}

void TFormMain::Menu_FileOpenClick() {
    if (Running) return;
    OpenDialog1->setDirectory(QDir::currentPath());
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty()) return;
    const QString chosen = OpenDialog1->selectedFiles().constFirst();
    if (chosen.isEmpty()) return;
    const QByteArray native = chosen.toUtf8();
    const auto cp = platform::FromNative(std::string_view(native.constData(), static_cast<size_t>(native.size())));
    const std::string path = PrepareInput(cp ? *cp : FromQ(chosen));
    if (!path.empty()) StartBtnClick();
}

void TFormMain::BrowseBtnClick() {
    StopAutoScroll();
    Menu_FileOpenClick();
}

void TFormMain::Menu1_StartClick() {
    if (Running) return;
    const THTMLFileInfo* page = SelectedPage();
    if (!page) return;
    const std::string path = PrepareInput(page->FileName);
    if (!path.empty()) StartBtnClick();
}

// --- history ---------------------------------------------------------------------------------------------------

QAction* TFormMain::MakeHistoryItem(QMenu* menu, const std::string& path, int tag) {
    QAction* a = new QAction(MenuCaption(path), menu);
    a->setData(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
    a->setProperty("tag", tag);
    connect(a, &QAction::triggered, this, [this, a] { HistoryItemClick(a); });
    menu->addAction(a);
    return a;
}

std::vector<std::string> TFormMain::History() const {
    std::vector<std::string> paths;
    for (QAction* a : Menu_FileReOpen->actions())
        if (a->property("tag").toInt() != kClearTag) {
            const QByteArray bytes = a->data().toByteArray();
            paths.emplace_back(bytes.constData(), static_cast<size_t>(bytes.size()));
        }
    return paths;
}

void TFormMain::ClearHistory() {
    for (QAction* a : Menu_FileReOpen->actions()) {
        Menu_FileReOpen->removeAction(a);
        a->deleteLater();
    }
    HistoryBtn->setEnabled(false);
}

void TFormMain::AddToHistory(const std::string& path) {
    std::vector<std::string> paths = History();
    // Linux file names are case-sensitive: only the same spelling is the same input.
    auto same = std::find(paths.begin(), paths.end(), path);
    if (same != paths.end()) paths.erase(same);
    paths.insert(paths.begin(), path);
    if (paths.size() > static_cast<size_t>(kHistoryMax)) paths.resize(kHistoryMax);
    ClearHistory();
    for (const std::string& p : paths) MakeHistoryItem(Menu_FileReOpen, p, 0);
    MakeHistoryItem(Menu_FileReOpen, SJ("(ヒストリをクリア)"), kClearTag);
    HistoryBtn->setEnabled(true);
}

void TFormMain::HistoryBtnClick() {
    PopupMenu4->clear();
    for (QAction* a : Menu_FileReOpen->actions()) {
        const QByteArray bytes = a->data().toByteArray();
        MakeHistoryItem(PopupMenu4, std::string(bytes.constData(), static_cast<size_t>(bytes.size())),
                        a->property("tag").toInt());
    }
    PopupMenu4->popup(HistoryBtn->mapToGlobal(QPoint(0, HistoryBtn->height())));
}

void TFormMain::HistoryItemClick(QAction* item) {
    if (Running) return;
    if (item->property("tag").toInt() == kClearTag) {
        ClearHistory();
        return;
    }
    const QByteArray bytes = item->data().toByteArray();
    const std::string path = PrepareInput(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
    if (!path.empty()) StartBtnClick();
}
