#include "ui/YKIntelli.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr int kTickMs = 100;
// Half the height of the band around the origin in which the cursor shows
// the neutral shape.
constexpr int kNeutralBand = 14;

QPoint RealCursorPos() { return QCursor::pos(); }
Qt::MouseButtons RealButtonsDown() { return QGuiApplication::mouseButtons(); }

// The widget whose coordinates a list's mouse events carry.
QWidget* EventArea(QWidget* control) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) return area->viewport();
    return control;
}

// One cursor: a small ring at the hot spot with arrows pointing the given
// ways (degrees, 0 = east, 90 = north).
QCursor DrawCursor(const std::vector<int>& directions) {
    constexpr int size = 32;
    constexpr double c = size / 2.0;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addEllipse(QPointF(c, c), 3.5, 3.5);
    for (int degrees : directions) {
        const double a = degrees * M_PI / 180.0;
        const QPointF dir(std::cos(a), -std::sin(a));
        const QPointF side(-dir.y(), dir.x());
        const QPointF tip = QPointF(c, c) + dir * 14.0;
        const QPointF base = QPointF(c, c) + dir * 7.0;
        QPainterPath head;
        head.moveTo(tip);
        head.lineTo(base + side * 5.0);
        head.lineTo(base - side * 5.0);
        head.closeSubpath();
        shape.addPath(head);
    }
    p.setPen(QPen(Qt::white, 2.0));
    p.setBrush(Qt::black);
    p.drawPath(shape);
    p.end();
    return QCursor(pixmap, size / 2, size / 2);
}

}  // namespace

const QCursor& ScreenCursor(int number) {
    static const std::array<QCursor, 11> cursors = {
        DrawCursor({0}),                // 2 east
        DrawCursor({0, 180}),           // 3 horizontal
        DrawCursor({45}),               // 4 north-east
        DrawCursor({90}),               // 5 north
        DrawCursor({135}),              // 6 north-west
        DrawCursor({0, 90, 180, 270}),  // 7 origin
        DrawCursor({315}),              // 8 south-east
        DrawCursor({270}),              // 9 south
        DrawCursor({225}),              // 10 south-west
        DrawCursor({90, 270}),          // 11 vertical
        DrawCursor({180}),              // 12 west
    };
    static const QCursor arrow(Qt::ArrowCursor);
    if (number < crEast || number > crWest) return arrow;
    return cursors[static_cast<size_t>(number - crEast)];
}

QPoint (*TYKIntelliLib::CursorPos)() = RealCursorPos;
Qt::MouseButtons (*TYKIntelliLib::ButtonsDown)() = RealButtonsDown;

TYKIntelliLib::TYKIntelliLib(QObject* parent) : QObject(parent), Timer(new QTimer(this)) {
    Timer->setInterval(kTickMs);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTick(); });
    Timer->start();
}

TYKIntelliLib::~TYKIntelliLib() {
    // The application cursor must not stay an arrow pair after the window.
    SetCursor(crDefault);
}

void TYKIntelliLib::SetImage(QWidget* image) {
    if (MarkImage) MarkImage->removeEventFilter(this);
    MarkImage = image;
    if (MarkImage) {
        MarkImage->setMouseTracking(true);
        MarkImage->installEventFilter(this);
    }
}

void TYKIntelliLib::SetCursor(int number) {
    // One application cursor, as a single screen cursor value: replaced in
    // place while the mode lasts, given back when it ends.
    cursor_ = number;
    if (number == crDefault) {
        if (cursorPushed_) QApplication::restoreOverrideCursor();
        cursorPushed_ = false;
    } else if (cursorPushed_) {
        QApplication::changeOverrideCursor(ScreenCursor(number));
    } else {
        QApplication::setOverrideCursor(ScreenCursor(number));
        cursorPushed_ = true;
    }
}

void TYKIntelliLib::ParkMark() {
    if (MarkPanel) MarkPanel->move(-MarkPanel->width(), -MarkPanel->height());
}

void TYKIntelliLib::EndMode() {
    Active = false;
    SetCursor(crDefault);
    ParkMark();
}

bool TYKIntelliLib::MouseDown(QWidget* control, QMouseEvent* event, TMouseHandler handler, QWidget* form) {
    const bool middleAlone = event->type() == QEvent::MouseButtonPress && event->button() == Qt::MiddleButton &&
                             event->buttons() == Qt::MiddleButton &&
                             (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0;
    if (!middleAlone) {
        Stop();
        return true;
    }
    control->setFocus(Qt::MouseFocusReason);
    if (Active) {
        EndMode();
    } else {
        Target = control;
        TargetMouseDown = std::move(handler);
        if (form) Form = form;
        Origin = EventArea(control)->mapToGlobal(event->position().toPoint());
        SetCursor(crVert);
        if (MarkPanel && MarkPanel->parentWidget()) {
            const QPoint at = MarkPanel->parentWidget()->mapFromGlobal(Origin);
            MarkPanel->move(at.x() - 14, at.y() - 13);
            MarkPanel->raise();
        }
        Remainder = 0;
        Active = true;
        Sticky = false;
    }
    Moved = false;
    return false;
}

bool TYKIntelliLib::MouseMove(QWidget* control, QMouseEvent* event) {
    if (!Active) return true;
    Moved = true;
    const QPoint at = EventArea(control)->mapToGlobal(event->position().toPoint());
    if (at.y() < Origin.y() - kNeutralBand) SetCursor(crNorth);
    else if (at.y() > Origin.y() + kNeutralBand) SetCursor(crSouth);
    else SetCursor(crVert);
    return false;
}

bool TYKIntelliLib::MouseUpAt(QWidget*) {
    if (!Active) return true;
    if (Moved) {
        EndMode();
        Moved = false;
    } else {
        Sticky = true;
    }
    return false;
}

bool TYKIntelliLib::MouseUp(QWidget* control, QMouseEvent*) { return MouseUpAt(control); }

void TYKIntelliLib::Stop() {
    Active = false;
    Moved = false;
    Sticky = false;
    SetCursor(crDefault);
    ParkMark();
}

void TYKIntelliLib::TimerTick() {
    if (Active && !Sticky && !(ButtonsDown() & Qt::MiddleButton)) {
        // The release happened where the list did not see it.
        MouseUpAt(Target);
        return;
    }
    if (Active && OnScroll) {
        const QPoint at = CursorPos();
        OnScroll(Target, at.x() - Origin.x(), at.y() - Origin.y());
    }
}

bool TYKIntelliLib::eventFilter(QObject* watched, QEvent* event) {
    if (watched != MarkImage) return false;
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* e = static_cast<QMouseEvent*>(event);
        if (Active && Target && TargetMouseDown) {
            // The click belongs to the list under the mark.
            const QPointF global = e->globalPosition();
            const QPointF local = EventArea(Target)->mapFromGlobal(global);
            QMouseEvent passed(QEvent::MouseButtonPress, local, global, e->button(), e->buttons(), e->modifiers());
            TargetMouseDown(&passed);
        }
        Stop();
        return true;
    }
    if (event->type() == QEvent::MouseMove) {
        if (Active && Moved) SetCursor(crVert);
        return true;
    }
    return false;
}
