// The two speed laws of list scrolling: the wheel and the middle-button
// auto-scroll. Kept apart from the widgets so the arithmetic can be checked
// on its own.
#pragma once

#include <cstdint>

// Identifier of the old wheel driver's roll message. That driver exists only
// on one old Windows family; here there is never one, so it stays 0 and only
// the standard wheel event is acted on.
int RegisterWheelMessages();

// Rows one wheel event moves: delta x 3 div 120, truncating toward zero, so
// a notch (120) is three rows and deltas below 40 in size move nothing.
// Positive deltas (rolled away from the user) scroll toward the top.
int WheelRows(int delta);

// One auto-scroll tick: dy pixels of distance from the origin are added to
// remainder; whole multiples of 16 become rows (truncating toward zero) and
// the rest stays behind with the sign of the sum.
int AutoScrollRows(int32_t& remainder, int dy);
