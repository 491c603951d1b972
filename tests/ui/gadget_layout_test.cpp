// Fitting windows to the font: the cases of tests/data/gadget_layout_cases.txt, worked by hand.
#include "ui/gadget_layout.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/engine/case_file.hpp"

namespace vexo::ui {
namespace {

using platform::IBox;

IBox ReadBox(std::istream& in) {
    int l = 0, t = 0, w = 0, h = 0;
    in >> l >> t >> w >> h;
    return {static_cast<platform::WORD>(l), static_cast<platform::WORD>(t), static_cast<platform::WORD>(w),
            static_cast<platform::WORD>(h)};
}

TEST(GadgetLayout, FitsEachCaseAsWorkedByHand) {
    const auto cases = vexo::testing::ReadCases("gadget_layout_cases.txt");
    ASSERT_GE(cases.size(), 10u);
    for (const auto& c : cases) {
        int width = 0, height = 0, title = 0;
        std::vector<GadgetBox> boxes;
        std::string expected;
        for (const std::string& line : c.lines) {
            std::istringstream in(line);
            std::string word, slash;
            in >> word;
            if (word == "window") in >> width >> height >> title;
            if (word == "box") {
                GadgetBox box;
                box.gadget = ReadBox(in);
                in >> slash;
                box.extent = ReadBox(in);
                boxes.push_back(box);
            }
            if (word == "expect") expected = line.substr(7);
        }
        const GadgetLayout layout(boxes, width, height, title);
        // The fitted size, then every place the case asks for, in its words.
        std::istringstream asked(expected);
        std::string shown, word;
        int w = 0, h = 0;
        asked >> w >> h;
        shown = std::to_string(layout.width()) + " " + std::to_string(layout.height());
        bool down = false;
        while (asked >> word) {
            if (word == "x" || word == "y") {
                down = word == "y";
                shown += " " + word;
                continue;
            }
            const int designed = std::stoi(word.substr(0, word.find('=')));
            shown += " " + std::to_string(designed) + "=" +
                     std::to_string(down ? layout.Y(designed) : layout.X(designed));
        }
        EXPECT_EQ(shown, expected) << c.name;
    }
}

}  // namespace
}  // namespace vexo::ui
