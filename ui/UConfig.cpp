#include "ui/UConfig.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "settings/Uenviron.h"
#include "ui/QtText.h"
#include "ui/UFileDialog.h"
#include "ui/UFonts.h"

namespace {

// Leading and trailing blanks (and control characters) removed. Bytes up to
// 0x20 are never part of a double-byte character.
std::string TrimBlanks(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 0x20) --end;
    return s.substr(begin, end - begin);
}

std::string FieldText(const QLineEdit* edit) { return FromQ(edit->text()); }

// The source part of an alias entry: the text before its first ";".
std::string AliasSource(const std::string& entry) {
    size_t semi = platform::SjisFind(entry, ';');
    return semi == std::string::npos ? std::string() : entry.substr(0, semi);
}

void SetHelp(QWidget* w, int context) { w->setProperty("helpContext", context); }

template <class W>
W* Make(QWidget* parent, const char* name, int x, int y, int w, int h) {
    W* widget = new W(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const std::string& caption, int x, int y, int w) {
    QCheckBox* box = Make<QCheckBox>(parent, name, x, y, w, 18);
    box->setText(Q(caption));
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const std::string& caption, int x, int y, int w,
                        int h = 25) {
    QPushButton* b = Make<QPushButton>(parent, name, x, y, w, h);
    b->setText(Q(caption));
    b->setAutoDefault(false);
    return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const std::string& caption, int x, int y, int w) {
    QLabel* l = Make<QLabel>(parent, name, x, y, w, 16);
    l->setText(Q(caption));
    return l;
}

// The number a text of decimal digits (with an optional sign) stands for,
// brought into [min, max]; one too long for any int lies past the bound on
// its side. Nothing for other text.
std::optional<int> BoundedNumber(const QString& text, int min, int max) {
    const QString number = text.trimmed();
    const bool negative = number.startsWith(QLatin1Char('-'));
    const qsizetype first = negative || number.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (number.size() == first) return std::nullopt;
    for (qsizetype i = first; i < number.size(); ++i)
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9')) return std::nullopt;
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok) return negative ? min : max;
    return std::clamp(n, min, max);
}

// A spin box that lets any number be typed and brings it into range when
// the field is left or confirmed: refusing the keystroke that would pass
// the maximum turned 5000 into 500.
class TBoundedSpinBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& text, int& pos) const override {
        const QValidator::State state = QSpinBox::validate(text, pos);
        if (state == QValidator::Invalid && BoundedNumber(text, minimum(), maximum())) return QValidator::Intermediate;
        return state;
    }
    void fixup(QString& text) const override {
        QSpinBox::fixup(text);
        if (const auto n = BoundedNumber(text, minimum(), maximum())) text = textFromValue(*n);
    }
};

}  // namespace

// --- the dialog -----------------------------------------------------------------------------------

TFConfig::TFConfig(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FConfig"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(Q(SJ("環境設定")));
    setFont(WindowFont());
    setFixedSize(480, 412);

    PageControl1 = Make<QTabWidget>(this, "PageControl1", 8, 8, 464, 360);
    auto addTab = [this](const char* name, const char* caption) {
        auto* page = new QWidget;
        page->setObjectName(QString::fromLatin1(name));
        PageControl1->addTab(page, Q(platform::Utf8ToCp932Literal(caption)));
        return page;
    };
    TabStandard = addTab("TabStandard", "一般");
    TabSheet1 = addTab("TabSheet1", "計測設定");
    TabTool = addTab("TabTool", "ツール");
    TabHTMLExt = addTab("TabHTMLExt", "HTML拡張子");
    TabHREFSkip = addTab("TabHREFSkip", "HREFスキップ");
    TabIMGSkip = addTab("TabIMGSkip", "IMGスキップ");
    TabAlias = addTab("TabAlias", "エイリアス");

    CreateGeneralTab();
    CreateToolTab();
    CreateListTab(TabHTMLExt, "HTMExt", SJ("追跡する HTML ファイルの拡張子一覧"), false, &HTMExtEdit, &HTMExtList,
                  &HTMExtAdd, &HTMExtRemove, &HTMExtDefault, nullptr);
    CreateListTab(TabHREFSkip, "HREFSkip", SJ("スキップするリンク設定(この文字列で始まる HREF リンクを無視します)"),
                  true, &HREFSkipEdit, &HREFSkipList, &HREFSkipAdd, &HREFSkipRemove, &HREFSkipDefault,
                  &HREFSkipListEnabled);
    CreateListTab(TabIMGSkip, "IMGSkip", SJ("スキップするリンク設定(この文字列で始まる IMG リンクを無視します)"), true,
                  &IMGSkipEdit, &IMGSkipList, &IMGSkipAdd, &IMGSkipRemove, &IMGSkipDefault, &IMGSkipListEnabled);
    CreateListTab(TabAlias, "Alias", SJ("リンクの文字列置き換え(通常は設定する必要がありません)"), true, &AliasEditSou,
                  &AliasList, &AliasAdd, &AliasRemove, &AliasDefauld, &AliasListEnabled);

    OkButton = MakeButton(this, "OkButton", SJ("&Ok"), 221, 378, 75);
    CancelButton = MakeButton(this, "CancelButton", SJ("&Cancel"), 309, 378, 75);
    HelpButton = MakeButton(this, "HelpButton", SJ("&Help"), 397, 378, 75);

    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    preview_ = new TKeyPreview(
        this,
        [this](QObject* target, QKeyEvent* key) {
            if (FormKeyDown(key)) return true;
            return target == GUI_EnvWWWCWLSFileName && GUI_EnvWWWCWLSFileNameKeyPress(key);
        },
        [](int context) { ShowDialogHelp(context); });

    FormCreate();
}

void TFConfig::CreateGeneralTab() {
    QWidget* p = TabStandard;
    // Created in tab order; the positions are independent of it.
    GUI_EnvEscKeyAction =
        new TRadioGroup(Q(SJ("ESCキーの動作")),
                        {Q(SJ("何もしない")), Q(SJ("ウィンドウを最小化")), Q(SJ("アプリケーションを終了"))}, 1, p);
    GUI_EnvEscKeyAction->setObjectName(QStringLiteral("GUI_EnvEscKeyAction"));
    GUI_EnvEscKeyAction->setGeometry(8, 6, 200, 82);

    GUI_AnotherFolder = MakeCheck(p, "GUI_AnotherFolder", SJ("別フォルダはスキップ"), 220, 12, 236);
    GUI_EnvSplitLine = MakeCheck(p, "GUI_EnvSplitLine", SJ("分割ラインの表示(&S)"), 220, 34, 236);
    GUI_EnvMultiOpen = MakeCheck(p, "GUI_EnvMultiOpen", SJ("複数起動しない(&M)"), 220, 56, 236);
    GUI_EnvLnkFlag = MakeCheck(p, "GUI_EnvLnkFlag", SJ("拡張子 .LNK はショートカットとみなす"), 220, 78, 236);
    GUI_EnvMessageBeep = MakeCheck(p, "GUI_EnvMessageBeep", SJ("測定終了時に音で知らせる"), 220, 100, 236);
    GUI_EnvMessageDialog = MakeCheck(p, "GUI_EnvMessageDialog", SJ("測定終了時にダイアログを表示"), 220, 122, 236);
    GUI_EnvModern = MakeCheck(p, "GUI_EnvModern", SJ("最新ブラウザの読み込みで計測する"), 220, 144, 236);

    RadioGroup_CharSet =
        new TRadioGroup(Q(SJ("文字コード")), {Q(SJ("自動")), Q(SJ("JIS")), Q(SJ("EUC")), Q(SJ("SJIS"))}, 2, p);
    RadioGroup_CharSet->setObjectName(QStringLiteral("RadioGroup_CharSet"));
    RadioGroup_CharSet->setGeometry(8, 94, 200, 62);

    GUI_EnvErrorLogGroupBox = Make<QGroupBox>(p, "GUI_EnvErrorLogGroupBox", 8, 162, 200, 48);
    GUI_EnvErrorLogGroupBox->setTitle(Q(SJ("警告の抑制")));
    GUI_EnvErrorLogLimitOff = Make<QRadioButton>(GUI_EnvErrorLogGroupBox, "GUI_EnvErrorLogLimitOff", 10, 22, 64, 18);
    GUI_EnvErrorLogLimitOff->setText(Q(SJ("しない")));
    GUI_EnvErrorLogLimitOff->setProperty("tag", 0);
    GUI_EnvErrorLogLimitOn = Make<QRadioButton>(GUI_EnvErrorLogGroupBox, "GUI_EnvErrorLogLimitOn", 78, 22, 52, 18);
    GUI_EnvErrorLogLimitOn->setText(Q(SJ("する")));
    GUI_EnvErrorLogLimitOn->setProperty("tag", 1);
    GUI_EnvErrorLogMax = Make<TBoundedSpinBox>(GUI_EnvErrorLogGroupBox, "GUI_EnvErrorLogMax", 132, 20, 60, 22);
    GUI_EnvErrorLogMax->setRange(1, 1000);
    connect(GUI_EnvErrorLogLimitOff, &QRadioButton::clicked, this,
            [this] { GUI_EnvErrorLogLimitOffClick(GUI_EnvErrorLogLimitOff); });
    connect(GUI_EnvErrorLogLimitOn, &QRadioButton::clicked, this,
            [this] { GUI_EnvErrorLogLimitOffClick(GUI_EnvErrorLogLimitOn); });

    // The WWWC frame has its switch standing on its top edge as the title:
    // the checkbox is the page's child, made after the frame so it lies on
    // top, painting its own background over the frame line.
    GUI_EnvWWWCGroupBox = Make<QGroupBox>(p, "GUI_EnvWWWCGroupBox", 8, 222, 448, 104);
    GUI_EnvWWWCWLSEnabled = new QCheckBox(Q(SJ("WWWCアイテム情報ファイル(*.WLS) を作成する")), p);
    GUI_EnvWWWCWLSEnabled->setObjectName(QStringLiteral("GUI_EnvWWWCWLSEnabled"));
    GUI_EnvWWWCWLSEnabled->setAutoFillBackground(true);
    GUI_EnvWWWCWLSEnabled->setGeometry(16, 214, GUI_EnvWWWCWLSEnabled->sizeHint().width() + 4, 18);
    QWidget* g = GUI_EnvWWWCGroupBox;
    GUI_EnvWWWCWLSLabel = MakeLabel(g, "GUI_EnvWWWCWLSLabel", SJ("アイテム情報ファイル(*.WLS)"), 12, 18, 300);
    GUI_EnvWWWCWLSFileName = Make<QLineEdit>(g, "GUI_EnvWWWCWLSFileName", 12, 36, 344, 22);
    GUI_EnvWWWCWLSDialog = MakeButton(g, "GUI_EnvWWWCWLSDialog", SJ("参照"), 362, 35, 74, 24);
    GUI_EnvWWWCWLSKeepInfo =
        MakeCheck(g, "GUI_EnvWWWCWLSKeepInfo", SJ("前回のWLSファイルの内容を維持する"), 12, 64, 210);
    GUI_EnvWWWCWLSRemoveURL = MakeCheck(g, "GUI_EnvWWWCWLSRemoveURL", SJ("消滅した前回のURLは削除"), 228, 64, 210);
    GUI_EnvWWWCExecute = MakeCheck(g, "GUI_EnvWWWCExecute", SJ("WWWC が起動していたら警告する"), 12, 82, 300);
    GUI_EnvWWWCWLSEnabled->raise();

    connect(GUI_EnvWWWCWLSEnabled, &QCheckBox::clicked, this, [this] { GUI_EnvWWWCWLSEnabledClick(); });
    connect(GUI_EnvWWWCWLSKeepInfo, &QCheckBox::clicked, this, [this] { GUI_EnvWWWCWLSKeepInfoClick(); });
    connect(GUI_EnvWWWCWLSDialog, &QPushButton::clicked, this, [this] { GUI_EnvWWWCWLSDialogClick(); });
}

void TFConfig::CreateToolTab() {
    GroupBoxPrograms = Make<QGroupBox>(TabTool, "GroupBoxPrograms", 8, 6, 448, 252);
    GroupBoxPrograms->setTitle(Q(SJ("外部プログラムの設定")));
    QWidget* g = GroupBoxPrograms;
    RadioButton1 = Make<QRadioButton>(g, "RadioButton1", 12, 22, 420, 18);
    RadioButton1->setText(Q(SJ("Netscape または Internet Explorer (DDEを使用する)")));
    RadioButton2 = Make<QRadioButton>(g, "RadioButton2", 12, 44, 420, 18);
    RadioButton2->setText(Q(SJ("プログラムを直接指定")));
    GUI_EnvPrgBrowserLabel = MakeLabel(g, "GUI_EnvPrgBrowserLabel", SJ("Web ブラウザ"), 32, 68, 300);
    GUI_EnvPrgBrowser = Make<QLineEdit>(g, "GUI_EnvPrgBrowser", 32, 86, 326, 22);
    GUI_EnvPrgBrowserDialog = MakeButton(g, "GUI_EnvPrgBrowserDialog", SJ("参照"), 364, 85, 72, 24);
    GUI_EnvPrgTextLabel = MakeLabel(g, "GUI_EnvPrgTextLabel", SJ("HTML エディタ"), 12, 124, 300);
    GUI_EnvPrgText = Make<QLineEdit>(g, "GUI_EnvPrgText", 12, 142, 346, 22);
    GUI_EnvPrgTextDialog = MakeButton(g, "GUI_EnvPrgTextDialog", SJ("参照"), 364, 141, 72, 24);
    GUI_EnvPrgImageLabel = MakeLabel(g, "GUI_EnvPrgImageLabel", SJ("画像ファイル"), 12, 180, 300);
    GUI_EnvPrgImage = Make<QLineEdit>(g, "GUI_EnvPrgImage", 12, 198, 346, 22);
    GUI_EnvPrgImageDialog = MakeButton(g, "GUI_EnvPrgImageDialog", SJ("参照"), 364, 197, 72, 24);
    CheckBox9 = MakeCheck(g, "CheckBox9", SJ("Web ブラウザを使用する"), 12, 226, 300);
    CheckBox9->hide();

    connect(RadioButton1, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
    connect(RadioButton2, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
    connect(GUI_EnvPrgBrowserDialog, &QPushButton::clicked, this, [this] { GUI_EnvPrgBrowserDialogClick(); });
    connect(GUI_EnvPrgTextDialog, &QPushButton::clicked, this, [this] { GUI_EnvPrgTextDialogClick(); });
    connect(GUI_EnvPrgImageDialog, &QPushButton::clicked, this, [this] { GUI_EnvPrgImageDialogClick(); });
}

void TFConfig::CreateListTab(QWidget* tab, const char* prefix, const std::string& caption, bool withSwitch,
                             QLineEdit** edit, TSortedListBox** list, QPushButton** add, QPushButton** remove,
                             QPushButton** byDefault, QCheckBox** enabled) {
    const std::string name(prefix);
    const bool alias = name == "Alias";
    auto nm = [&](const char* suffix) { return name + suffix; };
    MakeLabel(tab, (nm("Label")).c_str(), caption, 8, 8, 448);
    int listTop = 62;
    if (alias) {
        MakeLabel(tab, "AliasLabelSou", SJ("元の文字列"), 8, 30, 150);
        MakeLabel(tab, "AliasLabelDes", SJ("置き換える文字列"), 168, 30, 150);
        *edit = Make<QLineEdit>(tab, "AliasEditSou", 8, 48, 152, 22);
        AliasEditDes = Make<QLineEdit>(tab, "AliasEditDes", 168, 48, 180, 22);
        listTop = 78;
    } else {
        *edit = Make<QLineEdit>(tab, nm("Edit").c_str(), 8, 30, 340, 22);
    }
    const int listBottom = withSwitch ? 298 : 322;
    *list = new TSortedListBox(tab);
    (*list)->setObjectName(QString::fromStdString(nm("List")));
    (*list)->setGeometry(8, listTop, 340, listBottom - listTop);
    *add = MakeButton(tab, nm("Add").c_str(), SJ("登録(&A)"), 360, alias ? 46 : 28, 88);
    *remove = MakeButton(tab, nm("Remove").c_str(), SJ("削除(&R)"), 360, listTop, 88);
    // The alias tab's default button has always been spelled so.
    *byDefault =
        MakeButton(tab, alias ? "AliasDefauld" : nm("Default").c_str(), SJ("デフォルト(&D)"), 360, listTop + 32, 88);
    if (withSwitch) *enabled = MakeCheck(tab, nm("ListEnabled").c_str(), SJ("この設定を有効にする"), 8, 306, 300);

    SetHelp(*add, 10129);
    SetHelp(*remove, 10130);
    SetHelp(*byDefault, 10131);
}

void TFConfig::FormCreate() {
    SetHelp(this, HelpContextConfig);
    SetHelp(OkButton, 10104);
    SetHelp(CancelButton, 10105);
    SetHelp(HelpButton, 10106);
    for (QWidget* w : {static_cast<QWidget*>(HREFSkipListEnabled), static_cast<QWidget*>(IMGSkipListEnabled),
                       static_cast<QWidget*>(AliasListEnabled)})
        SetHelp(w, 10109);
    SetHelp(GUI_EnvPrgBrowser, 10110);
    SetHelp(GUI_EnvPrgBrowserDialog, 10110);
    SetHelp(RadioButton1, 10111);
    SetHelp(RadioButton2, 10112);
    SetHelp(GUI_EnvPrgText, 10113);
    SetHelp(GUI_EnvPrgTextDialog, 10113);
    SetHelp(GUI_EnvPrgImage, 10114);
    SetHelp(GUI_EnvPrgImageDialog, 10114);
    int context = 10115;
    for (QWidget* w : {static_cast<QWidget*>(GUI_EnvEscKeyAction), static_cast<QWidget*>(GUI_EnvSplitLine),
                       static_cast<QWidget*>(GUI_EnvMultiOpen), static_cast<QWidget*>(GUI_EnvLnkFlag),
                       static_cast<QWidget*>(GUI_EnvMessageBeep), static_cast<QWidget*>(GUI_EnvMessageDialog),
                       static_cast<QWidget*>(RadioGroup_CharSet)})
        SetHelp(w, context++);
    SetHelp(GUI_EnvErrorLogGroupBox, 10122);
    SetHelp(GUI_AnotherFolder, 10123);
    SetHelp(GUI_EnvWWWCWLSEnabled, 10124);
    SetHelp(GUI_EnvWWWCWLSFileName, 10125);
    SetHelp(GUI_EnvWWWCWLSDialog, 10125);
    SetHelp(GUI_EnvWWWCWLSKeepInfo, 10126);
    SetHelp(GUI_EnvWWWCWLSRemoveURL, 10127);
    SetHelp(GUI_EnvWWWCExecute, 10128);
    SetHelp(HTMExtEdit, 10132);
    SetHelp(HTMExtList, 10133);
    SetHelp(HREFSkipEdit, 10134);
    SetHelp(HREFSkipList, 10135);
    SetHelp(IMGSkipEdit, 10136);
    SetHelp(IMGSkipList, 10137);
    SetHelp(AliasEditSou, 10138);
    SetHelp(AliasEditDes, 10139);
    SetHelp(AliasList, 10140);

    PageControl1->setCurrentWidget(TabStandard);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet1), false);

    connect(HTMExtAdd, &QPushButton::clicked, this, [this] { HTMExtAddClick(); });
    connect(HTMExtRemove, &QPushButton::clicked, this, [this] { HTMExtRemoveClick(); });
    connect(HTMExtDefault, &QPushButton::clicked, this, [this] { HTMExtDefaultClick(); });
    connect(HREFSkipAdd, &QPushButton::clicked, this, [this] { HREFSkipAddClick(); });
    connect(HREFSkipRemove, &QPushButton::clicked, this, [this] { HREFSkipRemoveClick(); });
    connect(HREFSkipDefault, &QPushButton::clicked, this, [this] { HREFSkipDefaultClick(); });
    connect(IMGSkipAdd, &QPushButton::clicked, this, [this] { IMGSkipAddClick(); });
    connect(IMGSkipRemove, &QPushButton::clicked, this, [this] { IMGSkipRemoveClick(); });
    connect(IMGSkipDefault, &QPushButton::clicked, this, [this] { IMGSkipDefaultClick(); });
    connect(AliasAdd, &QPushButton::clicked, this, [this] { AliasAddClick(); });
    connect(AliasRemove, &QPushButton::clicked, this, [this] { AliasRemoveClick(); });
    connect(AliasDefauld, &QPushButton::clicked, this, [this] { AliasDefauldClick(); });
    // A click, or moving through the entries by keyboard, shows the entry.
    HTMExtList->OnPick = [this] { HTMExtListClick(); };
    HREFSkipList->OnPick = [this] { HREFSkipListClick(); };
    IMGSkipList->OnPick = [this] { IMGSkipListClick(); };
    AliasList->OnPick = [this] { AliasListClick(); };
}

void TFConfig::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        FormShow();
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
    preview_->Activate(true);
}

void TFConfig::hideEvent(QHideEvent* event) {
    preview_->Activate(false);
    QDialog::hideEvent(event);
}

void TFConfig::FormShow() {
    const TEnvSettings& e = EnvSettings;
    GUI_EnvPrgBrowser->setText(Q(e.BrowserProgram));
    GUI_EnvPrgText->setText(Q(e.EditorProgram));
    GUI_EnvPrgImage->setText(Q(e.ImageProgram));
    CheckBox9->setChecked(e.ImageInBrowser);

    (e.BrowserDDE == 1 ? RadioButton1 : RadioButton2)->setChecked(true);
    RadioButton1Click();

    HTMExtList->SetEntries(e.HtmlExtensions);
    HREFSkipList->SetEntries(e.HrefSkipPrefixes);
    IMGSkipList->SetEntries(e.ImgSkipPrefixes);
    AliasList->SetEntries(e.Aliases);

    GUI_EnvSplitLine->setChecked(e.SplitLine);
    GUI_EnvEscKeyAction->SetItemIndex(std::clamp(e.EscKeyAction, 0, 2));
    GUI_EnvMultiOpen->setChecked(e.MultiExec);
    GUI_EnvLnkFlag->setChecked(e.LnkFlag && !e.NoShortcutSupport);
    GUI_EnvLnkFlag->setEnabled(!e.NoShortcutSupport);
    GUI_EnvMessageBeep->setChecked(e.MessageBeep);
    GUI_EnvMessageDialog->setChecked(e.MessageDialog);
    GUI_EnvModern->setChecked(e.Modern);
    GUI_AnotherFolder->setChecked(!e.FollowOtherFolders);
    HREFSkipListEnabled->setChecked(e.HrefSkipEnabled);
    IMGSkipListEnabled->setChecked(e.ImgSkipEnabled);
    AliasListEnabled->setChecked(e.AliasEnabled);

    (e.ErrorLogLimit ? GUI_EnvErrorLogLimitOn : GUI_EnvErrorLogLimitOff)->setChecked(true);
    GUI_EnvErrorLogMax->setValue(std::clamp(e.ErrorLogMax, 1, 1000));
    GUI_EnvErrorLogMax->setEnabled(e.ErrorLogLimit);

    GUI_EnvWWWCWLSEnabled->setChecked(e.WlsEnabled);
    GUI_EnvWWWCWLSFileName->setText(Q(e.WlsFileName));
    GUI_EnvWWWCWLSKeepInfo->setChecked(e.WlsKeepInfo);
    GUI_EnvWWWCWLSRemoveURL->setChecked(e.WlsRemoveURL);
    GUI_EnvWWWCExecute->setChecked(e.WwwcRunningCheck);
    EnableWlsControls();

    switch (e.DocumentEncoding) {
        case Jis:
            RadioGroup_CharSet->SetItemIndex(1);
            break;
        case Euc:
            RadioGroup_CharSet->SetItemIndex(2);
            break;
        case Sjis:
            RadioGroup_CharSet->SetItemIndex(3);
            break;
        default:
            RadioGroup_CharSet->SetItemIndex(0);
            break;
    }
}

void TFConfig::EnableWlsControls() {
    const bool on = GUI_EnvWWWCWLSEnabled->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(GUI_EnvWWWCWLSLabel), static_cast<QWidget*>(GUI_EnvWWWCWLSFileName),
                       static_cast<QWidget*>(GUI_EnvWWWCWLSDialog), static_cast<QWidget*>(GUI_EnvWWWCWLSKeepInfo),
                       static_cast<QWidget*>(GUI_EnvWWWCExecute)})
        w->setEnabled(on);
    GUI_EnvWWWCWLSRemoveURL->setEnabled(on && GUI_EnvWWWCWLSKeepInfo->isChecked());
}

void TFConfig::GUI_EnvWWWCWLSEnabledClick() { EnableWlsControls(); }

void TFConfig::GUI_EnvWWWCWLSKeepInfoClick() {
    GUI_EnvWWWCWLSRemoveURL->setEnabled(GUI_EnvWWWCWLSKeepInfo->isChecked());
}

void TFConfig::GUI_EnvErrorLogLimitOffClick(QRadioButton* sender) {
    GUI_EnvErrorLogMax->setEnabled(sender->property("tag").toInt() != 0);
}

void TFConfig::RadioButton1Click() {
    const bool direct = RadioButton2->isChecked();
    GUI_EnvPrgBrowser->setEnabled(direct);
    GUI_EnvPrgBrowserDialog->setEnabled(direct);
}

void TFConfig::OkButtonClick() {
    TEnvSettings& e = EnvSettings;
    e.BrowserProgram = FieldText(GUI_EnvPrgBrowser);
    e.EditorProgram = FieldText(GUI_EnvPrgText);
    e.ImageProgram = FieldText(GUI_EnvPrgImage);
    e.ImageInBrowser = CheckBox9->isChecked();
    e.BrowserDDE = RadioButton1->isChecked() ? 1 : 0;
    e.HtmlExtensions = HTMExtList->Entries();
    e.HrefSkipPrefixes = HREFSkipList->Entries();
    e.ImgSkipPrefixes = IMGSkipList->Entries();
    e.Aliases = AliasList->Entries();
    e.SplitLine = GUI_EnvSplitLine->isChecked();
    e.MultiExec = GUI_EnvMultiOpen->isChecked();
    if (!e.NoShortcutSupport) e.LnkFlag = GUI_EnvLnkFlag->isChecked();
    e.EscKeyAction = std::max(0, GUI_EnvEscKeyAction->ItemIndex());
    e.MessageBeep = GUI_EnvMessageBeep->isChecked();
    e.MessageDialog = GUI_EnvMessageDialog->isChecked();
    e.Modern = GUI_EnvModern->isChecked();
    e.FollowOtherFolders = !GUI_AnotherFolder->isChecked();
    e.HrefSkipEnabled = HREFSkipListEnabled->isChecked();
    e.ImgSkipEnabled = IMGSkipListEnabled->isChecked();
    e.AliasEnabled = AliasListEnabled->isChecked();
    e.WlsEnabled = GUI_EnvWWWCWLSEnabled->isChecked();
    e.WlsFileName = FieldText(GUI_EnvWWWCWLSFileName);
    e.WlsKeepInfo = GUI_EnvWWWCWLSKeepInfo->isChecked();
    e.WlsRemoveURL = GUI_EnvWWWCWLSRemoveURL->isChecked();
    e.WwwcRunningCheck = GUI_EnvWWWCExecute->isChecked();
    e.ErrorLogLimit = GUI_EnvErrorLogLimitOn->isChecked();
    // The text as it stands (Enter may confirm it before the box has
    // corrected it): no number gives 1, and it never leaves the box's range.
    e.ErrorLogMax = BoundedNumber(GUI_EnvErrorLogMax->cleanText(), 1, 1000).value_or(1);
    switch (RadioGroup_CharSet->ItemIndex()) {
        case 1:
            e.DocumentEncoding = Jis;
            break;
        case 2:
            e.DocumentEncoding = Euc;
            break;
        case 3:
            e.DocumentEncoding = Sjis;
            break;
        default:
            e.DocumentEncoding = Auto;
            break;
    }
    SaveSettings(Window);
    accept();
}

void TFConfig::CancelButtonClick() { QDialog::reject(); }

// Esc and the close box end the dialog as Cancel does.
void TFConfig::reject() { CancelButtonClick(); }

int TFConfig::CurrentHelpTopic() const {
    const int index = PageControl1->currentIndex();
    return index >= 0 && index < 6 ? HelpTopicConfigFirstTab + index : HelpContextConfig;
}

void TFConfig::HelpButtonClick() { ShowDialogHelp(CurrentHelpTopic()); }

bool TFConfig::FormKeyDown(QKeyEvent* key) {
    return OkCancelKey(
        key, [this] { OkButtonClick(); }, [this] { CancelButtonClick(); });
}

bool TFConfig::GUI_EnvWWWCWLSFileNameKeyPress(QKeyEvent* key) {
    const int k = key->key();
    return k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Escape;
}

// --- list tabs ------------------------------------------------------------------------------------

void TFConfig::HTMExtAddClick() {
    std::string ext = TrimBlanks(FieldText(HTMExtEdit));
    if (ext.empty()) return;
    if (ext[0] != '.') ext.insert(0, ".");
    if (HTMExtList->IndexOfUpper(platform::AnsiUpper(ext)) >= 0) return;
    HTMExtList->AddEntry(ext);
    HTMExtList->UpdateHorizontalExtent();
}

void TFConfig::AddSkipEntry(QLineEdit* edit, TSortedListBox* list) {
    const std::string prefix = TrimBlanks(FieldText(edit));
    if (prefix.empty() || list->IndexOfUpper(platform::AnsiUpper(prefix)) >= 0) return;
    list->AddEntry(prefix);
    list->UpdateHorizontalExtent();
}

void TFConfig::HREFSkipAddClick() { AddSkipEntry(HREFSkipEdit, HREFSkipList); }
void TFConfig::IMGSkipAddClick() { AddSkipEntry(IMGSkipEdit, IMGSkipList); }

void TFConfig::AliasAddClick() {
    const std::string source = TrimBlanks(FieldText(AliasEditSou));
    if (source.empty()) return;
    const std::string entry = source + ";" + TrimBlanks(FieldText(AliasEditDes));
    // Each source once: a new replacement takes the old entry's place.
    const int old = AliasList->IndexOfUpper(platform::AnsiUpper(source), AliasSource);
    if (old >= 0) {
        // Quietly: the row taking its place must not be copied over the
        // fields the user has just typed.
        const bool blocked = AliasList->blockSignals(true);
        delete AliasList->takeItem(old);
        AliasList->blockSignals(blocked);
    }
    AliasList->AddEntry(entry);
    AliasList->UpdateHorizontalExtent();
}

void TFConfig::HTMExtRemoveClick() { HTMExtList->RemoveSelected(); }
void TFConfig::HREFSkipRemoveClick() { HREFSkipList->RemoveSelected(); }
void TFConfig::IMGSkipRemoveClick() { IMGSkipList->RemoveSelected(); }
void TFConfig::AliasRemoveClick() { AliasList->RemoveSelected(); }

void TFConfig::HTMExtListClick() { HTMExtEdit->setText(Q(HTMExtList->Entry(HTMExtList->currentRow()))); }
void TFConfig::HREFSkipListClick() { HREFSkipEdit->setText(Q(HREFSkipList->Entry(HREFSkipList->currentRow()))); }
void TFConfig::IMGSkipListClick() { IMGSkipEdit->setText(Q(IMGSkipList->Entry(IMGSkipList->currentRow()))); }

void TFConfig::AliasListClick() {
    if (AliasList->currentRow() < 0) return;
    const std::string entry = AliasList->Entry(AliasList->currentRow());
    const size_t semi = platform::SjisFind(entry, ';');
    AliasEditSou->setText(Q(semi == std::string::npos ? std::string() : entry.substr(0, semi)));
    AliasEditDes->setText(Q(semi == std::string::npos ? entry : entry.substr(semi + 1)));
}

bool TFConfig::ConfirmDefault(const std::string& question) {
    platform::TMessageRequest r;
    r.kind = platform::TMsgKind::Information;
    r.text = question;
    r.buttons = platform::TMsgButtons::OKCancel;
    r.defaultButton = platform::TMsgResult::OK;
    return platform::ShowMessageBox(r) == platform::TMsgResult::OK;
}

// The default buttons reset the list of EnvSettings itself, at once: that
// stays even when the dialog is then cancelled.
void TFConfig::HTMExtDefaultClick() {
    if (!ConfirmDefault(SJ("設定をクリアします。よろしいですか？"))) return;
    EnvSettings.HtmlExtensions = TEnvSettings::DefaultHtmlExtensions();
    HTMExtList->SetEntries(EnvSettings.HtmlExtensions);
}

void TFConfig::HREFSkipDefaultClick() {
    if (!ConfirmDefault(SJ("設定を初期値に戻します。よろしいですか？"))) return;
    EnvSettings.HrefSkipPrefixes = TEnvSettings::DefaultHrefSkipPrefixes();
    HREFSkipList->SetEntries(EnvSettings.HrefSkipPrefixes);
}

void TFConfig::IMGSkipDefaultClick() {
    if (!ConfirmDefault(SJ("設定をクリアします。よろしいですか？"))) return;
    EnvSettings.ImgSkipPrefixes = TEnvSettings::DefaultImgSkipPrefixes();
    IMGSkipList->SetEntries(EnvSettings.ImgSkipPrefixes);
}

void TFConfig::AliasDefauldClick() {
    if (!ConfirmDefault(SJ("設定をクリアします。よろしいですか？"))) return;
    EnvSettings.Aliases.clear();
    AliasList->SetEntries(EnvSettings.Aliases);
}

// --- pickers ----------------------------------------------------------------------------------------

void TFConfig::PickProgram(QLabel* label, QLineEdit* edit) {
    TFileDialogRequest r;
    r.title = label->text() + Q(SJ("設定"));
    // "*.EXE" alone would hide every program of this system: the filter is
    // kept for its caption and all files are offered, and shown, beside it.
    r.filters = QStringList{Q(SJ("実行ファイル (*.EXE)")), Q(SJ("すべてのファイル (*)"))};
    r.selectedFilter = r.filters.last();
    if (auto path = RunFileDialog(this, r)) edit->setText(*path);
}

void TFConfig::GUI_EnvPrgBrowserDialogClick() { PickProgram(GUI_EnvPrgBrowserLabel, GUI_EnvPrgBrowser); }
void TFConfig::GUI_EnvPrgTextDialogClick() { PickProgram(GUI_EnvPrgTextLabel, GUI_EnvPrgText); }
void TFConfig::GUI_EnvPrgImageDialogClick() { PickProgram(GUI_EnvPrgImageLabel, GUI_EnvPrgImage); }

void TFConfig::GUI_EnvWWWCWLSDialogClick() {
    TFileDialogRequest r;
    r.title = Q(SJ("WWWC アイテム情報ファイル"));
    r.filters = QStringList{Q(SJ("WWWC アイテム情報ファイル(*.WLS) (*.WLS *.wls)")), Q(SJ("すべてのファイル (*)"))};
    r.selectedFilter = r.filters.first();
    r.defaultSuffix = QStringLiteral("WLS");
    r.initialName = QStringLiteral("*.WLS");
    r.save = true;
    if (auto path = RunFileDialog(this, r)) GUI_EnvWWWCWLSFileName->setText(*path);
}

// --- entry point ------------------------------------------------------------------------------------

namespace {
QPointer<TFConfig>& Instance() {
    static QPointer<TFConfig> dialog;
    return dialog;
}
}  // namespace

TFConfig* ConfigDialog(QWidget* parent) {
    if (!Instance()) Instance() = new TFConfig(parent);
    return Instance();
}

void ShowConfigDialog(QWidget* parent, TSettingsWindow* window) {
    TFConfig* dialog = ConfigDialog(parent);
    dialog->Window = window;
    for (QLineEdit* edit :
         {dialog->HTMExtEdit, dialog->HREFSkipEdit, dialog->IMGSkipEdit, dialog->AliasEditSou, dialog->AliasEditDes})
        edit->clear();
    dialog->exec();
}
