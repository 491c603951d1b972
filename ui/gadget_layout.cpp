#include "ui/gadget_layout.hpp"

#include <algorithm>

namespace vexo::ui {

using platform::GadgetExtent;
using platform::GetTagData;
using platform::GTMX_Labels;
using platform::GTMX_Spacing;
using platform::IBox;
using platform::MX_KIND;
using platform::NewGadget;
using platform::TagItem;
using platform::ULONG;
using platform::WORD;

namespace {

// One box along the axis being spread: its gadget's designed coordinate and end, where the box
// begins and ends, and where it lies across (to tell which boxes face each other).
struct Span {
    int anchor, designed_end, lo, hi;
    int across_lo, across_hi;
};

int Shift(const std::vector<std::pair<int, int>>& inserts, int designed) {
    int shift = 0;
    for (const auto& [at, pixels] : inserts) shift += at <= designed ? pixels : 0;
    return shift;
}

// The space to insert so that, taken in the order of their gadgets, every box begins at least
// `margin` in and `gap` beyond the end of every earlier box that faces it; gadgets designed
// closer than `gap` (buttons in a row) may stay as close as they were designed.
std::vector<std::pair<int, int>> Spread(std::vector<Span> spans, int margin, int gap) {
    std::stable_sort(spans.begin(), spans.end(),
                     [](const Span& a, const Span& b) { return a.anchor < b.anchor; });
    std::vector<std::pair<int, int>> inserts;
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const Span& box = spans[i];
        const int start = box.lo + Shift(inserts, box.anchor);
        int need = margin - start;
        for (std::size_t j = 0; j < i; ++j) {
            const Span& before = spans[j];
            const bool facing = before.across_lo < box.across_hi && box.across_lo < before.across_hi;
            if (!facing) continue;
            const int apart = std::clamp(box.anchor - before.designed_end, 0, gap);
            need = std::max(need, before.hi + Shift(inserts, before.anchor) + apart - start);
        }
        if (need > 0) inserts.emplace_back(box.anchor, need);
    }
    return inserts;
}

}  // namespace

GadgetBox MeasureGadget(ULONG kind, const NewGadget& ng, const TagItem* tags) {
    IBox designed{ng.ng_LeftEdge, ng.ng_TopEdge, ng.ng_Width, ng.ng_Height};
    if (kind == MX_KIND) {
        // The entries as GadTools placed them for the 8-pixel font: a gadget height apart, plus
        // the spacing.
        int entries = 0;
        const auto* labels = reinterpret_cast<const char* const*>(GetTagData(GTMX_Labels, 0, tags));
        for (const char* const* l = labels; l != nullptr && *l != nullptr; ++l) ++entries;
        const int spacing = static_cast<int>(GetTagData(GTMX_Spacing, 1, tags));
        designed.Height = static_cast<WORD>(entries * ng.ng_Height + std::max(entries - 1, 0) * spacing);
    }
    return {designed, GadgetExtent(kind, &ng, tags)};
}

int GadgetLayout::Map(const Inserts& inserts, int designed) {
    return designed + Shift(inserts, designed);
}

GadgetLayout::GadgetLayout(std::span<const GadgetBox> boxes, int inner_width, int inner_height,
                           int title_width) {
    // Across the window, against the boxes of gadgets designed on the same row.
    std::vector<Span> across;
    for (const GadgetBox& b : boxes) {
        across.push_back({b.gadget.Left, b.gadget.Left + b.gadget.Width, b.extent.Left,
                          b.extent.Left + b.extent.Width, b.gadget.Top, b.gadget.Top + b.gadget.Height});
    }
    x_inserts_ = Spread(across, kLayoutMargin, kLayoutGapAcross);

    // Down the window, with the boxes where the first pass put them across.
    std::vector<Span> down;
    for (const GadgetBox& b : boxes) {
        const int shift = Shift(x_inserts_, b.gadget.Left);
        down.push_back({b.gadget.Top, b.gadget.Top + b.gadget.Height, b.extent.Top,
                        b.extent.Top + b.extent.Height, b.extent.Left + shift,
                        b.extent.Left + b.extent.Width + shift});
    }
    y_inserts_ = Spread(down, kLayoutMargin, kLayoutGapDown);

    width_ = std::max(X(inner_width), title_width);
    height_ = Y(inner_height);
    for (const GadgetBox& b : boxes) {
        width_ = std::max(width_,
                          X(b.gadget.Left) + b.extent.Left - b.gadget.Left + b.extent.Width + kLayoutMargin);
        height_ = std::max(height_,
                           Y(b.gadget.Top) + b.extent.Top - b.gadget.Top + b.extent.Height + kLayoutMargin);
    }
}

}  // namespace vexo::ui
