#include "ui/UFindDialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/QtText.h"

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("FindDialog1");
    setWindowTitle(Q(SJ("検索")));
    setModal(false);

    auto* label = new QLabel(Q(SJ("検索する文字列(&N):")), this);
    TextEdit = new QLineEdit(this);
    label->setBuddy(TextEdit);
    MatchCaseBox = new QCheckBox(Q(SJ("大文字と小文字を区別する(&C)")), this);
    auto* direction = new QGroupBox(Q(SJ("方向")), this);
    UpButton = new QRadioButton(Q(SJ("上へ(&U)")), direction);
    DownButton = new QRadioButton(Q(SJ("下へ(&D)")), direction);
    DownButton->setChecked(true);
    auto* dirLayout = new QHBoxLayout(direction);
    dirLayout->addWidget(UpButton);
    dirLayout->addWidget(DownButton);

    FindButton = new QPushButton(Q(SJ("次を検索(&F)")), this);
    FindButton->setDefault(true);
    CancelButton = new QPushButton(Q(SJ("キャンセル")), this);

    auto* textRow = new QHBoxLayout;
    textRow->addWidget(label);
    textRow->addWidget(TextEdit, 1);
    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(MatchCaseBox, 1);
    optionRow->addWidget(direction);
    auto* left = new QVBoxLayout;
    left->addLayout(textRow);
    left->addLayout(optionRow);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(FindButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    connect(TextEdit, &QLineEdit::textChanged, this, [this] { UpdateFindButton(); });
    connect(FindButton, &QPushButton::clicked, this, [this] {
        if (TextEdit->text().isEmpty()) return;
        if (OnFind) OnFind();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateFindButton();
}

std::string TFindDialog::FindText() const { return FromQ(TextEdit->text()); }

void TFindDialog::SetFindText(const std::string& cp932) { TextEdit->setText(Q(cp932)); }

bool TFindDialog::MatchCase() const { return MatchCaseBox->isChecked(); }

bool TFindDialog::SearchDown() const { return DownButton->isChecked(); }

void TFindDialog::Execute() {
    TextEdit->selectAll();
    TextEdit->setFocus();
    show();
    raise();
    activateWindow();
}

void TFindDialog::UpdateFindButton() { FindButton->setEnabled(!TextEdit->text().isEmpty()); }
