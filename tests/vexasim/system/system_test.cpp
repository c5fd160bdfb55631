// What vexasim needs of the system, as each build provides it (the same test runs
// natively and, cross-compiled, under Wine): files written byte for byte and
// replaced whole, folders made on the way, paths split at the system's separators.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "vexasim/system/system.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        root = fs::current_path() / ("system_test_" + std::to_string(ticks));
        ASSERT_TRUE(fs::create_directory(root));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string Path(const std::string& relative) const { return (root / relative).string(); }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(root), {})); }

    fs::path root;
};

TEST_F(SystemTest, WritesEveryByteAsGivenAndReplacesTheFileWhole) {
    const std::string text("line 1\nline 2\r\n\0 bytes \x1a\xff end", 30);
    std::string error;
    ASSERT_TRUE(vexasim::WriteFileAtomically(Path("data.txt"), text, error)) << error;
    EXPECT_EQ(ReadBytes(root / "data.txt"), text);  // no line-end translation, nothing cut at \0 or ^Z

    // An existing file is replaced (a plain rename would refuse on Windows), by a shorter one too.
    ASSERT_TRUE(vexasim::WriteFileAtomically(Path("data.txt"), "short\n", error)) << error;
    EXPECT_EQ(ReadBytes(root / "data.txt"), "short\n");
    ASSERT_TRUE(vexasim::WriteFileAtomically(Path("empty.txt"), "", error)) << error;
    EXPECT_TRUE(fs::exists(root / "empty.txt"));
    EXPECT_EQ(fs::file_size(root / "empty.txt"), 0u);
    EXPECT_EQ(Entries(), 2u);  // no temporary file left behind

    // A folder that is not there: an error naming the file, and nothing written.
    error.clear();
    EXPECT_FALSE(vexasim::WriteFileAtomically(Path("missing/data.txt"), "x", error));
    EXPECT_NE(error.find("data.txt"), std::string::npos) << error;
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(SystemTest, MakesTheFoldersOnTheWayAndRefusesAFileInTheWay) {
    EXPECT_TRUE(vexasim::MakeFolder(Path("a/b/c")));
    EXPECT_TRUE(fs::is_directory(root / "a" / "b" / "c"));
    EXPECT_TRUE(vexasim::MakeFolder(Path("a/b")));  // already there
    std::string error;
    ASSERT_TRUE(vexasim::WriteFileAtomically(Path("a/file"), "x", error)) << error;
    EXPECT_FALSE(vexasim::MakeFolder(Path("a/file")));
    EXPECT_FALSE(vexasim::MakeFolder(Path("a/file/d")));
    EXPECT_EQ(ReadBytes(root / "a" / "file"), "x");
}

TEST_F(SystemTest, PathsAreSplitAtTheLastSeparatorAndMadeAbsolute) {
    EXPECT_EQ(vexasim::LastSeparator("examples/amplifier.json"), 8u);
    EXPECT_EQ(vexasim::LastSeparator("out/demo/amplifier.json"), 8u);
    EXPECT_EQ(vexasim::LastSeparator("amplifier.json"), std::string::npos);

    std::string error;
    ASSERT_TRUE(vexasim::WriteFileAtomically(Path("module.bin"), "x", error)) << error;
    const std::string relative = fs::relative(root / "module.bin").string();
    const std::string absolute = vexasim::AbsolutePath(relative);
    EXPECT_TRUE(fs::path(absolute).is_absolute()) << absolute;
    EXPECT_TRUE(fs::equivalent(absolute, root / "module.bin")) << absolute;
}

}  // namespace
