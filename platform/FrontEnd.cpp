#include "platform/FrontEnd.h"

namespace platform {

TFrontEnd& FrontEnd() {
    static TFrontEnd frontEnd;
    return frontEnd;
}

TFrontEndScope::TFrontEndScope() : saved_(FrontEnd()) {}

TFrontEndScope::TFrontEndScope(TFrontEnd frontEnd) : saved_(FrontEnd()) { FrontEnd() = std::move(frontEnd); }

TFrontEndScope::~TFrontEndScope() { FrontEnd() = std::move(saved_); }

}  // namespace platform
