#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/UNameSet.h"

// The run keeps pointers to entries and compares names it no longer owns:
// growing the map must move neither, and a name must be the map's own copy.
TEST(NameMap, EntriesAndNamesStayPutWhileTheMapGrows) {
    TNameMap<int> map;
    std::string name;
    std::vector<int*> held;
    for (int i = 0; i < 20000; ++i) {
        name = "/site/d" + std::to_string(i % 97) + "/p" + std::to_string(i) + ".html";
        ASSERT_EQ(map.Find(name), nullptr);
        held.push_back(&map.Insert(name, i));
        name.assign(name.size(), 'x');  // the caller's buffer is reused
    }
    ASSERT_EQ(map.size(), 20000u);
    for (int i = 0; i < 20000; ++i) {
        const std::string key = "/site/d" + std::to_string(i % 97) + "/p" + std::to_string(i) + ".html";
        int* found = map.Find(key);
        ASSERT_EQ(found, held[static_cast<size_t>(i)]) << key;
        EXPECT_EQ(*found, i);
    }
    EXPECT_EQ(map.Find(""), nullptr);
    map.Insert("", -1);  // an empty name is a name like any other
    ASSERT_NE(map.Find(""), nullptr);
    EXPECT_EQ(*map.Find(""), -1);
}
