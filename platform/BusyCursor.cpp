#include "platform/BusyCursor.h"

#include "platform/FrontEnd.h"

namespace platform {

namespace {
int g_depth = 0;
}  // namespace

TBusyCursor::TBusyCursor() {
    if (g_depth++ == 0 && FrontEnd().busyBegin) FrontEnd().busyBegin();
}

TBusyCursor::~TBusyCursor() {
    if (--g_depth == 0 && FrontEnd().busyEnd) FrontEnd().busyEnd();
}

}  // namespace platform
