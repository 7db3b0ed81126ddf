#include <gtest/gtest.h>

#include "platform/BusyCursor.h"
#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/FrontEnd.h"

namespace {

// A scope gives back exactly what was installed before it, nested scopes
// included, so that one test's hooks never reach the next.
TEST(FrontEnd, ScopesPutBackWhatWasInstalled) {
    std::string copied;
    int busy = 0;
    {
        platform::TFrontEndScope outer;
        platform::FrontEnd().clipboard = [&](const std::string& text) { copied = text; };
        {
            platform::TFrontEndScope inner{platform::TFrontEnd{}};
            EXPECT_FALSE(platform::SetClipboardText("inner"));
            platform::FrontEnd().busyBegin = [&] { ++busy; };
            platform::TBusyCursor cursor;
        }
        EXPECT_TRUE(platform::SetClipboardText("outer"));
        platform::TBusyCursor cursor;  // the inner scope's cursor is gone
    }
    EXPECT_EQ(copied, "outer");
    EXPECT_EQ(busy, 1);
    EXPECT_FALSE(platform::SetClipboardText("none"));
    // No front end: the box answers unattended.
    platform::TMessageRequest r;
    r.buttons = platform::TMsgButtons::YesNo;
    r.defaultButton = platform::TMsgResult::Yes;
    r.unattended = platform::TMsgResult::No;
    testing::internal::CaptureStderr();
    EXPECT_EQ(platform::ShowMessageBox(r), platform::TMsgResult::No);
    testing::internal::GetCapturedStderr();
}

}  // namespace
