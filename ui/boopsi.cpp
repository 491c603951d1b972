// The file-button image class: a 20 x 14 box with a raised bevel and a drawer symbol, recessed
// and filled with the fill pen while pressed. One instance serves all three file buttons.
#include "ui/vexo.hpp"

namespace vexo::ui {
namespace {

constexpr WORD kWidth = 20, kHeight = 14;
constexpr WORD kOriginX = 4, kOriginY = 10;

// The drawer symbol's points, relative to its origin 4 right of and 10 below the box's corner.
const WORD PolyArray[13][2] = {{0, -6}, {1, -6}, {1, 0},  {11, 0}, {11, -6}, {9, -8}, {6, -8},
                               {4, -6}, {2, -6}, {2, -5}, {5, -5}, {6, -4},  {10, -4}};
// Rewritten in full by every draw before it is read.
WORD CorrectedPolyArray[13][2];

IPTR dispatchGet(IClass* cl, Object* object, Msg msg) {
    switch (msg->MethodID) {
        case OM_NEW: {
            const auto* ops = reinterpret_cast<const opSet*>(msg);
            const IPTR visual_info = GetTagData(GT_VisualInfo, 0, ops->ops_AttrList);
            if (visual_info == 0) return 0;
            auto* image = reinterpret_cast<Image*>(DoSuperMethodA(cl, object, msg));
            if (image != nullptr) {
                image->Width = kWidth;
                image->Height = kHeight;
                image->ImageData = reinterpret_cast<void*>(visual_info);
            }
            return reinterpret_cast<IPTR>(image);
        }
        case IM_DRAW: {
            const auto* draw = reinterpret_cast<const impDraw*>(msg);
            auto* image = static_cast<Image*>(object);
            RastPort* rp = draw->imp_RPort;
            const UWORD* pens = draw->imp_DrInfo->dri_Pens;
            const bool selected = draw->imp_State == IDS_SELECTED;
            const auto x = static_cast<UWORD>(draw->imp_Offset.X);
            const auto y = static_cast<UWORD>(draw->imp_Offset.Y);

            rp->AreaPtrn = nullptr;
            rp->AreaPtSz = 0;
            SetAPen(rp, pens[selected ? FILLPEN : BACKGROUNDPEN]);
            RectFill(rp, x, y, x + kWidth - 1, y + kHeight - 1);
            const TagItem bevel[] = {{GTBB_Recessed, 1},
                                     {GT_VisualInfo, reinterpret_cast<IPTR>(image->ImageData)},
                                     {TAG_DONE, 0}};
            DrawBevelBoxA(rp, x, y, kWidth, kHeight, selected ? bevel : bevel + 1);
            SetAPen(rp, pens[selected ? FILLTEXTPEN : TEXTPEN]);
            Move(rp, static_cast<WORD>((x + kOriginX) % 65536), static_cast<WORD>((y + kOriginY) % 65536));
            for (int i = 0; i < 13; ++i) {
                CorrectedPolyArray[i][0] = static_cast<WORD>(x + kOriginX + PolyArray[i][0]);
                CorrectedPolyArray[i][1] = static_cast<WORD>(y + kOriginY + PolyArray[i][1]);
            }
            PolyDraw(rp, 13, &CorrectedPolyArray[0][0]);
            return 1;
        }
        default:
            return DoSuperMethodA(cl, object, msg);
    }
}

}  // namespace

IPTR DoSuperMethodA(IClass* cl, Object* object, Msg msg) {
    if (cl == nullptr || object == nullptr) return 0;
    IClass* super = cl->cl_Super;
    return super->cl_Dispatcher.h_Entry(super, object, msg);
}

IClass* initGet() {
    IClass* cl = MakeClass(nullptr, "imageclass", nullptr, 0, 0);
    if (cl == nullptr) return nullptr;
    cl->cl_Dispatcher.h_Entry = dispatchGet;
    return cl;
}

}  // namespace vexo::ui
