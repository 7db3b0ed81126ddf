// Any bytes as a settings file: every section and key can be read, values
// never exceed the read limit, saving and loading again gives the same file
// and the same values, and a value written is the value read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Encoding.h"
#include "platform/Profile.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

// What WriteString makes of a value: a single line.
std::string OneLine(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c == '\r' || c == '\n') c = ' ';
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::TIniFile ini;
    ini.LoadFromBytes(bytes);

    struct Seen {
        std::string section, key, value;
        int32_t number;
    };
    std::vector<Seen> seen;
    for (const std::string& section : ini.ReadSections()) {
        Check(ini.SectionExists(section));
        for (const std::string& key : ini.ReadSection(section)) {
            Check(ini.ValueExists(section, key));
            std::string v = ini.ReadString(section, key, "");
            Check(v.size() <= platform::TIniFile::kMaxValueLength);
            int32_t n = ini.ReadInteger(section, key, 12345);
            bool b = ini.ReadBool(section, key, true);
            Check(b == (n != 0));
            seen.push_back({section, key, std::move(v), n});
        }
    }

    // Saving is stable, and loading what was saved reads the same.
    std::string saved = ini.ToBytes();
    platform::TIniFile again;
    again.LoadFromBytes(saved);
    Check(again.ToBytes() == saved);
    for (const Seen& s : seen) {
        Check(again.ReadString(s.section, s.key, "") == s.value);
        Check(again.ReadInteger(s.section, s.key, 12345) == s.number);
    }

    // Writing every value back changes none of them; a value taken from the
    // input, written under a new key, reads back as written.
    for (const Seen& s : seen) again.WriteString(s.section, s.key, s.value);
    std::string value = OneLine(bytes.substr(0, platform::TIniFile::kMaxValueLength));
    again.WriteString("FUZZ", "VALUE", bytes.substr(0, platform::TIniFile::kMaxValueLength));
    again.WriteInteger("FUZZ", "NUMBER", static_cast<int32_t>(size * 2654435761u));
    platform::TIniFile third;
    third.LoadFromBytes(again.ToBytes());
    for (const Seen& s : seen) {
        // The FUZZ keys were written over since.
        if (platform::AnsiUpper(s.section) == "FUZZ") continue;
        Check(third.ReadString(s.section, s.key, "") == OneLine(s.value));
    }
    Check(third.ReadString("FUZZ", "VALUE", "?") == value);
    Check(third.ReadInteger("FUZZ", "NUMBER", 0) == static_cast<int32_t>(size * 2654435761u));

    // Erasing a section removes every occurrence.
    for (const std::string& section : third.ReadSections()) {
        third.EraseSection(section);
        Check(!third.SectionExists(section));
    }
    Check(third.ReadSections().empty());
    return 0;
}
