// Export: the options dialog (layout, titles, the greyed TABLE box, OK,
// Cancel and the keys, the notice when it is switched off) and every target
// of the export command, down to the bytes written and the programs started.
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "UiTestSupport.h"
#include "report/UCreateResult.h"
#include "ui/UExport.h"
#include "ui/UPlatformHooks.h"

using namespace uitest;

namespace {

QString U(const char* utf8) { return Q(Sj(utf8)); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Bytes(const std::string& s) { return QByteArray(s.data(), static_cast<qsizetype>(s.size())); }

QByteArray TextReport() {
    std::vector<std::string> lines;
    BuildTextReport(lines);
    return Bytes(JoinReportLines(lines));
}

QByteArray HtmlReport() {
    std::vector<std::string> lines;
    BuildHTMLReport(lines);
    return Bytes(JoinReportLines(lines));
}

// Native path inside the test folder, folders made as needed.
QString TestPath(const QString& rel) {
    const QString path = TestDir().filePath(rel);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return path;
}

// An executable script that writes its arguments, one a line, to <script>.log.
QString MakeRecorder(const QString& rel) {
    const QString path = TestPath(rel);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(
        "#!/bin/sh\n"
        "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"$0.tmp\" && mv \"$0.tmp\" "
        "\"$0.log\"\n");
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(path + ".log");
    return path;
}

QStringList WaitForLog(const QString& script) {
    const QString log = script + ".log";
    for (int i = 0; i < 500 && !QFile::exists(log); ++i) QTest::qWait(20);
    QStringList lines = QString::fromUtf8(ReadAll(log)).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool Ran(const QString& script) {
    QTest::qWait(300);
    return QFile::exists(script + ".log");
}

// Answers the next modal dialog.
void OnModal(std::function<void(QWidget*)> fn) {
    QTimer::singleShot(0, [fn] {
        QWidget* w = QApplication::activeModalWidget();
        QVERIFY(w);
        fn(w);
    });
}

std::string Native2Cp(const QString& path) { return FromQ(path); }

}  // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        SetUpEnvironment();
        platform::FrontEnd().clipboard = WindowFrontEnd().clipboard;
        qputenv("SOURCE_DATE_EPOCH", "1000000000");
        qputenv("TMPDIR", TestPath("tmp dir/x").section('/', 0, -2).toUtf8());
    }
    void init() {
        ResetState();
        hooks_.emplace();
        AddPage(SourcePath("examples/site/index.html"), 1200, {{SourcePath("examples/site/logo.gif"), 3400}});
    }
    void cleanup() {
        hooks_.reset();
        SetUpEnvironment();
    }

    // --- the dialog -------------------------------------------------------------------------

    void layoutAndTabOrder() {
        TFExport* d = ExportDialog();
        QCOMPARE(d->size(), QSize(362, 176));
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QCOMPARE(d->Label1->text(), U("出力する内容を選択してください。"));
        struct Box {
            QCheckBox* box;
            QPoint at;
            const char* caption;
        } boxes[] = {
            {d->CheckExportURLList, {24, 32}, "入力されたHTMLファイル"},
            {d->CheckExportHTMList, {184, 32}, "チェックしたHTMLファイル"},
            {d->CheckExportHTMLRes, {24, 56}, "HTMLリソース"},
            {d->CheckExportOtherURL, {184, 56}, "他のURLへのリンク"},
            {d->CheckExportError, {24, 80}, "エラー"},
            {d->CheckExportUseTable, {184, 80}, "<TABLE>タグを使用する"},
            {d->CheckExportToShow, {24, 104}, "このウィンドウを常に表示"},
        };
        for (const Box& b : boxes) {
            QCOMPARE(b.box->pos(), b.at);
            QCOMPARE(b.box->text(), U(b.caption));
            // The caption is not cut off.
            QVERIFY2(b.box->sizeHint().width() <= b.box->width(), b.caption);
        }
        QCOMPARE(d->OkButton->geometry(), QRect(48, 136, 75, 25));
        QCOMPARE(d->CancelButton->geometry(), QRect(136, 136, 75, 25));
        QCOMPARE(d->HelpButton->geometry(), QRect(224, 136, 75, 25));
        QCOMPARE(d->OkButton->text(), QStringLiteral("&Ok"));

        QList<QWidget*> expected = {d->OkButton,
                                    d->CancelButton,
                                    d->HelpButton,
                                    d->CheckExportURLList,
                                    d->CheckExportHTMList,
                                    d->CheckExportHTMLRes,
                                    d->CheckExportOtherURL,
                                    d->CheckExportError,
                                    d->CheckExportUseTable,
                                    d->CheckExportToShow};
        QWidget* w = d->OkButton;
        for (int i = 1; i < expected.size(); ++i) {
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
            QCOMPARE(w, expected[i]);
        }
        QCOMPARE(d->CheckExportUseTable->property("helpContext").toInt(), 10046);
        QCOMPARE(d->property("helpContext").toInt(), 10145);
    }

    void titlesAndTheTableBox() {
        const char* titles[] = {"テキストファイルに出力", "HTMLファイルに出力", "クリップボードに出力",
                                "テキストエディタで開く", "ブラウザで開く",     "「測定結果を出力」の設定"};
        EnvSettings.ExportUseTable = false;
        for (int index = 0; index <= 5; ++index) {
            bool enabled = true, checked = true;
            QString title;
            OnModal([&](QWidget* w) {
                auto* d = qobject_cast<TFExport*>(w);
                QVERIFY(d);
                title = d->windowTitle();
                enabled = d->CheckExportUseTable->isEnabled();
                checked = d->CheckExportUseTable->isChecked();
                d->CancelButton->click();
            });
            QVERIFY(!ExportDialog()->Execute(index));
            QCOMPARE(title, U(titles[index]));
            QCOMPARE(enabled, index == 1 || index == 4 || index == 5);
            QVERIFY(!checked);
        }
    }

    void okCopiesAllSevenCancelNone() {
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportURLList->setChecked(false);
            d->CheckExportError->setChecked(false);
            d->CancelButton->click();
        });
        QVERIFY(!ExportDialog()->Execute(ExportTextFile));
        QVERIFY(EnvSettings.ExportUrlList);
        QVERIFY(EnvSettings.ExportError);

        // The greyed TABLE box is copied back too.
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportURLList->setChecked(false);
            d->CheckExportUseTable->setChecked(false);
            d->OkButton->click();
        });
        QVERIFY(ExportDialog()->Execute(ExportClipboard));
        QVERIFY(!EnvSettings.ExportUrlList);
        QVERIFY(!EnvSettings.ExportUseTable);
        QVERIFY(EnvSettings.ExportHtmlList);
        QVERIFY(Messages().empty());
    }

    void enterIsOkFromAnyControlEscapeCancels() {
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportHTMLRes->setChecked(false);
            d->HelpButton->setFocus();
            QTest::keyClick(d->HelpButton, Qt::Key_Return);
        });
        QVERIFY(ExportDialog()->Execute(ExportHtmlFile));
        QVERIFY(!EnvSettings.ExportHtmlRes);

        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportHTMLRes->setChecked(true);
            QTest::keyClick(d->CancelButton, Qt::Key_Enter, Qt::KeypadModifier);
        });
        QVERIFY(ExportDialog()->Execute(ExportHtmlFile));
        QVERIFY(EnvSettings.ExportHtmlRes);

        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportHTMLRes->setChecked(false);
            QTest::keyClick(d->OkButton, Qt::Key_Escape);
        });
        QVERIFY(!ExportDialog()->Execute(ExportHtmlFile));
        QVERIFY(EnvSettings.ExportHtmlRes);
    }

    void switchingTheDialogOffIsExplainedOnce() {
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportToShow->setChecked(false);
            d->OkButton->click();
        });
        QVERIFY(ExportDialog()->Execute(ExportTextFile));
        QVERIFY(!EnvSettings.ExportShowConfig);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Information);
        QCOMPARE(Messages()[0].buttons, platform::TMsgButtons::OK);
        QCOMPARE(Messages()[0].text, Sj("このウィンドウを表示しないように設定しました。\n\n"
                                        "オプションの［「測定結果を出力」の設定］で再び表示することができます。"));

        // From the options menu with the box still off: no notice.
        OnModal([](QWidget* w) { qobject_cast<TFExport*>(w)->OkButton->click(); });
        ShowExportOptions(nullptr);
        QCOMPARE(Messages().size(), size_t(1));
    }

    void helpButtonShowsTheExportTopic() {
        std::vector<int> topics;
        WindowHooks().help = [&](int context) { topics.push_back(context); };
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->HelpButton->click();
            QVERIFY(d->isVisible());
            d->CancelButton->click();
        });
        ExportDialog()->Execute(ExportOptionsOnly);
        QCOMPARE(topics, std::vector<int>{10018});
    }

    // --- the targets --------------------------------------------------------------------------

    void cancellingTheDialogExportsNothing() {
        bool asked = false;
        WindowHooks().fileDialog = [&](const TFileDialogRequest&) {
            asked = true;
            return std::optional<QString>(TestPath("never.txt"));
        };
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportError->setChecked(false);
            d->CancelButton->click();
        });
        std::vector<std::string> temp;
        RunExport(ExportTextFile, nullptr, temp);
        QVERIFY(!asked);
        QVERIFY(!QFile::exists(TestPath("never.txt")));
        QVERIFY(EnvSettings.ExportError);
    }

    void dialogFirstThenTheTargetWithTheNewChoices() {
        const QString path = TestPath("with dialog.txt");
        WindowHooks().fileDialog = [&](const TFileDialogRequest&) { return std::optional<QString>(path); };
        OnModal([](QWidget* w) {
            auto* d = qobject_cast<TFExport*>(w);
            d->CheckExportToShow->setChecked(false);
            d->CheckExportHTMLRes->setChecked(false);
            d->OkButton->click();
        });
        std::vector<std::string> temp;
        RunExport(ExportTextFile, nullptr, temp);
        QCOMPARE(Messages().size(), size_t(1));
        QVERIFY(!EnvSettings.ExportHtmlRes);
        QCOMPARE(ReadAll(path), TextReport());
    }

    void textFileGetsTheReportInShiftJisWithCrLf() {
        EnvSettings.ExportShowConfig = false;
        std::vector<TFileDialogRequest> asked;
        const QString path = TestPath("out/レポート 1.txt");
        WindowHooks().fileDialog = [&](const TFileDialogRequest& r) {
            asked.push_back(r);
            return std::optional<QString>(path);
        };
        std::vector<std::string> temp;
        RunExport(ExportTextFile, nullptr, temp);
        QCOMPARE(asked.size(), size_t(1));
        QCOMPARE(asked[0].title, U("テキストファイルの保存"));
        QVERIFY(asked[0].save);
        QCOMPARE(asked[0].defaultSuffix, QStringLiteral("txt"));
        QVERIFY(asked[0].filters.first().startsWith(QStringLiteral("*.TXT")));

        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes, TextReport());
        QVERIFY(bytes.contains("\r\n"));
        QVERIFY(!bytes.contains("\n\n"));
        QVERIFY(bytes.contains(Bytes(Sj("index.html"))));
        QVERIFY(temp.empty());
        QVERIFY(Messages().empty());

        // Cancelling the save dialog writes nothing.
        QFile::remove(path);
        WindowHooks().fileDialog = [](const TFileDialogRequest&) { return std::optional<QString>(); };
        RunExport(ExportTextFile, nullptr, temp);
        QVERIFY(!QFile::exists(path));
        QVERIFY(Messages().empty());
    }

    void htmlFileGetsTheHtmlReport() {
        EnvSettings.ExportShowConfig = false;
        const QString path = TestPath("out/report.htm");
        TFileDialogRequest seen;
        WindowHooks().fileDialog = [&](const TFileDialogRequest& r) {
            seen = r;
            return std::optional<QString>(path);
        };
        std::vector<std::string> temp;
        RunExport(ExportHtmlFile, nullptr, temp);
        QCOMPARE(seen.title, U("HTMLファイルの保存"));
        QCOMPARE(seen.defaultSuffix, QStringLiteral("htm"));
        QVERIFY(seen.filters.first().contains(QStringLiteral("*.htm ")));
        const QByteArray bytes = ReadAll(path);
        QCOMPARE(bytes, HtmlReport());
        QVERIFY(bytes.contains("<TABLE") || bytes.contains("<table"));
    }

    void clipboardGetsTheTextReport() {
        EnvSettings.ExportShowConfig = false;
        QGuiApplication::clipboard()->clear();
        std::vector<std::string> temp;
        RunExport(ExportClipboard, nullptr, temp);
        const QString text = QGuiApplication::clipboard()->text();
        QCOMPARE(text, Q(TextReport().toStdString()));
        QVERIFY(text.contains(QStringLiteral("\r\n")));
    }

    void editorGetsAKeptTemporaryTextFileAsOneArgument() {
        EnvSettings.ExportShowConfig = false;
        const QString editor = MakeRecorder("programs/my editor");
        EnvSettings.EditorProgram = Native2Cp(editor);
        std::vector<std::string> temp;
        RunExport(ExportEditor, nullptr, temp);
        const QStringList log = WaitForLog(editor);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0], QStringLiteral("1"));
        const QString file = log[1];
        QVERIFY(file.startsWith(TestDir().filePath("tmp dir/")));
        QVERIFY(file.endsWith(QStringLiteral(".txt")));
        QCOMPARE(ReadAll(file), TextReport());
        QVERIFY(temp.empty());
        QVERIFY(Messages().empty());
    }

    void browserGetsATemporaryHtmlFileListedForDeletion() {
        EnvSettings.ExportShowConfig = false;
        EnvSettings.BrowserDDE = 0;
        const QString browser = MakeRecorder("programs/web browser");
        EnvSettings.BrowserProgram = Native2Cp(browser);
        std::vector<std::string> temp;
        RunExport(ExportBrowser, nullptr, temp);
        const QStringList log = WaitForLog(browser);
        QCOMPARE(log.size(), 2);
        QCOMPARE(temp.size(), size_t(1));
        QCOMPARE(log[1], Q(temp[0]));
        QVERIFY(log[1].contains(QStringLiteral("tmp dir/")));
        QVERIFY(log[1].endsWith(QStringLiteral(".htm")));
        QCOMPARE(ReadAll(log[1]), HtmlReport());

        // A second export makes a second file.
        QFile::remove(browser + ".log");
        RunExport(ExportBrowser, nullptr, temp);
        QCOMPARE(temp.size(), size_t(2));
        QVERIFY(temp[0] != temp[1]);
        QCOMPARE(WaitForLog(browser).value(1), Q(temp[1]));
    }

    void browserByDdeGoesToTheOpenProgram() {
        EnvSettings.ExportShowConfig = false;
        EnvSettings.BrowserDDE = 1;
        const QString opener = MakeRecorder("programs/opener");
        const QString browser = MakeRecorder("programs/web browser");
        EnvSettings.BrowserProgram = Native2Cp(browser);
        qputenv("VELMORAN_OPEN_PROGRAM", opener.toUtf8());
        std::vector<std::string> temp;
        RunExport(ExportBrowser, nullptr, temp);
        const QStringList log = WaitForLog(opener);
        qunsetenv("VELMORAN_OPEN_PROGRAM");
        QCOMPARE(temp.size(), size_t(1));
        QCOMPARE(log.value(1), Q(temp[0]));
        QVERIFY(!Ran(browser));
    }

    void fileThatCannotBeCreatedIsReportedAndNothingStarts() {
        EnvSettings.ExportShowConfig = false;
        const QString path = TestPath("no such folder") + "/x/report.txt";
        WindowHooks().fileDialog = [&](const TFileDialogRequest&) { return std::optional<QString>(path); };
        std::vector<std::string> temp;
        RunExport(ExportTextFile, nullptr, temp);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Error);
        QCOMPARE(Messages()[0].caption, std::string(VersionText));
        QCOMPARE(Messages()[0].text, Sj("ﾌｧｲﾙ ") + FromQ(path) + Sj(" を作成できません"));

        // The temporary folder is a file: the browser's report cannot be
        // written, its name stays listed, and the browser is not started.
        Messages().clear();
        const QString blocker = TestPath("blocker");
        QFile(blocker).open(QIODevice::WriteOnly);
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", (blocker + "/tmp").toUtf8());
        EnvSettings.BrowserDDE = 0;
        const QString browser = MakeRecorder("programs/web browser");
        EnvSettings.BrowserProgram = Native2Cp(browser);
        const QString editor = MakeRecorder("programs/editor");
        EnvSettings.EditorProgram = Native2Cp(editor);
        RunExport(ExportBrowser, nullptr, temp);
        RunExport(ExportEditor, nullptr, temp);
        qputenv("TMPDIR", oldTmp);
        QCOMPARE(temp.size(), size_t(1));
        QVERIFY(Q(temp[0]).startsWith(blocker + "/tmp/"));
        QVERIFY(!Ran(browser));
        QVERIFY(!Ran(editor));
        std::vector<std::string> errors;
        for (const platform::TMessageRequest& m : Messages())
            if (m.kind == platform::TMsgKind::Error) errors.push_back(m.text);
        QCOMPARE(errors.size(), size_t(2));
        QCOMPARE(errors[0], Sj("ﾌｧｲﾙ ") + temp[0] + Sj(" を作成できません"));
    }

    void missingEditorIsReported() {
        EnvSettings.ExportShowConfig = false;
        EnvSettings.EditorProgram = Native2Cp(TestPath("programs") + "/no editor");
        std::vector<std::string> temp;
        RunExport(ExportEditor, nullptr, temp);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Error);
        QCOMPARE(Messages()[0].text, Sj("指定された実行ファイルが見つかりません。\n\n") + EnvSettings.EditorProgram);
    }

private:
    // The hooks a test sets end with it.
    std::optional<TWindowHooksScope> hooks_;
};

QTEST_MAIN(TestExport)
#include "test_Export.moc"
