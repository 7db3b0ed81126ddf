#include "ui/UExport.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <optional>

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "report/UCreateResult.h"
#include "settings/Uenviron.h"
#include "ui/QtText.h"
#include "ui/UFonts.h"

namespace {

const std::string& TitleOf(int index) {
    switch (index) {
        case ExportTextFile:
            return SJ("テキストファイルに出力");
        case ExportHtmlFile:
            return SJ("HTMLファイルに出力");
        case ExportClipboard:
            return SJ("クリップボードに出力");
        case ExportEditor:
            return SJ("テキストエディタで開く");
        case ExportBrowser:
            return SJ("ブラウザで開く");
        default:
            return SJ("「測定結果を出力」の設定");
    }
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const std::string& caption, int left, int top, int width,
                     int help) {
    auto* box = new QCheckBox(Q(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, top, width, 17);
    box->setProperty("helpContext", help);
    return box;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int left, int help) {
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(left, 136, 75, 25);
    b->setAutoDefault(false);
    b->setProperty("helpContext", help);
    return b;
}

// The CP932 name of a path the file dialog chose. A name that has no
// Shift-JIS form cannot be written under its own name: that is reported as
// the file that cannot be created, rather than writing a different name.
std::optional<std::string> ChosenFile(const std::optional<QString>& chosen) {
    if (!chosen || chosen->isEmpty()) return std::nullopt;
    const QByteArray utf8 = chosen->toUtf8();
    if (auto cp = platform::FromNative(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())))) return cp;
    ShowCreateError(FileCreateErrorText(FromQ(*chosen)));
    return std::nullopt;
}

std::optional<std::string> AskTextFile(QWidget* owner) {
    TFileDialogRequest r;
    r.title = Q(SJ("テキストファイルの保存"));
    r.filters = QStringList{QStringLiteral("*.TXT (*.TXT *.txt)"), QStringLiteral("*.* (*)")};
    r.selectedFilter = r.filters.first();
    r.defaultSuffix = QStringLiteral("txt");
    r.save = true;
    r.refuseReadOnly = true;
    return ChosenFile(RunFileDialog(owner, r));
}

std::optional<std::string> AskHtmlFile(QWidget* owner) {
    TFileDialogRequest r;
    r.title = Q(SJ("HTMLファイルの保存"));
    r.filters = QStringList{QStringLiteral("*.html (*.html *.htm *.HTML *.HTM)"), QStringLiteral("*.* (*)")};
    r.selectedFilter = r.filters.first();
    r.defaultSuffix = QStringLiteral("htm");
    r.save = true;
    return ChosenFile(RunFileDialog(owner, r));
}

}  // namespace

// --- the options dialog -------------------------------------------------------------------------

TFExport::TFExport(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FExport"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(WindowFont());
    setFixedSize(362, 176);
    setProperty("helpContext", HelpContextExport);

    Label1 = new QLabel(Q(SJ("出力する内容を選択してください。")), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 8, 330, 16);

    // Made in tab order: the buttons first, then the boxes row by row.
    OkButton = MakeButton(this, "OkButton", "&Ok", 48, 10048);
    CancelButton = MakeButton(this, "CancelButton", "&Cancel", 136, 10049);
    HelpButton = MakeButton(this, "HelpButton", "&Help", 224, 10050);
    CheckExportURLList = MakeCheck(this, "CheckExportURLList", SJ("入力されたHTMLファイル"), 24, 32, 158, 10039);
    CheckExportHTMList = MakeCheck(this, "CheckExportHTMList", SJ("チェックしたHTMLファイル"), 184, 32, 174, 10042);
    CheckExportHTMLRes = MakeCheck(this, "CheckExportHTMLRes", SJ("HTMLリソース"), 24, 56, 158, 10043);
    CheckExportOtherURL = MakeCheck(this, "CheckExportOtherURL", SJ("他のURLへのリンク"), 184, 56, 174, 10044);
    CheckExportError = MakeCheck(this, "CheckExportError", SJ("エラー"), 24, 80, 158, 10045);
    CheckExportUseTable = MakeCheck(this, "CheckExportUseTable", SJ("<TABLE>タグを使用する"), 184, 80, 174, 10046);
    CheckExportToShow = MakeCheck(this, "CheckExportToShow", SJ("このウィンドウを常に表示"), 24, 104, 158, 10047);

    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButtonClick(); });
    connect(HelpButton, &QPushButton::clicked, this, [this] { HelpButtonClick(); });

    preview_ = new TKeyPreview(
        this, [this](QObject*, QKeyEvent* key) { return FormKeyDown(key); },
        [](int context) { ShowDialogHelp(context); });
}

bool TFExport::Execute(int index) {
    setWindowTitle(Q(TitleOf(index)));
    result_ = false;
    const TEnvSettings& e = EnvSettings;
    CheckExportURLList->setChecked(e.ExportUrlList);
    CheckExportHTMList->setChecked(e.ExportHtmlList);
    CheckExportHTMLRes->setChecked(e.ExportHtmlRes);
    CheckExportOtherURL->setChecked(e.ExportOtherUrl);
    CheckExportError->setChecked(e.ExportError);
    CheckExportToShow->setChecked(e.ExportShowConfig);
    CheckExportUseTable->setChecked(e.ExportUseTable);
    // Only the targets that produce HTML use it; it still shows the setting.
    CheckExportUseTable->setEnabled(index == ExportHtmlFile || index == ExportBrowser || index == ExportOptionsOnly);
    showConfigAtOpen_ = e.ExportShowConfig;
    OkButton->setFocus();
    exec();
    return result_;
}

void TFExport::OkButtonClick() {
    TEnvSettings& e = EnvSettings;
    e.ExportUrlList = CheckExportURLList->isChecked();
    e.ExportHtmlList = CheckExportHTMList->isChecked();
    e.ExportHtmlRes = CheckExportHTMLRes->isChecked();
    e.ExportOtherUrl = CheckExportOtherURL->isChecked();
    e.ExportError = CheckExportError->isChecked();
    e.ExportShowConfig = CheckExportToShow->isChecked();
    e.ExportUseTable = CheckExportUseTable->isChecked();
    result_ = true;
    if (showConfigAtOpen_ && !e.ExportShowConfig) {
        platform::TMessageRequest r;
        r.kind = platform::TMsgKind::Information;
        r.text = SJ("このウィンドウを表示しないように設定しました。") + "\n\n" +
                 SJ("オプションの［「測定結果を出力」の設定］で再び表示することができます。");
        platform::ShowMessageBox(r);
    }
    accept();
}

void TFExport::CancelButtonClick() {
    result_ = false;
    QDialog::reject();
}

// Esc and the close box cancel.
void TFExport::reject() { CancelButtonClick(); }

void TFExport::HelpButtonClick() { ShowDialogHelp(HelpTopicExport); }

bool TFExport::FormKeyDown(QKeyEvent* key) {
    return OkCancelKey(
        key, [this] { OkButtonClick(); }, [this] { CancelButtonClick(); });
}

void TFExport::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
    preview_->Activate(true);
}

void TFExport::hideEvent(QHideEvent* event) {
    preview_->Activate(false);
    QDialog::hideEvent(event);
}

namespace {
QPointer<TFExport>& Instance() {
    static QPointer<TFExport> dialog;
    return dialog;
}
}  // namespace

TFExport* ExportDialog(QWidget* parent) {
    if (!Instance()) Instance() = new TFExport(parent);
    return Instance();
}

// --- the command ----------------------------------------------------------------------------------

void RunExport(int Tag, QWidget* owner, std::vector<std::string>& TempFiles) {
    if (EnvSettings.ExportShowConfig && !ExportDialog(owner)->Execute(Tag)) return;
    std::optional<std::string> name;
    switch (Tag) {
        case ExportTextFile:
            name = AskTextFile(owner);
            break;
        case ExportHtmlFile:
            name = AskHtmlFile(owner);
            break;
        case ExportClipboard:
        case ExportEditor:
        case ExportBrowser:
            name = std::string();
            break;
        default:
            break;
    }
    if (name) ExportReport(static_cast<TExportTarget>(Tag), *name, TempFiles);
}

void ShowExportOptions(QWidget* parent) { ExportDialog(parent)->Execute(ExportOptionsOnly); }
