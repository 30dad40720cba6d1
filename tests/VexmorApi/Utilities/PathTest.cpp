// "/"-separated path texts.
#include "VexmorApi/Utilities/Path.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Path, AppendJoinsWithOneSeparator)
{
    struct Case {
        char const *first, *second, *result;
    } const cases[] = {{"/", "x", "/x"}, {"a//", "b", "a/b"}, {"", "b", "b"}, {"a", "", "a"}, {"//", "x", "/x"}};
    for (Case const& c : cases) {
        EXPECT_EQ(Path::Append(c.first, c.second), c.result) << c.first << " + " << c.second;
    }
}

TEST(Path, LastComponentAndItsParent)
{
    struct Case {
        char const *path, *last, *without;
    } const cases[] = {{"/a/b/", "b", "/a"}, {"/a", "a", "/"},  {"name", "name", ""},
                       {"///", "/", "/"},    {"a/b", "b", "a"}, {"", "", ""}};
    for (Case const& c : cases) {
        EXPECT_EQ(Path::GetLastComponent(c.path), c.last) << c.path;
        EXPECT_EQ(Path::GetWithoutLastComponent(c.path), c.without) << c.path;
    }
}

TEST(Path, SplitJoinAndSuffixes)
{
    EXPECT_EQ(Path::Split("/a//b/"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Path::Join(Path::Split("/a//b/")), "a/b");
    EXPECT_TRUE(Path::HasExtension("page.tif", "tif"));
    EXPECT_FALSE(Path::HasExtension("pagetif", "tif"));
    EXPECT_FALSE(Path::HasExtension("page.", ""));
    EXPECT_EQ(Path::RemoveSuffixedSeparatorIfNeeded("//"), "/");
    EXPECT_EQ(Path::GetAbsolute("rel"), Path::Append(Path::GetCurrentDirectoryPath(), "rel"));
}

}  // namespace
