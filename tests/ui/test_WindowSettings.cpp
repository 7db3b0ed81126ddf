// The window's share of the settings file: the WINDOW section with its
// corrections, the round trip of geometry, panels and state, the no-file
// layout, and the loaded options applied through the menu handlers.
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

#include "UiTestSupport.h"
#include "platform/Profile.h"

using namespace uitest;

namespace {

void WriteIni(const std::string& bytes) {
    QFile f(IniPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string ReadIni() {
    QFile f(IniPath());
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QSize Screen() { return QGuiApplication::primaryScreen()->availableGeometry().size(); }

bool ShownAndExposed(QWidget* w) { return w->isVisible() && QTest::qWaitForWindowExposed(w); }

}  // namespace

class TestWindowSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() { ResetState(); }

    // --- corrections ----------------------------------------------------------------------------

    void oversizedWindowAndTinyPanelsAreCorrected() {
        WriteIni(
            "[WINDOW]\r\nTOP=10\r\nLEFT=2000\r\nWIDTH=5000\r\nHEIGHT=100\r\nURLPANELWIDTH=3\r\n"
            "SIZEPANEL=3\r\nTIMEPANEL=50\r\nNAMEPANEL=2\r\nHTMLPANELHEIGHT=10\r\nHTMLSOURCEHEIGHT=10\r\n");
        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        QVERIFY(ShownAndExposed(form.get()));
        QCOMPARE(form->width(), Screen().width());
        QCOMPARE(form->x(), 0);  // LEFT past the screen: screen width - WIDTH
        QCOMPARE(form->y(), 10);
        QCOMPARE(form->height(), 250);
        QCOMPARE(form->URLPanel->width(), 16);
        QCOMPARE(form->SizePanel->geometry(), QRect(0, 0, 16, 21));
        QCOMPARE(form->TimePanel->geometry(), QRect(20, 0, 50, 21));
        QCOMPARE(form->NamePanel->geometry(), QRect(74, 0, 16, 21));
        QCOMPARE(form->PanelImgs->x(), 94);
        QCOMPARE(form->HTMLListPanel->height(), 30);
        QCOMPARE(form->HTMLSourcePanel->height(), 30);
        QCOMPARE(form->ErrorListPanel->y(), form->HTMLSourcePanel->geometry().bottom() + 1 + 2);
    }

    void positionsPastTheScreenComeBackOnIt() {
        WriteIni("[WINDOW]\r\nTOP=5000\r\nLEFT=2000\r\nWIDTH=500\r\nHEIGHT=300\r\n");
        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        QVERIFY(ShownAndExposed(form.get()));
        // The frame's position (the window's bounds), whatever the frame is.
        QCOMPARE(form->pos(), QPoint(Screen().width() - 500, Screen().height() - 300));
        QCOMPARE(form->size(), QSize(500, 300));
    }

    void listHeightsKeepRoomForTheListsBelow() {
        WriteIni("[WINDOW]\r\nWIDTH=600\r\nHEIGHT=400\r\nHTMLPANELHEIGHT=5000\r\nHTMLSOURCEHEIGHT=5000\r\n");
        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        QVERIFY(ShownAndExposed(form.get()));
        const int free = form->FreeListHeight();
        QCOMPARE(form->HTMLListPanel->height(), free - 64);
        QCOMPARE(form->HTMLSourcePanel->height(), free - (free - 64) - 32);
    }

    // --- round trip ----------------------------------------------------------------------------------

    void geometryPanelsAndStateSurviveARoundTrip() {
        QRect saved;
        QPoint savedPos;
        {
            auto form = ShowWindow();
            QVERIFY(form);
            LoadSettings(form.get());
            form->setGeometry(30, 40, 700, 450);
            QTRY_COMPARE(form->geometry(), QRect(30, 40, 700, 450));
            saved = form->geometry();
            savedPos = form->pos();
            form->SetURLPanelWidth(200);
            form->SetHeaderWidths(100, 80, 150);
            form->HTMLListPanel->resize(form->HTMLListPanel->width(), 90);
            form->HTMLSourcePanel->resize(form->HTMLSourcePanel->width(), 70);
            form->LayoutPanels();
            form->close();
        }
        // TOP and LEFT are the bounds with the frame, the NORMAL keys the
        // window's own rectangle, as the window system reports each.
        const std::string expected =
            "[WINDOW]\r\nTOP=" + std::to_string(savedPos.y()) + "\r\nLEFT=" + std::to_string(savedPos.x()) +
            "\r\nWIDTH=700\r\nHEIGHT=450\r\nURLPANELWIDTH=200\r\nHTMLPANELHEIGHT=90\r\nHTMLSOURCEHEIGHT=70\r\n"
            "SIZEPANEL=100\r\nTIMEPANEL=80\r\nNAMEPANEL=150\r\nWINDOWSTATE=0\r\nNORMALLEFT=30\r\nNORMALTOP=40\r\n"
            "NORMALRIGHT=730\r\nNORMALBOTTOM=490\r\n";
        const std::string ini = ReadIni();
        QVERIFY2(ini.find(expected) != std::string::npos, ini.c_str());

        // Applied to a window not shown yet, as at start.
        TFormMain form;
        LoadSettings(&form);
        QVERIFY(ShownAndExposed(&form));
        QCOMPARE(form.geometry(), saved);
        QCOMPARE(form.URLPanel->width(), 200);
        QCOMPARE(form.Edit1->width(), 200 - 22);
        QCOMPARE(form.SizePanel->width(), 100);
        QCOMPARE(form.TimePanel->width(), 80);
        QCOMPARE(form.NamePanel->width(), 150);
        QCOMPARE(form.SortByName->width(), 150);
        QCOMPARE(form.HTMLListPanel->height(), 90);
        QCOMPARE(form.HTMLSourcePanel->height(), 70);
        form.close();
    }

    void maximisedWindowReturnsToItsNormalRectangle() {
        WriteIni(
            "[WINDOW]\r\nWINDOWSTATE=2\r\nNORMALLEFT=50\r\nNORMALTOP=60\r\nNORMALRIGHT=650\r\n"
            "NORMALBOTTOM=460\r\n");
        TFormMain form;
        LoadSettings(&form);
        QVERIFY(ShownAndExposed(&form));
        QTRY_VERIFY(form.isMaximized());
        {
            platform::TIniFile ini;
            form.SaveWindowSection(ini);
            QCOMPARE(ini.ReadInteger("WINDOW", "WINDOWSTATE", -1), 2);
            QCOMPARE(ini.ReadInteger("WINDOW", "NORMALLEFT", -1), 50);
            QCOMPARE(ini.ReadInteger("WINDOW", "NORMALBOTTOM", -1), 460);
        }
        form.showNormal();
        QTRY_COMPARE(form.geometry(), QRect(50, 60, 600, 400));
    }

    void minimisedStateStaysMinimised() {
        WriteIni("[WINDOW]\r\nWINDOWSTATE=1\r\n");
        TFormMain form;
        LoadSettings(&form);
        QVERIFY(form.isVisible());
        QTRY_VERIFY(form.isMinimized());
        platform::TIniFile ini;
        form.SaveWindowSection(ini);
        QCOMPARE(ini.ReadInteger("WINDOW", "WINDOWSTATE", -1), 1);
    }

    void withoutRestoreTheWindowSectionIsNotApplied() {
        WriteIni("[WINDOW]\r\nTOP=5\r\nLEFT=5\r\nWIDTH=300\r\nHEIGHT=260\r\nURLPANELWIDTH=40\r\n");
        EnvSettings.RestoreWindow = false;
        auto form = ShowWindow();
        QVERIFY(form);
        const QRect before = form->geometry();
        LoadSettings(form.get());
        QVERIFY(form->isVisible());
        QCOMPARE(form->geometry(), before);
        QCOMPARE(form->URLPanel->width(), 169);
    }

    // --- no file, and the options applied through their handlers ---------------------------------------

    void firstStartGivesThirdsHintsAndLinks() {
        TFormMain form;
        LoadSettings(&form);
        QVERIFY(!form.isVisible());  // shown by the start-up afterwards
        const int third = form.FreeListHeight() / 3;
        QCOMPARE(form.HTMLListPanel->height(), third);
        QCOMPARE(form.HTMLSourcePanel->height(), third);
        QVERIFY(form.Menu_OptionShowHintFlg->isChecked());
        QVERIFY(!form.Edit1->toolTip().isEmpty());
        QVERIFY(form.Menu_OptionLink->isChecked());
        QCOMPARE(form.StatusBar1->PanelText(2), std::string("28,800 bps"));
        QVERIFY(form.SpeedItems[10]->isChecked());
        QVERIFY(form.FileSizeItems[0]->isChecked());
    }

    void anEmptyFileHidesHintsAndStopsLinks() {
        WriteIni("[SYSTEM]\r\n");
        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        QVERIFY(!EnvSettings.ShowHint);
        QVERIFY(!form->Menu_OptionShowHintFlg->isChecked());
        QVERIFY(form->Edit1->toolTip().isEmpty());
        QVERIFY(!form->Menu_OptionLink->isChecked());
        const QImage off = form->Image3->pixmap().toImage();
        QCOMPARE(form->LinkBtn->icon().pixmap(16, 16).toImage().convertToFormat(off.format()), off);
    }

    void loadedSpeedAndSizeCheckTheirEntries_data() {
        QTest::addColumn<QByteArray>("bps");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::newRow("below 75") << QByteArray("50") << 10 << "28,800 bps";
        QTest::newRow("not in the menu") << QByteArray("100") << 10 << "28,800 bps";
        QTest::newRow("1.5M") << QByteArray("1500000") << 15 << "1.5M bps";
        QTest::newRow("slower") << QByteArray("300") << 2 << "300 bps";
    }
    void loadedSpeedAndSizeCheckTheirEntries() {
        QFETCH(QByteArray, bps);
        QFETCH(int, index);
        QFETCH(QString, caption);
        WriteIni("[CONFIG]\r\nBPS=" + bps.toStdString() + "\r\nFILESIZEDISP=3\r\nSHOWHINT=1\r\n");
        auto form = ShowWindow();
        QVERIFY(form);
        LoadSettings(form.get());
        for (size_t i = 0; i < form->SpeedItems.size(); ++i)
            QCOMPARE(form->SpeedItems[i]->isChecked(), static_cast<int>(i) == index);
        QCOMPARE(Q(form->StatusBar1->PanelText(2)), caption);
        QVERIFY(form->FileSizeItems[3]->isChecked());
        QVERIFY(!form->FileSizeItems[0]->isChecked());
        QVERIFY(form->Menu_OptionShowHintFlg->isChecked());
        QVERIFY(!form->StatusBar1->toolTip().isEmpty());
    }
};

QTEST_MAIN(TestWindowSettings)
#include "test_WindowSettings.moc"
