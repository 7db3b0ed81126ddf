// The configuration dialog: settings into the controls and back, the
// enabling rules, the four list editors, the keys that end the dialog, the
// pickers, help topics, and the settings file written on OK.
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include "UiTestSupport.h"
#include "platform/Profile.h"
#include "ui/UConfig.h"

using namespace uitest;

namespace {

QString U(const char* utf8) { return Q(Sj(utf8)); }

// A main window stand-in that notes being asked for its sections.
struct FakeWindow : TSettingsWindow {
    int historySaved = 0;
    void ApplyNoFile() override {}
    void LoadHistory(const platform::TIniFile&) override {}
    void ApplyWindowSection(const platform::TIniFile&) override {}
    void ShowWindow() override {}
    void FillInputFromHistory() override {}
    void LoadFinished() override {}
    void SaveHistory(platform::TIniFile&) override { ++historySaved; }
    void SaveWindowSection(platform::TIniFile&) override {}
};

TFConfig* Shown() {
    TFConfig* d = ConfigDialog();
    for (QLineEdit* e : {d->HTMExtEdit, d->HREFSkipEdit, d->IMGSkipEdit, d->AliasEditSou, d->AliasEditDes}) e->clear();
    d->show();
    return d;
}

void Type(QLineEdit* edit, const char* utf8) { edit->setText(U(utf8)); }

std::vector<std::string> Sjs(std::initializer_list<const char*> items) {
    std::vector<std::string> out;
    for (const char* s : items) out.push_back(Sj(s));
    return out;
}

}  // namespace

class TestConfigDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() {
        ResetState();
        hooks_.emplace();
        ConfigDialog()->Window = nullptr;
    }
    void cleanup() {
        if (TFConfig* d = ConfigDialog(); d->isVisible()) d->CancelButtonClick();
        hooks_.reset();
    }

    void tabsCaptionAndFixedSize() {
        TFConfig* d = Shown();
        QCOMPARE(d->windowTitle(), U("環境設定"));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        const char* names[] = {"TabStandard", "TabSheet1",  "TabTool", "TabHTMLExt",
                               "TabHREFSkip", "TabIMGSkip", "TabAlias"};
        const char* captions[] = {"一般",         "計測設定",    "ツール",    "HTML拡張子",
                                  "HREFスキップ", "IMGスキップ", "エイリアス"};
        QCOMPARE(d->PageControl1->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(d->PageControl1->widget(i)->objectName(), QString::fromLatin1(names[i]));
            QCOMPARE(d->PageControl1->tabText(i), U(captions[i]));
            QCOMPARE(d->PageControl1->isTabVisible(i), i != 1);
        }
        QVERIFY(!d->CheckBox9->isVisible());
        QCOMPARE(d->GUI_EnvWWWCWLSEnabled->text(), U("WWWCアイテム情報ファイル(*.WLS) を作成する"));
        QCOMPARE(d->AliasDefauld->text(), U("デフォルト(&D)"));
        QCOMPARE(d->findChild<QCheckBox*>("HREFSkipListEnabled"), d->HREFSkipListEnabled);
    }

    void settingsFillTheControlsAtEveryShow() {
        EnvSettings.BrowserProgram = Sj("/opt/ブラウザ/bin/web");
        EnvSettings.BrowserDDE = 0;
        EnvSettings.EscKeyAction = 2;
        EnvSettings.FollowOtherFolders = false;
        EnvSettings.DocumentEncoding = Euc;
        EnvSettings.ErrorLogLimit = false;
        EnvSettings.ErrorLogMax = 5000;
        EnvSettings.WlsFileName = Sj("/home/u/アイテム.WLS");
        EnvSettings.HtmlExtensions = Sjs({".html", ".HTM", ".asp"});
        EnvSettings.Aliases = Sjs({"/~u/;/home/u/public_html/"});
        TFConfig* d = Shown();
        QCOMPARE(d->GUI_EnvPrgBrowser->text(), U("/opt/ブラウザ/bin/web"));
        QVERIFY(d->RadioButton2->isChecked());
        QCOMPARE(d->GUI_EnvEscKeyAction->ItemIndex(), 2);
        QVERIFY(d->GUI_AnotherFolder->isChecked());
        QCOMPARE(d->RadioGroup_CharSet->ItemIndex(), 2);
        QVERIFY(d->GUI_EnvErrorLogLimitOff->isChecked());
        QCOMPARE(d->GUI_EnvErrorLogMax->value(), 1000);
        QCOMPARE(d->GUI_EnvWWWCWLSFileName->text(), U("/home/u/アイテム.WLS"));
        // Sorted without regard to case.
        QCOMPARE(d->HTMExtList->Entries(), Sjs({".asp", ".HTM", ".html"}));
        QCOMPARE(d->AliasList->Entries(), EnvSettings.Aliases);
        d->CancelButtonClick();

        // The next opening shows the settings as they are then.
        EnvSettings.ErrorLogMax = 0;
        EnvSettings.DocumentEncoding = Auto;
        EnvSettings.HtmlExtensions = Sjs({".htm"});
        Shown();
        QCOMPARE(d->GUI_EnvErrorLogMax->value(), 1);
        QCOMPARE(d->RadioGroup_CharSet->ItemIndex(), 0);
        QCOMPARE(d->HTMExtList->count(), 1);
    }

    void wwwcControlsFollowTheirSwitches() {
        EnvSettings.WlsEnabled = false;
        EnvSettings.WlsKeepInfo = false;
        TFConfig* d = Shown();
        QList<QWidget*> inside = {d->GUI_EnvWWWCWLSLabel,    d->GUI_EnvWWWCWLSFileName,  d->GUI_EnvWWWCWLSDialog,
                                  d->GUI_EnvWWWCWLSKeepInfo, d->GUI_EnvWWWCWLSRemoveURL, d->GUI_EnvWWWCExecute};
        for (QWidget* w : inside) QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(d->GUI_EnvWWWCWLSEnabled->isEnabled());

        d->GUI_EnvWWWCWLSEnabled->click();
        for (QWidget* w : inside) QCOMPARE(w->isEnabled(), w != d->GUI_EnvWWWCWLSRemoveURL);
        d->GUI_EnvWWWCWLSKeepInfo->click();
        QVERIFY(d->GUI_EnvWWWCWLSRemoveURL->isEnabled());
        d->GUI_EnvWWWCWLSKeepInfo->click();
        QVERIFY(!d->GUI_EnvWWWCWLSRemoveURL->isEnabled());
        d->GUI_EnvWWWCWLSKeepInfo->click();
        d->GUI_EnvWWWCWLSEnabled->click();
        for (QWidget* w : inside) QVERIFY(!w->isEnabled());
    }

    void spinEditAndBrowserFieldFollowTheirRadioButtons() {
        EnvSettings.ErrorLogLimit = true;
        EnvSettings.BrowserDDE = 1;
        TFConfig* d = Shown();
        QVERIFY(d->GUI_EnvErrorLogMax->isEnabled());
        d->GUI_EnvErrorLogLimitOff->click();
        QVERIFY(!d->GUI_EnvErrorLogMax->isEnabled());
        d->GUI_EnvErrorLogLimitOn->click();
        QVERIFY(d->GUI_EnvErrorLogMax->isEnabled());

        QVERIFY(d->RadioButton1->isChecked());
        QVERIFY(!d->GUI_EnvPrgBrowser->isEnabled());
        QVERIFY(!d->GUI_EnvPrgBrowserDialog->isEnabled());
        d->RadioButton2->click();
        QVERIFY(d->GUI_EnvPrgBrowser->isEnabled());
        QVERIFY(d->GUI_EnvPrgBrowserDialog->isEnabled());
        QVERIFY(d->GUI_EnvPrgText->isEnabled());
        d->RadioButton1->click();
        QVERIFY(!d->GUI_EnvPrgBrowser->isEnabled());
    }

    void lnkCheckboxWithoutShortcutSupport() {
        EnvSettings.NoShortcutSupport = true;
        EnvSettings.LnkFlag = true;
        TFConfig* d = Shown();
        QVERIFY(!d->GUI_EnvLnkFlag->isChecked());
        QVERIFY(!d->GUI_EnvLnkFlag->isEnabled());
        d->OkButtonClick();
        QVERIFY(EnvSettings.LnkFlag);
    }

    void extensionList() {
        TFConfig* d = Shown();
        QCOMPARE(d->HTMExtList->Entries(), Sjs({".htm", ".html"}));
        Type(d->HTMExtEdit, "  shtml ");
        d->HTMExtAdd->click();
        Type(d->HTMExtEdit, "HTM");
        d->HTMExtAdd->click();
        Type(d->HTMExtEdit, ".HTML");
        d->HTMExtAdd->click();
        Type(d->HTMExtEdit, "   ");
        d->HTMExtAdd->click();
        Type(d->HTMExtEdit, "ｐｈｐ表");
        d->HTMExtAdd->click();
        QCOMPARE(d->HTMExtList->Entries(), Sjs({".htm", ".html", ".shtml", ".ｐｈｐ表"}));
        // The scroll width follows the widest entry.
        const QFontMetrics fm(d->HTMExtList->font());
        QCOMPARE(d->HTMExtList->HorizontalExtent(), fm.horizontalAdvance(U(".ｐｈｐ表")) + 16);
    }

    void skipLists() {
        TFConfig* d = Shown();
        Type(d->IMGSkipEdit, " http: ");
        d->IMGSkipAdd->click();
        Type(d->IMGSkipEdit, "HTTP:");
        d->IMGSkipAdd->click();
        Type(d->IMGSkipEdit, "\t ");
        d->IMGSkipAdd->click();
        QCOMPARE(d->IMGSkipList->Entries(), Sjs({"/", "http:"}));
        Type(d->IMGSkipEdit, " cid: ");
        d->IMGSkipAdd->click();
        QCOMPARE(d->IMGSkipList->Entries(), Sjs({"/", "cid:", "http:"}));

        const int before = d->HREFSkipList->count();
        Type(d->HREFSkipEdit, "MAILTO:");
        d->HREFSkipAdd->click();
        Type(d->HREFSkipEdit, "  ");
        d->HREFSkipAdd->click();
        QCOMPARE(d->HREFSkipList->count(), before);
        Type(d->HREFSkipEdit, "javascript:");
        d->HREFSkipAdd->click();
        QCOMPARE(d->HREFSkipList->count(), before + 1);
    }

    void aliasesReplaceBySource() {
        TFConfig* d = Shown();
        Type(d->AliasEditSou, " /~user/ ");
        Type(d->AliasEditDes, " /srv/user/ ");
        d->AliasAdd->click();
        Type(d->AliasEditSou, "/cgi/");
        Type(d->AliasEditDes, "");
        d->AliasAdd->click();
        QCOMPARE(d->AliasList->Entries(), Sjs({"/cgi/;", "/~user/;/srv/user/"}));

        Type(d->AliasEditSou, "/~USER/");
        Type(d->AliasEditDes, "/home/user/");
        d->AliasAdd->click();
        QCOMPARE(d->AliasList->Entries(), Sjs({"/cgi/;", "/~USER/;/home/user/"}));

        // Replacing the entry last clicked leaves the typed fields as they
        // are, not showing whichever entry took its place.
        d->AliasList->setCurrentRow(1);
        QCOMPARE(d->AliasEditSou->text(), U("/~USER/"));
        Type(d->AliasEditDes, "/export/user/");
        d->AliasAdd->click();
        QCOMPARE(d->AliasList->Entries(), Sjs({"/cgi/;", "/~USER/;/export/user/"}));
        QCOMPARE(d->AliasEditSou->text(), U("/~USER/"));
        QCOMPARE(d->AliasEditDes->text(), U("/export/user/"));

        Type(d->AliasEditSou, "  ");
        Type(d->AliasEditDes, "/x/");
        d->AliasAdd->click();
        QCOMPARE(d->AliasList->count(), 2);
    }

    void clickingAnEntryCopiesItIntoTheFields() {
        EnvSettings.Aliases = Sjs({"/a/;/b/", "no-separator"});
        TFConfig* d = Shown();
        d->PageControl1->setCurrentWidget(d->TabAlias);
        QTest::qWait(0);
        auto clickRow = [](TSortedListBox* list, int row) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
        };
        clickRow(d->AliasList, 0);
        QCOMPARE(d->AliasEditSou->text(), U("/a/"));
        QCOMPARE(d->AliasEditDes->text(), U("/b/"));
        clickRow(d->AliasList, 1);
        QCOMPARE(d->AliasEditSou->text(), QString());
        QCOMPARE(d->AliasEditDes->text(), U("no-separator"));

        d->PageControl1->setCurrentWidget(d->TabHTMLExt);
        QTest::qWait(0);
        clickRow(d->HTMExtList, 1);
        QCOMPARE(d->HTMExtEdit->text(), U(".html"));
    }

    // Tab from an entry field into its list must not copy an entry over
    // what was typed; a key that moves within the list does copy.
    void tabIntoAListKeepsTheTypedText() {
        EnvSettings.HtmlExtensions = Sjs({".htm", ".html"});
        EnvSettings.HrefSkipPrefixes = Sjs({"javascript:", "mailto:"});
        EnvSettings.ImgSkipPrefixes = Sjs({"/", "http:"});
        EnvSettings.Aliases = Sjs({"/a/;/b/", "/c/;/d/"});
        TFConfig* d = Shown();
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        struct Case {
            QWidget* tab;
            QLineEdit* edit;  // the field Tab leaves for the list
            TSortedListBox* list;
            QLineEdit* copiedTo;  // where the second entry lands
            const char* second;
        };
        const Case cases[] = {
            {d->TabHTMLExt, d->HTMExtEdit, d->HTMExtList, d->HTMExtEdit, ".html"},
            {d->TabHREFSkip, d->HREFSkipEdit, d->HREFSkipList, d->HREFSkipEdit, "mailto:"},
            {d->TabIMGSkip, d->IMGSkipEdit, d->IMGSkipList, d->IMGSkipEdit, "http:"},
            {d->TabAlias, d->AliasEditDes, d->AliasList, d->AliasEditDes, "/d/"},
        };
        for (const Case& c : cases) {
            d->PageControl1->setCurrentWidget(c.tab);
            c.edit->setFocus();
            QTRY_VERIFY(c.edit->hasFocus());
            // As just filled: no entry current yet (showing the tab may have
            // passed the focus through the list).
            c.list->setCurrentRow(-1);
            c.edit->clear();
            QTest::keyClicks(c.edit, "php");
            QTest::keyClick(c.edit, Qt::Key_Tab);
            QVERIFY2(c.list->hasFocus(), qPrintable(c.list->objectName()));
            QCOMPARE(c.edit->text(), QStringLiteral("php"));
            QTest::keyClick(c.list, Qt::Key_Down);
            QCOMPARE(c.copiedTo->text(), U(c.second));
        }
        QCOMPARE(d->AliasEditSou->text(), U("/c/"));
    }

    void removeDeletesTheSelectedEntries() {
        TFConfig* d = Shown();
        d->HREFSkipList->clearSelection();
        d->HREFSkipRemove->click();
        QCOMPARE(d->HREFSkipList->count(), 14);
        d->HREFSkipList->item(0)->setSelected(true);
        d->HREFSkipList->item(3)->setSelected(true);
        const std::string first = d->HREFSkipList->Entry(0), fourth = d->HREFSkipList->Entry(3);
        d->HREFSkipRemove->click();
        QCOMPARE(d->HREFSkipList->count(), 12);
        QCOMPARE(d->HREFSkipList->IndexOfUpper(platform::AnsiUpper(first)), -1);
        QCOMPARE(d->HREFSkipList->IndexOfUpper(platform::AnsiUpper(fourth)), -1);
        // Nothing is copied before OK.
        QCOMPARE(EnvSettings.HrefSkipPrefixes.size(), size_t(14));
    }

    void defaultAsksAndResetsTheLiveListEvenWhenCancelled() {
        EnvSettings.HtmlExtensions = Sjs({".php"});
        EnvSettings.HrefSkipPrefixes = Sjs({"x:"});
        EnvSettings.ImgSkipPrefixes = Sjs({"y:"});
        EnvSettings.Aliases = Sjs({"a;b"});
        EnvSettings.AliasEnabled = false;
        TFConfig* d = Shown();
        d->HTMExtDefault->click();
        d->HREFSkipDefault->click();
        d->IMGSkipDefault->click();
        d->AliasDefauld->click();
        QCOMPARE(Messages().size(), size_t(4));
        for (const platform::TMessageRequest& m : Messages()) {
            QCOMPARE(m.kind, platform::TMsgKind::Information);
            QCOMPARE(m.buttons, platform::TMsgButtons::OKCancel);
        }
        QCOMPARE(Messages()[0].text, Sj("設定をクリアします。よろしいですか？"));
        QCOMPARE(Messages()[1].text, Sj("設定を初期値に戻します。よろしいですか？"));
        QCOMPARE(Messages()[2].text, Sj("設定をクリアします。よろしいですか？"));
        QCOMPARE(Messages()[3].text, Sj("設定をクリアします。よろしいですか？"));
        QCOMPARE(d->HTMExtList->Entries(), Sjs({".htm", ".html"}));
        QCOMPARE(d->AliasList->count(), 0);
        d->CancelButtonClick();

        QCOMPARE(EnvSettings.HtmlExtensions, TEnvSettings::DefaultHtmlExtensions());
        QCOMPARE(EnvSettings.HrefSkipPrefixes, TEnvSettings::DefaultHrefSkipPrefixes());
        QCOMPARE(EnvSettings.ImgSkipPrefixes, TEnvSettings::DefaultImgSkipPrefixes());
        QVERIFY(EnvSettings.Aliases.empty());
        QVERIFY(!EnvSettings.AliasEnabled);
    }

    void defaultAnsweredWithCancelKeepsTheList() {
        EnvSettings.HtmlExtensions = Sjs({".php"});
        platform::TFrontEndScope cancelling;
        platform::FrontEnd().messageBox = [](const platform::TMessageRequest& r) {
            Messages().push_back(r);
            return platform::TMsgResult::Cancel;
        };
        TFConfig* d = Shown();
        d->HTMExtDefault->click();
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(d->HTMExtList->Entries(), Sjs({".php"}));
        QCOMPARE(EnvSettings.HtmlExtensions, Sjs({".php"}));
    }

    void okCopiesEverythingBackAndWritesTheSettingsFile() {
        FakeWindow window;
        TFConfig* d = Shown();
        d->Window = &window;
        d->GUI_EnvPrgText->setText(U("/usr/bin/エディタ"));
        d->RadioButton2->click();
        d->GUI_EnvMultiOpen->setChecked(true);
        d->GUI_EnvEscKeyAction->SetItemIndex(0);
        d->GUI_AnotherFolder->setChecked(true);
        QVERIFY(!d->GUI_EnvModern->isChecked());
        d->GUI_EnvModern->setChecked(true);
        d->RadioGroup_CharSet->SetItemIndex(3);
        d->GUI_EnvErrorLogMax->setValue(250);
        d->GUI_EnvWWWCWLSEnabled->click();
        d->GUI_EnvWWWCWLSFileName->setText(U("/tmp/a b.WLS"));
        d->IMGSkipListEnabled->setChecked(false);
        Type(d->HTMExtEdit, "shtml");
        d->HTMExtAdd->click();
        d->OkButtonClick();

        QVERIFY(!d->isVisible());
        QCOMPARE(EnvSettings.EditorProgram, Sj("/usr/bin/エディタ"));
        QCOMPARE(EnvSettings.BrowserDDE, 0);
        QVERIFY(EnvSettings.MultiExec);
        QCOMPARE(EnvSettings.EscKeyAction, 0);
        QVERIFY(!EnvSettings.FollowOtherFolders);
        QVERIFY(EnvSettings.Modern);
        QCOMPARE(EnvSettings.DocumentEncoding, Sjis);
        QCOMPARE(EnvSettings.ErrorLogMax, 250);
        QVERIFY(EnvSettings.WlsEnabled);
        QCOMPARE(EnvSettings.WlsFileName, Sj("/tmp/a b.WLS"));
        QVERIFY(!EnvSettings.ImgSkipEnabled);
        QCOMPARE(EnvSettings.HtmlExtensions, Sjs({".htm", ".html", ".shtml"}));

        platform::TIniFile ini(FromQ(IniPath()));
        QCOMPARE(ini.ReadString("PROGRAMS", "HTML", ""), Sj("/usr/bin/エディタ"));
        QCOMPARE(ini.ReadInteger("CONFIG", "ERRORLOGMAX", 0), 250);
        QCOMPARE(ini.ReadString("WWWC", "FileName", ""), Sj("/tmp/a b.WLS"));
        QCOMPARE(ini.ReadInteger("EXTLIST", "COUNT", 0), 3);
        QCOMPARE(window.historySaved, 1);
    }

    void enterInAnEntryFieldConfirmsTheDialogWithoutAdding() {
        TFConfig* d = Shown();
        d->PageControl1->setCurrentWidget(d->TabHTMLExt);
        d->HTMExtEdit->setFocus();
        Type(d->HTMExtEdit, "shtml");
        d->GUI_EnvMessageBeep->setChecked(true);
        QTest::keyClick(d->HTMExtEdit, Qt::Key_Return);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QVERIFY(EnvSettings.MessageBeep);
        QCOMPARE(EnvSettings.HtmlExtensions, Sjs({".htm", ".html"}));
        QVERIFY(QFile::exists(IniPath()));
    }

    void enterOnAnyButtonIsOkAndEscapeCancels() {
        TFConfig* d = Shown();
        d->GUI_EnvMessageBeep->setChecked(true);
        QTest::keyClick(d->CancelButton, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(!d->isVisible());
        QVERIFY(EnvSettings.MessageBeep);

        Shown();
        d->GUI_EnvMessageBeep->setChecked(false);
        Type(d->HTMExtEdit, "asp");
        d->HTMExtAdd->click();
        QTest::keyClick(d->HTMExtList, Qt::Key_Escape);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(EnvSettings.MessageBeep);
        QCOMPARE(EnvSettings.HtmlExtensions, Sjs({".htm", ".html"}));

        // Shift+Enter is not a confirmation.
        Shown();
        QTest::keyClick(d->GUI_EnvPrgText, Qt::Key_Return, Qt::ShiftModifier);
        QVERIFY(d->isVisible());
        QTest::keyClick(d->GUI_EnvWWWCWLSFileName, Qt::Key_Escape, Qt::ShiftModifier);
        QVERIFY(d->isVisible());
    }

    // Any number may be typed; it is brought into 1 to 1000 when the field
    // is left (Tab) or the dialog confirmed (Enter) - never by dropping the
    // keystroke that passes the limit.
    void spinEditTakesWhatIsTypedAndBoundsIt_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");  // after Tab
        QTest::addColumn<int>("saved");      // after Enter
        QTest::newRow("5000 Tab") << "5000" << int(Qt::Key_Tab) << "1000" << 0;
        QTest::newRow("0 Tab") << "0" << int(Qt::Key_Tab) << "1" << 0;
        QTest::newRow("250 Tab") << "250" << int(Qt::Key_Tab) << "250" << 0;
        QTest::newRow("5000 Enter") << "5000" << int(Qt::Key_Return) << QString() << 1000;
        QTest::newRow("1001 Enter") << "1001" << int(Qt::Key_Return) << QString() << 1000;
        QTest::newRow("99999999999 Enter") << "99999999999" << int(Qt::Key_Return) << QString() << 1000;
        QTest::newRow("1000 Enter") << "1000" << int(Qt::Key_Return) << QString() << 1000;
        QTest::newRow("7 Enter") << "7" << int(Qt::Key_Return) << QString() << 7;
        QTest::newRow("nothing Enter") << "" << int(Qt::Key_Return) << QString() << 1;
    }
    void spinEditTakesWhatIsTypedAndBoundsIt() {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(QString, shown);
        QFETCH(int, saved);
        EnvSettings.ErrorLogLimit = true;
        EnvSettings.ErrorLogMax = 100;
        TFConfig* d = Shown();
        d->PageControl1->setCurrentWidget(d->TabStandard);
        d->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(d));
        QSpinBox* spin = d->GUI_EnvErrorLogMax;
        spin->setFocus();
        auto* spinText = spin->findChild<QLineEdit*>();
        QVERIFY(spinText);
        spinText->selectAll();
        QTest::keyClick(spin, Qt::Key_Delete);
        QTest::keyClicks(spin, typed);
        QCOMPARE(spin->cleanText(), typed);  // every keystroke stands
        QTest::keyClick(spin, static_cast<Qt::Key>(key));
        if (key == Qt::Key_Tab) {
            QVERIFY(!spin->hasFocus());
            QCOMPARE(spin->cleanText(), shown);
            QCOMPARE(spin->value(), shown.toInt());
            d->OkButtonClick();
            QCOMPARE(EnvSettings.ErrorLogMax, shown.toInt());
        } else {
            QVERIFY(!d->isVisible());
            QCOMPARE(EnvSettings.ErrorLogMax, saved);
        }
    }

    void programPickersFillTheirRow() {
        std::vector<TFileDialogRequest> asked;
        std::optional<QString> answer = QStringLiteral("/usr/bin/ブラウザ");
        WindowHooks().fileDialog = [&](const TFileDialogRequest& r) {
            asked.push_back(r);
            return answer;
        };
        EnvSettings.BrowserDDE = 0;
        TFConfig* d = Shown();
        d->GUI_EnvPrgBrowserDialog->click();
        QCOMPARE(d->GUI_EnvPrgBrowser->text(), QStringLiteral("/usr/bin/ブラウザ"));
        answer.reset();
        d->GUI_EnvPrgImageDialog->click();
        QCOMPARE(d->GUI_EnvPrgImage->text(), QString());
        answer = QStringLiteral("/x/edit");
        d->GUI_EnvPrgTextDialog->click();
        QCOMPARE(d->GUI_EnvPrgText->text(), QStringLiteral("/x/edit"));

        QCOMPARE(asked.size(), size_t(3));
        QCOMPARE(asked[0].title, U("Web ブラウザ設定"));
        QCOMPARE(asked[1].title, U("画像ファイル設定"));
        QCOMPARE(asked[2].title, U("HTML エディタ設定"));
        QVERIFY(!asked[0].save);
        QCOMPARE(asked[0].filters.first(), U("実行ファイル (*.EXE)"));
        QVERIFY(asked[0].filters.contains(asked[0].selectedFilter));
        QVERIFY(asked[0].selectedFilter.endsWith(QStringLiteral("(*)")));

        answer = QStringLiteral("/home/u/items.WLS");
        d->GUI_EnvWWWCWLSEnabled->setChecked(true);
        d->GUI_EnvWWWCWLSEnabledClick();
        d->GUI_EnvWWWCWLSDialog->click();
        QCOMPARE(d->GUI_EnvWWWCWLSFileName->text(), QStringLiteral("/home/u/items.WLS"));
        QVERIFY(asked.back().save);
        QCOMPARE(asked.back().title, U("WWWC アイテム情報ファイル"));
        QCOMPARE(asked.back().defaultSuffix, QStringLiteral("WLS"));
        QCOMPARE(asked.back().initialName, QStringLiteral("*.WLS"));
    }

    void helpButtonOpensTheTopicOfTheTab() {
        std::vector<int> topics;
        WindowHooks().help = [&](int context) { topics.push_back(context); };
        TFConfig* d = Shown();
        for (QWidget* tab : {d->TabStandard, d->TabTool, d->TabHTMLExt, d->TabHREFSkip, d->TabIMGSkip, d->TabAlias}) {
            d->PageControl1->setCurrentWidget(tab);
            d->HelpButton->click();
        }
        QCOMPARE(topics, (std::vector<int>{10012, 10014, 10015, 10016, 10017, 10145}));
        QVERIFY(d->isVisible());
        QCOMPARE(d->IMGSkipDefault->property("helpContext").toInt(), 10131);

        // A context-help click on a control asks for its context, or for
        // the dialog's when the control has none of its own.
        topics.clear();
        for (QWidget* w : {static_cast<QWidget*>(d->AliasEditDes), d->findChild<QWidget*>("AliasLabel")}) {
            QVERIFY(w);
            QHelpEvent what(QEvent::WhatsThis, QPoint(1, 1), w->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(w, &what);
        }
        QCOMPARE(topics, (std::vector<int>{10139, 10145}));
    }

    void showConfigDialogReusesTheDialogAndEmptiesTheFields() {
        FakeWindow window;
        TFConfig* d = ConfigDialog();
        d->PageControl1->setCurrentWidget(d->TabIMGSkip);
        d->IMGSkipEdit->setText(QStringLiteral("left over"));
        d->AliasEditDes->setText(QStringLiteral("left over"));
        QString seenEdit = QStringLiteral("unset");
        QWidget* seenTab = nullptr;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<TFConfig*>(QApplication::activeModalWidget());
            QVERIFY(shown == d);
            seenEdit = shown->IMGSkipEdit->text() + shown->AliasEditDes->text();
            seenTab = shown->PageControl1->currentWidget();
            QTest::keyClick(shown->PageControl1, Qt::Key_Escape);
        });
        ShowConfigDialog(nullptr, &window);
        QCOMPARE(seenEdit, QString());
        QCOMPARE(seenTab, d->TabIMGSkip);
        QCOMPARE(ConfigDialog(), d);
        QCOMPARE(window.historySaved, 0);
        QVERIFY(!QFile::exists(IniPath()));

        // OK from the modal dialog saves with the window's sections.
        QTimer::singleShot(0, [] {
            auto* shown = qobject_cast<TFConfig*>(QApplication::activeModalWidget());
            QVERIFY(shown);
            shown->OkButton->click();
        });
        ShowConfigDialog(nullptr, &window);
        QCOMPARE(window.historySaved, 1);
        QVERIFY(QFile::exists(IniPath()));
    }

private:
    // The hooks a test sets end with it.
    std::optional<TWindowHooksScope> hooks_;
};

QTEST_MAIN(TestConfigDialog)
#include "test_ConfigDialog.moc"
