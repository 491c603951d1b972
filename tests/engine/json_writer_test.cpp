#include "engine/writers/json_writer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vexo {
namespace {

TEST(JsonWriter, PlacesCommasAndColonsInNestedValues) {
    JsonWriter json;
    json.BeginObject();
    json.Key("a");
    json.BeginArray();
    json.Int(-3);
    json.UInt(18446744073709551615u);
    json.BeginObject();
    json.EndObject();
    json.BeginArray();
    json.EndArray();
    json.EndArray();
    json.Key("b");
    json.String("x");
    json.Key("c");
    json.RawValue("\"raw");
    json.EndObject();
    EXPECT_EQ(json.text(), "{\"a\":[-3,18446744073709551615,{},[]],\"b\":\"x\",\"c\":\"raw}");
    EXPECT_FALSE(json.failed());
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControlCharacters) {
    JsonWriter json;
    json.String("q\"b\\n\n\x01\x1f \xc3\xa9");
    EXPECT_EQ(json.text(), "\"q\\\"b\\\\n\\u000a\\u0001\\u001f \xc3\xa9\"");
}

TEST(JsonWriter, NumbersReadBackExactlyAndNonFiniteOnesFail) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0.0, "0"},      {-0.0, "-0"},    {1.5, "1.5"},          {0.1f, "0.10000000149011612"},
                 {1e-7, "1e-07"}, {2e21, "2e+21"}, {-1234.25, "-1234.25"}};
    for (const auto& c : cases) {
        JsonWriter json;
        json.Double(c.value);
        EXPECT_EQ(json.text(), c.text);
        EXPECT_EQ(std::stod(json.text()), c.value);
        EXPECT_FALSE(json.failed());
    }
    JsonWriter floats;
    floats.BeginArray();
    for (const float f : {0.1f, -2.5f, 1e-7f, 3.4028235e38f}) floats.Float(f);
    floats.EndArray();
    EXPECT_EQ(floats.text(), "[0.1,-2.5,1e-07,3.4028235e+38]");
    floats.Float(std::numeric_limits<float>::infinity());
    EXPECT_TRUE(floats.failed());
    for (const double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        JsonWriter json;
        json.BeginArray();
        json.Double(bad);
        json.EndArray();
        EXPECT_EQ(json.text(), "[0]");
        EXPECT_TRUE(json.failed());
    }
}

}  // namespace
}  // namespace vexo
