// Runs from the window over the sample site: the lists it fills, the locked
// controls, Break, the warning cap, a failing engine, closing during a run,
// dropped files; the input preparation and its history, kept in the settings
// file; and the picture of the window for the README.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "UiTestSupport.h"
#include "engine/UDecodeHTML.h"
#include "platform/Profile.h"

using namespace uitest;

namespace {

// Runs fn once, from inside the first sink that pumps events.
void DuringRun(std::function<void()> fn) { QTimer::singleShot(0, std::move(fn)); }

std::string ReadIni() {
    QFile f(IniPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void WriteIni(const std::string& bytes) {
    QFile f(IniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

}  // namespace

class TestMainRun : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() { ResetState(); }

    void measuringTheSampleSiteFillsTheLists() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string index = SourcePath("examples/site/index.html");
        QCOMPARE(form->PrepareInput(index), index);
        form->StartBtnClick();

        QVERIFY(!form->Running);
        QVERIFY(FileList.Count() >= 5);
        QCOMPARE(form->HTMLListBox->Count(), FileList.Count());
        // Heaviest first (size key, descending).
        for (int i = 1; i < FileList.Count(); ++i) QVERIFY(FileList[i - 1]->TotalSize >= FileList[i]->TotalSize);
        // The row the address box names is selected and its parts shown.
        const int row = form->HTMLListBox->ItemIndex();
        QVERIFY(row >= 0);
        QCOMPARE(FileList[row]->FileName, index);
        QCOMPARE(form->ShownIndex, row);
        QCOMPARE(form->HTMLSource->Count(), FileList[row]->Items.Count());
        for (int i = 1; i < FileList[row]->Items.Count(); ++i)
            QVERIFY(FileList[row]->Items[i - 1]->TotalSize >= FileList[row]->Items[i]->TotalSize);
        // One problem line per record (the default cap is not reached).
        QVERIFY(ErrorLog.Count() > 0);
        QCOMPARE(form->ErrorListBox->Count(), ErrorLog.Count());
        QCOMPARE(form->WarningCount, ErrorLog.Count());
        QCOMPARE(form->StatusBar1->PanelText(0), std::to_string(FileList.Count()) + Sj(" ファイル"));
        QCOMPARE(form->StatusBar1->PanelText(1), std::to_string(ErrorLog.Count()) + Sj(" 警告"));
        QCOMPARE(form->FirstFile, index);
        form->RefreshStatus();  // between runs the last panel names the first file
        QCOMPARE(form->StatusBar1->PanelText(3), index);
        // Unlocked again.
        QVERIFY(form->StartBtn->isEnabled());
        QVERIFY(form->Edit1->isEnabled());
        QVERIFY(form->SortBySize->isEnabled());
        QVERIFY(form->HistoryBtn->isEnabled());
        QVERIFY(!form->BreakBtn->isEnabled());
        QVERIFY(!form->Menu_Abort->isVisible());
        QVERIFY(form->Menu_File->menuAction()->isEnabled());
        QVERIFY(form->acceptDrops());
        QVERIFY(Messages().empty());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // A folder names no page: no row is selected.
        QCOMPARE(form->PrepareInput(SourcePath("examples/site")), SourcePath("examples/site/"));
        form->StartBtnClick();
        QCOMPARE(form->HTMLListBox->ItemIndex(), -1);
        QCOMPARE(form->HTMLSource->Count(), 0);
        QVERIFY(FileList.Count() >= 6);  // the page only reached by folder search too
    }

    void controlsAreLockedDuringARun() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->PrepareInput(SourcePath("examples/site/index.html"));
        bool checked = false;
        DuringRun([&] {
            checked = true;
            QVERIFY(form->Running);
            QVERIFY(form->BreakBtn->isEnabled());
            QVERIFY(form->Menu_Abort->isVisible());
            for (QWidget* w : {static_cast<QWidget*>(form->BrowseBtn), static_cast<QWidget*>(form->StartBtn),
                               static_cast<QWidget*>(form->EnvBtn), static_cast<QWidget*>(form->LinkBtn),
                               static_cast<QWidget*>(form->HistoryBtn), static_cast<QWidget*>(form->SortBySize),
                               static_cast<QWidget*>(form->SortByTime), static_cast<QWidget*>(form->SortByName),
                               static_cast<QWidget*>(form->SortByImgs), static_cast<QWidget*>(form->Edit1)})
                QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
            for (QMenu* m : {form->Menu_File, form->Menu_Sort, form->Menu_Option, form->Menu_Help})
                QVERIFY(!m->menuAction()->isEnabled());
            QVERIFY(!form->acceptDrops());
            QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
            // Every other start request does nothing now.
            const int pages = FileList.Count();
            InputList.assign(1, SourcePath("examples/site/about.html"));
            form->StartMeasurement();
            form->StartBtnClick();
            QCOMPARE(FileList.Count(), pages);
            QVERIFY(Messages().empty());
            // The shortcuts of the locked menus do nothing either.
            const int sortType = EnvSettings.SortType;
            QTest::keyClick(form->HTMLListBox, Qt::Key_2, Qt::AltModifier);
            QTest::keyClick(form->HTMLListBox, Qt::Key_X, Qt::AltModifier);
            QCOMPARE(EnvSettings.SortType, sortType);
        });
        form->StartBtnClick();
        QVERIFY(checked);
        QVERIFY(!form->Running);
        QVERIFY(form->isVisible());
        QVERIFY(FileList.Count() >= 5);
    }

    void breakStopsAtTheNextSink() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string index = SourcePath("examples/site/index.html");
        form->PrepareInput(index);
        // Pressed while the first page begins: that page reads its first
        // token, then stops, and nothing else is measured.
        DuringRun([&] { form->BreakBtn->click(); });
        form->StartBtnClick();
        QCOMPARE(FileList.Count(), 1);
        QCOMPARE(form->HTMLListBox->Count(), 1);
        QVERIFY(form->ErrorListBox->Count() >= 1);
        QCOMPARE(form->ErrorListBox->Item(form->ErrorListBox->Count() - 1), InterruptedLine(index));
        QVERIFY(!form->BreakBtn->isEnabled());

        // Break during the folder search measures nothing.
        form->PrepareInput(SourcePath("examples/site"));
        DuringRun([&] { form->BreakBtnClick(); });
        form->StartBtnClick();
        QCOMPARE(FileList.Count(), 0);
        QCOMPARE(form->HTMLListBox->Count(), 0);
    }

    void warningCapOfOneShowsOneLineAndTheNotice() {
        auto form = ShowWindow();
        QVERIFY(form);
        EnvSettings.ErrorLogLimit = true;
        EnvSettings.ErrorLogMax = 1;
        form->PrepareInput(SourcePath("examples/site"));
        form->StartBtnClick();
        QVERIFY(ErrorLog.Count() >= 2);
        QCOMPARE(form->ErrorListBox->Count(), 2);
        QCOMPARE(form->ErrorListBox->Item(1), Sj("警告数が多いため、これ以上の警告出力を中止します！"));
        QVERIFY(form->WarningsStopped);
        QCOMPARE(form->WarningCount, 2);
        QCOMPARE(form->StatusBar1->PanelText(1), Sj("1 警告"));
        // A new run starts counting again.
        EnvSettings.ErrorLogLimit = false;
        form->StartBtnClick();
        QVERIFY(!form->WarningsStopped);
        QCOMPARE(form->ErrorListBox->Count(), ErrorLog.Count());
    }

    void itemFileIsWrittenAfterAStoppedRun() {
        auto form = ShowWindow();
        QVERIFY(form);
        const QString wls = TestDir().filePath("items.wls");
        QFile::remove(wls);
        EnvSettings.WlsEnabled = true;
        EnvSettings.WlsFileName = FromQ(wls);
        EnvSettings.WwwcRunningCheck = false;
        form->PrepareInput(SourcePath("examples/site/index.html"));
        // Stopped while the first page begins: the file is written all the same.
        DuringRun([&] { form->BreakBtnClick(); });
        form->StartBtnClick();
        QCOMPARE(FileList.Count(), 1);
        QVERIFY(QFile::exists(wls));
        // A whole run puts the outside addresses in.
        form->StartBtnClick();
        QFile file(wls);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("http://www.example.com/"));
        QVERIFY(Messages().empty());
        // One that cannot be written is reported in a box; the lists are
        // filled all the same.
        EnvSettings.WlsFileName = FromQ(TestDir().filePath("no/such/items.wls"));
        form->StartBtnClick();
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Error);
        QCOMPARE(Messages()[0].text, Sj("WWWC アイテム情報ファイル(*.WLS) ファイルの更新に失敗しました。"));
        QVERIFY(FileList.Count() > 1);
        QCOMPARE(form->HTMLListBox->Count(), FileList.Count());
    }

    void anEngineErrorStillFinishesTheRun() {
        auto form = ShowWindow();
        QVERIFY(form);
        EnvSettings.MessageDialog = true;
        // A run the engine did not finish leaves the item file alone.
        const QString wls = TestDir().filePath("items.wls");
        QFile::remove(wls);
        EnvSettings.WlsEnabled = true;
        EnvSettings.WlsFileName = FromQ(wls);
        const std::string index = SourcePath("examples/site/index.html");
        form->PrepareInput(index);
        form->RunEngine = [&](bool&, const TProgressSink&, const TProgressSink& files, const TProgressSink&) {
            FileList.Clear();
            AddPage(index, 10);
            files(index);
            throw EReadError(Sj("読み込めません: ") + index, index);
        };
        form->StartBtnClick();
        QVERIFY(!form->Running);
        QVERIFY(form->StartBtn->isEnabled());
        QVERIFY(!form->BreakBtn->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(form->HTMLListBox->Count(), 1);
        QCOMPARE(form->HTMLListBox->ItemIndex(), 0);
        // The end-of-run box, then the error.
        QCOMPARE(Messages().size(), size_t(2));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Information);
        QCOMPARE(Messages()[0].text, Sj("測定は終了しました。"));
        QCOMPARE(Messages()[1].kind, platform::TMsgKind::Error);
        QCOMPARE(Messages()[1].text, Sj("読み込めません: ") + index);
        QVERIFY(!QFile::exists(wls));
    }

    void closingDuringARunStopsItThenCloses() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->PrepareInput(SourcePath("examples/site"));
        DuringRun([&] { form->close(); });
        form->StartBtnClick();
        QVERIFY(!form->Running);
        QVERIFY(!form->isVisible());
        QVERIFY(FileList.Count() == 0);                              // stopped in the folder search
        QVERIFY(ReadIni().find("[HTMLLIST]") != std::string::npos);  // saved on the way out
    }

    // --- input preparation and history ------------------------------------------------------------

    void prepareInputShowsAndRemembers() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(form->PrepareInput(" \t "), std::string());
        QVERIFY(Messages().empty());

        // A folder without its separator gets one, in the box and the history.
        const std::string site = SourcePath("examples/site");
        QCOMPARE(form->PrepareInput(site), site + "/");
        QCOMPARE(form->Edit1->text(), Q(site + "/"));
        QCOMPARE(form->History(), std::vector<std::string>{site + "/"});
        QVERIFY(form->HistoryBtn->isEnabled());
        QCOMPARE(platform::GetCurrentDir(), site);

        // An address on the Internet is refused; nothing else changes.
        QCOMPARE(form->PrepareInput("http://www.example.com/"), std::string());
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].text, Sj("インターネットの先のファイルは計測できません"));
        QCOMPARE(form->Edit1->text(), Q(site + "/"));
        QCOMPARE(form->History().size(), size_t(1));

        // A file address becomes its path.
        const std::string about = SourcePath("examples/site/about.html");
        QCOMPARE(form->PrepareInput("file://" + about), about);
        QCOMPARE(form->History().front(), about);

        // A path naming nothing is shown, not remembered, and not measured.
        const std::string missing = SourcePath("examples/site/nothing.html");
        QCOMPARE(form->PrepareInput(missing), missing);
        QCOMPARE(form->Edit1->text(), Q(missing));
        QCOMPARE(form->History().size(), size_t(2));
        Messages().clear();
        form->StartBtnClick();
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].text, Sj("ファイルが見つかりません\n\n") + missing);
        QCOMPARE(FileList.Count(), 0);
    }

    void historyKeepsTwentyNewestFirst() {
        auto form = ShowWindow();
        QVERIFY(form);
        QTemporaryDir dir(TestDir().filePath("hist-XXXXXX"));
        std::vector<std::string> paths;
        for (int i = 0; i < 21; ++i) {
            const QString name = dir.filePath(QStringLiteral("p%1.html").arg(i));
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            paths.push_back(FromQ(name));
            form->PrepareInput(paths.back());
        }
        std::vector<std::string> history = form->History();
        QCOMPARE(history.size(), size_t(20));
        QCOMPARE(history.front(), paths[20]);
        QCOMPARE(history.back(), paths[1]);  // the oldest fell off
        const QList<QAction*> items = form->Menu_FileReOpen->actions();
        QCOMPARE(items.size(), 21);
        QCOMPARE(items.last()->text(), Q(Sj("(ヒストリをクリア)")));
        QCOMPARE(items.last()->property("tag").toInt(), -1);

        // Entering one again moves it to the top instead of adding it.
        form->PrepareInput(paths[5]);
        history = form->History();
        QCOMPARE(history.size(), size_t(20));
        QCOMPARE(history.front(), paths[5]);
        QCOMPARE(std::count(history.begin(), history.end(), paths[5]), 1);

        // The history button offers the same entries.
        form->HistoryBtnClick();
        QCOMPARE(form->PopupMenu4->actions().size(), 21);
        form->PopupMenu4->close();

        // The clear entry empties it and disables the button; the box keeps its text.
        const QString shown = form->Edit1->text();
        form->Menu_FileReOpen->actions().last()->trigger();
        QVERIFY(form->History().empty());
        QVERIFY(form->Menu_FileReOpen->actions().isEmpty());
        QVERIFY(!form->HistoryBtn->isEnabled());
        QCOMPARE(form->Edit1->text(), shown);
    }

    void historyIdentityIsExact() {
        auto form = ShowWindow();
        QVERIFY(form);
        QTemporaryDir dir(TestDir().filePath("case-XXXXXX"));
        for (const char* name : {"page.html", "PAGE.html"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        form->PrepareInput(FromQ(dir.filePath("page.html")));
        form->PrepareInput(FromQ(dir.filePath("PAGE.html")));
        QCOMPARE(form->History().size(), size_t(2));
    }

    void historyItemMeasuresItsPath() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string about = SourcePath("examples/site/about.html");
        form->AddToHistory(about);
        form->Edit1->clear();
        form->Menu_FileReOpen->actions().first()->trigger();
        QCOMPARE(form->Edit1->text(), Q(about));
        QVERIFY(FileList.Count() >= 1);
        QCOMPARE(FileList[form->HTMLListBox->ItemIndex()]->FileName, about);
    }

    void historyLivesInTheSettingsFile() {
        WriteIni("[WINDOW]\r\nTOP=12\r\nWIDTH=700\r\n[HTMLLIST]\r\nCOUNT=2\r\nDATA00000000=/a/first.html\r\n");
        {
            auto form = ShowWindow();
            QVERIFY(form);
            LoadSettings(form.get());
            // COUNT wins over missing keys: an empty second entry.
            QCOMPARE(form->History(), (std::vector<std::string>{"/a/first.html", ""}));
            QCOMPARE(form->Menu_FileReOpen->actions().size(), 3);
            QCOMPARE(form->Edit1->text(), QStringLiteral("/a/first.html"));
            QVERIFY(form->HistoryBtn->isEnabled());
            form->AddToHistory("/b/second.html");
            form->close();
        }
        const std::string ini = ReadIni();
        QVERIFY(ini.find("COUNT=3\r\n") != std::string::npos);
        QVERIFY(ini.find("DATA00000000=/b/second.html\r\n") != std::string::npos);
        QVERIFY(ini.find("DATA00000001=/a/first.html\r\n") != std::string::npos);

        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        QCOMPARE(form->History().front(), std::string("/b/second.html"));
        QCOMPARE(form->Edit1->text(), QStringLiteral("/b/second.html"));
    }

    void commandLineArgumentsAreMeasuredInOrder() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string about = SourcePath("examples/site/about.html");
        const std::string index = SourcePath("examples/site/index.html");
        form->ProcessCommandLine({"\"" + about + "\"", "http://refused.example/", index});
        QCOMPARE(InputList, (std::vector<std::string>{about, index}));
        QCOMPARE(form->FirstFile, about);
        QVERIFY(FileList.Count() >= 5);
        QCOMPARE(Messages().size(), size_t(1));  // the refused address
    }

    void droppedFilesAreMeasuredInDropOrderWhereverTheyLand() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string about = SourcePath("examples/site/about.html");
        const std::string index = SourcePath("examples/site/index.html");
        // An internet shortcut to the web: refused with its message, the
        // other two are still measured.
        const QString web = TestDir().filePath("web.url");
        {
            QFile f(web);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("[InternetShortcut]\r\nURL=http://refused.example/\r\n");
        }
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& path : {Q(about), web, Q(index)}) urls << QUrl::fromLocalFile(path);
        mime.setUrls(urls);
        // File managers offer the names as text too; the address box must
        // not take them as typed text.
        mime.setText(Q(about));
        form->Edit1->setText(QStringLiteral("typed"));
        const QPoint at = form->Edit1->mapTo(form.get(), form->Edit1->rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->windowHandle(), &drop);
        QTRY_VERIFY(FileList.Count() >= 5);
        QCOMPARE(InputList, (std::vector<std::string>{about, index}));
        QCOMPARE(form->FirstFile, about);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].text, Sj("インターネットの先のファイルは計測できません"));
        QCOMPARE(form->Edit1->text(), Q(index));  // shown by the input resolution, nothing appended
    }

    // --- the picture ----------------------------------------------------------------------------------

    void screenshotOfTheMeasuredSite() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->PrepareInput(SourcePath("examples/site/index.html"));
        form->StartBtnClick();
        QVERIFY(FileList.Count() > 0);
        QTest::qWait(50);
        const QString folder = QStringLiteral(VELMORAN_BINARY_DIR "/screenshots");
        QVERIFY(QDir().mkpath(folder));
        const QImage picture = form->grab().toImage();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.save(folder + "/main-window.png"));
    }
};

QTEST_MAIN(TestMainRun)
#include "test_MainRun.moc"
