// BOOPSI-style classes: the system's "imageclass" and private classes made on top of it. A class
// is reached through its dispatcher hook, called with the class, the object and the message.
#include <map>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

std::map<const Object*, IClass*> object_classes;

inline constexpr Tag IA_Width = TAG_USER + 0x20003;
inline constexpr Tag IA_Height = TAG_USER + 0x20004;

// The system image class: OM_NEW makes a plain image, OM_DISPOSE frees it, the rest is ignored.
IPTR ImageClassDispatcher(IClass*, Object* object, Msg msg) {
    switch (msg->MethodID) {
        case OM_NEW: {
            const auto* ops = reinterpret_cast<const opSet*>(msg);
            auto* image = new Image;
            image->Width = static_cast<WORD>(GetTagData(IA_Width, 0, ops->ops_AttrList));
            image->Height = static_cast<WORD>(GetTagData(IA_Height, 0, ops->ops_AttrList));
            return reinterpret_cast<IPTR>(image);
        }
        case OM_DISPOSE:
            delete static_cast<Image*>(object);
            return 0;
        default:
            return 0;
    }
}

IClass* SystemImageClass() {
    static IClass image_class = [] {
        IClass cl;
        cl.cl_Dispatcher.h_Entry = ImageClassDispatcher;
        return cl;
    }();
    return &image_class;
}

}  // namespace

IClass* MakeClass(const char* id, const char* super_id, IClass* super_class, ULONG inst_size, ULONG) {
    if (id != nullptr) return nullptr;  // public classes are not needed
    IClass* super = super_class;
    if (super == nullptr && super_id != nullptr && std::string(super_id) == "imageclass") super = SystemImageClass();
    if (super == nullptr) return nullptr;
    auto* cl = new IClass;
    cl->cl_Super = super;
    cl->cl_InstSize = inst_size;
    return cl;
}

BOOL FreeClass(IClass* cl) {
    delete cl;
    return 1;
}

Object* NewObjectA(IClass* cl, const char*, const TagItem* tags) {
    if (cl == nullptr || cl->cl_Dispatcher.h_Entry == nullptr) return nullptr;
    opSet ops{OM_NEW, const_cast<TagItem*>(tags), nullptr};
    // For OM_NEW the object argument is the class that is being instantiated.
    auto* object = reinterpret_cast<Object*>(
        cl->cl_Dispatcher.h_Entry(cl, reinterpret_cast<Object*>(cl), reinterpret_cast<Msg>(&ops)));
    if (object != nullptr) object_classes[object] = cl;
    return object;
}

void DisposeObject(Object* object) {
    const auto found = object_classes.find(object);
    if (found == object_classes.end()) return;
    IClass* cl = found->second;
    object_classes.erase(found);
    Msg_ dispose{OM_DISPOSE};
    cl->cl_Dispatcher.h_Entry(cl, object, &dispose);
}

IPTR DoMethodA(Object* object, Msg msg) {
    const auto found = object_classes.find(object);
    if (found == object_classes.end()) return 0;
    return found->second->cl_Dispatcher.h_Entry(found->second, object, msg);
}

void DrawImageState(RastPort* rp, Image* image, LONG left, LONG top, ULONG state, DrawInfo* draw_info) {
    impDraw draw{IM_DRAW, rp, {static_cast<WORD>(left), static_cast<WORD>(top)}, state, draw_info};
    DoMethodA(image, reinterpret_cast<Msg>(&draw));
}

}  // namespace vexo::platform
