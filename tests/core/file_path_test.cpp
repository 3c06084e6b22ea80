#include "core/file_path.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

// One folder with a file, a second file of the same bytes, a link to the
// file, a hard link, a linked folder and a link to a name not yet there:
//   data/in.EIN, data/copy.EIN, data/link.EIN -> in.EIN, data/hard.EIN,
//   alias -> data, data/later -> new.AUS
class SameFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(Path("data"));
        test_support::WriteBytes(Path("data/in.EIN"), "1\r\n2 1\r\n");
        test_support::WriteBytes(Path("data/copy.EIN"), "1\r\n2 1\r\n");
        std::filesystem::create_symlink("in.EIN", Path("data/link.EIN"));
        std::filesystem::create_hard_link(Path("data/in.EIN"), Path("data/hard.EIN"));
        std::filesystem::create_directory_symlink("data", Path("alias"));
        std::filesystem::create_symlink("new.AUS", Path("data/later"));
    }

    std::string Path(const std::string& name) const { return folder.Path(name); }

    test_support::TempFolder folder;
};

TEST_F(SameFile, ExistingFilesByDeviceAndInodeOthersByResolvedName)
{
    struct Case {
        const char* first;
        const char* second;
        bool same;
    };
    const Case cases[] = {
        {"data/in.EIN", "data/in.EIN", true},
        {"data/in.EIN", "data/./in.EIN", true},
        {"data/in.EIN", "data/../data/in.EIN", true},
        {"data/in.EIN", "data/link.EIN", true},
        {"data/in.EIN", "data/hard.EIN", true},
        {"data/in.EIN", "alias/in.EIN", true},
        {"data/in.EIN", "data/copy.EIN", false}, // the same bytes are not the same file
        {"data/in.EIN", "data/new.AUS", false},  // one of them not there yet
        {"data/in.EIN", "data", false},
        // Neither there yet: by name, the folder's link resolved.
        {"data/new.AUS", "alias/new.AUS", true},
        {"data/new.AUS", "data/./new.AUS", true},
        {"data/new.AUS", "data/later", true}, // a link to the name not yet there
        {"data/new.AUS", "data/new.png", false},
        {"data/new.AUS", "missing/new.AUS", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSameFile(Path(c.first), Path(c.second)), c.same) << c.first << " / " << c.second;
        EXPECT_EQ(IsSameFile(Path(c.second), Path(c.first)), c.same) << c.second << " / " << c.first;
    }
    EXPECT_FALSE(IsSameFile("", ""));
    EXPECT_FALSE(IsSameFile(Path("data/in.EIN"), ""));
}

TEST_F(SameFile, RelativeAndAbsoluteNamesOfOneFile)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(Path("data"));
    const bool existing = IsSameFile("in.EIN", Path("data/in.EIN"));
    const bool notYetThere = IsSameFile("./new.AUS", Path("alias/new.AUS"));
    std::filesystem::current_path(before);
    EXPECT_TRUE(existing);
    EXPECT_TRUE(notYetThere);
}

TEST_F(SameFile, FollowLinksToTheEndOfTheChain)
{
    std::filesystem::create_directory(Path("other"));
    std::filesystem::create_symlink("../data/link.EIN", Path("other/second"));
    std::filesystem::create_symlink("loop", Path("loop"));
    EXPECT_EQ(std::filesystem::path(FollowLinks(Path("other/second"))).lexically_normal(),
              std::filesystem::path(Path("data/in.EIN")).lexically_normal());
    EXPECT_EQ(FollowLinks(Path("data/later")), Path("data/new.AUS"));
    EXPECT_EQ(FollowLinks(Path("data/in.EIN")), Path("data/in.EIN"));
    EXPECT_EQ(FollowLinks(Path("loop")), Path("loop")); // stops, does not hang
}

// The names of the process's own descriptors, however reached; other
// processes' descriptors and ordinary names are none.
TEST_F(SameFile, OwnDescriptorsByTheirNames)
{
    std::filesystem::create_symlink("/dev/stdout", Path("to-stdout"));
    const std::string own = "/proc/" + std::to_string(getpid());
    const struct {
        std::string name;
        int descriptor;
    } cases[] = {
        {"/dev/stdout", 1},
        {"/dev/stderr", 2},
        {"/dev/fd/7", 7},
        {"/proc/self/fd/12", 12},
        {"/proc/thread-self/fd/0", 0},
        {own + "/fd/5", 5},
        {own + "/task/" + std::to_string(getpid()) + "/fd/6", 6},
        {Path("to-stdout"), 1},
        {"/proc/self/fd/x", -1},
        {"/proc/self/fdinfo/1", -1},
        {"/proc/1/fd/1", getpid() == 1 ? 1 : -1},
        {"/dev/null", -1},
        {Path("data/link.EIN"), -1},
        {"fd/1", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OwnDescriptorOf(c.name), c.descriptor) << c.name;
}

} // namespace
