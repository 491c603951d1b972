#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "engine/simulation/random.hpp"
#include "engine/settings/settings.hpp"
#include "engine/settings/settings_fields.hpp"

namespace vexo {
namespace {

TEST(SettingsImage, DefaultsEncodeToTheDocumentedBytes) {
    const SettingsImage image = EncodeSettings(DefaultSettings());
    SettingsImage expected{};
    expected[0] = 'V';
    expected[1] = 'E';
    expected[2] = 'X';
    expected[3] = 'O';
    for (std::size_t at : {818u, 826u, 870u}) {
        expected[at] = 0x3F;
        expected[at + 1] = 0xF0;
    }
    expected[855] = 0x02;
    expected[859] = 0x01;
    expected[863] = 0x1E;
    expected[867] = 0x01;
    expected[869] = 0x01;
    EXPECT_EQ(image, expected);
}

TEST(SettingsImage, FlagsAndPathModeLandAtTheirOffsets) {
    Settings s = DefaultSettings();
    s.limited_lifespan = kFlagTicked;
    SettingsImage image = EncodeSettings(s);
    EXPECT_EQ(image[842], 0x00);
    EXPECT_EQ(image[843], 0x80);
    s.limited_lifespan = 0;
    s.linear_path = 0;
    image = EncodeSettings(s);
    EXPECT_EQ(image[843], 0x00);
    EXPECT_EQ(image[868], 0x00);
    EXPECT_EQ(image[869], 0x00);
}

TEST(SettingsImage, EveryFieldIsBigEndianAtItsOffset) {
    Settings s{};
    s.num_particles = 0x01020304;
    s.velocity = std::bit_cast<double>(0x1112131415161718ull);
    s.oversampling = 0x2122;
    s.heading_angle = -2;
    SetPathText(s.target_scene, "scene.lws");
    const SettingsImage image = EncodeSettings(s);
    EXPECT_EQ((std::vector<int>{image[770], image[771], image[772], image[773]}),
              (std::vector<int>{1, 2, 3, 4}));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(image[782 + i], 0x11 + i);
    EXPECT_EQ(image[878], 0x21);
    EXPECT_EQ(image[879], 0x22);
    EXPECT_EQ(image[798], 0xFF);
    EXPECT_EQ(image[801], 0xFE);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[514])), "scene.lws");
}

TEST(SettingsImage, FieldTableCoversTheImageWithoutOverlap) {
    std::vector<int> owner(kSettingsImageSize, 0);
    for (int i = 0; i < 4; ++i) owner[i] = 1;  // magic
    owner[769] = 1;                            // pad
    for (const FieldInfo& field : SettingsFields()) {
        const std::size_t width = std::visit(
            [](auto member) -> std::size_t { return sizeof(std::declval<Settings>().*member); }, field.member);
        EXPECT_EQ(field.offset % 2 == 0 || field.kind == FieldKind::Path, true) << field.name;
        for (std::size_t b = field.offset; b < field.offset + width; ++b) ++owner.at(b);
    }
    for (std::size_t b = 0; b < kSettingsImageSize; ++b) EXPECT_EQ(owner[b], 1) << "byte " << b;
}

TEST(SettingsImage, AnyImageDecodesAndEncodesBackUnchanged) {
    std::mt19937 gen(7);
    for (int round = 0; round < 200; ++round) {
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
}

TEST(EngineConstants, AreExactBitPatterns) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(K), 0x3F91DF45A50DE271ull);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(D), 0x3E00000000200000ull);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(3.14159 / 180.0), 0x3F91DF45A50DE270ull);
}

}  // namespace
}  // namespace vexo
