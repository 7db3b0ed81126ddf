#include "ui/UAppMain.h"

#include <unistd.h>

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <QtEndian>

#include "engine/UHTMLList.h"
#include "engine/UInputList.h"
#include "outside/YKShortCutLib.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "settings/Uenviron.h"
#include "ui/UConfig.h"
#include "ui/UExport.h"
#include "ui/UFonts.h"
#include "ui/UHelp.h"
#include "ui/UPlatformHooks.h"
#include "ui/UVersion.h"
#include "ui/UWindowHooks.h"
#include "ui/UnitMain.h"

namespace {

constexpr int kConnectTimeoutMs = 2000;
// A first instance that has not taken a hand-over within this time is not
// going to: the second start then opens its own window.
constexpr int kTakenTimeoutMs = 5000;
// A start-up check that waits longer than this for another one goes on
// regardless: a stuck instance must not keep every later start waiting.
constexpr int kStartLockTimeoutMs = 10000;
// The first instance answers twice: at once when it has taken a hand-over,
// and when it has finished with it.
const char kTakenReply = 'T';
const char kHandledReply = 'D';

// The next byte from the first instance; '\0' when none came within
// timeoutMs (-1: no limit) or the channel closed first.
char WaitForReply(QLocalSocket& socket, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (socket.bytesAvailable() == 0 && socket.state() == QLocalSocket::ConnectedState)
        if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) break;
    char reply = '\0';
    return socket.getChar(&reply) ? reply : '\0';
}

std::vector<std::string> NativeArguments(int argc, char* argv[]) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const auto cp = platform::FromNative(argv[i]);
        args.push_back(cp ? *cp : platform::Utf8ToCp932(argv[i]));
    }
    return args;
}

// Test hook: a file into which the first instance writes what a hand-over
// measured, after which it ends.
QString HandOverLogName() { return qEnvironmentVariable("VELMORAN_TEST_HANDOVER_LOG"); }

void WriteHandOverLog(const QString& name) {
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return;
    auto line = [&f](const char* tag, const std::string& text) {
        f.write(tag);
        f.write(" ");
        f.write(text.data(), static_cast<qint64>(text.size()));
        f.write("\n");
    };
    for (const std::string& input : InputList) line("INPUT", input);
    for (int i = 0; i < FileList.Count(); ++i) line("PAGE", FileList[i]->FileName);
    line("DONE", std::to_string(QDateTime::currentMSecsSinceEpoch()));
}

}  // namespace

std::string HandOverText(const std::vector<std::string>& args, bool lnkFlag) {
    std::string text;
    for (const std::string& arg : args) {
        text += lnkFlag ? ResolveInputPath(arg, true) : arg;
        text += '|';
    }
    text += '\0';
    return text;
}

QByteArray EncodeHandOver(uint32_t count, const std::string& text) {
    QByteArray bytes(8, '\0');
    qToBigEndian<quint32>(count, bytes.data());
    qToBigEndian<quint32>(static_cast<quint32>(text.size()), bytes.data() + 4);
    bytes.append(text.data(), static_cast<qsizetype>(text.size()));
    return bytes;
}

bool DecodeHandOver(QByteArray& buffer, uint32_t& count, std::string& text, bool& tooLong) {
    tooLong = false;
    if (buffer.size() < 8) return false;
    const quint32 length = qFromBigEndian<quint32>(buffer.constData() + 4);
    if (length > MaxHandOverBytes) {
        tooLong = true;
        return false;
    }
    if (static_cast<quint64>(buffer.size()) < 8 + static_cast<quint64>(length)) return false;
    count = qFromBigEndian<quint32>(buffer.constData());
    text.assign(buffer.constData() + 8, length);
    buffer.remove(0, 8 + static_cast<qsizetype>(length));
    return true;
}

QString InstanceChannelName() {
    // A start on another display, or with another settings file, is not
    // the same user's same program: it gets a window of its own.
    QCryptographicHash key(QCryptographicHash::Sha1);
    key.addData(qgetenv("DISPLAY"));
    key.addData(QByteArrayView("\0", 1));
    key.addData(qgetenv("WAYLAND_DISPLAY"));
    key.addData(QByteArrayView("\0", 1));
    const std::string settings = SettingsFileName();
    key.addData(QByteArrayView(settings.data(), static_cast<qsizetype>(settings.size())));
    return QString::fromLatin1(VersionText) + QStringLiteral("-") + QString::number(::getuid()) + QStringLiteral("-") +
           QString::fromLatin1(key.result().toHex().left(12));
}

TSingleInstance::TSingleInstance() = default;

TSingleInstance::~TSingleInstance() {
    if (server_) server_->close();
}

bool TSingleInstance::CheckSingleInstance(const std::vector<std::string>& args) {
    if (!EnvSettings.MultiExec) return true;
    const QString name = InstanceChannelName();

    // Two starts at the same moment must not both take the channel over.
    QLockFile startLock(QDir::tempPath() + "/" + name + ".lock");
    startLock.tryLock(kStartLockTimeoutMs);

    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(kConnectTimeoutMs)) {
        startLock.unlock();
        const std::string text = HandOverText(args, EnvSettings.LnkFlag);
        socket.write(EncodeHandOver(static_cast<uint32_t>(args.size()), text));
        socket.waitForBytesWritten(kTakenTimeoutMs);
        if (WaitForReply(socket, kTakenTimeoutMs) == kTakenReply) {
            // Then it answers once it has finished with the arguments, which
            // includes the whole run; a first instance that ends meanwhile
            // closes the channel, which ends the wait as well.
            WaitForReply(socket, -1);
            return false;
        }
        // Nobody took the files (an instance that hangs, or one that is
        // ending): this start measures them in a window of its own, without
        // the saved window geometry, as when the channel cannot be reached.
        socket.abort();
        EnvSettings.RestoreWindow = false;
        return true;
    }

    // Nobody answers: what is left is a channel of an instance that is gone.
    QLocalServer::removeServer(name);
    auto* server = new QLocalServer(this);
    if (server->listen(name)) {
        server_ = server;
        return true;
    }
    // The channel exists but cannot be served or reached: run on our own,
    // without the saved window geometry.
    delete server;
    EnvSettings.RestoreWindow = false;
    return true;
}

void TSingleInstance::Serve(TFormMain* form) {
    form_ = form;
    if (!server_) return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadFrom(socket); });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            ReadFrom(socket);
        }
    });
}

void TSingleInstance::ReadFrom(QLocalSocket* socket) {
    QPointer<QLocalSocket> guard(socket);
    if (socket->property("handled").toBool()) return;
    QByteArray buffer = socket->peek(socket->bytesAvailable());
    uint32_t count = 0;
    std::string text;
    bool tooLong = false;
    if (!DecodeHandOver(buffer, count, text, tooLong)) {
        if (tooLong) socket->abort();
        return;
    }
    socket->readAll();
    socket->setProperty("handled", true);
    if (!form_) return;
    socket->write(&kTakenReply, 1);
    socket->flush();

    // The receiver reads the text only up to its NUL byte.
    const size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    // The run takes place once this handler has returned: the sender may go
    // away at any moment of it, and its socket with it, which must not pull
    // the socket out from under a handler of its own that is still running.
    QTimer::singleShot(0, form_, [form = form_, guard, count, text] {
        form->ReceiveHandOver(count, text);
        const QString log = HandOverLogName();
        if (!log.isEmpty()) {
            WriteHandOverLog(log);
            QTimer::singleShot(0, form, [form] { form->close(); });
        }
        // The sender waits for this; one that has gone gets nothing.
        if (guard && guard->state() == QLocalSocket::ConnectedState) {
            guard->write(&kHandledReply, 1);
            guard->flush();
            guard->disconnectFromServer();
        }
    });
}

void InstallQtTranslations() {
    // Qt's own texts (file dialogs, standard buttons, the edit menus of the
    // text fields) speak Japanese with the rest of the window.
    auto* translator = new QTranslator(qApp);
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else delete translator;
}

void InstallWindowHooks() {
    InstallPlatformHooks([](int context) { ShowHelpContext(context); });
    WindowHooks().help = [](int context) { ShowHelpContext(context); };
}

int RunApplication(int argc, char* argv[]) {
    DetectShortcutSupport();
    ReadStartFlags();

    QApplication app(argc, argv);
    const std::vector<std::string> args = NativeArguments(argc, argv);
    TSingleInstance instance;  // the lock is held until the very end
    if (!instance.CheckSingleInstance(args)) return 0;

    QApplication::setApplicationName(QString::fromLatin1(VersionText));
    QApplication::setWindowIcon(ProgramIcon());
    SetUpFontAliases();
    QApplication::setFont(WindowFont());
    InstallQtTranslations();
    InstallWindowHooks();

    TFormMain form;
    // The two dialogs live as long as the window and keep their state.
    ConfigDialog(&form);
    ExportDialog(&form);
    instance.Serve(&form);
    LoadSettings(&form);
    // Without a settings file nothing has shown the window yet; a window
    // restored minimised is already shown and stays so.
    if (!form.isVisible()) form.show();

    // Measured from inside the event loop, so that closing the window during
    // this first run ends the program as any later close does.
    QTimer::singleShot(0, &form, [&form, args] { form.ProcessCommandLine(args); });
    return app.exec();
}
