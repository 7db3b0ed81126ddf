// The window program: fonts, the core's seams, the main window, the settings,
// then the paths given on the command line.
#include <QApplication>
#include <QTimer>
#include <string>
#include <vector>

#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"
#include "ui/UFonts.h"
#include "ui/UPlatformHooks.h"
#include "ui/UnitMain.h"

int main(int argc, char* argv[]) {
    DetectShortcutSupport();
    ReadStartFlags();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(VersionText));
    SetUpFontAliases();
    QApplication::setFont(WindowFont());
    InstallPlatformHooks();

    TFormMain form;
    LoadSettings(&form);
    // Without a settings file nothing has shown the window yet.
    if (!form.isVisible()) form.show();

    // The arguments as the file system names them (CP932 inside).
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const auto cp = platform::FromNative(argv[i]);
        args.push_back(cp ? *cp : Utf8ToCp932(argv[i]));
    }
    // Measured from inside the event loop, so that closing the window during
    // this first run ends the program as any later close does.
    QTimer::singleShot(0, &form, [&form, args] { form.ProcessCommandLine(args); });
    return app.exec();
}
