// The three result lists: drawing, the parts list following the page list,
// sorting, searching, keys, mouse and the pop-up menus.
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <array>

#include "engine/UHTMLList.h"
#include "outside/URunEnd.h"
#include "platform/Encoding.h"
#include "report/UCreateResult.h"
#include "ui/QtText.h"
#include "ui/UControls.h"
#include "ui/UFindDialog.h"
#include "ui/ULaunch.h"
#include "ui/UListText.h"
#include "ui/UnitMain.h"

namespace {

// How long a key release waits for the press of an auto-repeat: X sends the
// two together, so any real pause is longer than this.
constexpr int kKeyUpSettleMs = 100;

// The letter or digit a type-ahead key stands for, or 0. With Shift the key
// code is the shifted sign ("!" for 1), which depends on the layout; the
// digit row is then known by its X key codes (10 for 1 up to 19 for 0).
char TypeAheadChar(const QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() & Qt::KeypadModifier) return 0;
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z)) return static_cast<char>(key);
    const quint32 code = event->nativeScanCode();
    if ((event->modifiers() & Qt::ShiftModifier) && code >= 10 && code <= 19) return "1234567890"[code - 10];
    return 0;
}

struct TColumn {
    int x0;
    int x1;
};

// Draws text with its top at y, clipped to rect, over the rectangle filled
// with the canvas's background, as an opaque clipped text output does.
void TextRect(QPainter& canvas, const QRect& rect, int x, int y, const QString& text) {
    if (rect.width() <= 0) return;
    canvas.save();
    canvas.fillRect(rect, canvas.background());
    canvas.setClipRect(rect, Qt::IntersectClip);
    canvas.drawText(x, y + canvas.fontMetrics().ascent(), text);
    canvas.restore();
}

void TextOut(QPainter& canvas, int x, int y, const QString& text) {
    canvas.drawText(x, y + canvas.fontMetrics().ascent(), text);
}

// The vertical line one pixel inside a column's right edge, inverting what
// is under it so it shows on the normal and the highlight background alike.
void SeparatorLine(QPainter& canvas, int x1, const QRect& row) {
    if (!EnvSettings.SplitLine) return;
    canvas.save();
    canvas.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    canvas.setPen(QPen(Qt::black, 1));
    canvas.setRenderHint(QPainter::Antialiasing, false);
    canvas.drawLine(x1 - 1, row.top(), x1 - 1, row.bottom());
    canvas.restore();
}

int TextWidth(QPainter& canvas, const QString& text) { return canvas.fontMetrics().horizontalAdvance(text); }

}  // namespace

// The four columns of a row; the right edge of the page list lies one pixel
// further left than that of the parts list.
static std::array<TColumn, 4> Columns(const TFormMain& form, const QRect& row, int rightAdjust) {
    const int widths[4] = {form.SizePanel->width(), form.TimePanel->width(), form.NamePanel->width(),
                           form.PanelImgs->width()};
    const int gaps[3] = {form.Splitter1->width(), form.Splitter2->width(), form.Splitter3->width()};
    std::array<TColumn, 4> columns{};
    int x = row.left();
    for (int k = 0; k < 4; ++k) {
        columns[static_cast<size_t>(k)] = {x, x + widths[k] + rightAdjust};
        if (k < 3) x += widths[k] + gaps[k];
    }
    return columns;
}

static QRect ColumnRect(const TColumn& c, const QRect& row) {
    return QRect(c.x0, row.top(), c.x1 - c.x0, row.height());
}

// --- drawing ----------------------------------------------------------------------------------

void TFormMain::HTMLListBoxDrawItem(QPainter& canvas, int index, const QRect& rect, bool) {
    if (index < 0 || index >= FileList.Count()) return;
    const THTMLFileInfo* page = FileList[index];
    canvas.fillRect(rect, canvas.brush());
    const auto col = Columns(*this, rect, -1);
    const int top = rect.top();

    QString text = Q(FormatWeight(page->TotalSize));
    TextRect(canvas, ColumnRect(col[0], rect), col[0].x1 - 4 - TextWidth(canvas, text), top, text);
    SeparatorLine(canvas, col[0].x1, rect);

    text = Q(FormatLoadTime(page->TotalSize));
    TextRect(canvas, ColumnRect(col[1], rect), col[1].x1 - 4 - TextWidth(canvas, text), top, text);
    SeparatorLine(canvas, col[1].x1, rect);

    const int labelWidth = TextWidth(canvas, QStringLiteral("SJIS")) + 8;
    const std::string name = MinimizePath(page->FileName, col[2].x1 - col[2].x0 - labelWidth - 4,
                                          [&](const std::string& s) { return TextWidth(canvas, Q(s)); });
    TextRect(canvas, ColumnRect(col[2], rect), col[2].x0 + 4, top, Q(name));
    TextRect(canvas, QRect(col[2].x1 - labelWidth, top, labelWidth, rect.height()), col[2].x1 - labelWidth + 4, top,
             Q(EncodingLabel(page->KanjiCode)));
    SeparatorLine(canvas, col[2].x1, rect);

    text = QString::number(page->Items.Count() - 1);
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    TextOut(canvas, col[3].x1 - TextWidth(canvas, text) - scrollBar - 12, top, text);

    // While the pointer drags the selection the list redraws the rows it
    // selects, and the parts list follows.
    if (DragSelecting) {
        if (HTMLListBox->ItemIndex() != ShownIndex) ShowParts();
        ShownIndex = HTMLListBox->ItemIndex();
    }
}

void TFormMain::HTMLSourceDrawItem(QPainter& canvas, int index, const QRect& rect, bool) {
    const THTMLFileInfo* page = SelectedPage();
    if (!page || index < 0 || index >= page->Items.Count()) return;
    const THTMLFileInfo* part = page->Items[index];
    canvas.fillRect(rect, canvas.brush());
    const auto col = Columns(*this, rect, 0);
    const int top = rect.top();

    QString text = Q(FormatWeight(part->TotalSize));
    TextRect(canvas, ColumnRect(col[0], rect), col[0].x1 - 4 - TextWidth(canvas, text), top, text);
    SeparatorLine(canvas, col[0].x1, rect);

    text = Q(FormatLoadTime(part->TotalSize));
    TextRect(canvas, ColumnRect(col[1], rect), col[1].x1 - 4 - TextWidth(canvas, text), top, text);
    SeparatorLine(canvas, col[1].x1, rect);

    // With the modern reading on, each part says what it is, where the page
    // list names the encoding.
    const int kindWidth = EnvSettings.Modern ? TextWidth(canvas, Q(SJ("スクリプト"))) + 8 : 0;
    const std::string name = MinimizePath(part->FileName, col[2].x1 - col[2].x0 - kindWidth - 4,
                                          [&](const std::string& s) { return TextWidth(canvas, Q(s)); });
    TextRect(canvas, ColumnRect(col[2], rect), col[2].x0 + 4, top, Q(name));
    if (kindWidth > 0)
        TextRect(canvas, QRect(col[2].x1 - kindWidth, top, kindWidth, rect.height()), col[2].x1 - kindWidth + 4, top,
                 Q(PartKindLabel(part->Kind)));
    SeparatorLine(canvas, col[2].x1, rect);

    text = Q(ShareText(part->TotalSize, page->TotalSize));
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    TextRect(canvas, ColumnRect(col[3], rect), col[3].x1 - TextWidth(canvas, text) - scrollBar - 12, top, text);
}

void TFormMain::ErrorListBoxDrawItem(QPainter& canvas, int index, const QRect& rect, bool) {
    canvas.fillRect(rect, canvas.brush());
    canvas.save();
    canvas.setClipRect(rect, Qt::IntersectClip);
    TextOut(canvas, rect.left(), rect.top(), Q(ErrorListBox->Item(index)));
    canvas.restore();
}

// --- parts list, sorting ----------------------------------------------------------------------------

THTMLFileInfo* TFormMain::SelectedPage() const {
    const int s = HTMLListBox->ItemIndex();
    return s >= 0 && s < FileList.Count() ? FileList[s] : nullptr;
}

void TFormMain::ShowParts() {
    const int selected = HTMLListBox->ItemIndex();
    if (selected != ShownIndex) {
        HTMLSource->BeginUpdate();
        HTMLSource->Clear();
        if (const THTMLFileInfo* page = SelectedPage())
            for (int i = 0; i < page->Items.Count(); ++i) HTMLSource->AddItem(std::string());
        SortParts();
        HTMLSource->EndUpdate();
    }
    ShownIndex = selected;
}

void TFormMain::SortFileList() {
    int selected = HTMLListBox->ItemIndex();
    SortPageList(selected);
    HTMLListBox->SetItemIndex(selected);
    HTMLListBox->viewport()->update();
}

void TFormMain::SortParts() {
    THTMLFileInfo* page = SelectedPage();
    if (!page) return;
    int selected = HTMLSource->ItemIndex();
    SortPageParts(*page, selected);
    HTMLSource->SetItemIndex(selected);
    HTMLSource->viewport()->update();
}

void TFormMain::ClickSortButton(int key) {
    if (Running) return;
    if (key == EnvSettings.SortType) EnvSettings.SortAscending = !EnvSettings.SortAscending;
    EnvSettings.SortType = key;
    SortFileList();
    SortParts();
}

// --- searching --------------------------------------------------------------------------------------

bool TFormMain::FindInList(const THTMLItemList& records, TOwnerDrawList* control, bool ignoreCase, bool backward,
                           std::string text) {
    if (ignoreCase) platform::AnsiUpperInPlace(text);
    const int last = std::min(control->Count(), records.Count()) - 1;
    const int selected = control->ItemIndex();
    auto matches = [&](int row) {
        const std::string name = SearchName(records[row]->FileName, ignoreCase);
        return name.size() >= text.size() && name.compare(0, text.size(), text) == 0;
    };
    int found = -1;
    if (backward) {
        for (int row = selected - 1; row >= 0 && found < 0; --row)
            if (row <= last && matches(row)) found = row;
    } else {
        for (int row = selected < 0 ? 0 : selected + 1; row <= last && found < 0; ++row)
            if (matches(row)) found = row;
    }
    if (found < 0) return false;
    control->SetItemIndex(found);
    ShowParts();
    return true;
}

void TFormMain::OpenFindDialog(QWidget* target) {
    findTarget_ = target;
    FindDialog1->Execute();
}

void TFormMain::FindDialog1Find() {
    LastFindText = FindDialog1->FindText();
    FindDialog1->hide();
    const bool ignoreCase = !FindDialog1->MatchCase();
    const bool backward = !FindDialog1->SearchDown();
    if (findTarget_ == HTMLListBox) {
        FindInList(FileList, HTMLListBox, ignoreCase, backward, LastFindText);
    } else if (findTarget_ == HTMLSource) {
        if (THTMLFileInfo* page = SelectedPage())
            FindInList(page->Items, HTMLSource, ignoreCase, backward, LastFindText);
    }
}

// --- opening files --------------------------------------------------------------------------------------

void TFormMain::Launch(int kind, const std::string& program, const std::string& file) {
    LaunchFile({static_cast<TLaunchKind>(kind), program, file});
}

void TFormMain::HTMLListBoxBrowserClick() {
    StopAutoScroll();
    if (Running) return;
    if (const THTMLFileInfo* page = SelectedPage())
        Launch(static_cast<int>(TLaunchKind::Browser), EnvSettings.BrowserProgram, page->FileName);
}

void TFormMain::HTMLListBoxEditorClick() {
    StopAutoScroll();
    if (Running) return;
    if (const THTMLFileInfo* page = SelectedPage())
        Launch(static_cast<int>(TLaunchKind::Editor), EnvSettings.EditorProgram, page->FileName);
}

void TFormMain::HTMLListBoxFolderClick() {
    StopAutoScroll();
    if (Running) return;
    if (const THTMLFileInfo* page = SelectedPage())
        Launch(static_cast<int>(TLaunchKind::Folder), std::string(), page->FileName);
}

void TFormMain::HTMLSourceDblClick() {
    StopAutoScroll();
    if (Running) return;
    const THTMLFileInfo* page = SelectedPage();
    const int j = HTMLSource->ItemIndex();
    if (!page || j < 0 || j >= page->Items.Count()) return;
    const THTMLFileInfo* part = page->Items[j];
    if (EnvSettings.ImageInBrowser || part->IsHTML)
        Launch(static_cast<int>(TLaunchKind::Browser), EnvSettings.BrowserProgram, part->FileName);
    else Launch(static_cast<int>(TLaunchKind::Program), EnvSettings.ImageProgram, part->FileName);
}

void TFormMain::HTMLSourceFolderClick() {
    StopAutoScroll();
    if (Running) return;
    const THTMLFileInfo* page = SelectedPage();
    const int j = HTMLSource->ItemIndex();
    if (page && j >= 0 && j < page->Items.Count())
        Launch(static_cast<int>(TLaunchKind::Folder), std::string(), page->Items[j]->FileName);
}

void TFormMain::ErrorListBoxDblClick() {
    StopAutoScroll();
    if (Running) return;
    const int k = ErrorListBox->ItemIndex();
    if (k >= 0 && k < ErrorLog.Count())
        Launch(static_cast<int>(TLaunchKind::Editor), EnvSettings.EditorProgram, ErrorLog[k]->FileName);
}

void TFormMain::ErrorListBoxBrowserClick() {
    StopAutoScroll();
    if (Running) return;
    const int k = ErrorListBox->ItemIndex();
    if (k >= 0 && k < ErrorLog.Count())
        Launch(static_cast<int>(TLaunchKind::Browser), EnvSettings.BrowserProgram, ErrorLog[k]->FileName);
}

void TFormMain::ErrorListBoxFolderClick() {
    StopAutoScroll();
    if (Running) return;
    const int k = ErrorListBox->ItemIndex();
    if (k >= 0 && k < ErrorLog.Count())
        Launch(static_cast<int>(TLaunchKind::Folder), std::string(), ErrorLog[k]->FileName);
}

// --- mouse and keys -----------------------------------------------------------------------------------

static bool OnlyRightButton(const QMouseEvent* event) {
    return event->button() == Qt::RightButton && event->buttons() == Qt::RightButton &&
           (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
}

void TFormMain::ListMouseDown(TOwnerDrawList* list, QMouseEvent* event) {
    if (list == HTMLListBox && Running) return;
    if (!AutoScrollMouseDown(list, event)) return;
    if (list == HTMLListBox) {
        if (OnlyRightButton(event)) {
            const int row = list->ItemAtY(event->position().toPoint().y());
            if (row >= 0) list->SetItemIndex(row);
            ShowParts();
            PopupMenu1->popup(event->globalPosition().toPoint());
        } else {
            ShowParts();
            DragSelecting = true;
            ShownIndex = list->ItemIndex();
        }
        return;
    }
    if (OnlyRightButton(event) && !Running) {
        const int row = list->ItemAtY(event->position().toPoint().y());
        if (row >= 0) list->SetItemIndex(row);
        (list == HTMLSource ? PopupMenu3 : PopupMenu2)->popup(event->globalPosition().toPoint());
    }
}

void TFormMain::PopupAtSelection(TOwnerDrawList* list, QMenu* menu) {
    const int h = list->ItemHeight();
    int y = (list->ItemIndex() - list->TopIndex()) * h;
    if (y < 0 || y > list->viewport()->height()) y = 0;
    menu->popup(list->viewport()->mapToGlobal(QPoint(0, y + h / 2)));
}

bool TFormMain::ListKeyDown(TOwnerDrawList* list, QKeyEvent* event) {
    StopAutoScroll();
    if (list == HTMLListBox) {
        KeySelecting = true;
        // A key still down: a release just before was the auto-repeat's.
        keyUpTimer_->stop();
    }
    if (Running) return false;

    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int key = event->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;

    if (enter && mods == Qt::NoModifier) {
        if (list == HTMLListBox) HTMLListBoxBrowserClick();
        else if (list == HTMLSource) HTMLSourceDblClick();
        else ErrorListBoxDblClick();
        return true;
    }
    if (enter && mods == Qt::AltModifier) {
        if (list == HTMLListBox) HTMLListBoxEditorClick();
        else if (list == ErrorListBox) ErrorListBoxBrowserClick();
        return true;
    }
    if (key == Qt::Key_Menu && mods == Qt::NoModifier) {
        PopupAtSelection(list, list == HTMLListBox ? PopupMenu1 : list == HTMLSource ? PopupMenu3 : PopupMenu2);
        return true;
    }
    if (list == ErrorListBox) return false;

    // The records this list shows: the pages, or the selected page's parts.
    const THTMLItemList* records = &FileList;
    if (list == HTMLSource) {
        const THTMLFileInfo* page = SelectedPage();
        records = page ? &page->Items : nullptr;
    }
    const bool plainOrShift = mods == Qt::NoModifier || mods == Qt::ShiftModifier;
    const char typed = TypeAheadChar(event);
    if (typed && plainOrShift) {
        if (records) FindInList(*records, list, true, mods == Qt::ShiftModifier, std::string(1, typed));
        return true;
    }
    if (key == Qt::Key_F3 && plainOrShift) {
        if (records && !LastFindText.empty())
            FindInList(*records, list, !FindDialog1->MatchCase(), mods == Qt::ShiftModifier, LastFindText);
        return true;
    }
    return false;
}

void TFormMain::ConnectLists() {
    HTMLListBox->OnDrawItem = [this](QPainter& c, int i, const QRect& r, bool s) { HTMLListBoxDrawItem(c, i, r, s); };
    HTMLSource->OnDrawItem = [this](QPainter& c, int i, const QRect& r, bool s) { HTMLSourceDrawItem(c, i, r, s); };
    ErrorListBox->OnDrawItem = [this](QPainter& c, int i, const QRect& r, bool s) { ErrorListBoxDrawItem(c, i, r, s); };

    for (TOwnerDrawList* list : {HTMLListBox, HTMLSource, ErrorListBox}) {
        list->OnMouseDown = [this, list](QMouseEvent* e) { ListMouseDown(list, e); };
        list->OnKeyDown = [this, list](QKeyEvent* e) { return ListKeyDown(list, e); };
        list->OnExit = [this] { StopAutoScroll(); };
    }
    HTMLListBox->OnMouseMove = [this](QMouseEvent* e) {
        if (!Running) AutoScrollMouseMove(HTMLListBox, e);
    };
    HTMLListBox->OnMouseUp = [this](QMouseEvent* e) {
        if (Running || !AutoScrollMouseUp(HTMLListBox, e)) return;
        if (HTMLListBox->ItemIndex() != ShownIndex) ShowParts();
        DragSelecting = false;
    };
    // Under X a held key repeats its release along with its press, and Qt
    // does not always mark such a release as a repeat. A release counts once
    // no press has followed it for a moment: the parts follow only when the
    // key is really let go, however the repeat arrives.
    keyUpTimer_ = new QTimer(this);
    keyUpTimer_->setSingleShot(true);
    keyUpTimer_->setInterval(kKeyUpSettleMs);
    connect(keyUpTimer_, &QTimer::timeout, this, [this] {
        if (!Running && KeySelecting) {
            KeySelecting = false;
            ShowParts();
        }
    });
    HTMLListBox->OnKeyUp = [this](QKeyEvent*) {
        StopAutoScroll();
        keyUpTimer_->start();
    };
    for (TOwnerDrawList* list : {HTMLSource, ErrorListBox}) {
        list->OnMouseMove = [this, list](QMouseEvent* e) { AutoScrollMouseMove(list, e); };
        list->OnMouseUp = [this, list](QMouseEvent* e) { AutoScrollMouseUp(list, e); };
        list->OnKeyUp = [this](QKeyEvent*) { StopAutoScroll(); };
    }
    HTMLListBox->OnDblClick = [this] { HTMLListBoxBrowserClick(); };
    HTMLSource->OnDblClick = [this] { HTMLSourceDblClick(); };
    ErrorListBox->OnDblClick = [this] { ErrorListBoxDblClick(); };
}

// --- pop-up menus -------------------------------------------------------------------------------------

void TFormMain::CreatePopupMenus() {
    auto add = [this](QMenu* menu, const char* name, const std::string& caption, auto handler) {
        QAction* a = menu->addAction(Q(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto cancel = [](QMenu* menu, const char* name) {
        menu->addSeparator();
        menu->addAction(Q(SJ("キャンセル(&C)")))->setObjectName(name);
    };

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    add(PopupMenu1, "Menu1_Browser", SJ("ブラウザを起動(&W)"), [this] { HTMLListBoxBrowserClick(); });
    add(PopupMenu1, "Menu1_Editor", SJ("エディタを起動(&E)"), [this] { HTMLListBoxEditorClick(); });
    add(PopupMenu1, "Menu1_Folder", SJ("その場所のフォルダを開く(&F)"), [this] { HTMLListBoxFolderClick(); });
    PopupMenu1->addSeparator();
    Menu1_Start = add(PopupMenu1, "Menu1_Start", SJ("このファイルを計測(&G)"), [this] { Menu1_StartClick(); });
    PopupMenu1->addAction(Q(SJ("このファイルだけを計測(&O)")))->setObjectName("Menu1_StartOnly");
    cancel(PopupMenu1, "Menu1_Cancel");

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName("PopupMenu3");
    add(PopupMenu3, "Menu3_Open", SJ("ファイルを開く(&E)"), [this] { HTMLSourceDblClick(); });
    add(PopupMenu3, "Menu3_Folder", SJ("その場所のフォルダを開く(&F)"), [this] { HTMLSourceFolderClick(); });
    cancel(PopupMenu3, "Menu3_Cancel");

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    add(PopupMenu2, "Menu2_Browser", SJ("ブラウザを起動(&W)"), [this] { ErrorListBoxBrowserClick(); });
    add(PopupMenu2, "Menu2_Editor", SJ("エディタを起動(&E)"), [this] { ErrorListBoxDblClick(); });
    add(PopupMenu2, "Menu2_Folder", SJ("その場所のフォルダを開く(&F)"), [this] { ErrorListBoxFolderClick(); });
    cancel(PopupMenu2, "Menu2_Cancel");

    PopupMenu4 = new QMenu(this);
    PopupMenu4->setObjectName("PopupMenu4");
}
