#include "tests/support/picture_golden.hpp"

#include <algorithm>
#include <cstdlib>

#include "tests/support/test_support.hpp"

namespace vexo::testing {

namespace {
constexpr int kLevelsAllowed = 12;  // blending rounds by one or two levels; an edge moved costs far more

int LargestChannelDifference(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}
}  // namespace

::testing::AssertionResult MatchesGoldenPicture(const QImage& actual, const std::string& golden_name) {
    const QString golden = QString::fromStdString((DataDir() / "golden" / golden_name).string());
    if (UpdatingGoldens()) {
        actual.save(golden, "PNG");
        return ::testing::AssertionSuccess();
    }
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_ARGB32);
    const QImage got = actual.convertToFormat(QImage::Format_ARGB32);
    long differing = 0;
    QPoint first;
    if (expected.size() == got.size()) {
        for (int y = 0; y < got.height(); ++y) {
            for (int x = 0; x < got.width(); ++x) {
                if (LargestChannelDifference(expected.pixel(x, y), got.pixel(x, y)) <= kLevelsAllowed)
                    continue;
                if (differing++ == 0) first = QPoint(x, y);
            }
        }
        if (differing == 0) return ::testing::AssertionSuccess();
    }
    const QString beside = golden + ".actual.png";
    actual.save(beside, "PNG");
    auto failure = ::testing::AssertionFailure() << golden_name << ": ";
    if (expected.isNull()) return failure << "no golden picture; actual written to " << beside.toStdString();
    if (expected.size() != got.size()) {
        return failure << "size " << got.width() << "x" << got.height() << ", golden " << expected.width()
                       << "x" << expected.height() << "; actual written to " << beside.toStdString();
    }
    return failure << differing << " pixels differ, the first at (" << first.x() << ", " << first.y()
                   << "); actual written to " << beside.toStdString();
}

}  // namespace vexo::testing
