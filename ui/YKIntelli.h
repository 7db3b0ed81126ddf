// Middle-button auto-scroll of the result lists. A middle click drops an
// origin mark; while the mode is on, a 100 ms timer asks the owner to scroll
// the list by the pointer's vertical distance from the mark. Releasing the
// button after moving ends the mode; a click without moving leaves it on
// ("sticky") until the next click.
#pragma once

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <functional>

class QCursor;
class QMouseEvent;
class QTimer;
class QWidget;

// The screen cursors the unit registers, drawn at first use.
enum TScreenCursor {
    crDefault = 0,
    crEast = 2,
    crHori = 3,
    crNorthEast = 4,
    crNorth = 5,
    crNorthWest = 6,
    crOrigin = 7,
    crSouthEast = 8,
    crSouth = 9,
    crSouthWest = 10,
    crVert = 11,
    crWest = 12,
};
// The cursor registered under a number 2 to 12; the arrow for any other.
const QCursor& ScreenCursor(int number);

class TYKIntelliLib : public QObject {
public:
    using TScrollEvent = std::function<void(QWidget* target, int dx, int dy)>;
    using TMouseHandler = std::function<void(QMouseEvent*)>;

    explicit TYKIntelliLib(QObject* parent = nullptr);
    ~TYKIntelliLib() override;

    QTimer* Timer;
    bool Active = false;
    bool Sticky = false;
    bool Moved = false;
    QPoint Origin;  // screen coordinates
    QWidget* MarkPanel = nullptr;
    QWidget* MarkImage = nullptr;
    QWidget* Form = nullptr;
    TScrollEvent OnScroll;
    int32_t Remainder = 0;
    QWidget* Target = nullptr;
    TMouseHandler TargetMouseDown;

    // Takes over the image's mouse-down and mouse-move events.
    void SetImage(QWidget* image);

    // control is the list whose mouse event this is (positions in its
    // viewport for a scroll area). True when the list should go on with its
    // own handling.
    bool MouseDown(QWidget* control, QMouseEvent* event, TMouseHandler handler, QWidget* form);
    bool MouseMove(QWidget* control, QMouseEvent* event);
    bool MouseUp(QWidget* control, QMouseEvent* event);
    // Ends the mode at once.
    void Stop();
    // The timer's handler, callable directly.
    void TimerTick();

    // The cursor number last set (0: the default cursor).
    int CursorNumber() const { return cursor_; }

    // Where the pointer is and which buttons are down right now; tests
    // put fakes in.
    static QPoint (*CursorPos)();
    static Qt::MouseButtons (*ButtonsDown)();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EndMode();
    void ParkMark();
    void SetCursor(int number);
    bool MouseUpAt(QWidget* control);

    int cursor_ = crDefault;
    bool cursorPushed_ = false;
};
