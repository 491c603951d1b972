#include "engine/writers/base64.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vexo {
namespace {

// The RFC 4648 examples, each fed whole, byte by byte and split at every point.
TEST(Base64Encoder, EncodesTheRfcExamplesHoweverTheBytesArrive) {
    const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"},
                                                         {std::string("\xff\xfe\0", 3), "//4A"}};
    for (const auto& [plain, encoded] : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
        for (std::size_t split = 0; split <= plain.size(); ++split) {
            Base64Encoder encoder;
            std::string out;
            encoder.Append(bytes, split, out);
            encoder.Append(bytes + split, plain.size() - split, out);
            encoder.Finish(out);
            EXPECT_EQ(out, encoded) << plain << " split at " << split;
        }
        Base64Encoder encoder;
        std::string out;
        for (std::size_t i = 0; i < plain.size(); ++i) encoder.Append(bytes + i, 1, out);
        encoder.Finish(out);
        EXPECT_EQ(out, encoded);
    }
}

}  // namespace
}  // namespace vexo
