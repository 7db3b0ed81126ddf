// The program's file dialogs: Qt's own dialog, the same on every desktop
// and speaking Japanese with the rest of the window, sized so that its
// columns can be read, and refusing read-only files where a save asks it to.
#pragma once

#include <QFileDialog>

class TFileDialog : public QFileDialog {
public:
    explicit TFileDialog(QWidget* parent, const QString& caption = QString());

    // A save dialog that refuses an existing file that is read-only (no
    // write bit, or not writable by this user): it says so and stays open
    // for another choice.
    void SetRefuseReadOnly(bool on) { refuseReadOnly_ = on; }

    void accept() override;
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FitColumns();
    void FitWidth();

    bool refuseReadOnly_ = false;
    bool connected_ = false;
    bool widenPending_ = false;
};

// Whether a save may not go to this existing file (native path).
bool IsReadOnlyFile(const QString& path);

// The dialog's message for a read-only choice (CP932): the text, two line
// breaks and the path.
std::string ReadOnlyFileMessage(const QString& path);
