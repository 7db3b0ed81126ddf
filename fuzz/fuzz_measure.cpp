// Measures any bytes as a page file: the whole page path of the engine from
// the read through the encoding conversion and the scan to the resource
// look-ups. Links are only checked, never followed, so that an input naming
// pages elsewhere on the machine cannot make a run slow or depend on them.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/UDecodeHTML.h"
#include "engine/UHTMLList.h"
#include "settings/Uenviron.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// A folder of its own for the page, removed when the process ends.
struct TFolder {
    std::string path;
    TFolder() {
        char tmpl[] = "/tmp/fuzz-measure-XXXXXX";
        Check(::mkdtemp(tmpl) != nullptr);
        path = tmpl;
        std::ofstream(path + "/img.gif") << "GIF89a";
    }
    ~TFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::string& Folder() {
    static const TFolder folder;
    return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    EnvSettings.LinkEnabled = false;
    // Half of the inputs take the modern reading (its sheets are read too).
    EnvSettings.Modern = size % 2 == 1;
    const std::string page = Folder() + "/page.html";
    {
        std::ofstream f(page, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    FileList.Clear();
    ErrorLog.Clear();
    bool stop = false;
    int lines = 0;
    MeasureFile(Folder() + "/", page, stop, {}, [&](const std::string&) { ++lines; });

    // The page itself is always measured, with the weight of its parts.
    Check(FileList.Count() == 1);
    const THTMLFileInfo* p = FileList[0];
    Check(p->HTMLSize == static_cast<int64_t>(size));
    Check(p->Items.Count() >= 1 && p->Items[0]->IsHTML);
    int64_t sum = 0;
    for (const THTMLFileInfo* part : p->Items) sum += part->TotalSize;
    Check(sum == p->TotalSize);
    Check(lines == ErrorLog.Count());
    for (char c : p->Title) Check(static_cast<unsigned char>(c) >= 32);
    return 0;
}
