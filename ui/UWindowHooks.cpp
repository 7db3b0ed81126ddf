#include "ui/UWindowHooks.h"

TWindowHooks& WindowHooks() {
    static TWindowHooks hooks;
    return hooks;
}

TWindowHooksScope::TWindowHooksScope() : saved_(WindowHooks()) {}

TWindowHooksScope::TWindowHooksScope(TWindowHooks hooks) : saved_(WindowHooks()) { WindowHooks() = std::move(hooks); }

TWindowHooksScope::~TWindowHooksScope() { WindowHooks() = std::move(saved_); }
