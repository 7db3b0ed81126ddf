// The main menu and its keys: the entries with their captions, shortcuts and
// tags, the one dispatcher that runs a shortcut as the menu would (menus
// above first, a disabled menu swallowing the key), the sort, speed, size,
// hint and link commands, Escape, the open-file dialog, the history pop-up,
// the help entries and the version box.
#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include "UiTestSupport.h"
#include "report/UCreateResult.h"
#include "ui/UAppMain.h"
#include "ui/UConfig.h"
#include "ui/UExport.h"
#include "ui/UFindDialog.h"
#include "ui/UHelp.h"
#include "ui/UPlatformHooks.h"
#include "ui/UVersion.h"

using namespace uitest;

namespace {

std::vector<QUrl>& Urls() {
    static std::vector<QUrl> urls;
    return urls;
}

struct TEntry {
    const char* caption;
    QKeySequence key;
};

// Caption and shortcut of every non-separator entry, in menu order.
std::vector<std::pair<QString, QKeySequence>> Entries(QMenu* menu) {
    std::vector<std::pair<QString, QKeySequence>> entries;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) entries.emplace_back(a->text(), a->shortcut());
    return entries;
}

void Expect(QMenu* menu, std::vector<TEntry> expected) {
    const auto entries = Entries(menu);
    QCOMPARE(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(entries[i].first, Q(Sj(expected[i].caption)));
        QCOMPARE(entries[i].second, expected[i].key);
    }
}

// Counts the keys (modifier keys aside) that reach a list's own key handling.
struct TKeySpy {
    int count = 0;
    explicit TKeySpy(TOwnerDrawList* list) {
        auto previous = list->OnKeyDown;
        list->OnKeyDown = [this, previous](QKeyEvent* e) {
            const int k = e->key();
            if (k != Qt::Key_Control && k != Qt::Key_Alt && k != Qt::Key_Shift && k != Qt::Key_Meta) ++count;
            return previous ? previous(e) : false;
        };
    }
};

QImage Picture(TOwnerDrawList* list) { return list->viewport()->grab().toImage(); }

QUrl LastUrl() { return Urls().empty() ? QUrl() : Urls().back(); }

}  // namespace

class TestMainMenus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        SetUpEnvironment();
        WindowHooks().url = [](const QUrl& url) { Urls().push_back(url); };
    }
    void init() {
        ResetState();
        Urls().clear();
    }
    void cleanup() {
        FileList.Clear();
        ErrorLog.Clear();
    }

    // --- the menu itself ------------------------------------------------------------------------

    void entriesCarryTheirCaptionsAndShortcuts() {
        auto form = ShowWindow();
        QVERIFY(form);
        const auto alt = [](Qt::Key k) { return QKeySequence(Qt::ALT | k); };
        const auto ctrl = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };
        QStringList top;
        for (QAction* a : form->menuBar()->actions()) top << a->text();
        QCOMPARE(top, QStringList({Q(Sj("ﾌｧｲﾙ(&F)")), Q(Sj("ソート(&S)")), Q(Sj("ｵﾌﾟｼｮﾝ(&O)")), Q(Sj("ﾍﾙﾌﾟ(&H)")),
                                   Q(Sj("中止(&B)"))}));
        Expect(form->Menu_File, {{"HTMLファイルを開く(&O)...", ctrl(Qt::Key_O)},
                                 {"計測開始(&G)", alt(Qt::Key_G)},
                                 {"再び開く(&R)", {}},
                                 {"検索(&F)", ctrl(Qt::Key_F)},
                                 {"測定結果を出力(&E)", {}},
                                 {"終了(&X)", alt(Qt::Key_X)}});
        Expect(form->Menu_FileExport, {{"テキストファイル(*.TXT)", alt(Qt::Key_T)},
                                       {"HTMLファイル(*.HTML)", alt(Qt::Key_M)},
                                       {"クリップボード", alt(Qt::Key_C)},
                                       {"テキストエディタで開く", alt(Qt::Key_E)},
                                       {"ブラウザで開く", alt(Qt::Key_B)}});
        int tag = 0;
        for (QAction* a : form->Menu_FileExport->actions()) QCOMPARE(a->data().toInt(), tag++);
        Expect(form->Menu_Sort, {{"サイズ/所要時間でソート(&S)", alt(Qt::Key_1)},
                                 {"ファイル名でソート(&N)", alt(Qt::Key_2)},
                                 {"IMG ファイル総数でソート(&I)", alt(Qt::Key_3)},
                                 {"ソートしない(&U)", alt(Qt::Key_4)}});
        QVERIFY(!form->Menu_SortNone->isVisible());
        Expect(form->Menu_Option, {{"回線速度(&S)", {}},
                                   {"ファイルサイズ表示方式(&F)", {}},
                                   {"ヒントを表示する(&H)", {}},
                                   {"ﾘﾝｸを追跡する(&L)", {}},
                                   {"最新ﾌﾞﾗｳｻﾞの読み込みで計測する(&W)", {}},
                                   {"「測定結果を出力」の設定(&C)", {}},
                                   {"環境設定(&E)", {}}});
        Expect(form->Menu_Help,
               {{"目次(&C)", {}}, {"ﾄﾋﾟｯｸの検索(&S)...", {}}, {"ﾍﾙﾌﾟの使い方(&H)", {}}, {"ﾊﾞｰｼﾞｮﾝ情報(&A)...", {}}});
        QCOMPARE(form->Menu_Abort->shortcut(), alt(Qt::Key_B));
        QVERIFY(!form->Menu_Abort->isVisible());
    }

    // --- the dispatch rule ----------------------------------------------------------------------

    void findKeyOnlyWithAFileListActive() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->Edit1->setFocus();
        form->Edit1->setText(QStringLiteral("abc"));
        QTest::keyClick(form->Edit1, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!form->FindDialog1->isVisible());
        QCOMPARE(form->Edit1->text(), QStringLiteral("abc"));

        TKeySpy spy(form->HTMLSource);
        form->HTMLSource->setFocus();
        QTest::keyClick(form->HTMLSource, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form->FindDialog1->isVisible());
        QCOMPARE(spy.count, 0);  // the menu took it, the list never saw it
        form->FindDialog1->hide();

        form->ErrorListBox->setFocus();
        QTest::keyClick(form->ErrorListBox, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!form->FindDialog1->isVisible());
    }

    // A menu opened with the mouse and closed with Esc leaves the focus on
    // the menu bar; Find still acts on the list that had it before.
    void findAfterAMenuClosedWithEscape() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 1);
        AddPage("/s/b.htm", 1);
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(list, 0));
        QVERIFY(list->hasFocus());

        QMenuBar* bar = form->menuBar();
        const QPoint file = bar->actionGeometry(form->Menu_File->menuAction()).center();
        auto openFileMenu = [&] {
            QTest::mouseClick(bar, Qt::LeftButton, {}, file);
            QTRY_VERIFY(form->Menu_File->isVisible());
        };
        openFileMenu();
        QTest::keyClick(form->Menu_File, Qt::Key_Escape);
        QTRY_VERIFY(!form->Menu_File->isVisible());
        QVERIFY(bar->hasFocus());  // the state the user is left in

        openFileMenu();
        QVERIFY(form->Menu_Find->isEnabled());
        QTest::keyClick(form->Menu_File, Qt::Key_Escape);
        QTRY_VERIFY(!form->Menu_File->isVisible());
        QVERIFY(bar->hasFocus());
        QTest::keyClick(bar, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(form->FindDialog1->isVisible());
        form->FindDialog1->SetFindText("b");
        form->FindDialog1->FindButton->click();
        QCOMPARE(list->ItemIndex(), 1);
    }

    void altBExportsBetweenRunsAndDoesNothingDuringOne() {
        auto form = ShowWindow();
        QVERIFY(form);
        std::vector<int> exports;
        form->ExportRunner = [&](int tag) { exports.push_back(tag); };
        form->HTMLListBox->setFocus();
        QTest::keyClick(form->HTMLListBox, Qt::Key_B, Qt::AltModifier);
        QCOMPARE(exports, std::vector<int>{4});
        QTest::keyClick(form->HTMLListBox, Qt::Key_T, Qt::AltModifier);
        QTest::keyClick(form->HTMLListBox, Qt::Key_C, Qt::AltModifier);
        QCOMPARE(exports, (std::vector<int>{4, 0, 2}));

        exports.clear();
        bool ran = false;
        form->RunEngine = [&](bool& stop, const TProgressSink&, const TProgressSink& file, const TProgressSink&) {
            file("/x.html");  // pumps the keys below
            ran = true;
            QTest::keyClick(form->HTMLListBox, Qt::Key_B, Qt::AltModifier);
            QTest::keyClick(form->HTMLListBox, Qt::Key_2, Qt::AltModifier);
            QVERIFY(!stop);  // not the Break entry either
        };
        InputList.assign(1, SourcePath("examples/site/index.html"));
        form->StartMeasurement();
        QVERIFY(ran);
        QVERIFY(exports.empty());
        QCOMPARE(EnvSettings.SortType, 0);
    }

    void sortKeysIncludingTheHiddenEntry() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/b.htm", 300);
        AddPage("/s/a.htm", 100);
        AddPage("/s/c.htm", 200, {{"/s/1.gif", 1}, {"/s/2.gif", 1}});
        ShowFileList(*form);
        TKeySpy spy(form->HTMLListBox);
        form->HTMLListBox->setFocus();
        auto names = [] {
            std::string s;
            for (int i = 0; i < FileList.Count(); ++i) s += platform::ExtractFileName(FileList[i]->FileName) + " ";
            return s;
        };
        QTest::keyClick(form->HTMLListBox, Qt::Key_2, Qt::AltModifier);
        QCOMPARE(EnvSettings.SortType, 1);
        QCOMPARE(names(), std::string("c.htm b.htm a.htm "));  // descending kept
        QTest::keyClick(form->HTMLListBox, Qt::Key_2, Qt::AltModifier);
        QCOMPARE(names(), std::string("a.htm b.htm c.htm "));  // same key again: reversed
        QTest::keyClick(form->HTMLListBox, Qt::Key_1, Qt::AltModifier);
        QCOMPARE(EnvSettings.SortType, 0);
        QCOMPARE(names(), std::string("a.htm c.htm b.htm "));  // by weight, ascending
        QTest::keyClick(form->HTMLListBox, Qt::Key_3, Qt::AltModifier);
        QCOMPARE(EnvSettings.SortType, 2);
        QCOMPARE(platform::ExtractFileName(FileList[2]->FileName), std::string("c.htm"));

        // Alt+4 works with its entry hidden: the order stays as it is.
        QVERIFY(!form->Menu_SortNone->isVisible());
        const std::string before = names();
        QTest::keyClick(form->HTMLListBox, Qt::Key_4, Qt::AltModifier);
        QCOMPARE(EnvSettings.SortType, 3);
        QCOMPARE(names(), before);
        QCOMPARE(spy.count, 0);
    }

    void disabledMenuSwallowsItsKeys() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->Menu_Sort->menuAction()->setEnabled(false);
        TKeySpy spy(form->HTMLListBox);
        form->HTMLListBox->setFocus();
        QTest::keyClick(form->HTMLListBox, Qt::Key_2, Qt::AltModifier);
        QCOMPARE(EnvSettings.SortType, 0);
        QCOMPARE(spy.count, 0);
        // A key no entry carries goes on to the control.
        QTest::keyClick(form->HTMLListBox, Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(spy.count, 1);
    }

    // --- option commands --------------------------------------------------------------------------

    void speedAndSizeChangeTheListsAndTheStatus() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/heavy.htm", 123456);
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        QTest::qWait(20);
        const QImage pages = Picture(form->HTMLListBox);
        const QImage parts = Picture(form->HTMLSource);
        const std::string slowTime = FormatLoadTime(123456);

        form->findChild<QAction*>("Menu_OptionSpeed6000000")->trigger();
        QCOMPARE(form->StatusBar1->PanelText(2), std::string("6M bps"));
        QVERIFY(FormatLoadTime(123456) != slowTime);
        QTest::qWait(20);
        QVERIFY(Picture(form->HTMLListBox) != pages);
        QVERIFY(Picture(form->HTMLSource) != parts);

        const QImage before = Picture(form->HTMLListBox);
        form->FileSizeItems[2]->trigger();
        QCOMPARE(EnvSettings.FileSizeDisp, 2);
        int checked = 0;
        for (QAction* a : form->FileSizeItems) checked += a->isChecked();
        QCOMPARE(checked, 1);
        QVERIFY(form->FileSizeItems[2]->isChecked());
        QTest::qWait(20);
        QVERIFY(Picture(form->HTMLListBox) != before);
    }

    void hintAndLinkToggles() {
        auto form = ShowWindow();
        QVERIFY(form);
        QVERIFY(form->Menu_OptionShowHintFlg->isChecked());
        form->Menu_OptionShowHintFlg->trigger();
        for (QWidget* w : {static_cast<QWidget*>(form->LinkBtn), static_cast<QWidget*>(form->EnvBtn),
                           static_cast<QWidget*>(form->StatusBar1), static_cast<QWidget*>(form->SortByTime)})
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        form->Menu_OptionShowHintFlg->trigger();
        QVERIFY(EnvSettings.ShowHint);
        QCOMPARE(form->EnvBtn->toolTip(), Q(Sj("環境設定ウィンドウを開きます")));

        form->Menu_OptionLink->trigger();
        QVERIFY(!EnvSettings.LinkEnabled);
        QVERIFY(!form->Menu_OptionLink->isChecked());
        QVERIFY(!form->Menu_OptionModern->isChecked());
        form->Menu_OptionModern->trigger();
        QVERIFY(EnvSettings.Modern);
        QVERIFY(form->Menu_OptionModern->isChecked());
        form->Menu_OptionModern->trigger();
        QVERIFY(!EnvSettings.Modern);
        const QImage off = form->Image3->pixmap().toImage();
        QCOMPARE(form->LinkBtn->icon().pixmap(16, 16).toImage().convertToFormat(off.format()), off);
    }

    // --- the two dialogs and the export ----------------------------------------------------------

    void configurationCommandShowsTheDialogThenRefreshes() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->FileCount = 5;
        bool shown = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<TFConfig*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = true;
            dialog->CancelButton->click();
        });
        form->EnvBtn->click();
        QVERIFY(shown);
        QCOMPARE(form->StatusBar1->PanelText(0), Sj("5 ファイル"));
    }

    void exportOptionsEntryShowsTheExportDialog() {
        auto form = ShowWindow();
        QVERIFY(form);
        QString title;
        QTimer::singleShot(0, form.get(), [&] {
            auto* dialog = qobject_cast<TFExport*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            title = dialog->windowTitle();
            dialog->CancelButton->click();
        });
        form->Menu_OptionExport->trigger();
        QCOMPARE(title, Q(Sj("「測定結果を出力」の設定")));
    }

    void exportKeyPutsTheReportOnTheClipboard() {
        auto form = ShowWindow();
        QVERIFY(form);
        platform::TFrontEndScope frontEnd;
        platform::FrontEnd().clipboard = WindowFrontEnd().clipboard;
        QApplication::clipboard()->clear();
        EnvSettings.ExportShowConfig = false;
        AddPage("/s/page.htm", 1000);
        form->HTMLListBox->setFocus();
        QTest::keyClick(form->HTMLListBox, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(QApplication::clipboard()->text().contains(QStringLiteral("/s/page.htm")));
    }

    void dialogsAndMessageBoxesOpenTheHelpAtTheirContext() {
        platform::TFrontEndScope frontEnd;
        TWindowHooksScope hooks;
        InstallWindowHooks();
        SetUpEnvironment();  // the test's own message boxes again
        QVERIFY(WindowHooks().help);
        WindowHooks().help(10016);
        QCOMPARE(LastUrl().fragment(), QStringLiteral("context-10016"));
    }

    // --- window keys ------------------------------------------------------------------------------------

    void escapeFollowsTheSettingAndIsAlwaysConsumed() {
        auto form = ShowWindow();
        QVERIFY(form);
        TKeySpy spy(form->ErrorListBox);
        form->ErrorListBox->setFocus();
        EnvSettings.EscKeyAction = 0;
        QTest::keyClick(form->ErrorListBox, Qt::Key_Escape);
        QVERIFY(form->isVisible() && !form->isMinimized());
        EnvSettings.EscKeyAction = 7;  // any other value: nothing either
        QTest::keyClick(form->ErrorListBox, Qt::Key_Escape);
        QVERIFY(!form->isMinimized());
        QCOMPARE(spy.count, 0);
        EnvSettings.EscKeyAction = 1;
        QTest::keyClick(form->ErrorListBox, Qt::Key_Escape);
        QTRY_VERIFY(form->isMinimized());
        QVERIFY(form->isVisible());
        QCOMPARE(spy.count, 0);
    }

    // --- opening files and the history --------------------------------------------------------------

    void openDialogOffersTheTwoFilters() {
        auto form = ShowWindow();
        QVERIFY(form);
        const QStringList filters = form->OpenDialog1->nameFilters();
        QCOMPARE(filters.size(), 2);
        QVERIFY(filters[0].startsWith(Q(Sj("HTML 文書(*.htm;html)"))));
        QVERIFY(filters[1].startsWith(Q(Sj("すべてのファイル"))));
        // The first filter lets .htm and .html pages through in any case.
        const QString patterns = filters[0].mid(filters[0].lastIndexOf('(') + 1).chopped(1);
        auto matches = [&](const QString& name) {
            for (const QString& p : patterns.split(' '))
                if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch())
                    return true;
            return false;
        };
        QVERIFY(matches("a.htm") && matches("b.html") && matches("C.HTM") && matches("d.Html"));
        QVERIFY(!matches("e.txt") && !matches("f.htmlx"));

        // Choosing a page measures it.
        const std::string about = SourcePath("examples/site/about.html");
        QTimer::singleShot(0, form.get(), [&] {
            form->OpenDialog1->selectFile(Q(about));
            QMetaObject::invokeMethod(form->OpenDialog1, "accept");
        });
        form->BrowseBtn->click();
        QCOMPARE(form->Edit1->text(), Q(about));
        QCOMPARE(form->FirstFile, about);
        QVERIFY(FileList.Count() >= 1);
    }

    void historyPopupOpensBelowTheButton() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->AddToHistory("/a/one.html");
        form->AddToHistory("/a/two.html");
        form->HistoryBtnClick();
        QTRY_VERIFY(form->PopupMenu4->isVisible());
        QCOMPARE(form->PopupMenu4->pos(), form->HistoryBtn->mapToGlobal(QPoint(0, form->HistoryBtn->height())));
        const QList<QAction*> items = form->PopupMenu4->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0]->text(), QStringLiteral("/a/two.html"));
        QCOMPARE(items[2]->property("tag").toInt(), -1);
        form->PopupMenu4->close();
    }

    // --- help and the version box --------------------------------------------------------------------

    void helpEntriesOpenTheHelpFile() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->Menu_HelpContents->trigger();
        QVERIFY(LastUrl().isLocalFile());
        QVERIFY(QFileInfo(LastUrl().toLocalFile()).isFile());
        QCOMPARE(LastUrl().fragment(), QStringLiteral("contents"));
        form->Menu_HelpSearch->trigger();
        QCOMPARE(LastUrl().fragment(), QStringLiteral("index"));
        form->Menu_HelpHowTo->trigger();
        QCOMPARE(LastUrl().fragment(), QStringLiteral("using-help"));
        // F1 asks for the focused control's context.
        form->HTMLSource->setFocus();
        QTest::keyClick(form->HTMLSource, Qt::Key_F1);
        QCOMPARE(LastUrl().fragment(), QStringLiteral("context-10074"));
        form->Edit1->setFocus();
        QTest::keyClick(form->Edit1, Qt::Key_F1);
        QCOMPARE(LastUrl().fragment(), QStringLiteral("context-10051"));
    }

    void helpWithoutAnOpenProgramSaysWhatAPageWouldSay() {
        WindowHooks().url = nullptr;
        qputenv("VELMORAN_OPEN_PROGRAM", TestDir().filePath("no-such-opener").toUtf8());
        ShowHelpContents();
        QTest::qWait(50);
        WindowHooks().url = [](const QUrl& url) { Urls().push_back(url); };
        qunsetenv("VELMORAN_OPEN_PROGRAM");
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Error);
        QCOMPARE(Messages()[0].text, Sj("指定されたファイル名拡張子には､ アプリケーションが関連付けられていません。"));
    }

    void helpFileHasAnAnchorForEveryContext() {
        QFile file(HelpFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
        std::vector<int> contexts = {10145, 10051, 10069, 10074, 10079, 10008, 10018, 10039};
        for (int c = 10012; c <= 10017; ++c) contexts.push_back(c);
        for (int c = 10042; c <= 10050; ++c) contexts.push_back(c);
        for (int c : {10104, 10105, 10106}) contexts.push_back(c);
        for (int c = 10109; c <= 10140; ++c) contexts.push_back(c);
        for (int c : contexts)
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(HelpAnchor(c))), qPrintable(HelpAnchor(c)));
        for (const char* id : {"contents", "index", "using-help"})
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(id)), id);
        // Every link inside the page leads somewhere.
        const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(html.contains(QStringLiteral("id=\"%1\"").arg(target)), qPrintable(target));
        }
    }

    void versionBox() {
        TAboutBox box;
        QCOMPARE(box.windowTitle(), Q(Sj("ﾊﾞｰｼﾞｮﾝ情報")));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        QCOMPARE(box.ProductName->text(), QString::fromLatin1(VersionText));
        QVERIFY(!box.ProgramIconLabel->pixmap().isNull());
        QCOMPARE(box.WwwHeading->text(), QStringLiteral("WWW"));
        QCOMPARE(box.MailHeading->text(), QStringLiteral("E-MAIL"));
        QTest::mouseClick(box.WwwLink, Qt::LeftButton);
        QCOMPARE(LastUrl(), QUrl(QStringLiteral("https://velmoran.example.org/")));
        QTest::mouseClick(box.MailLink, Qt::LeftButton);
        QCOMPARE(LastUrl(), QUrl(QStringLiteral("mailto:velmoran@example.org")));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Rejected));
    }

    void versionEntryShowsACentredModalBoxEachTime() {
        auto form = ShowWindow();
        QVERIFY(form);
        QPoint centre;
        bool modal = false;
        QTimer::singleShot(0, form.get(), [&] {
            auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            modal = box->isModal();
            centre = box->geometry().center();
            box->OKButton->click();
        });
        form->Menu_HelpAbout->trigger();
        QVERIFY(modal);
        const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((centre - screenCentre).manhattanLength() <= 2);
        // Released afterwards: no box is left behind.
        QVERIFY(form->findChildren<TAboutBox*>().isEmpty());
    }
};

QTEST_MAIN(TestMainMenus)
#include "test_MainMenus.moc"
