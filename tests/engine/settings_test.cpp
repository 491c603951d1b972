// Whole images are golden files (golden_scene_test); here, what any image and path must survive.
#include "engine/settings/settings.hpp"

#include <gtest/gtest.h>

#include <random>

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

TEST(SettingsPaths, RefuseMoreThan254CharactersOrANul) {
    PathField field{};
    EXPECT_FALSE(SetPathText(field, std::string(255, 'b')));
    EXPECT_FALSE(SetPathText(field, std::string("a\0b", 3)));
    EXPECT_EQ(PathText(field), "");
}

}  // namespace
}  // namespace vexo
