// The measurement's own expansion must agree with the platform's on every
// path, or resource keys and page names would drift apart.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine/UPathExpand.h"
#include "platform/FileSystem.h"

namespace {

std::string Expand(std::string_view path, std::string_view base) {
    std::string out = "left over from an earlier call";
    ExpandFileNameInto(out, path, base);
    return out;
}

}  // namespace

TEST(PathExpand, AgreesWithThePlatformOnHandPickedPaths) {
    const char* paths[] = {"",
                           "/",
                           "a",
                           "a/",
                           "/a/b/../c",
                           "../../x",
                           "./a/./b/",
                           "a//b",
                           "..",
                           ".",
                           "/..",
                           "a/..",
                           "a/../",
                           "\x95\x5c/\x83\x7c.html",
                           "../img/i001.gif",
                           "//host/x"};
    const char* bases[] = {"", "/", "/srv/site/", "/srv/site", "rel/dir/", "/a/b/c/d/"};
    for (const char* p : paths)
        for (const char* b : bases)
            EXPECT_EQ(Expand(p, b), platform::ExpandFileName(p, b)) << "path '" << p << "' base '" << b << "'";
}

TEST(PathExpand, AgreesWithThePlatformOnRandomPaths) {
    std::mt19937 rng(20240501);
    const char* pieces[] = {"/", ".", "..", "a", "bc", "\x95\x5c", "/./", "/../", "//"};
    auto make = [&] {
        std::string s;
        const int n = static_cast<int>(rng() % 8);
        for (int i = 0; i < n; ++i) s += pieces[rng() % std::size(pieces)];
        return s;
    };
    for (int k = 0; k < 20000; ++k) {
        const std::string p = make(), b = make();
        ASSERT_EQ(Expand(p, b), platform::ExpandFileName(p, b)) << "path '" << p << "' base '" << b << "'";
    }
}

// The shortcut that skips expanding a path must only ever skip a no-op.
TEST(PathExpand, ExpandedPathsAreExactlyThoseThatExpandToThemselves) {
    std::mt19937 rng(7);
    const char* pieces[] = {"/", ".", "..", "a", ".b", "c.", "\x95\x5c", "/./", "/../", "//"};
    int expanded = 0;
    for (int k = 0; k < 20000; ++k) {
        std::string p;
        const int n = static_cast<int>(rng() % 7);
        for (int i = 0; i < n; ++i) p += pieces[rng() % std::size(pieces)];
        const bool same = platform::ExpandFileName(p, "/base/") == p;
        ASSERT_EQ(IsExpandedPath(p), same) << "path '" << p << "'";
        expanded += same;
    }
    EXPECT_GT(expanded, 500);
    EXPECT_TRUE(IsExpandedPath("/srv/site/a.html"));
    EXPECT_TRUE(IsExpandedPath("/srv/site/"));
    EXPECT_FALSE(IsExpandedPath("/srv/./a.html"));
    EXPECT_FALSE(IsExpandedPath("srv/a.html"));
}
