// graphics: pens, solid fills, one-pixel lines and bevel boxes painted into a rastport's image,
// pixel for pixel, so that what a test reads back is what the calls asked for.
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

void Plot(RastPort* rp, LONG x, LONG y) {
    if (rp == nullptr || rp->data == nullptr || rp->data->image == nullptr) return;
    QImage& image = *rp->data->image;
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) return;
    image.setPixelColor(x, y, PenColor(rp->FgPen));
}

// Bresenham's line, both ends included, as the blitter draws it.
void Line(RastPort* rp, LONG x0, LONG y0, LONG x1, LONG y1) {
    const LONG dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const LONG dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    LONG err = dx + dy;
    for (;;) {
        Plot(rp, x0, y0);
        if (x0 == x1 && y0 == y1) break;
        const LONG e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Changed(RastPort* rp) {
    if (rp != nullptr && rp->data != nullptr && rp->data->changed) rp->data->changed();
}

DrawInfo default_draw_info = {{
    /*DETAILPEN*/ 0, /*BLOCKPEN*/ 1, /*TEXTPEN*/ 1, /*SHINEPEN*/ 2, /*SHADOWPEN*/ 1,
    /*FILLPEN*/ 3, /*FILLTEXTPEN*/ 2, /*BACKGROUNDPEN*/ 0,
}};

}  // namespace

QColor PenColor(ULONG pen) {
    static const QColor kPens[] = {QColor(0xAA, 0xAA, 0xAA), QColor(0x00, 0x00, 0x00), QColor(0xFF, 0xFF, 0xFF),
                                   QColor(0x66, 0x88, 0xBB)};
    return kPens[pen % 4];
}

QFont FixedFont() {
    QFont font("DejaVu Sans Mono");
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(11);
    return font;
}

int FixedFontHeight() { return QFontMetrics(FixedFont()).height(); }

DrawInfo* DefaultDrawInfo() { return &default_draw_info; }
DrawInfo* GetScreenDrawInfo(Screen*) { return &default_draw_info; }

void SetAPen(RastPort* rp, ULONG pen) {
    if (rp != nullptr) rp->FgPen = static_cast<UWORD>(pen);
}

void RectFill(RastPort* rp, LONG x0, LONG y0, LONG x1, LONG y1) {
    if (rp == nullptr || rp->data == nullptr || rp->data->image == nullptr) return;
    QImage& image = *rp->data->image;
    x0 = std::max<LONG>(x0, 0);
    y0 = std::max<LONG>(y0, 0);
    x1 = std::min<LONG>(x1, image.width() - 1);
    y1 = std::min<LONG>(y1, image.height() - 1);
    const QRgb colour = PenColor(rp->FgPen).rgb();
    for (LONG y = y0; y <= y1; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + x0, line + x1 + 1, colour);
    }
    Changed(rp);
}

void Move(RastPort* rp, WORD x, WORD y) {
    if (rp == nullptr) return;
    rp->cp_x = x;
    rp->cp_y = y;
}

void PolyDraw(RastPort* rp, LONG count, const WORD* xy) {
    if (rp == nullptr) return;
    for (LONG i = 0; i < count; ++i) {
        Line(rp, rp->cp_x, rp->cp_y, xy[2 * i], xy[2 * i + 1]);
        rp->cp_x = xy[2 * i];
        rp->cp_y = xy[2 * i + 1];
    }
    Changed(rp);
}

// A raised box has the shine pen on its top and left edges and the shadow pen on its bottom and
// right edges, the vertical edges two pixels wide; a recessed box swaps the pens.
void DrawBevelBoxA(RastPort* rp, LONG left, LONG top, LONG width, LONG height, const TagItem* tags) {
    if (rp == nullptr || width < 2 || height < 2) return;
    const bool recessed = GetTagData(GTBB_Recessed, 0, tags) != 0;
    const UWORD saved = rp->FgPen;
    const DrawInfo* dri = DefaultDrawInfo();
    const UWORD light = dri->dri_Pens[recessed ? SHADOWPEN : SHINEPEN];
    const UWORD dark = dri->dri_Pens[recessed ? SHINEPEN : SHADOWPEN];
    const LONG right = left + width - 1, bottom = top + height - 1;
    rp->FgPen = light;
    Line(rp, left, top, right - 1, top);
    Line(rp, left, top, left, bottom);
    Line(rp, left + 1, top, left + 1, bottom - 1);
    rp->FgPen = dark;
    Line(rp, left + 1, bottom, right, bottom);
    Line(rp, right, top, right, bottom);
    Line(rp, right - 1, top + 1, right - 1, bottom);
    rp->FgPen = saved;
    Changed(rp);
}

void PrintIText(RastPort* rp, const IntuiText* text, LONG left, LONG top) {
    if (rp == nullptr || rp->data == nullptr || rp->data->image == nullptr) return;
    QPainter painter(rp->data->image);
    painter.setFont(FixedFont());
    const QFontMetrics metrics(painter.font());
    for (const IntuiText* t = text; t != nullptr; t = t->NextText) {
        const QString s = QString::fromUtf8(t->IText);
        const QRect box(left + t->LeftEdge, top + t->TopEdge, metrics.horizontalAdvance(s), metrics.height());
        if (t->DrawMode == JAM2) painter.fillRect(box, PenColor(t->BackPen));
        painter.setPen(PenColor(t->FrontPen));
        painter.drawText(box.left(), box.top() + metrics.ascent(), s);
    }
    painter.end();
    Changed(rp);
}

}  // namespace vexo::platform
