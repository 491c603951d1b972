// Pictures compared with golden PNG files.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <string>

namespace vexo::testing {

// Compares a picture with tests/data/golden/NAME pixel by pixel. Qt's raster engine chooses its
// blending code by processor, so anti-aliased edges may differ by a few levels from one machine to
// another; any larger difference, or another size, is a mismatch. On a mismatch the picture is
// written beside the golden file as NAME.actual.png; VEXO_UPDATE_GOLDEN=1 rewrites the golden file.
::testing::AssertionResult MatchesGoldenPicture(const QImage& actual, const std::string& golden_name);

}  // namespace vexo::testing
