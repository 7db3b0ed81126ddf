// Single-instance mode: the hand-over text and its framing, the receiving
// window's handling of the pieces, and two real processes of the program,
// the second handing two files to the first and waiting for that run.
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include "UiTestSupport.h"
#include "ui/UAppMain.h"

using namespace uitest;

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() { ResetState(); }

    // --- the message -----------------------------------------------------------------------------

    void handOverTextEndsEachArgumentWithABar() {
        const std::string text = HandOverText({"abc", "defg"}, false);
        QCOMPARE(text, std::string("abc|defg|\0", 10));
        QCOMPARE(text.size(), size_t(10));
        QCOMPARE(HandOverText({}, false), std::string(1, '\0'));
    }

    void shortcutsAndRelativePathsResolveInTheSender() {
        const std::string dir = SourcePath("examples/site");
        platform::SetCurrentDir(dir);
        QCOMPARE(HandOverText({"about.html"}, true), dir + "/about.html|" + std::string(1, '\0'));
        QCOMPARE(HandOverText({"about.html"}, false), std::string("about.html|") + std::string(1, '\0'));
    }

    void framingSurvivesPiecesAndRefusesGiants() {
        const std::string text = HandOverText({"/a/x.html", Sj("/b/ポ.html")}, false);
        QByteArray wire = EncodeHandOver(2, text);
        QByteArray buffer;
        uint32_t count = 0;
        std::string got;
        bool tooLong = false;
        for (int i = 0; i < wire.size() - 1; ++i) {
            buffer.append(wire.at(i));
            QVERIFY(!DecodeHandOver(buffer, count, got, tooLong));
            QVERIFY(!tooLong);
        }
        buffer.append(wire.back());
        QVERIFY(DecodeHandOver(buffer, count, got, tooLong));
        QCOMPARE(count, 2u);
        QCOMPARE(got, text);
        QVERIFY(buffer.isEmpty());

        QByteArray giant = EncodeHandOver(1, "x");
        giant[4] = char(0x7f);  // announces ~2 GB
        QVERIFY(!DecodeHandOver(giant, count, got, tooLong));
        QVERIFY(tooLong);
    }

    void startsOnOtherDisplaysOrSettingsFilesGetTheirOwnWindow() {
        QTemporaryDir tmp(TestDir().filePath("keyed-XXXXXX"));
        qputenv("TMPDIR", tmp.path().toUtf8());
        const QByteArray display = qgetenv("DISPLAY"), wayland = qgetenv("WAYLAND_DISPLAY");
        qputenv("DISPLAY", ":71");
        qputenv("WAYLAND_DISPLAY", "");
        EnvSettings.MultiExec = true;
        TSingleInstance first;
        QVERIFY(first.CheckSingleInstance({}));
        QVERIFY(first.Listening());
        const struct {
            const char* name;
            QByteArray value;
        } changes[] = {
            {"DISPLAY", ":72"},
            {"WAYLAND_DISPLAY", "wayland-1"},
            {"VELMORAN_INI", TestDir().filePath("other/VELMORAN.INI").toUtf8()},
        };
        for (const auto& change : changes) {
            const QByteArray old = qgetenv(change.name);
            qputenv(change.name, change.value);
            // Nobody serves this one: it becomes the first of its own kind
            // at once, instead of handing its files to the window above.
            TSingleInstance other;
            QVERIFY2(other.CheckSingleInstance({"a.html"}), change.name);
            QVERIFY2(other.Listening(), change.name);
            QVERIFY(EnvSettings.RestoreWindow);
            qputenv(change.name, old);
        }
        qputenv("DISPLAY", display);
        qputenv("WAYLAND_DISPLAY", wayland);
        qunsetenv("TMPDIR");
    }

    void aHandOverNobodyTakesEndsInAWindowOfItsOwn() {
        QTemporaryDir tmp(TestDir().filePath("untaken-XXXXXX"));
        qputenv("TMPDIR", tmp.path().toUtf8());
        // Something listens on the channel but never reads (a hung window).
        QLocalServer hung;
        QVERIFY(hung.listen(InstanceChannelName()));
        EnvSettings.MultiExec = true;
        TSingleInstance instance;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(instance.CheckSingleInstance({"a.html"}));
        QVERIFY(clock.elapsed() < 15000);
        QVERIFY(!instance.Listening());
        QVERIFY(!EnvSettings.RestoreWindow);
        qunsetenv("TMPDIR");
    }

    void withoutSingleInstanceModeEveryStartGoesOn() {
        EnvSettings.MultiExec = false;
        TSingleInstance instance;
        QVERIFY(instance.CheckSingleInstance({"a.html"}));
        QVERIFY(!instance.Listening());
        QVERIFY(EnvSettings.RestoreWindow);
    }

    void aChannelLeftByACrashIsTakenOver() {
        QTemporaryDir tmp(TestDir().filePath("stale-XXXXXX"));
        qputenv("TMPDIR", tmp.path().toUtf8());
        const QString channel = tmp.path() + "/" + InstanceChannelName();
        {
            QFile stale(channel);  // nothing listens behind it
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        EnvSettings.MultiExec = true;
        TSingleInstance instance;
        QVERIFY(instance.CheckSingleInstance({}));
        QVERIFY(instance.Listening());
        QVERIFY(EnvSettings.RestoreWindow);
        qunsetenv("TMPDIR");
    }

    void aChannelNobodyAnswersOnRunsWithoutTheSavedWindow() {
        QTemporaryDir tmp(TestDir().filePath("blocked-XXXXXX"));
        qputenv("TMPDIR", tmp.path().toUtf8());
        // Something that can neither be reached nor removed holds the name.
        QVERIFY(QDir().mkpath(tmp.path() + "/" + InstanceChannelName() + "/x"));
        EnvSettings.MultiExec = true;
        TSingleInstance instance;
        QVERIFY(instance.CheckSingleInstance({"a.html"}));
        QVERIFY(!instance.Listening());
        QVERIFY(!EnvSettings.RestoreWindow);
        qunsetenv("TMPDIR");
    }

    // --- the receiving window ---------------------------------------------------------------------

    void piecesGoStraightIntoTheRun() {
        auto form = ShowWindow();
        QVERIFY(form);
        std::vector<std::string> measured;
        form->RunEngine = [&](bool&, const TProgressSink&, const TProgressSink&, const TProgressSink&) {
            measured = InputList;
        };
        form->Edit1->setText(QStringLiteral("typed"));
        const std::string text = "\"/q/a b.html\"|\"|" + Sj("/w/ポ.html") + "|relative.htm|";
        form->ReceiveHandOver(4, text);
        QCOMPARE(measured, (std::vector<std::string>{"/q/a b.html", "", Sj("/w/ポ.html"), "relative.htm"}));
        // Not through the input preparation: no history, the box unchanged.
        QVERIFY(form->History().empty());
        QCOMPARE(form->Edit1->text(), QStringLiteral("typed"));
    }

    void emptyOrBusyHandOversStartNothing() {
        auto form = ShowWindow();
        QVERIFY(form);
        int runs = 0;
        form->RunEngine = [&](bool&, const TProgressSink&, const TProgressSink&, const TProgressSink&) { ++runs; };
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        form->ReceiveHandOver(0, "");
        QTRY_VERIFY(!form->isMinimized());  // brought back, nothing measured
        form->ReceiveHandOver(1, "no-bar");
        QCOMPARE(runs, 0);
        form->Running = true;
        form->ReceiveHandOver(1, "/x.html|");
        form->Running = false;
        QCOMPARE(runs, 0);
        form->ReceiveHandOver(1, "/x.html|");
        QCOMPARE(runs, 1);
    }

    void aSenderThatGoesAwayDuringTheRunChangesNothing() {
        QTemporaryDir tmp(TestDir().filePath("gone-XXXXXX"));
        qputenv("TMPDIR", tmp.path().toUtf8());
        // A site large enough that the run pumps events many times over.
        const QString site = tmp.path() + "/site";
        QVERIFY(QDir().mkpath(site));
        const int pages = 60;
        for (int i = 0; i < pages; ++i) {
            QFile f(site + QStringLiteral("/p%1.html").arg(i));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral("<a href=\"p%1.html\">n</a><img src=\"missing%2.gif\">")
                        .arg((i + 1) % pages)
                        .arg(i)
                        .toUtf8());
        }
        EnvSettings.MultiExec = true;
        TSingleInstance instance;
        QVERIFY(instance.CheckSingleInstance({}));
        QVERIFY(instance.Listening());
        auto form = ShowWindow();
        QVERIFY(form);
        instance.Serve(form.get());

        QLocalSocket sender;
        sender.connectToServer(InstanceChannelName());
        QVERIFY(sender.waitForConnected(5000));
        const auto engine = form->RunEngine;
        bool ran = false;
        form->RunEngine = [&](bool& stop, const TProgressSink& folder, const TProgressSink& file,
                              const TProgressSink& warning) {
            // The sender is ended as the run begins; the window goes on
            // pumping events, as a run does, while its end arrives.
            sender.abort();
            for (int i = 0; i < 50; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            engine(stop, folder, file, warning);
            ran = true;
        };
        // The window has taken the connection before the files arrive, as
        // with a second process.
        QTest::qWait(200);
        const std::string text = HandOverText({FromQ(site + "/p0.html")}, false);
        sender.write(EncodeHandOver(1, text));
        QTRY_VERIFY_WITH_TIMEOUT(ran && !form->Running, 30000);
        QTest::qWait(100);
        QCOMPARE(FileList.Count(), pages);
        QCOMPARE(ErrorLog.Count(), pages);
        QCOMPARE(form->HTMLListBox->Count(), pages);
        qunsetenv("TMPDIR");
    }

    // --- two processes -----------------------------------------------------------------------------

    void secondStartHandsItsFilesToTheFirst() {
#ifndef VELMORAN_GUI_PATH
        QSKIP("the program is not built");
#else
        QTemporaryDir dir(TestDir().filePath("instances-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString ini = dir.filePath("VELMORAN.INI");
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[SYSTEM]\r\nMULTIEXEC=1\r\n");
        }
        const QString tmp = dir.filePath("tmp");
        QVERIFY(QDir().mkpath(tmp));
        const QString log = dir.filePath("handover.log");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VELMORAN_INI", ini);
        env.insert("TMPDIR", tmp);  // the channel lives here, away from any real instance
        env.insert("VELMORAN_TEST_HANDOVER_LOG", log);
        env.insert("QT_QPA_PLATFORM", "offscreen");

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(QStringLiteral(VELMORAN_GUI_PATH), {});
        QVERIFY(first.waitForStarted());
        qputenv("VELMORAN_INI", ini.toUtf8());  // the channel of the settings the two use
        const QString channel = tmp + "/" + InstanceChannelName();
        qputenv("VELMORAN_INI", IniPath().toUtf8());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(channel), 20000);

        const QString about = QStringLiteral(VELMORAN_SOURCE_DIR "/examples/site/about.html");
        const QString index = QStringLiteral(VELMORAN_SOURCE_DIR "/examples/site/index.html");
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(QStringLiteral(VELMORAN_GUI_PATH), {about, index});
        QVERIFY(second.waitForStarted());
        QVERIFY(second.waitForFinished(60000));
        const qint64 secondEnded = QDateTime::currentMSecsSinceEpoch();
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);

        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        std::vector<std::string> inputs, pages;
        qint64 done = -1;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("INPUT ")) inputs.push_back(line.mid(6).toStdString());
            if (line.startsWith("PAGE ")) pages.push_back(line.mid(5).toStdString());
            if (line.startsWith("DONE ")) done = line.mid(5).toLongLong();
        }
        QCOMPARE(inputs, (std::vector<std::string>{about.toStdString(), index.toStdString()}));
        // The settings file turns link following off: just the two pages.
        std::sort(pages.begin(), pages.end());
        QCOMPARE(pages, (std::vector<std::string>{about.toStdString(), index.toStdString()}));
        // The second process lived until the first had finished the run.
        QVERIFY(done > 0);
        QVERIFY(secondEnded >= done);
#endif
    }
};

QTEST_MAIN(TestSingleInstance)
#include "test_SingleInstance.moc"
