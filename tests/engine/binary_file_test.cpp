#include "engine/writers/binary_file.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>

#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using testing::ReadFile;
using testing::TempDir;

std::size_t FilesIn(const TempDir& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir.path("")), {}));
}

// A temporary file leaves no name behind, reads back what was written, and is copied onto the
// end of a target whole, across the write buffer's size; small contents never leave memory.
TEST(BinaryFile, TemporaryFilesAreUnnamedAndCopyWhole) {
    TempDir dir;
    std::string bytes(3 * (1 << 20) + 5, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    BinaryFile spool;
    spool.CreateTemporary(dir.str("scene.glb"));
    ASSERT_TRUE(spool.Write(bytes.substr(0, 7)));
    ASSERT_TRUE(spool.Write(bytes.substr(7)));
    EXPECT_EQ(spool.size(), bytes.size());
    EXPECT_EQ(FilesIn(dir), 0u);
    char back[4];
    ASSERT_TRUE(spool.ReadAt(bytes.size() - 4, back, 4));
    EXPECT_EQ(std::string(back, 4), bytes.substr(bytes.size() - 4));

    BinaryFile target;
    ASSERT_TRUE(target.Create(dir.str("scene.glb")));
    ASSERT_TRUE(target.Write("head"));
    ASSERT_TRUE(target.AppendCopyOf(spool));
    ASSERT_TRUE(target.Write("tail"));
    ASSERT_TRUE(target.WriteAt(1, "EA", 2));
    EXPECT_EQ(target.size(), bytes.size() + 8);
    ASSERT_TRUE(target.Close());
    EXPECT_EQ(ReadFile(dir.path("scene.glb")), "hEAd" + bytes + "tail");
    spool.Remove();
    EXPECT_EQ(FilesIn(dir), 1u);

    BinaryFile small;
    small.CreateTemporary(dir.str("scene.glb"));
    ASSERT_TRUE(small.Write("0123456789"));
    ASSERT_TRUE(small.ReadAt(3, back, 4));
    EXPECT_EQ(std::string(back, 4), "3456");
    BinaryFile copy;
    ASSERT_TRUE(copy.Create(dir.str("small.glb")));
    ASSERT_TRUE(copy.AppendCopyOf(small));
    ASSERT_TRUE(copy.Close());
    EXPECT_EQ(ReadFile(dir.path("small.glb")), "0123456789");
    // Once closed, a file is in its path's place: removing then drops nothing more.
    copy.Remove();
    target.Remove();
    EXPECT_EQ(FilesIn(dir), 2u);
}

TEST(BinaryFile, FailuresKeepTheSystemsReason) {
    TempDir dir;
    BinaryFile missing;
    EXPECT_FALSE(missing.Create(dir.str("no/such/scene.glb")));
    EXPECT_EQ(missing.error(), "No such file or directory");
    EXPECT_FALSE(missing.Write("x"));

    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    BinaryFile spool;
    spool.CreateTemporary(dir.str("scene.glb"));
    ASSERT_TRUE(spool.Write(std::string(3 << 20, 'x')));
    BinaryFile full;
    ASSERT_TRUE(full.Create("/dev/full"));
    EXPECT_FALSE(full.AppendCopyOf(spool));  // no copy in the kernel to a device: the plain copy fails
    EXPECT_EQ(full.error(), "No space left on device");
    EXPECT_FALSE(full.Write("more"));
    EXPECT_FALSE(full.Close());
    full.Remove();
    EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // never removed: not a regular file
}

}  // namespace
}  // namespace vexo
