#include "ui/UDialogParts.h"

#include <QApplication>
#include <QButtonGroup>
#include <QKeyEvent>
#include <QRadioButton>
#include <algorithm>

#include "platform/Encoding.h"
#include "ui/QtText.h"
#include "ui/UFileDialog.h"
#include "ui/UWindowHooks.h"

namespace {

bool EntryLess(const std::string& a, const std::string& b) {
    const std::string ua = platform::AnsiUpper(a), ub = platform::AnsiUpper(b);
    if (ua != ub) return ua < ub;
    return a < b;
}

constexpr int kEntryRole = Qt::UserRole;

int ContextOf(QObject* o) {
    for (; o; o = o->parent()) {
        QVariant v = o->property("helpContext");
        if (v.isValid()) return v.toInt();
    }
    return 0;
}

}  // namespace

void ShowDialogHelp(int context) {
    if (const auto& help = WindowHooks().help) help(context);
}

std::optional<QString> RunFileDialog(QWidget* parent, const TFileDialogRequest& request) {
    if (const auto& answer = WindowHooks().fileDialog) return answer(request);
    TFileDialog dialog(parent, request.title);
    dialog.SetRefuseReadOnly(request.refuseReadOnly);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.filters);
    if (!request.selectedFilter.isEmpty()) dialog.selectNameFilter(request.selectedFilter);
    if (!request.defaultSuffix.isEmpty()) dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return files.first();
}

bool IsPlainKey(const QKeyEvent* key, int qtKey) {
    if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return false;
    if (qtKey == Qt::Key_Return) return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    return key->key() == qtKey;
}

bool OkCancelKey(const QKeyEvent* key, const std::function<void()>& ok, const std::function<void()>& cancel) {
    if (IsPlainKey(key, Qt::Key_Escape)) {
        cancel();
        return true;
    }
    if (IsPlainKey(key, Qt::Key_Return)) {
        ok();
        return true;
    }
    return false;
}

TKeyPreview::TKeyPreview(QWidget* dialog, std::function<bool(QObject*, QKeyEvent*)> onKey,
                         std::function<void(int)> onHelp)
    : QObject(dialog), dialog_(dialog), onKey_(std::move(onKey)), onHelp_(std::move(onHelp)) {}

void TKeyPreview::Activate(bool on) {
    if (on == active_) return;
    active_ = on;
    // Keys go to the focused control; only the application sees them all
    // first, whichever control of the dialog has the focus.
    if (on) qApp->installEventFilter(this);
    else qApp->removeEventFilter(this);
}

bool TKeyPreview::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::WhatsThis) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != dialog_) return false;
    if (type == QEvent::WhatsThis) {
        if (!onHelp_) return false;
        onHelp_(ContextOf(widget));
        return true;
    }
    return onKey_ && onKey_(watched, static_cast<QKeyEvent*>(event));
}

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), columns_(std::max(1, columns)) {
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        buttons_.push_back(b);
    }
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
    if (QRadioButton* b = Button(index)) b->setChecked(true);
}

QRadioButton* TRadioGroup::Button(int index) const {
    return index >= 0 && index < Count() ? buttons_[static_cast<size_t>(index)] : nullptr;
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    const int rows = (Count() + columns_ - 1) / columns_;
    const int colWidth = (width() - 16) / columns_;
    for (int i = 0; i < Count(); ++i)
        buttons_[static_cast<size_t>(i)]->setGeometry(8 + (i / rows) * colWidth, 18 + (i % rows) * 20, colWidth - 4,
                                                      18);
}

TSortedListBox::TSortedListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (OnPick) OnPick();
    });
}

void TSortedListBox::keyPressEvent(QKeyEvent* event) {
    // Only a move the key itself made is a pick; the current row a list
    // gives itself on getting the focus must not overwrite what was typed.
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0 && OnPick) OnPick();
}

void TSortedListBox::SetEntries(const std::vector<std::string>& entries) {
    const bool blocked = blockSignals(true);
    clear();
    for (const std::string& e : entries) AddEntry(e);
    blockSignals(blocked);
    UpdateHorizontalExtent();
}

std::vector<std::string> TSortedListBox::Entries() const {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i) out.push_back(Entry(i));
    return out;
}

std::string TSortedListBox::Entry(int row) const {
    const QListWidgetItem* it = item(row);
    if (!it) return {};
    const QByteArray bytes = it->data(kEntryRole).toByteArray();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void TSortedListBox::AddEntry(const std::string& entry) {
    // The position after every entry that sorts before or equal to it.
    int lo = 0, hi = count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (EntryLess(entry, Entry(mid))) hi = mid;
        else lo = mid + 1;
    }
    // The entry's own bytes ride along, so that what comes back is exactly
    // what went in even where the display had to substitute a character.
    auto* it = new QListWidgetItem(Q(entry));
    it->setData(kEntryRole, QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
    const bool blocked = blockSignals(true);
    insertItem(lo, it);
    blockSignals(blocked);
}

int TSortedListBox::IndexOfUpper(const std::string& upper,
                                 const std::function<std::string(const std::string&)>& key) const {
    for (int i = 0; i < count(); ++i) {
        const std::string e = Entry(i);
        if (platform::AnsiUpper(key ? key(e) : e) == upper) return i;
    }
    return -1;
}

void TSortedListBox::RemoveSelected() {
    const bool blocked = blockSignals(true);
    for (int i = count() - 1; i >= 0; --i)
        if (item(i)->isSelected()) delete takeItem(i);
    blockSignals(blocked);
    UpdateHorizontalExtent();
}

void TSortedListBox::UpdateHorizontalExtent() {
    if (count() == 0) return;
    const QFontMetrics fm(font());
    int widest = 0;
    for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(item(i)->text()));
    extent_ = widest + 16;
    // Every row as wide as the extent: the scrollable width is then exactly it.
    const int rowHeight = fm.height() + 2;
    for (int i = 0; i < count(); ++i) item(i)->setSizeHint(QSize(extent_, rowHeight));
}
