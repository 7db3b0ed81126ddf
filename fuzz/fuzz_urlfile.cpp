// Any bytes as an internet-shortcut (.url) file given as input: the file is
// read as a settings file, its URL key turned into a path and checked. The
// address may name anything on the machine; only its existence is tested.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/UInputResolve.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/FrontEnd.h"
#include "settings/Uenviron.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// A folder of its own for the file, removed when the process ends.
struct TFolder {
    std::string path;
    TFolder() {
        char tmpl[] = "/tmp/fuzz-urlfile-XXXXXX";
        Check(::mkdtemp(tmpl) != nullptr);
        path = tmpl;
        std::ofstream(path + "/page.html") << "<html></html>";
        std::filesystem::create_directory(path + "/sub");
    }
    ~TFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const TFolder& Folder() {
    static const TFolder folder;
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int boxes = 0;
    static const bool hooked = [] {
        platform::FrontEnd().messageBox = [](const platform::TMessageRequest& r) {
            ++boxes;
            return r.defaultButton;
        };
        return true;
    }();
    (void)hooked;
    const std::string file = Folder().path + "/shortcut.url";
    {
        std::ofstream f(file, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    // Relative targets are taken against the current folder: the file's
    // own. The fuzzer's folder is put back afterwards, as the resolution
    // moves it and libFuzzer reads its corpus by relative names.
    static const std::string startDir = platform::GetCurrentDir();
    Check(platform::SetCurrentDir(Folder().path + "/"));
    const int before = boxes;
    TResolvedInput r = ResolveInput(file);
    const std::string movedTo = platform::GetCurrentDir();
    Check(platform::SetCurrentDir(startDir));

    // A refusal says why and leaves nothing to measure; the resolution
    // never shows a box itself.
    Check(r.Refused == !r.Message.empty());
    Check(boxes == before);
    if (r.Refused) Check(r.Path.empty() && !r.Exists);
    // The path is a full one, so that the current folder the resolution
    // moved to cannot change what it names: what was found is measured.
    if (!r.Path.empty()) Check(r.Path[0] == '/');
    if (r.IsFolder) Check(r.Exists && r.Path.back() == '/' && platform::DirectoryExists(r.Path));
    if (r.Exists && !r.IsFolder) Check(platform::FileExists(r.Path));
    if (r.Exists) Check(movedTo.size() <= r.Path.size() && r.Path.compare(0, movedTo.size(), movedTo) == 0);
    return 0;
}
