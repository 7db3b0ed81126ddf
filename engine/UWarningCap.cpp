#include "engine/UWarningCap.h"

#include "platform/Encoding.h"
#include "settings/Uenviron.h"

const std::string& TWarningCap::Notice() { return SJ("警告数が多いため、これ以上の警告出力を中止します！"); }

void TWarningCap::Report(const std::string& line) {
    if (stopped_) return;
    ++count_;
    if (EnvSettings.ErrorLogLimit && count_ > EnvSettings.ErrorLogMax) {
        stopped_ = true;
        if (show_) show_(Notice());
        return;
    }
    if (show_) show_(line);
}
