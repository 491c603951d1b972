// Files replaced whole (a temporary beside the target, renamed over it), and the glTF writer's spools.
#include "engine/writers/binary_file.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <numeric>
#include <utility>

#include "engine/writers/scene_file.hpp"
#include "tests/support/test_support.hpp"

// fsync and close fail once on demand: defined in this program, they take the C library's place
// for the code linked into it.
namespace {
int fsync_fails_with = 0, close_fails_with = 0;
}  // namespace
extern "C" int fsync(int fd) {
    if (fsync_fails_with == 0) return static_cast<int>(::syscall(SYS_fsync, fd));
    errno = std::exchange(fsync_fails_with, 0);
    return -1;
}
extern "C" int close(int fd) {
    const int closed = static_cast<int>(::syscall(SYS_close, fd));
    if (closed != 0 || close_fails_with == 0) return closed;
    errno = std::exchange(close_fails_with, 0);
    return -1;
}

namespace vexo {
namespace {

using testing::ReadFile;
using Names = std::vector<std::string>;

// The bytes go to a temporary file beside the destination (its name sorts first: it is hidden),
// which takes the destination's place and permissions on commit; a symbolic link, absolute or
// relative, is followed and stays.
TEST(ReplacementFile, ATemporaryBesideTheDestinationTakesItsPlace) {
    testing::TempDir dir;
    testing::WriteFile(dir.path("real.lws"), "old");
    std::filesystem::permissions(dir.path("real.lws"), std::filesystem::perms(0640));
    std::filesystem::create_symlink("real.lws", dir.path("relative.lws"));
    std::filesystem::create_symlink(dir.path("relative.lws"), dir.path("absolute.lws"));
    for (const std::string target : {"real.lws", "relative.lws", "absolute.lws", "new.lws"}) {
        ReplacementFile file;
        ASSERT_TRUE(file.Open(dir.str(target), SpecialFiles::Refuse) && file.Write(target) &&
                    file.Write("!"));
        const std::string written = target == "new.lws" ? target : "real.lws";
        EXPECT_EQ(file.destination(), dir.str(written));
        EXPECT_TRUE(dir.Listing()[0].starts_with("." + written + ".")) << dir.Listing()[0];
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(ReadFile(dir.path(written)), target + "!");
    }
    EXPECT_EQ(dir.Listing(), (Names{"absolute.lws -> " + dir.str("relative.lws"), "new.lws", "real.lws",
                                    "relative.lws -> real.lws"}));
    EXPECT_EQ(std::filesystem::status(dir.path("real.lws")).permissions(), std::filesystem::perms(0640));
}

// A failed write (a file size limit; the buffered binary file's last flush fails), a temporary gone
// before the rename, or bytes that do not reach the disk when the file is finished (a failed fsync or
// close) fail the write and keep the old file, with no temporary left; a folder is refused; a device
// is written directly, or refused where a regular file is wanted.
TEST(ReplacementFile, AFailedWriteRenameFsyncOrCloseKeepsTheOldFile) {
    testing::TempDir dir;
    testing::WriteFile(dir.path("scene.lws"), "old");
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit small{2, saved.rlim_max};
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    enum Fault { kSizeLimit, kTemporaryGone, kFsync, kClose };
    const char* errors[] = {"File too large", "No such file or directory", "Input/output error",
                            "Input/output error"};
    for (const bool binary : {false, true}) {
        for (const Fault fault : {kSizeLimit, kTemporaryGone, kFsync, kClose}) {
            SCOPED_TRACE(std::to_string(binary) + " " + errors[fault] + " " + std::to_string(fault));
            SceneFile scene;
            BinaryFile file;
            ASSERT_TRUE(binary ? file.Create(dir.str("scene.lws")) : scene.Open(dir.str("scene.lws")));
            if (fault == kTemporaryGone) std::filesystem::remove(dir.path(dir.Listing()[0]));
            if (fault == kSizeLimit) ::setrlimit(RLIMIT_FSIZE, &small);
            EXPECT_EQ(binary ? file.Write("new text") : scene.Write("new text"),
                      binary || fault != kSizeLimit);
            (fault == kFsync ? fsync_fails_with : close_fails_with) = fault >= kFsync ? EIO : 0;
            EXPECT_FALSE(binary ? file.Close() : scene.Close());
            ::setrlimit(RLIMIT_FSIZE, &saved);
            EXPECT_EQ(binary ? file.error() : scene.error(), errors[fault]);
            EXPECT_EQ(dir.Listing(), Names{"scene.lws"});
            EXPECT_EQ(ReadFile(dir.path("scene.lws")), "old");
        }
    }
    std::signal(SIGXFSZ, old_handler);
    ReplacementFile folder, refused, device;
    EXPECT_FALSE(folder.Open(dir.str(""), SpecialFiles::WriteThrough));
    EXPECT_FALSE(refused.Open("/dev/null", SpecialFiles::Refuse));
    EXPECT_EQ(folder.error() + ", " + refused.error(), "Is a directory, Not a regular file");
    EXPECT_TRUE(device.Open("/dev/null", SpecialFiles::WriteThrough) && device.Write("x") && device.Commit());
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// A temporary file leaves no name behind, reads back what was written, and is copied onto the end
// of a target whole, across the write buffer's size. (The glTF golden files copy small ones.)
TEST(BinaryFile, TemporaryFilesAreUnnamedAndCopyWhole) {
    testing::TempDir dir;
    std::string bytes(3 * (1 << 20) + 5, '\0');
    std::iota(bytes.begin(), bytes.end(), '\0');
    BinaryFile spool, target, full;
    spool.CreateTemporary(dir.str("scene.glb"));
    char back[4];
    ASSERT_TRUE(spool.Write(bytes.substr(0, 7)) && spool.Write(bytes.substr(7)));
    ASSERT_TRUE(spool.ReadAt(bytes.size() - 4, back, 4));
    EXPECT_EQ(std::string(back, 4), bytes.substr(bytes.size() - 4));
    EXPECT_EQ(dir.Listing(), Names{});
    ASSERT_TRUE(target.Create(dir.str("scene.glb")) && target.Write("head") && target.AppendCopyOf(spool));
    ASSERT_TRUE(target.Write("tail") && target.WriteAt(1, "EA", 2));
    EXPECT_EQ(target.size(), bytes.size() + 8);
    ASSERT_TRUE(target.Close());
    target.Remove();  // once closed the file is in its path's place: nothing more is dropped
    EXPECT_EQ(ReadFile(dir.path("scene.glb")), "hEAd" + bytes + "tail");
    // No copy inside the kernel to a device: the plain copy fails, with the system's reason.
    ASSERT_TRUE(full.Create("/dev/full"));
    EXPECT_FALSE(full.AppendCopyOf(spool) || full.Write("more") || full.Close());
    EXPECT_EQ(full.error(), "No space left on device");
}

// A temporary file past its buffer copied onto one still in memory (as a glTF scene gathers a
// long object's tracks), after a move: every byte in order, and no name left in the folder.
TEST(BinaryFile, ASpilledTemporaryCopiesOntoOneInMemory) {
    testing::TempDir dir;
    BinaryFile spilled, gathered;
    spilled.CreateTemporary(dir.str("scene.glb"), 8);
    gathered.CreateTemporary(dir.str("scene.glb"), 64);
    ASSERT_TRUE(gathered.Write("ab") && spilled.Write("0123456789") && spilled.Write("xyz"));
    BinaryFile moved(std::move(spilled));
    ASSERT_TRUE(gathered.AppendCopyOf(moved));
    char back[15];
    ASSERT_TRUE(gathered.ReadAt(0, back, sizeof back));
    EXPECT_EQ(std::string(back, sizeof back), "ab0123456789xyz");
    EXPECT_EQ(gathered.size(), 15u);
    EXPECT_EQ(dir.Listing(), Names{});
}

}  // namespace
}  // namespace vexo
