#include "prefs/prefs_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "prefs/settings_text.hpp"
#include "tests/support/test_support.hpp"

namespace vexo {
namespace {

using namespace testing;

Settings Custom() {
    Settings s = DefaultSettings();
    SetPathText(s.particle_object, "Objects/drop.lwo");
    s.num_particles = 500;
    s.gravity = 9.81;
    s.ground_bounce = kFlagTicked;
    s.elasticity = 0.5;
    return s;
}

std::string Image(const Settings& s) {
    const SettingsImage image = EncodeSettings(s);
    return std::string(image.begin(), image.end());
}

PrefsLoadResult Load(const std::string& bytes, Settings& s, std::string* field = nullptr) {
    std::istringstream in(bytes);
    return LoadPrefs(in, s, field);
}

// A file of any length loads the bytes it holds over the record and no more; fewer than four
// bytes, or a signature that differs from "VEXO" in any bit of any byte, change nothing.
TEST(PrefsFile, LoadsOnlyWhatTheFileHolds) {
    const std::string full = Image(Custom()), before = Image(DefaultSettings());
    ASSERT_EQ(full.substr(0, 4), "VEXO");
    for (std::size_t length = 0; length <= full.size() + 20; ++length) {
        std::string file = full.substr(0, std::min(length, full.size()));
        if (length > full.size()) file += std::string(length - full.size(), 'x');
        Settings s = DefaultSettings();
        const std::size_t kept = std::min(length, full.size());
        EXPECT_EQ(Load(file, s), length < 4 ? PrefsLoadResult::NotPrefs : PrefsLoadResult::Loaded) << length;
        EXPECT_EQ(Image(s), length < 4 ? before : full.substr(0, kept) + before.substr(kept)) << length;
    }
    for (std::size_t byte = 0; byte < 4; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string file = full;
            file[byte] = static_cast<char>(file[byte] ^ (1 << bit));
            Settings s = Custom();
            EXPECT_EQ(Load(file, s), PrefsLoadResult::NotPrefs) << byte << " " << bit;
            EXPECT_EQ(s, Custom());
        }
    }
}

Settings Shapes() {
    Settings s = Custom();
    for (const char* a : {"emitter_object=Objects/emitter.obj", "emit_from=volume", "emit_along_normal=on",
                          "wind_x=1.5", "wind_y=-9.75", "drag=0.25", "turbulence=-3", "turbulence_size=0.5",
                          "collision_object=floor.glb", "friction=0.75", "spin=720"})
        EXPECT_TRUE(AssignSetting(s, a).ok) << a;
    return s;
}

// Past the record: no extension (or foreign bytes) loads the shapes and forces at their
// defaults; an extension cut anywhere after its tag is refused and changes nothing; a later
// version's longer payload is read as far as this version knows it.
TEST(PrefsFile, TheExtensionLoadsWholeOrNotAtAll) {
    const std::string full = PrefsFileBytes(Shapes());
    ASSERT_EQ(full.size(), 1472u);
    Settings record_only = Shapes();
    ResetExtension(record_only);
    for (std::size_t length = 880; length <= full.size() + 20; ++length) {
        std::string file = full.substr(0, std::min(length, full.size()));
        if (length > full.size()) file += std::string(length - full.size(), 'x');
        Settings s = DefaultSettings();
        const PrefsLoadResult expected =
            length < 884 || length >= full.size() ? PrefsLoadResult::Loaded : PrefsLoadResult::Damaged;
        EXPECT_EQ(Load(file, s), expected) << length;
        EXPECT_EQ(s, length < 884            ? record_only
                     : length >= full.size() ? Shapes()
                                             : DefaultSettings())
            << length;
    }
    for (std::size_t byte = 880; byte < 884; ++byte) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string file = full;
            file[byte] = static_cast<char>(file[byte] ^ (1 << bit));
            Settings s = Shapes();
            EXPECT_EQ(Load(file, s), PrefsLoadResult::Loaded) << byte << " " << bit;
            EXPECT_EQ(s, record_only) << byte << " " << bit;
        }
    }
    const struct {
        const char* header;  // version and payload length
        std::size_t extra;   // bytes after the version 1 payload
        PrefsLoadResult result;
    } versions[] = {{"\0\0\0\0\x02\x46", 0, PrefsLoadResult::Damaged},
                    {"\0\x01\0\0\x02\x45", 0, PrefsLoadResult::Damaged},
                    {"\0\x02\0\0\x02\x58", 18, PrefsLoadResult::Loaded},
                    {"\xff\xff\xff\xff\xff\xff", 0, PrefsLoadResult::Loaded}};
    for (const auto& v : versions) {
        std::string file = full;
        file.replace(884, 6, std::string(v.header, 6));
        file += std::string(v.extra, '\x7f');
        Settings s = DefaultSettings();
        EXPECT_EQ(Load(file, s), v.result);
        EXPECT_EQ(s, v.result == PrefsLoadResult::Loaded ? Shapes() : DefaultSettings());
    }
}

// Offsets of the reals in the record and in its extension; big-endian infinity, minus infinity
// and not-a-number are refused by the field's name and change nothing, the largest finite double
// is a number like any other.
TEST(PrefsFile, RealsThatAreNotFiniteAreRefusedByName) {
    const std::pair<std::size_t, const char*> fields[] = {{782, "velocity"},    {790, "velocity_variation"},
                                                          {818, "start_size"},  {826, "end_size"},
                                                          {834, "gravity"},     {870, "elasticity"},
                                                          {1408, "wind_x"},     {1416, "wind_y"},
                                                          {1424, "wind_z"},     {1432, "drag"},
                                                          {1440, "turbulence"}, {1448, "turbulence_size"},
                                                          {1456, "friction"},   {1464, "spin"}};
    for (const auto& [offset, name] : fields) {
        for (const char* bits : {"\x7f\xf0", "\xff\xf0", "\x7f\xf8", "\x7f\xef"}) {
            const bool finite = bits[1] == '\xef';
            std::string image = PrefsFileBytes(Shapes()), field;
            image.replace(offset, 8, std::string(bits, 2) + std::string(6, finite ? '\xff' : '\0'));
            Settings s = DefaultSettings();
            EXPECT_EQ(Load(image, s, &field), finite ? PrefsLoadResult::Loaded : PrefsLoadResult::BadNumber)
                << name;
            EXPECT_EQ(field, finite ? "" : name);
            EXPECT_EQ(PrefsFileBytes(s), finite ? image : PrefsFileBytes(DefaultSettings()))
                << "a refused file changes nothing";
        }
    }
}

// A save replaces the file whole through a temporary file beside it; whatever else stands
// beside it is left alone, and a symbolic link at the name is followed and stays.
TEST(PrefsFile, SavingReplacesOnlyTheFileItNames) {
    TempDir dir;
    WriteFile(dir.path("victim"), "precious");
    std::filesystem::create_symlink(dir.path("victim"), dir.path("p.prefs.new"));
    std::filesystem::create_symlink(dir.path("victim"), dir.path(".p.prefs.new"));
    WriteFile(dir.path("real.prefs"), "old bytes");
    std::filesystem::create_symlink("real.prefs", dir.path("link.prefs"));
    std::string error;
    ASSERT_TRUE(SavePrefsFile(dir.str("p.prefs"), Custom(), &error)) << error;
    ASSERT_TRUE(SavePrefsFile(dir.str("link.prefs"), Custom(), &error)) << error;
    EXPECT_EQ(ReadFile(dir.path("p.prefs")), Image(Custom()));
    EXPECT_EQ(ReadFile(dir.path("real.prefs")), Image(Custom()));
    const std::string victim = dir.str("victim");
    EXPECT_EQ(dir.Listing(),
              (std::vector<std::string>{".p.prefs.new -> " + victim, "link.prefs -> real.prefs", "p.prefs",
                                        "p.prefs.new -> " + victim, "real.prefs", "victim"}));
    EXPECT_EQ(ReadFile(dir.path("victim")), "precious");
    Settings loaded = DefaultSettings();
    EXPECT_EQ(LoadPrefsFile(dir.str("link.prefs"), loaded), PrefsLoadResult::Loaded);
    EXPECT_EQ(loaded, Custom());
}

bool SetImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return done;
}

// A save that cannot be made says why and keeps what stood at the name: only regular files are
// replaced (FIFOs, missing folders and /dev/null in cli_cases.txt), and a failed write (files
// limited to 100 bytes) or rename (the old file made immutable) keeps the old file, leaves no other.
TEST(PrefsFile, AFailedSaveKeepsTheOldFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("folder.prefs"));
    std::filesystem::create_symlink("/dev/null", dir.path("null.prefs"));
    WriteFile(dir.path("old.prefs"), "old bytes");
    const std::pair<std::string, const char*> cases[] = {{dir.str("null.prefs"), "Not a regular file"},
                                                         {dir.str("folder.prefs"), "Is a directory"},
                                                         {dir.str("old.prefs"), "File too large"},
                                                         {dir.str("old.prefs"), "Operation not permitted"}};
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& [path, expected] : cases) {
        const bool too_large = expected == std::string("File too large");
        const bool immutable = expected == std::string("Operation not permitted");
        const rlimit small{100, saved.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, too_large ? &small : &saved), 0);
        // Setting the flag needs CAP_LINUX_IMMUTABLE and a file system that has it.
        if (immutable && !SetImmutable(path, true)) continue;
        std::string error;
        const bool ok = SavePrefsFile(path, Custom(), &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        if (immutable) SetImmutable(path, false);
        EXPECT_FALSE(ok) << path;
        EXPECT_EQ(error, expected) << path;
    }
    EXPECT_EQ(ReadFile(dir.path("old.prefs")), "old bytes");
    EXPECT_EQ(dir.Listing(),
              (std::vector<std::string>{"folder.prefs", "null.prefs -> /dev/null", "old.prefs"}));
}

}  // namespace
}  // namespace vexo
