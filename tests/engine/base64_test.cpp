#include "engine/writers/base64.hpp"

#include <gtest/gtest.h>

namespace vexo {
namespace {

// The RFC 4648 examples, each fed in three pieces split at every pair of points.
TEST(Base64Encoder, EncodesTheRfcExamplesHoweverTheBytesArrive) {
    using namespace std::literals;
    const std::string_view cases[] = {
        ""sv,     ""sv,         "f"sv,     "Zg=="sv,     "fo"sv,     "Zm8="sv,     "foo"sv,        "Zm9v"sv,
        "foob"sv, "Zm9vYg=="sv, "fooba"sv, "Zm9vYmE="sv, "foobar"sv, "Zm9vYmFy"sv, "\xff\xfe\0"sv, "//4A"sv};
    for (std::size_t c = 0; c < std::size(cases); c += 2) {
        const std::string_view plain = cases[c], encoded = cases[c + 1];
        const auto* bytes = reinterpret_cast<const unsigned char*>(plain.data());
        for (std::size_t a = 0; a <= plain.size(); ++a) {
            for (std::size_t b = a; b <= plain.size(); ++b) {
                Base64Encoder encoder;
                std::string out;
                encoder.Append(bytes, a, out);
                encoder.Append(bytes + a, b - a, out);
                encoder.Append(bytes + b, plain.size() - b, out);
                encoder.Finish(out);
                EXPECT_EQ(out, encoded) << plain << " split at " << a << " and " << b;
            }
        }
    }
}

}  // namespace
}  // namespace vexo
