// Every output of a run with the modern reading off must stay byte for byte
// what the program wrote before that reading existed. The expected files in
// tests/data/classic/expected were written by the build before it, from the
// sample site and a site holding every classic feature (three encodings,
// every classic tag, aliases of one file, missing files, outside addresses,
// links out of the folder, a "file:" reference, XMP and comments).
//
// VELMORAN_SAVE_GUARD=1 writes the expected files instead of comparing; only
// ever do that from a build that predates a change to the classic reading.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
const std::string kData = std::string(VELMORAN_SOURCE_DIR) + "/tests/data/classic";

struct TGuardCase {
    const char* name;
    const char* site;  // folder below the temporary root
    std::vector<std::string> sets;
};

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// Removes what the modern reading adds to every JSON result: the "kind" of
// each part and the setting itself. Nothing else may change.
nlohmann::json WithoutKinds(nlohmann::json doc) {
    doc["settings"].erase("modern");
    for (auto& page : doc["pages"])
        for (auto& part : page["parts"]) part.erase("kind");
    return doc;
}

class ClassicGuard : public ::testing::TestWithParam<TGuardCase> {};

TEST_P(ClassicGuard, OutputsMatchTheSavedOnes) {
    const TGuardCase& c = GetParam();
    TempDir root;
    fs::create_directories(root / "classic");
    fs::create_directories(root / "sample");
    fs::copy(kData + "/site", root / "classic/site", fs::copy_options::recursive);
    fs::copy(kData + "/other", root / "classic/other", fs::copy_options::recursive);
    fs::copy(std::string(VELMORAN_SOURCE_DIR) + "/examples/site", root / "sample/site", fs::copy_options::recursive);
    // Fixed file times, so that the JSON dates do not depend on the checkout.
    for (auto& e : fs::recursive_directory_iterator(root.path())) {
        struct utimbuf t {
            1700000000, 1700000000
        };
        ::utime(e.path().c_str(), &t);
    }
    TempDir io;
    std::vector<std::string> args{"--quiet"};
    for (const std::string& s : c.sets) args.insert(args.end(), {"--set", s});
    const std::vector<std::pair<std::string, std::string>> outs{
        {"--text", "report.txt"}, {"--html", "report.html"}, {"--json", "result.json"}, {"--problems", "problems.txt"}};
    for (const auto& [opt, file] : outs) args.insert(args.end(), {opt, io / file});
    args.push_back(c.site);

    auto run = [&](std::vector<std::string> a, const std::string& outName) {
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(root.path().c_str()) != 0) _exit(127);
            setenv("VELMORAN_INI", (io / "none.ini").c_str(), 1);
            setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
            setenv("TZ", "UTC", 1);
            int out = open((io / outName).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open((io / (outName + ".err")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(VELMORAN_CLI_PATH)};
            for (const std::string& s : a) argv.push_back(const_cast<char*>(s.c_str()));
            argv.push_back(nullptr);
            execv(VELMORAN_CLI_PATH, argv.data());
            _exit(127);
        }
        int ws = 0;
        waitpid(pid, &ws, 0);
        return WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
    };
    const int status = run(args, "stdout.txt");
    std::vector<std::string> plain{"--quiet"};
    for (const std::string& s : c.sets) plain.insert(plain.end(), {"--set", s});
    plain.push_back(c.site);
    const int plainStatus = run(plain, "plain.txt");

    // The temporary root, absolute and in the file-URL form of the HTML report.
    auto normalise = [&](std::string s) {
        ReplaceAll(s, root.path(), "@ROOT@");
        ReplaceAll(s, root.path().substr(1), "@ROOT@");
        ReplaceAll(s, io.path(), "@IO@");
        return s;
    };
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& [opt, file] : outs) got.emplace_back(file, normalise(ReadNative(io / file)));
    got.emplace_back("stdout.txt.err", normalise(ReadNative(io / "stdout.txt.err")));
    got.emplace_back("plain.txt", normalise(ReadNative(io / "plain.txt")));
    got.emplace_back("plain.txt.err", normalise(ReadNative(io / "plain.txt.err")));
    got.emplace_back("status", std::to_string(status) + " " + std::to_string(plainStatus) + "\n");

    const std::string dir = kData + "/expected/" + c.name;
    const char* save = std::getenv("VELMORAN_SAVE_GUARD");
    if (save && std::string(save) == "1") {
        fs::create_directories(dir);
        for (const auto& [file, bytes] : got) std::ofstream(dir + "/" + file, std::ios::binary) << bytes;
        GTEST_SKIP() << "saved " << dir;
    }
    for (const auto& [file, bytes] : got) {
        const std::string want = ReadNative(dir + "/" + file);
        ASSERT_FALSE(want.empty() && file != "problems.txt" && file.find(".err") == std::string::npos)
            << "no saved " << dir << "/" << file;
        if (file == "result.json") {
            EXPECT_EQ(WithoutKinds(nlohmann::json::parse(bytes)), nlohmann::json::parse(want)) << c.name;
        } else {
            EXPECT_EQ(bytes, want) << c.name << ": " << file;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sites, ClassicGuard,
                         ::testing::Values(TGuardCase{"sample", "sample/site", {}},
                                           TGuardCase{"classic", "classic/site", {}},
                                           TGuardCase{"classic-options",
                                                      "classic/site/index.html",
                                                      {"OPTION/ANOTHERFOLDER=0", "CONFIG/SORTTYPE=1",
                                                       "CONFIG/FILESIZEDISP=3", "CONFIG/BPS=56000", "CONFIG/MODERN=0"}},
                                           TGuardCase{"classic-nolinks",
                                                      "classic/site/index.html",
                                                      {"CONFIG/LINKENABLED=0", "CONFIG/SORTORDER=1"}}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (ch == '-') ch = '_';
                             return n;
                         });

}  // namespace
