#include "engine/writers/json_writer.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace vexo {
namespace {

// Escapes (UTF-8 passes through). A number JSON cannot hold is written as 0 and marks the text
// failed. (The glTF golden files hold everything else the writer writes.)
TEST(JsonWriter, EscapesTextAndFailsOnNumbersJsonCannotHold) {
    JsonWriter doubles, floats;
    doubles.BeginArray();
    doubles.String("q\"b\\n\n\x01\x1f \xc3\xa9");
    doubles.Double(-0.0);
    EXPECT_FALSE(doubles.failed());
    doubles.Double(std::numeric_limits<double>::quiet_NaN());
    doubles.EndArray();
    floats.Float(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(doubles.text() + floats.text(), "[\"q\\\"b\\\\n\\u000a\\u0001\\u001f \xc3\xa9\",-0,0]0");
    EXPECT_TRUE(doubles.failed() && floats.failed());
}

}  // namespace
}  // namespace vexo
