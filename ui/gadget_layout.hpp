// Fits a window whose gadgets were placed for an 8-pixel font to the font in use. Each gadget's
// box (the gadget with its labels, measured in that font) must stay inside the window and clear
// of the boxes before it: of those on its row (designed side by side) across, of all others
// down. Where one would not, space is inserted into the window just before that gadget, across
// the window's whole height or width: rows and columns stay aligned, and frames and texts drawn
// at designed places move and grow with the gadgets around them. A window that fits as designed
// keeps every place and size. Knows boxes only; the font is the platform's (GadgetExtent).
#pragma once

#include <span>
#include <utility>
#include <vector>

#include "ui/platform/platform.hpp"

namespace vexo::ui {

struct GadgetBox {
    platform::IBox gadget;  // where the gadget was designed to be, inside the window (a radio
                            // choice with all its entries)
    platform::IBox extent;  // the gadget with its labels at the font in use, at the designed place
};

// A gadget of a window's table, measured: its designed place and its extent at the font in use.
GadgetBox MeasureGadget(platform::ULONG kind, const platform::NewGadget& ng, const platform::TagItem* tags);

// Pixels kept between the window's inner edges and any box, and between two boxes.
inline constexpr int kLayoutMargin = 4;
inline constexpr int kLayoutGapAcross = 6;  // between boxes side by side
inline constexpr int kLayoutGapDown = 1;    // between boxes one above the other

class GadgetLayout {
  public:
    GadgetLayout() = default;  // places everything where it was designed
    // `inner_width` and `inner_height`: the window's designed inside; `title_width`: what its
    // title bar needs (TitleBarWidth), 0 for none.
    GadgetLayout(std::span<const GadgetBox> boxes, int inner_width, int inner_height, int title_width = 0);

    // Where a designed x or y lies in the fitted window. A place where space was inserted moves
    // by it, and so does everything beyond it.
    int X(int designed) const { return Map(x_inserts_, designed); }
    int Y(int designed) const { return Map(y_inserts_, designed); }
    // The fitted window's inside.
    int width() const { return width_; }
    int height() const { return height_; }

  private:
    using Inserts = std::vector<std::pair<int, int>>;  // at a designed place, so many pixels
    static int Map(const Inserts& inserts, int designed);

    Inserts x_inserts_, y_inserts_;
    int width_ = 0, height_ = 0;
};

}  // namespace vexo::ui
