#include "outside/YKShortCutLib.h"

#include <cstring>

#include "outside/YKFileUtils.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"

namespace {

constexpr uint32_t kHeaderSize = 0x4C;
// {00021401-0000-0000-C000-000000000046} as stored (first three fields little-endian).
constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Link flags.
constexpr uint32_t kHasLinkTargetIDList = 0x001;
constexpr uint32_t kHasLinkInfo = 0x002;
constexpr uint32_t kHasName = 0x004;
constexpr uint32_t kHasRelativePath = 0x008;
constexpr uint32_t kHasWorkingDir = 0x010;
constexpr uint32_t kHasArguments = 0x020;
constexpr uint32_t kHasIconLocation = 0x040;
constexpr uint32_t kIsUnicode = 0x080;
constexpr uint32_t kForceNoLinkInfo = 0x100;

// Link info flags.
constexpr uint32_t kVolumeIDAndLocalBasePath = 0x1;
constexpr uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;

// Real shortcuts are a few kilobytes; anything far larger is not one, and
// must not be read whole into memory.
constexpr int64_t kMaxShortcutBytes = 1 << 20;

uint16_t Le16(std::string_view d, size_t off) {
    return static_cast<uint16_t>(static_cast<unsigned char>(d[off]) | static_cast<unsigned char>(d[off + 1]) << 8);
}

uint32_t Le32(std::string_view d, size_t off) {
    return static_cast<uint32_t>(Le16(d, off)) | static_cast<uint32_t>(Le16(d, off + 2)) << 16;
}

// A bounds-checked cursor over the file.
class Cursor {
public:
    explicit Cursor(std::string_view d) : d_(d) {}
    size_t Pos() const { return pos_; }
    bool Take(size_t n, std::string_view& out) {
        if (n > d_.size() - pos_) return false;
        out = d_.substr(pos_, n);
        pos_ += n;
        return true;
    }
    bool U16(uint16_t& v) {
        std::string_view b;
        if (!Take(2, b)) return false;
        v = Le16(b, 0);
        return true;
    }
    bool U32(uint32_t& v) {
        std::string_view b;
        if (!Take(4, b)) return false;
        v = Le32(b, 0);
        return true;
    }

private:
    std::string_view d_;
    size_t pos_ = 0;
};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16LE code units -> CP932, ending at the first NUL as the shell's own
// string buffers do. Lone surrogates become U+FFFD; characters without a
// CP932 form are kept visible as <U+XXXX>.
std::string Utf16ToCp932(std::string_view bytes) {
    std::string utf8;
    size_t units = bytes.size() / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t u = Le16(bytes, 2 * i);
        if (u == 0) break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t lo = Le16(bytes, 2 * (i + 1));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                AppendUtf8(utf8, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        AppendUtf8(utf8, u);
    }
    return platform::Utf8ToCp932(utf8);
}

// ANSI strings are in the system code page, CP932 on the systems these
// shortcuts come from.
std::string AnsiText(std::string_view bytes) {
    size_t nul = bytes.find('\0');
    return std::string(nul == std::string_view::npos ? bytes : bytes.substr(0, nul));
}

// A NUL-terminated string at off inside block. False when off lies outside
// or no terminator follows within the block.
bool AnsiZ(std::string_view block, uint32_t off, std::string& out) {
    if (off >= block.size()) return false;
    std::string_view rest = block.substr(off);
    size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) return false;
    out.assign(rest.substr(0, nul));
    return true;
}

bool UnicodeZ(std::string_view block, uint32_t off, std::string& out) {
    if (off >= block.size()) return false;
    std::string_view rest = block.substr(off);
    for (size_t i = 0; i + 1 < rest.size(); i += 2) {
        if (Le16(rest, i) == 0) {
            out = Utf16ToCp932(rest.substr(0, i));
            return true;
        }
    }
    return false;
}

// The item-id list is not needed for the path, but its structure must hold.
bool CheckIdList(std::string_view list) {
    size_t pos = 0;
    while (list.size() - pos >= 2) {
        uint16_t size = Le16(list, pos);
        if (size == 0) return true;
        if (size < 2 || size > list.size() - pos) return false;
        pos += size;
    }
    return false;
}

// The target path stored in the link info, CP932 with the separators as
// written; empty when the link info holds none.
bool ParseLinkInfo(std::string_view li, std::string& target) {
    target.clear();
    if (li.size() < 0x1C) return false;
    uint32_t headerSize = Le32(li, 4);
    uint32_t flags = Le32(li, 8);
    uint32_t localBaseOff = Le32(li, 16);
    uint32_t networkOff = Le32(li, 20);
    uint32_t suffixOff = Le32(li, 24);
    if (headerSize < 0x1C || headerSize > li.size()) return false;
    uint32_t localBaseOffW = 0, suffixOffW = 0;
    if (headerSize >= 0x24) {
        localBaseOffW = Le32(li, 28);
        suffixOffW = Le32(li, 32);
    }
    // Offset 0 would point at the header itself: taken as "not stored".
    std::string suffix;
    if (suffixOffW != 0) {
        if (!UnicodeZ(li, suffixOffW, suffix)) return false;
    } else if (suffixOff != 0) {
        if (!AnsiZ(li, suffixOff, suffix)) return false;
    }
    if (flags & kVolumeIDAndLocalBasePath) {
        std::string base;
        if (localBaseOffW != 0) {
            if (!UnicodeZ(li, localBaseOffW, base)) return false;
        } else if (localBaseOff != 0) {
            if (!AnsiZ(li, localBaseOff, base)) return false;
        }
        if (!base.empty()) {
            target = base + suffix;
            return true;
        }
    }
    if (flags & kCommonNetworkRelativeLinkAndPathSuffix) {
        if (networkOff == 0 || networkOff >= li.size() || li.size() - networkOff < 0x14) return false;
        std::string_view net = li.substr(networkOff);
        uint32_t netSize = Le32(net, 0);
        if (netSize < 0x14 || netSize > net.size()) return false;
        net = net.substr(0, netSize);
        uint32_t nameOff = Le32(net, 8);
        std::string name;
        if (nameOff > 0x14 && netSize >= 0x1C && Le32(net, 0x14) != 0) {
            if (!UnicodeZ(net, Le32(net, 0x14), name)) return false;
        } else if (!AnsiZ(net, nameOff, name)) {
            return false;
        }
        if (!name.empty()) {
            target = name;
            if (!suffix.empty() && target.back() != '\\' && suffix[0] != '\\') target += '\\';
            target += suffix;
        }
    }
    return true;
}

bool IsDrivePath(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsNetworkPath(std::string_view p) { return p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1]); }

// A shortcut stores Windows paths. On this system the target becomes:
//  - a target already written as a "/" path: kept, "\" turned into "/";
//  - a drive path ("C:\x\y") or network path ("\\server\share\x"), which
//    means nothing here: the relative path the shortcut also stores,
//    resolved against the shortcut's own folder, when both are known (a site
//    copied over with its shortcuts keeps working); otherwise the path with
//    "/" separators ("C:/x/y"), which names nothing and is reported missing;
//  - no target in the link info (only an item-id list, which is not
//    decoded): the relative path in the same way, else empty;
//  - anything else: "\" turned into "/".
// All conversions skip trail bytes of double-byte characters.
std::string MapTargetPath(std::string target, std::string relative, std::string_view linkFolder) {
    const bool foreign = target.empty() || IsDrivePath(target) || IsNetworkPath(target);
    if (foreign && !relative.empty() && !linkFolder.empty()) {
        platform::SjisReplaceChar(relative, '\\', '/');
        return platform::ExpandFileName(relative, linkFolder);
    }
    platform::SjisReplaceChar(target, '\\', '/');
    return target;
}

}  // namespace

bool ParseShortcutBytes(std::string_view data, TShortCutInfo& info, std::string_view linkFolder) {
    Cursor in(data);
    std::string_view header;
    if (!in.Take(kHeaderSize, header)) return false;
    if (Le32(header, 0) != kHeaderSize || std::memcmp(header.data() + 4, kLinkClsid, sizeof kLinkClsid) != 0)
        return false;
    const uint32_t flags = Le32(header, 0x14);
    TShortCutInfo r;
    r.IconIndex = static_cast<int32_t>(Le32(header, 0x38));
    switch (Le32(header, 0x3C)) {
        case 3:
            r.ShowState = 2;
            break;
        case 7:
            r.ShowState = 1;
            break;
        default:
            r.ShowState = 0;
            break;
    }

    if (flags & kHasLinkTargetIDList) {
        uint16_t size = 0;
        std::string_view list;
        if (!in.U16(size) || !in.Take(size, list) || !CheckIdList(list)) return false;
    }

    std::string target;
    if (flags & kHasLinkInfo) {
        // The size counts its own four bytes, and offsets inside the link
        // info count from its first byte.
        const size_t start = in.Pos();
        uint32_t size = 0;
        std::string_view rest;
        if (!in.U32(size) || size < 4 || !in.Take(size - 4, rest)) return false;
        if (!ParseLinkInfo(data.substr(start, size), target)) return false;
        if (flags & kForceNoLinkInfo) target.clear();
    }

    const bool unicode = flags & kIsUnicode;
    auto readString = [&](uint32_t flag, std::string& out) {
        if (!(flags & flag)) return true;
        uint16_t count = 0;
        std::string_view bytes;
        if (!in.U16(count) || !in.Take(unicode ? 2u * count : count, bytes)) return false;
        out = unicode ? Utf16ToCp932(bytes) : AnsiText(bytes);
        return true;
    };
    std::string relative;
    if (!readString(kHasName, r.Description) || !readString(kHasRelativePath, relative) ||
        !readString(kHasWorkingDir, r.WorkingDirectory) || !readString(kHasArguments, r.Arguments) ||
        !readString(kHasIconLocation, r.IconLocation))
        return false;

    // Extra data blocks up to the terminal block (a size below 4).
    for (;;) {
        uint32_t size = 0;
        if (!in.U32(size)) return false;
        if (size < 4) break;
        std::string_view block;
        if (size < 8 || !in.Take(size - 4, block)) return false;
    }

    r.Path = MapTargetPath(std::move(target), std::move(relative), linkFolder);
    info = std::move(r);
    return true;
}

bool ReadShortcut(const std::string& path, TShortCutInfo& info) {
    if (path.empty()) return false;
    const std::string full = platform::ExpandFileName(path);
    // Only a regular file of sensible size is read: a FIFO would block and a
    // huge file would be loaded whole.
    platform::FileInfo fi = platform::Stat(full);
    if (!fi.isRegular || fi.size > kMaxShortcutBytes) return false;
    std::string data;
    if (!platform::ReadWholeFile(full, data) || static_cast<int64_t>(data.size()) > kMaxShortcutBytes) return false;
    return ParseShortcutBytes(data, info, platform::ExtractFilePath(full));
}

std::string GetShortcutTarget(const std::string& path) {
    TShortCutInfo info;
    return ReadShortcut(path, info) ? info.Path : std::string();
}

std::string ResolveInputPath(const std::string& path, bool resolve) {
    std::string p = GetLongPath(path);
    if (resolve && platform::AnsiUpper(platform::ExtractFileExt(p)) == ".LNK") {
        std::string target = GetShortcutTarget(p);
        if (!target.empty()) {
            // A Windows drive or network target that could not be mapped is
            // shown as stored; expanding it against the current folder would
            // make it look like a local path.
            p = IsDrivePath(target) || IsNetworkPath(target) ? target : GetLongPath(target);
        }
    }
    return p;
}
