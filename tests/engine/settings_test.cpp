// The image bytes of whole records are golden files (golden_scene_test); here, what any image
// and any path text must survive.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "engine/simulation/random.hpp"
#include "engine/settings/settings.hpp"

namespace vexo {
namespace {

TEST(SettingsImage, AnyImageDecodesAndEncodesBackUnchanged) {
    std::mt19937 gen(7);
    for (int round = 0; round < 100; ++round) {
        SettingsImage image;
        for (auto& b : image) b = static_cast<std::uint8_t>(gen());
        EXPECT_EQ(EncodeSettings(DecodeSettings(image)), image);
    }
}

TEST(SettingsPaths, StoreAtMost254Characters) {
    PathField field{};
    EXPECT_TRUE(SetPathText(field, std::string(254, 'a')));
    EXPECT_EQ(PathText(field), std::string(254, 'a'));
    EXPECT_EQ(field[254], '\0');
    EXPECT_FALSE(SetPathText(field, std::string(255, 'b')));
    EXPECT_EQ(PathText(field), std::string(254, 'a'));
    EXPECT_FALSE(SetPathText(field, std::string("a\0b", 3)));
    EXPECT_TRUE(SetPathText(field, "b"));
    EXPECT_EQ(field[1], '\0');  // the rest is cleared
}

TEST(EngineConstants, AreExactBitPatterns) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(K), 0x3F91DF45A50DE271ull);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(D), 0x3E00000000200000ull);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(3.14159 / 180.0), 0x3F91DF45A50DE270ull);
}

}  // namespace
}  // namespace vexo
