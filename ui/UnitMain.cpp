// The main window: creation, the pixel layout, the status bar, the hints,
// the window keys, shutdown and the window's share of the settings file.
#include "ui/UnitMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QToolButton>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Profile.h"
#include "ui/Intelli.h"
#include "ui/QtText.h"
#include "ui/UControls.h"
#include "ui/UFindDialog.h"
#include "ui/UFonts.h"
#include "ui/UHelp.h"
#include "ui/YKIntelli.h"

namespace {

// Design client size and the fixed heights of the stacked controls.
constexpr int kDesignClientWidth = 675;
constexpr int kDesignClientHeight = 417;
constexpr int kMinWindowHeight = 250;
constexpr int kStatusHeight = 19;
constexpr int kMinListHeight = 30;

enum class TGlyph { Browse, Start, Break, LinkOff, LinkOn, Env, Intelli };

// The pictures of the tool buttons and the auto-scroll mark, drawn rather
// than shipped.
QPixmap MakeGlyph(TGlyph glyph) {
    const int size = glyph == TGlyph::Intelli ? 28 : 16;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
        case TGlyph::Browse:  // an open folder
            p.setPen(QColor(128, 96, 0));
            p.setBrush(QColor(255, 220, 96));
            p.drawRect(1, 4, 13, 9);
            p.drawRect(1, 2, 5, 2);
            break;
        case TGlyph::Start: {  // a green "go" triangle
            QPainterPath path;
            path.moveTo(4, 2);
            path.lineTo(13, 8);
            path.lineTo(4, 14);
            path.closeSubpath();
            p.fillPath(path, QColor(0, 150, 0));
            break;
        }
        case TGlyph::Break:  // a red stop square
            p.fillRect(3, 3, 10, 10, QColor(200, 0, 0));
            break;
        case TGlyph::LinkOff:
        case TGlyph::LinkOn:  // two chain links, apart when tracking is off
            p.setPen(QPen(QColor(0, 0, 160), 2));
            p.setBrush(Qt::NoBrush);
            if (glyph == TGlyph::LinkOn) {
                p.drawEllipse(QRectF(1.5, 4.5, 8, 6));
                p.drawEllipse(QRectF(6.5, 5.5, 8, 6));
            } else {
                p.drawEllipse(QRectF(0.5, 2.5, 7, 6));
                p.drawEllipse(QRectF(8.5, 7.5, 7, 6));
                p.setPen(QPen(QColor(200, 0, 0), 1.5));
                p.drawLine(QPointF(3, 14), QPointF(13, 2));
            }
            break;
        case TGlyph::Env:  // a gear
            p.setPen(QPen(QColor(64, 64, 64), 2));
            for (int i = 0; i < 4; ++i) {
                p.save();
                p.translate(8, 8);
                p.rotate(45.0 * i);
                p.drawLine(0, -7, 0, 7);
                p.restore();
            }
            p.setBrush(QColor(192, 192, 192));
            p.drawEllipse(QRectF(3.5, 3.5, 9, 9));
            break;
        case TGlyph::Intelli: {  // the origin mark: a disc with up and down arrows
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(0.5, 0.5, 27, 27));
            p.setBrush(Qt::black);
            QPainterPath arrows;
            arrows.moveTo(14, 3);
            arrows.lineTo(19, 9);
            arrows.lineTo(9, 9);
            arrows.closeSubpath();
            arrows.moveTo(14, 25);
            arrows.lineTo(19, 19);
            arrows.lineTo(9, 19);
            arrows.closeSubpath();
            p.fillPath(arrows, Qt::black);
            p.drawEllipse(QRectF(12, 12, 4, 4));
            break;
        }
    }
    return pixmap;
}

QWidget* MakePanel(QWidget* parent, const char* name, int width, int height) {
    auto* w = new QWidget(parent);
    w->setObjectName(name);
    w->resize(width, height);
    return w;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, int left, const QPixmap& glyph) {
    auto* b = new TToolButton(parent);
    b->setObjectName(name);
    b->setGeometry(left, 3, 57, 20);
    b->setIcon(QIcon(glyph));
    b->setIconSize(QSize(16, 16));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return b;
}

QPushButton* MakeSortButton(QWidget* panel, const char* name, const std::string& caption, int key) {
    auto* b = new QPushButton(Q(caption), panel);
    b->setObjectName(name);
    b->setGeometry(0, 0, panel->width(), 21);
    b->setFocusPolicy(Qt::NoFocus);
    b->setProperty("tag", key);
    return b;
}

TSplitterBar* MakeSplitter(QWidget* parent, const char* name, Qt::Orientation orientation, int thickness) {
    auto* s = new TSplitterBar(orientation, parent);
    s->setObjectName(name);
    if (orientation == Qt::Horizontal) s->resize(thickness, parent->height());
    else s->resize(parent->width(), thickness);
    return s;
}

TOwnerDrawList* MakeList(QWidget* panel, const char* name, int rowHeight, const QFont& font) {
    auto* l = new TOwnerDrawList(panel);
    l->setObjectName(name);
    l->setFont(font);
    l->SetItemHeight(rowHeight);
    l->setGeometry(0, 0, panel->width(), panel->height());
    return l;
}

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent), RunEngine(MeasureAll) {
    setObjectName("FormMain");
    setFont(WindowFont());
    CreateControls();
    CreateMenus();
    CreatePopupMenus();
    ConnectLists();
    FindDialog1 = new TFindDialog(this);
    FindDialog1->OnFind = [this] { FindDialog1Find(); };
    CreateOpenDialog();

    setProperty("helpContext", HelpMainWindow);
    setWindowTitle(QString::fromLatin1(VersionText));

    // The auto-scroll origin mark is a disc parked outside the client area.
    PanelIntelli->setMask(QRegion(-1, -1, 31, 31, QRegion::Ellipse));
    PanelIntelli->move(-PanelIntelli->width(), -PanelIntelli->height());

    WheelRollMessage = RegisterWheelMessages();
    AutoScroll = new TYKIntelliLib(this);
    AutoScroll->MarkPanel = PanelIntelli;
    AutoScroll->SetImage(ImageIntelli);
    AutoScroll->Form = this;
    AutoScroll->OnScroll = [this](QWidget* target, int dx, int dy) { AutoScrollStep(target, dx, dy); };
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) StopAutoScroll();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == this && now != menuWidget()) lastFocus_ = now;
    });
    // Without a button down the pointer's moves still set the cursor shape
    // of a sticky auto-scroll.
    for (TOwnerDrawList* list : {HTMLListBox, HTMLSource, ErrorListBox}) list->viewport()->setMouseTracking(true);

    Edit1->setProperty("helpContext", HelpAddressBox);
    HTMLListBox->setProperty("helpContext", HelpPageList);
    HTMLSource->setProperty("helpContext", HelpPartsList);
    ErrorListBox->setProperty("helpContext", HelpProblemList);

    TakeButtonLayoutValues();
    ApplyHints(EnvSettings.ShowHint);

    // The client area has the design size until the window is shown.
    Client->resize(kDesignClientWidth, kDesignClientHeight);
    AlignControls();
    LayoutPanels();
    RefreshStatus();
    resize(kDesignClientWidth, kDesignClientHeight + menuBar()->sizeHint().height());
    setMinimumHeight(kMinWindowHeight);

    setAcceptDrops(true);
    InstallAppKeyFilter();
    warningCap_.SetSink([this](const std::string& line) {
        // The notice comes with the cap already stopped; a listed line
        // updates the count first.
        if (!warningCap_.Stopped()) StatusBar1->SetPanelText(1, std::to_string(warningCap_.Count()) + SJ(" 警告"));
        AddProblemLine(line);
    });
}

TFormMain::~TFormMain() { Shutdown(); }

void TFormMain::CreateControls() {
    Client = new QWidget(this);
    Client->setObjectName("Client");
    setCentralWidget(Client);
    Client->resize(kDesignClientWidth, kDesignClientHeight);
    Client->installEventFilter(this);

    PanelBase = MakePanel(Client, "PanelBase", kDesignClientWidth, kDesignClientHeight - kStatusHeight);
    Bevel1 = new TBevel(PanelBase);
    Bevel1->setObjectName("Bevel1");
    Bevel1->resize(kDesignClientWidth, 4);

    Panel6 = MakePanel(PanelBase, "Panel6", kDesignClientWidth, 28);
    URLPanel = MakePanel(Panel6, "URLPanel", 169, 28);
    HistoryBtn = new QToolButton(URLPanel);
    HistoryBtn->setObjectName("HistoryBtn");
    HistoryBtn->setGeometry(2, 3, 14, 20);
    HistoryBtn->setArrowType(Qt::DownArrow);
    HistoryBtn->setEnabled(false);
    Edit1 = new QLineEdit(URLPanel);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(18, 3, 147, 20);
    // Files dropped on the address box are the window's to measure; the box
    // would otherwise take them as text.
    Edit1->setAcceptDrops(false);
    Splitter6 = MakeSplitter(Panel6, "Splitter6", Qt::Horizontal, 4);
    Panel8 = MakePanel(Panel6, "Panel8", kDesignClientWidth - 173, 28);
    BrowseBtn = MakeToolButton(Panel8, "BrowseBtn", 8, MakeGlyph(TGlyph::Browse));
    StartBtn = MakeToolButton(Panel8, "StartBtn", 71, MakeGlyph(TGlyph::Start));
    BreakBtn = MakeToolButton(Panel8, "BreakBtn", 134, MakeGlyph(TGlyph::Break));
    LinkBtn = MakeToolButton(Panel8, "LinkBtn", 197, MakeGlyph(TGlyph::LinkOn));
    EnvBtn = MakeToolButton(Panel8, "EnvBtn", 264, MakeGlyph(TGlyph::Env));
    BreakBtn->setEnabled(false);
    Image3 = new QLabel(Panel8);
    Image3->setObjectName("Image3");
    Image3->setPixmap(MakeGlyph(TGlyph::LinkOff));
    Image3->hide();
    Image4 = new QLabel(Panel8);
    Image4->setObjectName("Image4");
    Image4->setPixmap(MakeGlyph(TGlyph::LinkOn));
    Image4->hide();

    Bevel2 = new TBevel(PanelBase);
    Bevel2->setObjectName("Bevel2");
    Bevel2->resize(kDesignClientWidth, 8);

    PanelBtn = MakePanel(PanelBase, "PanelBtn", kDesignClientWidth, 21);
    SizePanel = MakePanel(PanelBtn, "SizePanel", 121, 21);
    SortBySize = MakeSortButton(SizePanel, "SortBySize", SJ("サイズ"), 0);
    Splitter1 = MakeSplitter(PanelBtn, "Splitter1", Qt::Horizontal, 4);
    TimePanel = MakePanel(PanelBtn, "TimePanel", 93, 21);
    SortByTime = MakeSortButton(TimePanel, "SortByTime", SJ("所要時間"), 0);
    Splitter2 = MakeSplitter(PanelBtn, "Splitter2", Qt::Horizontal, 4);
    NamePanel = MakePanel(PanelBtn, "NamePanel", 125, 21);
    SortByName = MakeSortButton(NamePanel, "SortByName", SJ("HTMLファイル"), 1);
    Splitter3 = MakeSplitter(PanelBtn, "Splitter3", Qt::Horizontal, 4);
    PanelImgs = MakePanel(PanelBtn, "PanelImgs", kDesignClientWidth - 351, 21);
    SortByImgs = MakeSortButton(PanelImgs, "SortByImgs", SJ("IMGファイル"), 2);

    HTMLListPanel = MakePanel(PanelBase, "HTMLListPanel", kDesignClientWidth, 132);
    HTMLListBox = MakeList(HTMLListPanel, "HTMLListBox", 14, ListFont());
    Splitter4 = MakeSplitter(PanelBase, "Splitter4", Qt::Vertical, 2);
    HTMLSourcePanel = MakePanel(PanelBase, "HTMLSourcePanel", kDesignClientWidth, 118);
    HTMLSource = MakeList(HTMLSourcePanel, "HTMLSource", 14, ListFont());
    Splitter5 = MakeSplitter(PanelBase, "Splitter5", Qt::Vertical, 2);
    ErrorListPanel = MakePanel(PanelBase, "ErrorListPanel", kDesignClientWidth, 83);
    ErrorListBox = MakeList(ErrorListPanel, "ErrorListBox", 12, WindowFont());

    StatusBar1 = new TStatusPanels({100, 100, 80, 300}, Client);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->resize(kDesignClientWidth, kStatusHeight);

    PanelIntelli = MakePanel(Client, "PanelIntelli", 28, 28);
    ImageIntelli = new QLabel(PanelIntelli);
    ImageIntelli->setObjectName("ImageIntelli");
    ImageIntelli->setGeometry(0, 0, 28, 28);
    ImageIntelli->setPixmap(MakeGlyph(TGlyph::Intelli));

    // Splitters: the header ones re-lay the columns, the one beside the
    // address box the buttons; the list ones only move the panels.
    auto headerSplitter = [this](TSplitterBar* s, QWidget* panel) {
        s->CurrentSize = [panel] { return panel->width(); };
        s->MaxSize = [this, panel] {
            const int others = SizePanel->width() + TimePanel->width() + NamePanel->width() - panel->width() +
                               Splitter1->width() + Splitter2->width() + Splitter3->width();
            return PanelBtn->width() - others - kMinListHeight;
        };
        s->SetSize = [this, panel](int w) {
            panel->resize(w, panel->height());
            AlignControls();
        };
        s->OnPress = [this] { StopAutoScroll(); };
        s->OnMoved = [this] { LayoutPanels(); };
    };
    headerSplitter(Splitter1, SizePanel);
    headerSplitter(Splitter2, TimePanel);
    headerSplitter(Splitter3, NamePanel);

    Splitter6->CurrentSize = [this] { return URLPanel->width(); };
    Splitter6->MaxSize = [this] { return Panel6->width() - Splitter6->width() - kMinListHeight; };
    Splitter6->SetSize = [this](int w) { SetURLPanelWidth(w); };
    Splitter6->OnMoved = [this] { LayoutButtons(); };

    auto listSplitter = [this](TSplitterBar* s, QWidget* panel) {
        s->CurrentSize = [panel] { return panel->height(); };
        s->MaxSize = [this, panel] {
            const int others = Bevel1->height() + Panel6->height() + Bevel2->height() + PanelBtn->height() +
                               HTMLListPanel->height() + HTMLSourcePanel->height() - panel->height() +
                               Splitter4->height() + Splitter5->height();
            return PanelBase->height() - others - kMinListHeight;
        };
        s->SetSize = [this, panel](int h) {
            panel->resize(panel->width(), h);
            AlignControls();
        };
        s->OnPress = [this] { StopAutoScroll(); };
        s->OnMoved = [this] { StopAutoScroll(); };
    };
    listSplitter(Splitter4, HTMLListPanel);
    listSplitter(Splitter5, HTMLSourcePanel);

    StatusBar1->OnPress = [this] { StopAutoScroll(); };

    // The window sees the keys of its controls first (and its own when no
    // control has the focus); keys it handles go no further.
    installEventFilter(this);
    for (QWidget* w :
         {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(HistoryBtn), static_cast<QWidget*>(BrowseBtn),
          static_cast<QWidget*>(StartBtn), static_cast<QWidget*>(BreakBtn), static_cast<QWidget*>(LinkBtn),
          static_cast<QWidget*>(EnvBtn), static_cast<QWidget*>(HTMLListBox), static_cast<QWidget*>(HTMLSource),
          static_cast<QWidget*>(ErrorListBox)})
        w->installEventFilter(this);
    // A press on the tool row or a button ends the auto-scroll.
    for (QWidget* w : {Panel6, URLPanel, Panel8, PanelBtn}) w->installEventFilter(this);
    for (QWidget* w : {static_cast<QWidget*>(SortBySize), static_cast<QWidget*>(SortByTime),
                       static_cast<QWidget*>(SortByName), static_cast<QWidget*>(SortByImgs)})
        w->installEventFilter(this);

    connect(BrowseBtn, &QToolButton::clicked, this, [this] { BrowseBtnClick(); });
    connect(StartBtn, &QToolButton::clicked, this, [this] { StartBtn2Click(); });
    connect(BreakBtn, &QToolButton::clicked, this, [this] { BreakBtnClick(); });
    connect(LinkBtn, &QToolButton::clicked, this, [this] { Menu_OptionLinkClick(); });
    connect(EnvBtn, &QToolButton::clicked, this, [this] { Menu_OptionConfigClick(); });
    connect(HistoryBtn, &QToolButton::clicked, this, [this] { HistoryBtnClick(); });
    for (QPushButton* b : {SortBySize, SortByTime, SortByName, SortByImgs})
        connect(b, &QPushButton::clicked, this, [this, b] { ClickSortButton(b->property("tag").toInt()); });
}

void TFormMain::TakeButtonLayoutValues() {
    ButtonWidth = BrowseBtn->width();
    ButtonLeft = BrowseBtn->x();
    ButtonGap = StartBtn->x() - BrowseBtn->x() - BrowseBtn->width();
    ButtonRowWidth = EnvBtn->x() + EnvBtn->width() + BrowseBtn->x();
    ButtonPitch = StartBtn->x() - BrowseBtn->x();
}

// --- layout ---------------------------------------------------------------------------------

void TFormMain::AlignControls() {
    const int width = Client->width();
    const int height = Client->height();
    PanelBase->setGeometry(0, 0, width, std::max(0, height - kStatusHeight));
    StatusBar1->setGeometry(0, height - kStatusHeight, width, kStatusHeight);

    // Top-aligned panels keep their heights; the problem list takes the rest.
    int y = 0;
    for (QWidget* w : {static_cast<QWidget*>(Bevel1), Panel6, static_cast<QWidget*>(Bevel2), PanelBtn, HTMLListPanel,
                       static_cast<QWidget*>(Splitter4), HTMLSourcePanel, static_cast<QWidget*>(Splitter5)}) {
        w->setGeometry(0, y, width, w->height());
        y += w->height();
    }
    ErrorListPanel->setGeometry(0, y, width, std::max(0, PanelBase->height() - y));

    // Tool row: address panel, splitter, button panel.
    const int urlWidth = URLPanel->width();
    URLPanel->setGeometry(0, 0, urlWidth, Panel6->height());
    Splitter6->setGeometry(urlWidth, 0, Splitter6->width(), Panel6->height());
    const int buttonsLeft = urlWidth + Splitter6->width();
    Panel8->setGeometry(buttonsLeft, 0, std::max(0, width - buttonsLeft), Panel6->height());

    // Header bar: three panels with their splitters, the last panel the rest.
    int x = 0;
    for (QWidget* w : {SizePanel, static_cast<QWidget*>(Splitter1), TimePanel, static_cast<QWidget*>(Splitter2),
                       NamePanel, static_cast<QWidget*>(Splitter3)}) {
        w->setGeometry(x, 0, w->width(), PanelBtn->height());
        x += w->width();
    }
    PanelImgs->setGeometry(x, 0, std::max(0, width - x), PanelBtn->height());

    HTMLListBox->setGeometry(0, 0, HTMLListPanel->width(), HTMLListPanel->height());
    HTMLSource->setGeometry(0, 0, HTMLSourcePanel->width(), HTMLSourcePanel->height());
    ErrorListBox->setGeometry(0, 0, ErrorListPanel->width(), ErrorListPanel->height());
}

void TFormMain::SetURLPanelWidth(int width) {
    URLPanel->resize(width, URLPanel->height());
    AlignControls();
}

void TFormMain::SetHeaderWidths(int size, int time, int name) {
    SizePanel->resize(std::max(16, size), SizePanel->height());
    TimePanel->resize(std::max(16, time), TimePanel->height());
    NamePanel->resize(std::max(16, name), NamePanel->height());
    AlignControls();
}

int TFormMain::FreeListHeight() const {
    return PanelBase->height() - PanelBtn->height() - Panel6->height() - Bevel2->height();
}

void TFormMain::LayoutButtons() {
    Edit1->setGeometry(18, Edit1->y(), URLPanel->width() - 22, Edit1->height());

    const int w = Panel8->width();
    int buttonWidth = ButtonWidth;
    int pitch = ButtonPitch;
    if (w < ButtonRowWidth) {
        const int gap = w / (ButtonRowWidth / ButtonGap);
        pitch = (w - ButtonLeft) / 5;
        buttonWidth = pitch - gap;
        if (buttonWidth < BrowseBtn->height()) {
            buttonWidth = BrowseBtn->height();
            pitch = gap + buttonWidth;
        }
    }

    const bool captions = buttonWidth >= 40;
    const std::pair<QToolButton*, const std::string*> buttons[] = {{BrowseBtn, &SJ("参照")},
                                                                   {StartBtn, &SJ("計測")},
                                                                   {BreakBtn, &SJ("中断")},
                                                                   {LinkBtn, &SJ("リンク")},
                                                                   {EnvBtn, &SJ("環境")}};
    int left = ButtonLeft;
    for (const auto& [button, caption] : buttons) {
        button->setText(captions ? Q(*caption) : QString());
        button->setToolButtonStyle(captions ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        button->setGeometry(left, button->y(), buttonWidth, button->height());
        left += pitch;
    }
}

void TFormMain::LayoutPanels() {
    StopAutoScroll();
    SortBySize->resize(SizePanel->width(), SortBySize->height());
    SortByTime->resize(TimePanel->width(), SortByTime->height());
    SortByName->resize(NamePanel->width(), SortByName->height());
    SortByImgs->resize(PanelImgs->width(), SortByImgs->height());
    LayoutButtons();
    RefreshStatus();

    // The lower bound applies first; the upper bound wins when they clash.
    int free = FreeListHeight();
    int h1 = std::max(kMinListHeight, HTMLListPanel->height());
    if (h1 >= free - 64) h1 = free - 64;
    HTMLListPanel->resize(HTMLListPanel->width(), std::max(0, h1));
    free -= h1;
    int h2 = std::max(kMinListHeight, HTMLSourcePanel->height());
    if (h2 >= free - 32) h2 = free - 32;
    HTMLSourcePanel->resize(HTMLSourcePanel->width(), std::max(0, h2));
    // The problem list follows 2 pixels below the resource list.
    AlignControls();
    ErrorListBox->update();
}

void TFormMain::RefreshStatus() {
    StatusBar1->SetPanelText(0, std::to_string(FileCount) + SJ(" ファイル"));
    StatusBar1->SetPanelText(1, std::to_string(WarningCount) + SJ(" 警告"));
    StatusBar1->SetPanelText(2, EnvSettings.BpsCaption);
    StatusBar1->SetPanelText(3, FirstFile);
    HTMLListBox->viewport()->update();
    HTMLSource->viewport()->update();
}

void TFormMain::ApplyHints(bool show) {
    const std::pair<QWidget*, const std::string*> hints[] = {
        {Edit1, &SJ("現在選択されている HTML ファイル")},
        {BrowseBtn, &SJ("参照する URL を指定します。")},
        {StartBtn, &SJ("HTML ファイルの重さの計測を開始します。")},
        {BreakBtn, &SJ("HTML ファイルの重さの計測を中断します。")},
        {LinkBtn, &SJ("リンクを追跡するかどうか指定します")},
        {EnvBtn, &SJ("環境設定ウィンドウを開きます")},
        {SortBySize, &SJ("サイズでソートします")},
        {SortByTime, &SJ("所要時間でソートします")},
        {SortByName, &SJ("HTML ファイル名でソートします")},
        {SortByImgs, &SJ("画像ファイル数でソートします")},
        {HTMLListBox, &SJ("HTMLの計測結果です")},
        {HTMLSource, &SJ("計測した HTML ファイルそれぞれの情報を表示します")},
        {ErrorListBox, &SJ("HTML 計測中に開けなかったファイル情報です")},
        {StatusBar1, &SJ("各種情報を表示します。")},
    };
    for (const auto& [control, hint] : hints) control->setToolTip(show ? Q(*hint) : QString());
}

// --- keys, mouse presses, closing ------------------------------------------------------------

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Resize:
            if (watched == Client) {
                AlignControls();
                LayoutPanels();
            }
            break;
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (FormKeyDown(key)) return true;
            if (watched == Edit1 && Edit1KeyPress(key)) return true;
            break;
        }
        case QEvent::MouseButtonPress:
            if (watched != HTMLListBox && watched != HTMLSource && watched != ErrorListBox) StopAutoScroll();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFormMain::FormKeyDown(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape) {
        if (EnvSettings.EscKeyAction == 1) showMinimized();
        else if (EnvSettings.EscKeyAction == 2) close();
        return true;
    }
    if (event->key() == Qt::Key_F1 && mods == Qt::NoModifier) {
        // Help at the focused control's context, else the window's.
        int context = HelpMainWindow;
        for (QWidget* w = focusWidget(); w && w != this; w = w->parentWidget())
            if (w->property("helpContext").isValid()) {
                context = w->property("helpContext").toInt();
                break;
            }
        ShowHelpContext(context);
        return true;
    }
    if (event->key() == Qt::Key_R && mods == Qt::ControlModifier) {
        // During a run the address box is locked; resolving it anew would
        // move the current folder under the measurement.
        if (!Running) StartBtn2Click();
        return true;
    }
    return false;
}

bool TFormMain::Edit1KeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) return false;
    if (Running) return true;
    const std::string path = PrepareInput(FromQ(Edit1->text()));
    if (!path.empty()) StartBtnClick();
    return true;
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Running) {
        // The run is inside a sink further up this stack; let it stop first
        // and close once it has finished.
        StopFlag = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    Shutdown();
    event->accept();
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) StopAutoScroll();
    QMainWindow::changeEvent(event);
}

void TFormMain::Shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    SaveSettings(this);
    for (const std::string& file : TempFiles) platform::DeleteFile(file);
    TempFiles.clear();
    setAcceptDrops(false);
    delete AutoScroll;
    AutoScroll = nullptr;
    RemoveAppKeyFilter();
}

// --- auto-scroll and wheel ----------------------------------------------------------------------

void TFormMain::StopAutoScroll() {
    if (AutoScroll) AutoScroll->Stop();
}

bool TFormMain::AutoScrollMouseDown(TOwnerDrawList* list, QMouseEvent* event) {
    if (!AutoScroll) return true;
    return AutoScroll->MouseDown(
        list, event, [this, list](QMouseEvent* e) { ListMouseDown(list, e); }, this);
}

bool TFormMain::AutoScrollMouseMove(TOwnerDrawList* list, QMouseEvent* event) {
    return AutoScroll ? AutoScroll->MouseMove(list, event) : true;
}

bool TFormMain::AutoScrollMouseUp(TOwnerDrawList* list, QMouseEvent* event) {
    return AutoScroll ? AutoScroll->MouseUp(list, event) : true;
}

void TFormMain::AutoScrollStep(QWidget* target, int, int dy) {
    if (Running || !AutoScroll) return;
    const int rows = AutoScrollRows(AutoScroll->Remainder, dy);
    if (auto* list = qobject_cast<TOwnerDrawList*>(target)) list->SetTopIndex(std::max(0, list->TopIndex() + rows));
}

void TFormMain::FormMouseWheel(int delta) {
    if (Running) return;
    StopAutoScroll();
    QWidget* focus = focusWidget();
    TOwnerDrawList* target = nullptr;
    for (TOwnerDrawList* list : {HTMLListBox, HTMLSource, ErrorListBox})
        if (focus == list) target = list;
    if (!target) return;
    target->SetTopIndex(std::max(0, target->TopIndex() - WheelRows(delta)));
}

// --- settings file ------------------------------------------------------------------------------

void TFormMain::ApplyNoFile() {
    const int third = FreeListHeight() / 3;
    HTMLListPanel->resize(HTMLListPanel->width(), third);
    HTMLSourcePanel->resize(HTMLSourcePanel->width(), third);
    AlignControls();
}

void TFormMain::LoadHistory(const platform::TIniFile& ini) {
    ClearHistory();
    const std::vector<std::string> entries = ReadStringList(ini, "HTMLLIST", "DATA");
    for (const std::string& entry : entries) MakeHistoryItem(Menu_FileReOpen, entry, 0);
    if (!entries.empty()) MakeHistoryItem(Menu_FileReOpen, SJ("(ヒストリをクリア)"), -1);
}

namespace {

const char* const kWindowSection = "WINDOW";

// The normal-state rectangle: for a window shown normally its geometry.
QRect NormalRect(const QWidget* window) {
    const QRect normal = window->normalGeometry();
    return normal.isValid() ? normal : window->geometry();
}

}  // namespace

void SaveWindowPlacement(platform::TIniFile& ini, QWidget* window, const char* section) {
    const QRect r = NormalRect(window);
    ini.WriteInteger(section, "NORMALLEFT", r.left());
    ini.WriteInteger(section, "NORMALTOP", r.top());
    ini.WriteInteger(section, "NORMALRIGHT", r.left() + r.width());
    ini.WriteInteger(section, "NORMALBOTTOM", r.top() + r.height());
}

void LoadWindowPlacement(const platform::TIniFile& ini, QWidget* window, const char* section) {
    const QRect current = NormalRect(window);
    const int left = ini.ReadInteger(section, "NORMALLEFT", current.left());
    const int top = ini.ReadInteger(section, "NORMALTOP", current.top());
    const int right = ini.ReadInteger(section, "NORMALRIGHT", current.left() + current.width());
    const int bottom = ini.ReadInteger(section, "NORMALBOTTOM", current.top() + current.height());
    const QRect normal(left, top, std::max(0, right - left), std::max(0, bottom - top));
    if (normal == current) return;
    if (window->isMaximized() || window->isFullScreen()) {
        // Qt keeps the rectangle to return to only while changing state:
        // pass through the normal state with the new one.
        const Qt::WindowStates state = window->windowState();
        window->setWindowState(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        window->setGeometry(normal);
        window->setWindowState(state);
    } else {
        window->setGeometry(normal);
    }
}

void TFormMain::ApplyWindowSection(const platform::TIniFile& ini) {
    const char* const w = kWindowSection;
    int top = ini.ReadInteger(w, "TOP", y());
    int left = ini.ReadInteger(w, "LEFT", x());
    int width = ini.ReadInteger(w, "WIDTH", this->width());
    int height = ini.ReadInteger(w, "HEIGHT", this->height());
    int screenWidth = 1024;
    int screenHeight = 768;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        screenWidth = screen->availableGeometry().width();
        screenHeight = screen->availableGeometry().height();
    }
    if (width > screenWidth) width = screenWidth;
    if (left > screenWidth) left = screenWidth - width;
    if (height > screenHeight) height = screenHeight;
    if (top > screenHeight) top = screenHeight - height;
    if (height < kMinWindowHeight) height = kMinWindowHeight;
    move(left, top);
    resize(std::max(1, width), height);
    // The panels below are sized against the new client area, which a
    // window not yet shown only gets from its layout.
    if (layout()) {
        layout()->invalidate();
        layout()->activate();
    }
    AlignControls();

    SetURLPanelWidth(std::max(16, ini.ReadInteger(w, "URLPANELWIDTH", URLPanel->width())));
    SetHeaderWidths(ini.ReadInteger(w, "SIZEPANEL", SizePanel->width()),
                    ini.ReadInteger(w, "TIMEPANEL", TimePanel->width()),
                    ini.ReadInteger(w, "NAMEPANEL", NamePanel->width()));

    int free = FreeListHeight();
    int h1 = std::max(kMinListHeight, ini.ReadInteger(w, "HTMLPANELHEIGHT", HTMLListPanel->height()));
    if (h1 >= free - 64) h1 = free - 64;
    HTMLListPanel->resize(HTMLListPanel->width(), std::max(0, h1));
    free -= h1;
    int h2 = std::max(kMinListHeight, ini.ReadInteger(w, "HTMLSOURCEHEIGHT", HTMLSourcePanel->height()));
    if (h2 >= free - 32) h2 = free - 32;
    HTMLSourcePanel->resize(HTMLSourcePanel->width(), std::max(0, h2));
    AlignControls();
    LayoutPanels();

    // The rectangle to return to is set before the state, which Qt only
    // remembers it across.
    LoadWindowPlacement(ini, this, w);
    switch (ini.ReadInteger(w, "WINDOWSTATE", 0)) {
        case 1:
            showMinimized();
            break;  // stays minimised: nothing shows it normally later
        case 2:
            showMaximized();
            break;
        default:
            show();
            break;
    }
}

void TFormMain::ShowWindow() { show(); }

void TFormMain::FillInputFromHistory() {
    Edit1->clear();
    const std::vector<std::string> history = History();
    if (!history.empty()) {
        HistoryBtn->setEnabled(true);
        Edit1->setText(Q(history.front()));
    }
}

void TFormMain::LoadFinished() {
    // Speed and size display through their menu handlers, as a click would.
    const int speed = SpeedIndex(EnvSettings.Bps);
    Menu_OptionSpeedNumClick(SpeedItems[static_cast<size_t>(speed >= 0 ? speed : SpeedIndex(DefaultBps))]);
    const int disp = EnvSettings.FileSizeDisp;
    Menu_OptionFileSizeNumClick(FileSizeItems[static_cast<size_t>(disp >= 0 && disp < FileSizeDispCount ? disp : 0)]);
    Menu_OptionLink->setChecked(EnvSettings.LinkEnabled);
    Menu_OptionModern->setChecked(EnvSettings.Modern);
    ShowLinkState();
    // The file's mark goes on the entry, and the toggle turns it over once
    // (the record already holds the turned value).
    Menu_OptionShowHintFlg->setChecked(!EnvSettings.ShowHint);
    Menu_OptionShowHintFlg->trigger();
    RefreshStatus();
}

void TFormMain::SaveHistory(platform::TIniFile& ini) { WriteStringList(ini, "HTMLLIST", "DATA", History()); }

void TFormMain::SaveWindowSection(platform::TIniFile& ini) {
    const char* const w = kWindowSection;
    ini.WriteInteger(w, "TOP", y());
    ini.WriteInteger(w, "LEFT", x());
    ini.WriteInteger(w, "WIDTH", width());
    ini.WriteInteger(w, "HEIGHT", height());
    ini.WriteInteger(w, "URLPANELWIDTH", URLPanel->width());
    ini.WriteInteger(w, "HTMLPANELHEIGHT", HTMLListPanel->height());
    ini.WriteInteger(w, "HTMLSOURCEHEIGHT", HTMLSourcePanel->height());
    ini.WriteInteger(w, "SIZEPANEL", SizePanel->width());
    ini.WriteInteger(w, "TIMEPANEL", TimePanel->width());
    ini.WriteInteger(w, "NAMEPANEL", NamePanel->width());
    ini.WriteInteger(w, "WINDOWSTATE", isMinimized() ? 1 : isMaximized() ? 2 : 0);
    SaveWindowPlacement(ini, this, w);
}
