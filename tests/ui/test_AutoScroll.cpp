// Wheel and middle-button auto-scroll: the two speed laws, the mode's
// states driven through mouse events and the timer's tick (with the pointer
// and the buttons put in by the test), the cursors, the origin mark and the
// clicks on it, the wheel on the focused list, and the events that end it.
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include "UiTestSupport.h"
#include "ui/Intelli.h"
#include "ui/YKIntelli.h"

using namespace uitest;

namespace {

QPoint g_pointer;
Qt::MouseButtons g_buttons = Qt::NoButton;

QPoint FakePointer() { return g_pointer; }
Qt::MouseButtons FakeButtons() { return g_buttons; }

void Rows(TOwnerDrawList* list, int n) {
    for (int i = 0; i < n; ++i) list->AddItem(std::string());
}

void Wheel(QWidget* w, int delta) {
    const QPointF at(10, 10);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w, &e);
}

QImage CursorImage() {
    const QCursor* c = QApplication::overrideCursor();
    return c ? c->pixmap().toImage() : QImage();
}

}  // namespace

class TestAutoScroll : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TFormMain> form_;
    TOwnerDrawList* list_ = nullptr;
    QPoint origin_;

    // A middle press at (50, 40) of the parts list's rows.
    void MiddlePress() {
        QTest::mousePress(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
        origin_ = list_->viewport()->mapToGlobal(QPoint(50, 40));
        g_buttons = Qt::MiddleButton;
    }

private slots:
    void initTestCase() {
        SetUpEnvironment();
        TYKIntelliLib::CursorPos = FakePointer;
        TYKIntelliLib::ButtonsDown = FakeButtons;
    }
    void init() {
        ResetState();
        form_ = ShowWindow();
        QVERIFY(form_);
        form_->AutoScroll->Timer->stop();  // ticks come from the test only
        list_ = form_->HTMLSource;
        Rows(list_, 300);
        g_buttons = Qt::NoButton;
    }
    void cleanup() {
        // QTest remembers held buttons across tests; let go of them.
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton);
        form_.reset();
    }

    void speedLaws() {
        QCOMPARE(WheelRows(120), 3);
        QCOMPARE(WheelRows(-120), -3);
        QCOMPARE(WheelRows(39), 0);
        QCOMPARE(WheelRows(-39), 0);
        QCOMPARE(WheelRows(40), 1);
        QCOMPARE(WheelRows(-80), -2);
        QCOMPARE(WheelRows(240), 6);
        int32_t remainder = 0;
        QCOMPARE(AutoScrollRows(remainder, 8), 0);
        QCOMPARE(AutoScrollRows(remainder, 8), 1);
        QCOMPARE(remainder, 0);
        QCOMPARE(AutoScrollRows(remainder, -20), -1);
        QCOMPARE(remainder, -4);  // the sign of the dividend
        QCOMPARE(AutoScrollRows(remainder, 36), 2);
        QCOMPARE(remainder, 0);
    }

    void middlePressStartsTheModeAndPlacesTheMark() {
        MiddlePress();
        QVERIFY(form_->AutoScroll->Active);
        QVERIFY(!form_->AutoScroll->Sticky);
        QCOMPARE(form_->AutoScroll->Origin, origin_);
        QCOMPARE(form_->AutoScroll->Target, static_cast<QWidget*>(list_));
        QVERIFY(list_->hasFocus());
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crVert));
        QCOMPARE(CursorImage(), ScreenCursor(crVert).pixmap().toImage());
        const QPoint at = form_->PanelIntelli->parentWidget()->mapFromGlobal(origin_);
        QCOMPARE(form_->PanelIntelli->pos(), QPoint(at.x() - 14, at.y() - 13));
    }

    void eightPixelsBelowMoveOneRowEverySecondTick() {
        MiddlePress();
        list_->SetTopIndex(100);
        g_pointer = origin_ + QPoint(3, 8);
        std::vector<int> tops;
        for (int i = 0; i < 4; ++i) {
            form_->AutoScroll->TimerTick();
            tops.push_back(list_->TopIndex());
        }
        QCOMPARE(tops, (std::vector<int>{100, 101, 101, 102}));
    }

    void hundredPixelsAboveMoveSixSixSixSeven() {
        MiddlePress();
        list_->SetTopIndex(100);
        g_pointer = origin_ - QPoint(0, 100);
        std::vector<int> moved;
        for (int i = 0; i < 4; ++i) {
            const int before = list_->TopIndex();
            form_->AutoScroll->TimerTick();
            moved.push_back(before - list_->TopIndex());
        }
        QCOMPARE(moved, (std::vector<int>{6, 6, 6, 7}));
        list_->SetTopIndex(3);
        form_->AutoScroll->TimerTick();
        QCOMPARE(list_->TopIndex(), 0);
        form_->AutoScroll->TimerTick();
        QCOMPARE(list_->TopIndex(), 0);
    }

    void nothingScrollsDuringARun() {
        MiddlePress();
        list_->SetTopIndex(50);
        g_pointer = origin_ + QPoint(0, 64);
        form_->Running = true;
        form_->AutoScroll->TimerTick();
        form_->Running = false;
        QCOMPARE(list_->TopIndex(), 50);
    }

    void clickWithoutMovingIsStickyUntilTheNextClick() {
        MiddlePress();
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
        g_buttons = Qt::NoButton;
        QVERIFY(form_->AutoScroll->Active);
        QVERIFY(form_->AutoScroll->Sticky);
        list_->SetTopIndex(10);
        g_pointer = origin_ + QPoint(0, 32);
        form_->AutoScroll->TimerTick();
        QCOMPARE(list_->TopIndex(), 12);  // keeps scrolling with the button up
        QTest::mousePress(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 60));
        QVERIFY(!form_->AutoScroll->Active);
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crDefault));
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(form_->PanelIntelli->pos(), QPoint(-28, -28));
    }

    void dragAndReleaseEndsTheMode() {
        MiddlePress();
        QTest::mouseMove(list_->viewport(), QPoint(50, 80));
        QVERIFY(form_->AutoScroll->Moved);
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 80));
        QVERIFY(!form_->AutoScroll->Active);
        QVERIFY(!QApplication::overrideCursor());
    }

    void theTickCatchesAReleaseTheListMissed() {
        MiddlePress();
        list_->SetTopIndex(10);
        g_pointer = origin_ + QPoint(0, 48);
        g_buttons = Qt::NoButton;  // released somewhere else, without moving
        form_->AutoScroll->TimerTick();
        QVERIFY(form_->AutoScroll->Sticky);
        QCOMPARE(list_->TopIndex(), 10);  // nothing else on that tick
        form_->AutoScroll->TimerTick();
        QCOMPARE(list_->TopIndex(), 13);

        form_->AutoScroll->Stop();
        MiddlePress();
        QTest::mouseMove(list_->viewport(), QPoint(50, 70));
        g_buttons = Qt::NoButton;
        form_->AutoScroll->TimerTick();
        QVERIFY(!form_->AutoScroll->Active);
    }

    void cursorFollowsThePointerBand() {
        MiddlePress();
        QTest::mouseMove(list_->viewport(), QPoint(50, 40 - 15));
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crNorth));
        QCOMPARE(CursorImage(), ScreenCursor(crNorth).pixmap().toImage());
        QTest::mouseMove(list_->viewport(), QPoint(50, 40 + 15));
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crSouth));
        QCOMPARE(CursorImage(), ScreenCursor(crSouth).pixmap().toImage());
        QTest::mouseMove(list_->viewport(), QPoint(90, 40 + 14));
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crVert));
        QTest::mouseMove(list_->viewport(), QPoint(50, 40 - 14));
        QCOMPARE(form_->AutoScroll->CursorNumber(), int(crVert));
        // Eleven distinct pictures are registered.
        for (int a = crEast; a <= crWest; ++a)
            for (int b = a + 1; b <= crWest; ++b)
                QVERIFY(ScreenCursor(a).pixmap().toImage() != ScreenCursor(b).pixmap().toImage());
    }

    void otherPressesEndTheMode() {
        MiddlePress();
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
        QTest::mousePress(list_->viewport(), Qt::MiddleButton, Qt::ControlModifier, QPoint(50, 40));
        QVERIFY(!form_->AutoScroll->Active);
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, Qt::ControlModifier, QPoint(50, 40));
        MiddlePress();
        QTest::mousePress(list_->viewport(), Qt::LeftButton, {}, QPoint(50, 40));
        QVERIFY(!form_->AutoScroll->Active);
        QTest::mouseRelease(list_->viewport(), Qt::LeftButton, {}, QPoint(50, 40));
    }

    void clicksOnTheMarkGoToTheList() {
        MiddlePress();
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
        QTest::mouseClick(form_->ImageIntelli, Qt::RightButton, {}, QPoint(14, 14));
        QVERIFY(!form_->AutoScroll->Active);
        QTRY_VERIFY(form_->PopupMenu3->isVisible());  // the list's own menu
        form_->PopupMenu3->close();

        MiddlePress();
        QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
        QTest::mouseClick(form_->ImageIntelli, Qt::MiddleButton, {}, QPoint(14, 14));
        QVERIFY(!form_->AutoScroll->Active);
        QVERIFY(!QApplication::overrideCursor());
    }

    void everydayEventsEndTheMode() {
        const std::vector<std::pair<const char*, std::function<void()>>> stoppers = {
            {"focus leaves the list", [&] { form_->Edit1->setFocus(); }},
            {"a key in the list", [&] { QTest::keyClick(list_, Qt::Key_Down); }},
            {"a menu opens", [&] { emit form_->Menu_Sort->aboutToShow(); }},
            {"link toggle", [&] { form_->LinkBtn->click(); }},
            {"status bar press", [&] { QTest::mouseClick(form_->StatusBar1, Qt::LeftButton); }},
            {"sort button press", [&] { QTest::mouseClick(form_->SortByName, Qt::LeftButton); }},
            {"window resized", [&] { form_->resize(form_->width() + 10, form_->height()); }},
            {"double-click",
             [&] {
                 QTest::mouseDClick(list_->viewport(), Qt::LeftButton);
                 QTest::mouseRelease(list_->viewport(), Qt::LeftButton);
             }},
            {"wheel", [&] { Wheel(list_->viewport(), 120); }},
        };
        for (const auto& [what, stop] : stoppers) {
            list_->setFocus();
            QTest::mouseRelease(list_->viewport(), Qt::MiddleButton, {}, QPoint(50, 40));
            form_->AutoScroll->Stop();
            MiddlePress();
            QVERIFY2(form_->AutoScroll->Active, what);
            stop();
            QTRY_VERIFY2(!form_->AutoScroll->Active, what);
        }
    }

    // --- wheel --------------------------------------------------------------------------------

    void wheelScrollsTheFocusedListOnly() {
        Rows(form_->HTMLListBox, 300);
        form_->HTMLListBox->SetTopIndex(50);
        list_->setFocus();
        list_->SetTopIndex(10);
        Wheel(form_->HTMLListBox->viewport(), 120);  // over the other list
        QCOMPARE(list_->TopIndex(), 7);
        QCOMPARE(form_->HTMLListBox->TopIndex(), 50);
        Wheel(list_->viewport(), 30);
        QCOMPARE(list_->TopIndex(), 7);
        Wheel(list_->viewport(), -240);
        QCOMPARE(list_->TopIndex(), 13);
        list_->SetTopIndex(1);
        Wheel(list_->viewport(), 120);
        QCOMPARE(list_->TopIndex(), 0);

        form_->Running = true;
        list_->SetTopIndex(10);
        Wheel(list_->viewport(), 120);
        form_->Running = false;
        QCOMPARE(list_->TopIndex(), 10);

        form_->Edit1->setFocus();
        Wheel(list_->viewport(), 120);
        QCOMPARE(list_->TopIndex(), 10);
    }
};

QTEST_MAIN(TestAutoScroll)
#include "test_AutoScroll.moc"
