// Pieces the program's dialogs share: the file dialog, help, the key
// handling every dialog has (keys seen before the controls, Enter = OK,
// Esc = Cancel) and two controls, a radio group and a sorted list box.
#pragma once

#include <QGroupBox>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QKeyEvent;
class QRadioButton;

// Shows help for a context number through the window hooks' help (when
// set): the topic of a dialog's Help button or the context of a control
// clicked in context-help mode.
void ShowDialogHelp(int context);

// One file dialog. The filters are Qt name filters ("text (*.x *.y)").
struct TFileDialogRequest {
    QString title;
    QStringList filters;
    QString selectedFilter;
    QString defaultSuffix;
    QString initialName;
    bool save = false;            // a save dialog (asks before overwriting), else an open one
    bool refuseReadOnly = false;  // a save dialog that refuses read-only files
};

// Runs the dialog and gives the chosen path (native, absolute), or nullopt
// when cancelled. Tests answer through the window hooks' fileDialog instead.
std::optional<QString> RunFileDialog(QWidget* parent, const TFileDialogRequest& request);

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
    int IndexOfUpper(const std::string& upper, const std::function<std::string(const std::string&)>& key = {}) const;
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
