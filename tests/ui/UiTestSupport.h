// Shared set-up of the window tests: a private settings file, the font
// aliases, message boxes and launches caught instead of shown, and result
// records made by hand.
#pragma once

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "settings/Uenviron.h"
#include "ui/QtText.h"
#include "ui/UControls.h"
#include "ui/UFonts.h"
#include "ui/ULaunch.h"
#include "ui/UWindowHooks.h"
#include "ui/UnitMain.h"

namespace uitest {

// One temporary folder per test program; the settings file lives in it, so
// no test touches a real one.
inline QTemporaryDir& TestDir() {
    static QTemporaryDir dir = [] {
        const QByteArray base = qgetenv("VELMORAN_TEST_TMP");
        if (!base.isEmpty()) QDir().mkpath(QString::fromLocal8Bit(base));
        return base.isEmpty() ? QTemporaryDir() : QTemporaryDir(QString::fromLocal8Bit(base) + "/ui-XXXXXX");
    }();
    return dir;
}

inline QString IniPath() { return TestDir().filePath("VELMORAN.INI"); }

// Messages the core wanted to show, in order.
inline std::vector<platform::TMessageRequest>& Messages() {
    static std::vector<platform::TMessageRequest> messages;
    return messages;
}

inline std::vector<TLaunchRequest>& Launches() {
    static std::vector<TLaunchRequest> launches;
    return launches;
}

// Call from initTestCase.
inline void SetUpEnvironment() {
    QVERIFY(TestDir().isValid());
    qputenv("VELMORAN_INI", IniPath().toUtf8());
    SetUpFontAliases();
    QApplication::setFont(WindowFont());
    platform::FrontEnd().messageBox = [](const platform::TMessageRequest& r) {
        Messages().push_back(r);
        return r.defaultButton;
    };
    WindowHooks().launch = [](const TLaunchRequest& r) { Launches().push_back(r); };
}

// Call from init: defaults, empty results, no settings file, the program's
// own folder as the current one.
inline void ResetState() {
    EnvSettings = TEnvSettings{};
    FileList.Clear();
    ErrorLog.Clear();
    InputList.clear();
    Messages().clear();
    Launches().clear();
    QFile::remove(IniPath());
    platform::SetCurrentDir(VELMORAN_SOURCE_DIR);
}

// A window as the program shows it, waiting until it is on screen.
inline std::unique_ptr<TFormMain> ShowWindow() {
    auto form = std::make_unique<TFormMain>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) return nullptr;
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get())) return nullptr;
    return form;
}

// CP932 path of something in the source tree.
inline std::string SourcePath(const char* rel) {
    return *platform::FromNative(std::string(VELMORAN_SOURCE_DIR) + "/" + rel);
}

// A page record with its own part and parts of the given sizes; the page's
// weight is their sum.
inline THTMLFileInfo* AddPage(const std::string& fileName, int64_t htmlSize,
                              std::vector<std::pair<std::string, int64_t>> parts = {}, uint8_t kanjiCode = Sjis) {
    auto* page = new THTMLFileInfo;
    page->FileName = fileName;
    page->HTMLSize = page->TotalSize = htmlSize;
    page->KanjiCode = kanjiCode;
    auto* self = new THTMLFileInfo;
    self->FileName = fileName;
    self->TotalSize = htmlSize;
    self->IsHTML = true;
    page->Items.Add(self);
    for (const auto& [name, size] : parts) {
        auto* part = new THTMLFileInfo;
        part->FileName = name;
        part->TotalSize = size;
        page->Items.Add(part);
        page->TotalSize += size;
    }
    FileList.Add(page);
    return page;
}

// Puts one row per FileList entry into the page list, as the end of a run does.
inline void ShowFileList(TFormMain& form) {
    form.HTMLListBox->Clear();
    for (int i = 0; i < FileList.Count(); ++i) form.HTMLListBox->AddItem(std::string());
    form.ShownIndex = -1;
    form.HTMLSource->Clear();
}

inline QPoint RowPoint(TOwnerDrawList* list, int row) {
    return QPoint(20, (row - list->TopIndex()) * list->ItemHeight() + list->ItemHeight() / 2);
}

inline std::string Sj(const char* utf8) { return platform::Utf8ToCp932Literal(utf8); }

inline QString FileNameOfRow(int row) { return Q(platform::ExtractFileName(FileList[row]->FileName)); }

}  // namespace uitest
