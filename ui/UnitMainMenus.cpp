// The main menu, the option toggles, the open-file command and the history
// of inputs (the re-open submenu and the history button).
#include <QAction>
#include <QActionGroup>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

#include "engine/UHTMLList.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "ui/QtText.h"
#include "ui/UControls.h"
#include "ui/UnitMain.h"

namespace {

QString MenuCaption(const std::string& cp932) {
    // A path in a menu shows its "&" as typed, not as a mnemonic.
    return Q(cp932).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

constexpr int kHistoryMax = 20;
constexpr int kClearTag = -1;

}  // namespace

void TFormMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    auto menu = [this](QMenu* parent, const char* name, const std::string& caption) {
        QMenu* m = parent ? parent->addMenu(Q(caption)) : menuBar()->addMenu(Q(caption));
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };
    auto item = [this](QMenu* parent, const char* name, const std::string& caption, const QKeySequence& key = {}) {
        QAction* a = parent->addAction(Q(caption));
        a->setObjectName(name);
        if (!key.isEmpty()) a->setShortcut(key);
        return a;
    };

    // File
    Menu_File = menu(nullptr, "Menu_File", SJ("ﾌｧｲﾙ(&F)"));
    Menu_FileOpen = item(Menu_File, "Menu_FileOpen", SJ("HTMLファイルを開く(&O)..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    Menu_FileStart = item(Menu_File, "Menu_FileStart", SJ("計測開始(&G)"), QKeySequence(Qt::ALT | Qt::Key_G));
    Menu_FileReOpen = menu(Menu_File, "Menu_FileReOpen", SJ("再び開く(&R)"));
    Menu_File->addSeparator();
    Menu_Find = item(Menu_File, "Menu_Find", SJ("検索(&F)"), QKeySequence(Qt::CTRL | Qt::Key_F));
    Menu_File->addSeparator();
    Menu_FileExport = menu(Menu_File, "Menu_FileExport", SJ("測定結果を出力(&E)"));
    const std::pair<const std::string*, Qt::Key> exports[] = {
        {&SJ("テキストファイル(*.TXT)"), Qt::Key_T}, {&SJ("HTMLファイル(*.HTML)"), Qt::Key_M},
        {&SJ("クリップボード"), Qt::Key_C},          {&SJ("テキストエディタで開く"), Qt::Key_E},
        {&SJ("ブラウザで開く"), Qt::Key_B}};
    int tag = 0;
    for (const auto& [caption, key] : exports) {
        QAction* a = item(Menu_FileExport, "", *caption, QKeySequence(Qt::ALT | key));
        a->setObjectName(QStringLiteral("Menu_FileExport%1").arg(tag));
        a->setData(tag++);
    }
    Menu_File->addSeparator();
    Menu_FileExit = item(Menu_File, "Menu_FileExit", SJ("終了(&X)"), QKeySequence(Qt::ALT | Qt::Key_X));

    // Sort
    Menu_Sort = menu(nullptr, "Menu_Sort", SJ("ソート(&S)"));
    Menu_SortSize = item(Menu_Sort, "Menu_SortSize", SJ("サイズ/所要時間でソート(&S)"), QKeySequence(Qt::ALT | Qt::Key_1));
    Menu_SortName = item(Menu_Sort, "Menu_SortName", SJ("ファイル名でソート(&N)"), QKeySequence(Qt::ALT | Qt::Key_2));
    Menu_SortImgs = item(Menu_Sort, "Menu_SortImgs", SJ("IMG ファイル総数でソート(&I)"), QKeySequence(Qt::ALT | Qt::Key_3));
    Menu_SortNone = item(Menu_Sort, "Menu_SortNone", SJ("ソートしない(&U)"), QKeySequence(Qt::ALT | Qt::Key_4));
    Menu_SortNone->setVisible(false);
    // A hidden entry does not fire on its shortcut; the window's twin does.
    Menu_SortNoneKey = new QAction(this);
    Menu_SortNoneKey->setObjectName("Menu_SortNoneKey");
    Menu_SortNoneKey->setShortcut(QKeySequence(Qt::ALT | Qt::Key_4));
    addAction(Menu_SortNoneKey);
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
    Menu_Abort->setVisible(false);

    connect(Menu_FileOpen, &QAction::triggered, this, [this] { Menu_FileOpenClick(); });
    connect(Menu_FileStart, &QAction::triggered, this, [this] { StartBtnClick(); });
    connect(Menu_Find, &QAction::triggered, this, [this] { Menu_FindClick(); });
    connect(Menu_FileExit, &QAction::triggered, this, [this] { close(); });
    connect(Menu_OptionShowHintFlg, &QAction::triggered, this, [this] { Menu_OptionShowHintFlgClick(); });
    connect(Menu_OptionLink, &QAction::triggered, this, [this] { Menu_OptionLinkClick(); });
    connect(Menu_OptionConfig, &QAction::triggered, this, [this] { Menu_OptionConfigClick(); });
    connect(Menu_Abort, &QAction::triggered, this, [this] { BreakBtnClick(); });

    for (QMenu* m : {Menu_File, Menu_Sort, Menu_Option, Menu_Help})
        connect(m, &QMenu::aboutToShow, this, [this] { StopAutoScroll(); });
    connect(Menu_File, &QMenu::aboutToShow, this, [this] { Menu_FileClick(); });
    // The find entry is judged when the menu opens; Ctrl+F with the menu
    // closed is judged by Menu_FindClick itself.
    connect(Menu_File, &QMenu::aboutToHide, this, [this] { Menu_Find->setEnabled(true); });
}

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

void TFormMain::ShowLinkState() {
    LinkBtn->setIcon(QIcon((EnvSettings.LinkEnabled ? Image4 : Image3)->pixmap()));
}

void TFormMain::Menu_OptionConfigClick() {
    StopAutoScroll();
    if (Running) return;
    // The configuration dialog opens here once it exists; the status and the
    // lists are refreshed after it either way.
    RefreshStatus();
}

// --- file menu --------------------------------------------------------------------------------------------

void TFormMain::Menu_FileClick() {
    QWidget* active = focusWidget();
    Menu_Find->setEnabled(active == HTMLListBox || active == HTMLSource);
    StopAutoScroll();
}

void TFormMain::Menu_FindClick() {
    if (Running) return;
    QWidget* active = focusWidget();
    if (active == HTMLListBox || active == HTMLSource) OpenFindDialog(active);
}

void TFormMain::Menu_FileOpenClick() {
    if (Running) return;
    const QString filter = Q(SJ("HTML 文書(*.htm;html)")) + QStringLiteral(" (*.htm *.html);;") +
                           Q(SJ("すべてのファイル")) + QStringLiteral(" (*)");
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), QString(), filter);
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
