#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

TempDir::TempDir() {
    const char* root = std::getenv("VELMORAN_TEST_TMP");
    fs::path base = root && *root ? fs::path(root) : fs::temp_directory_path();
    fs::create_directories(base);
    std::string tmpl = (base / "vm-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only folders made by a test must not keep their contents alive.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::Write(std::string_view rel, std::string_view bytes) const {
    fs::path p = fs::path(path_) / fs::path(std::string(rel));
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

std::string TempDir::MakeDir(std::string_view rel) const {
    fs::path p = fs::path(path_) / fs::path(std::string(rel));
    fs::create_directories(p);
    return p.string();
}

std::string ReadNative(const std::string& nativePath) {
    std::ifstream f(nativePath, std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    return ss.str();
}
