// The find dialog of the result lists: a text, a match-case box, the search
// direction (down preset) and Find / Cancel. It stays open until the user
// asks for a match or cancels; the owner reads the options in OnFind.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    // CP932 text of the search box.
    std::string FindText() const;
    void SetFindText(const std::string& cp932);
    bool MatchCase() const;
    bool SearchDown() const;

    // Shows the dialog (modeless) with the text selected.
    void Execute();

    // The user asked for the next match.
    std::function<void()> OnFind;

    QLineEdit* TextEdit;
    QCheckBox* MatchCaseBox;
    QRadioButton* UpButton;
    QRadioButton* DownButton;
    QPushButton* FindButton;
    QPushButton* CancelButton;

private:
    void UpdateFindButton();
};
