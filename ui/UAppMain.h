// The program's start: shortcut support, the start flags, the
// single-instance check and hand-over, the main window, the settings, the
// command line and the message loop.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;
class TFormMain;

// The whole program; main() only calls this.
int RunApplication(int argc, char* argv[]);

// The window's side of the core's seams: message boxes whose Help button
// opens the help, the busy cursor, the clipboard, and the help of the
// configuration and export dialogs.
void InstallWindowHooks();

// Loads Qt's own Japanese texts (qtbase_ja.qm of the Qt installation) when
// they are installed; without them Qt's texts stay English.
void InstallQtTranslations();

// The hand-over of a second start: its argument count and its text, each
// argument (CP932) followed by "|", the whole ended by one NUL byte. With
// lnkFlag each argument is first resolved as a typed input would be (full
// path in this process's current folder, a shortcut replaced by its target).
std::string HandOverText(const std::vector<std::string>& args, bool lnkFlag);
// The bytes on the channel: count and text length as big-endian 32-bit
// numbers, then the text.
QByteArray EncodeHandOver(uint32_t count, const std::string& text);
// One complete message taken from the front of buffer; false while it is
// incomplete. tooLong is set for a text above MaxHandOverBytes.
bool DecodeHandOver(QByteArray& buffer, uint32_t& count, std::string& text, bool& tooLong);
inline constexpr uint32_t MaxHandOverBytes = 16u << 20;

// Name of the single-instance channel: the version text, the user id and a
// short key of the display (DISPLAY, WAYLAND_DISPLAY) and the settings file.
QString InstanceChannelName();

class TSingleInstance : public QObject {
public:
    TSingleInstance();
    // Closes the channel this process listens on, if any.
    ~TSingleInstance() override;

    // True when this process is to go on starting; false when it has handed
    // its arguments to the running instance, waited until that one finished
    // with them, and must end. Without single-instance mode always true; also
    // true (without the saved window geometry) when the running instance does
    // not take the arguments within a few seconds.
    bool CheckSingleInstance(const std::vector<std::string>& args);
    // From now on hand-overs of later starts go to this window.
    void Serve(TFormMain* form);
    bool Listening() const { return server_ != nullptr; }

private:
    void ReadFrom(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    TFormMain* form_ = nullptr;
};
