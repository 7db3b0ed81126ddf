#include "platform/BusyCursor.h"

namespace platform {

namespace {
struct Hooks {
    std::function<void()> begin, end;
    int depth = 0;
};
Hooks& State() {
    static Hooks hooks;
    return hooks;
}
}  // namespace

void SetBusyCursorHooks(std::function<void()> begin, std::function<void()> end) {
    State().begin = std::move(begin);
    State().end = std::move(end);
}

TBusyCursor::TBusyCursor() {
    if (State().depth++ == 0 && State().begin) State().begin();
}

TBusyCursor::~TBusyCursor() {
    if (--State().depth == 0 && State().end) State().end();
}

}  // namespace platform
