// gadtools gadgets as real widgets: string and integer fields, check boxes, radio choices,
// buttons, read-only text and image buttons, with their labels placed as GadTools places them.
// Every user action becomes a gadget-up or gadget-down message on the window's port.
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <charconv>
#include <limits>

#include "ui/platform/platform_internal.hpp"

namespace vexo::platform {
namespace {

constexpr int kLabelGap = 6;

void PaintBevel(QPainter& p, const QRect& r, bool recessed) {
    const QColor light = PenColor(recessed ? 1 : 2), dark = PenColor(recessed ? 2 : 1);
    p.setPen(light);
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.drawLine(r.left() + 1, r.top(), r.left() + 1, r.bottom() - 1);
    p.setPen(dark);
    p.drawLine(r.left() + 1, r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    p.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom());
}

// Disabled gadgets are ghosted with a dot pattern in the text pen, as the original did.
void PaintGhost(QPainter& p, const QRect& r) {
    p.setPen(PenColor(1));
    for (int y = r.top(); y <= r.bottom(); y += 2) {
        for (int x = r.left() + (y / 2) % 2 * 2; x <= r.right(); x += 4) p.drawPoint(x, y);
    }
}

// A string or integer gadget. Its text is entered (a gadget-up) by Return, Enter, Tab and
// Shift+Tab alike, and when the user leaves it or works another gadget after changing it.
class FieldGadget : public QLineEdit {
public:
    FieldGadget(QWidget* parent, Gadget* gadget) : QLineEdit(parent), gadget_(gadget) {
        connect(this, &QLineEdit::textEdited, [this](const QString& text) {
            gadget_->data->text = text.toStdString();
            gadget_->data->edited = true;
        });
    }

protected:
    // Tab reaches event() first: Qt would move the focus there and the key would never arrive.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
            if (tab && (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0) {
                EnterGadgetText(gadget_);
                focusNextPrevChild(key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier) == 0);
                return true;
            }
        }
        return QLineEdit::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            EnterGadgetText(gadget_);
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    // Opening a menu is not leaving: its pick enters the text before it is reported.
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        if (event->reason() != Qt::PopupFocusReason && gadget_->data->edited) EnterGadgetText(gadget_);
    }

private:
    Gadget* gadget_;
};

class CheckBoxGadget : public QWidget {
public:
    CheckBoxGadget(QWidget* parent, Gadget* gadget) : QWidget(parent), gadget_(gadget) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), PenColor(0));
        PaintBevel(p, rect(), false);
        if (gadget_->data->checked) {
            p.setPen(QPen(PenColor(1), 2));
            const int w = width(), h = height();
            p.drawLine(w / 2 - 6, h / 2, w / 2 - 2, h - 3);
            p.drawLine(w / 2 - 2, h - 3, w / 2 + 6, 2);
        }
        if (!isEnabled()) PaintGhost(p, rect());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (!rect().contains(event->position().toPoint())) return;
        gadget_->data->checked = !gadget_->data->checked;
        gadget_->Flags = static_cast<UWORD>(gadget_->data->checked ? gadget_->Flags | GFLG_SELECTED
                                                                   : gadget_->Flags & ~GFLG_SELECTED);
        update();
        PostIntuiMessage(gadget_->data->window, IDCMP_GADGETUP, 0, gadget_);
    }

private:
    Gadget* gadget_;
};

int MxRowHeight(WORD height) {
    return std::max<int>(height, FixedFontHeight());
}

int MxHeight(WORD height, int entries, int spacing) {
    return entries * MxRowHeight(height) + std::max(entries - 1, 0) * spacing;
}

// Entry i's button, centred in its row.
QRect MxEntry(WORD width, WORD height, int spacing, int i) {
    const int row = MxRowHeight(height);
    return QRect(0, i * (row + spacing) + (row - height) / 2, width, height);
}

// One widget for all entries of a radio choice, entry i at MxEntryRect(i).
class MxGadget : public QWidget {
public:
    MxGadget(QWidget* parent, Gadget* gadget) : QWidget(parent), gadget_(gadget) {}
    QRect Entry(int i) const { return MxEntryRect(gadget_, i); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), PenColor(0));
        for (int i = 0; i < static_cast<int>(gadget_->data->labels.size()); ++i) {
            const QRect r = Entry(i);
            const bool on = i == gadget_->data->active;
            PaintBevel(p, r, on);
            if (on) p.fillRect(r.adjusted(3, 2, -3, -2), PenColor(3));
            if (!isEnabled()) PaintGhost(p, r);
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        for (int i = 0; i < static_cast<int>(gadget_->data->labels.size()); ++i) {
            if (Entry(i).contains(event->position().toPoint())) {
                gadget_->data->active = i;
                update();
                PostIntuiMessage(gadget_->data->window, IDCMP_GADGETDOWN, static_cast<UWORD>(i), gadget_);
                return;
            }
        }
    }

private:
    Gadget* gadget_;
};

// A generic gadget whose face is an image drawn by its class, at rest or pressed.
class ImageGadget : public QWidget {
public:
    ImageGadget(QWidget* parent, Gadget* gadget) : QWidget(parent), gadget_(gadget) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QImage face(size(), QImage::Format_RGB32);
        face.fill(PenColor(0));
        RastPortData data{&face, {}};
        RastPort rp;
        rp.data = &data;
        const bool pressed = gadget_->data->pressed;
        void* image = pressed && (gadget_->Flags & GFLG_GADGHIMAGE) ? gadget_->SelectRender : gadget_->GadgetRender;
        if (image != nullptr) {
            const ULONG state = pressed ? IDS_SELECTED : (isEnabled() ? IDS_NORMAL : IDS_DISABLED);
            DrawImageState(&rp, static_cast<Image*>(image), 0, 0, state, DefaultDrawInfo());
        }
        QPainter(this).drawImage(0, 0, face);
    }
    void mousePressEvent(QMouseEvent*) override {
        gadget_->data->pressed = true;
        update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool inside = rect().contains(event->position().toPoint());
        gadget_->data->pressed = false;
        update();
        if (inside && (gadget_->Activation & GACT_RELVERIFY) != 0) {
            PostIntuiMessage(gadget_->data->window, IDCMP_GADGETUP, 0, gadget_);
        }
    }

private:
    Gadget* gadget_;
};

QLabel* MakeLabel(QWidget* parent, const std::string& text) {
    auto* label = new QLabel(QString::fromUtf8(text.c_str()), parent);
    label->setFont(FixedFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, PenColor(1));
    label->setPalette(palette);
    label->adjustSize();
    return label;
}

// The size a label of this text takes, exactly as MakeLabel's label will.
QSize LabelSize(const std::string& text) {
    QLabel label(QString::fromUtf8(text.c_str()));
    label.setFont(FixedFont());
    return label.sizeHint();
}

// Where a label of `size` goes beside the rectangle: to the left (right-aligned) or to the right,
// centred on it.
QRect LabelRect(QSize size, const QRect& r, ULONG placement) {
    const int y = r.top() + (r.height() - size.height()) / 2;
    const int x =
        (placement & PLACETEXT_RIGHT) != 0 ? r.right() + 1 + kLabelGap : r.left() - kLabelGap - size.width();
    return QRect(QPoint(x, y), size);
}

void PlaceLabel(QLabel* label, const QRect& r, ULONG placement) {
    label->setGeometry(LabelRect(label->sizeHint(), r, placement));
}

// Shows the gadget's help text on the gadget and on its labels.
void ApplyHint(Gadget* g) {
    const QString hint = QString::fromUtf8(g->data->hint.c_str());
    if (g->data->widget != nullptr) g->data->widget->setToolTip(hint);
    for (auto& label : g->data->decorations) {
        if (label != nullptr) label->setToolTip(hint);
    }
}

std::vector<std::string> MxLabels(const TagItem* tags) {
    std::vector<std::string> labels;
    const auto* list = reinterpret_cast<const char* const*>(GetTagData(GTMX_Labels, 0, tags));
    for (const char* const* l = list; l != nullptr && *l != nullptr; ++l) labels.emplace_back(*l);
    return labels;
}

void ApplyDisabled(Gadget* g) {
    const bool enabled = (g->Flags & GFLG_DISABLED) == 0;
    if (g->data->widget != nullptr) {
        g->data->widget->setEnabled(enabled);
        g->data->widget->update();
    }
}

std::string NumberText(LONG n) { return std::to_string(n); }

}  // namespace

Gadget* CreateContext(Gadget** glist) {
    auto* context = new Gadget;
    context->data = new GadgetData;
    context->data->context = true;
    *glist = context;
    return context;
}

Gadget* CreateGadgetA(ULONG kind, Gadget* previous, const NewGadget* ng, const TagItem* tags) {
    if (previous == nullptr) return nullptr;
    if (hooks::fail_create_gadget_after > 0 && --hooks::fail_create_gadget_after == 0) return nullptr;
    auto* g = new Gadget;
    g->data = new GadgetData;
    g->LeftEdge = ng->ng_LeftEdge;
    g->TopEdge = ng->ng_TopEdge;
    g->Width = ng->ng_Width;
    g->Height = ng->ng_Height;
    g->GadgetID = ng->ng_GadgetID;
    GadgetData* d = g->data;
    d->kind = kind;
    d->label = ng->ng_GadgetText != nullptr ? ng->ng_GadgetText : "";
    d->placement = ng->ng_Flags;
    switch (kind) {
        case STRING_KIND:
            d->text = reinterpret_cast<const char*>(GetTagData(GTST_String, reinterpret_cast<IPTR>(""), tags));
            d->max_chars = static_cast<int>(GetTagData(GTST_MaxChars, 64, tags));
            break;
        case INTEGER_KIND:
            d->text = NumberText(static_cast<LONG>(GetTagData(GTIN_Number, 0, tags)));
            d->max_chars = static_cast<int>(GetTagData(GTIN_MaxChars, 10, tags));
            break;
        case CHECKBOX_KIND:
            d->checked = GetTagData(GTCB_Checked, 0, tags) != 0;
            if (d->checked) g->Flags |= GFLG_SELECTED;
            break;
        case MX_KIND: {
            d->labels = MxLabels(tags);
            d->active = static_cast<int>(GetTagData(GTMX_Active, 0, tags));
            d->spacing = static_cast<int>(GetTagData(GTMX_Spacing, 1, tags));
            break;
        }
        case TEXT_KIND:
            d->text = reinterpret_cast<const char*>(GetTagData(GTTX_Text, reinterpret_cast<IPTR>(""), tags));
            break;
        default:
            break;
    }
    if (GetTagData(GA_Disabled, 0, tags) != 0) g->Flags |= GFLG_DISABLED;
    if (const auto* hint = reinterpret_cast<const char*>(GetTagData(GA_HintInfo, 0, tags))) d->hint = hint;
    // Each gadget is appended to the end of the list that `previous` belongs to.
    while (previous->NextGadget != nullptr) previous = previous->NextGadget;
    previous->NextGadget = g;
    return g;
}

void FreeGadgets(Gadget* glist) {
    while (glist != nullptr) {
        Gadget* next = glist->NextGadget;
        DestroyGadgetWidget(glist);
        delete glist->data;
        delete glist;
        glist = next;
    }
}

void EnterGadgetText(Gadget* g) {
    GadgetData* d = g->data;
    if (auto* field = qobject_cast<QLineEdit*>(d->widget.data())) d->text = field->text().toStdString();
    // While the window takes no input the change waits to be entered later.
    if (d->window == nullptr || d->window->data->owned_open > 0) return;
    d->edited = false;
    PostIntuiMessage(d->window, IDCMP_GADGETUP, 0, g);
}

void CreateGadgetWidget(Gadget* g, Window* window) {
    GadgetData* d = g->data;
    d->window = window;
    if (d->context) return;
    QWidget* canvas = window->data->canvas;
    const QRect r(g->LeftEdge, g->TopEdge, g->Width, g->Height);
    QWidget* widget = nullptr;
    switch (d->kind) {
        case STRING_KIND:
        case INTEGER_KIND: {
            auto* field = new FieldGadget(canvas, g);
            field->setFont(FixedFont());
            field->setMaxLength(d->max_chars);
            field->setText(QString::fromUtf8(d->text.c_str()));
            field->setTextMargins(1, 0, 1, 0);
            if (d->kind == INTEGER_KIND) {
                field->setValidator(new QRegularExpressionValidator(QRegularExpression("-?[0-9]*"), field));
            }
            widget = field;
            break;
        }
        case CHECKBOX_KIND:
            widget = new CheckBoxGadget(canvas, g);
            break;
        case MX_KIND: {
            auto* mx = new MxGadget(canvas, g);
            const int n = static_cast<int>(d->labels.size());
            mx->setGeometry(r.left(), r.top(), r.width(), MxHeight(g->Height, n, d->spacing));
            for (int i = 0; i < n; ++i) {
                QLabel* label = MakeLabel(canvas, d->labels[i]);
                PlaceLabel(label, mx->Entry(i).translated(r.topLeft()),
                           (d->placement & PLACETEXT_LEFT) != 0 ? PLACETEXT_LEFT : PLACETEXT_RIGHT);
                label->show();
                d->decorations.emplace_back(label);
            }
            widget = mx;
            break;
        }
        case BUTTON_KIND: {
            auto* button = new QPushButton(QString::fromUtf8(d->label.c_str()), canvas);
            button->setFont(FixedFont());
            QObject::connect(button, &QPushButton::clicked,
                             [g] { PostIntuiMessage(g->data->window, IDCMP_GADGETUP, 0, g); });
            widget = button;
            break;
        }
        case TEXT_KIND: {
            QLabel* label = MakeLabel(canvas, d->text);
            label->setGeometry(r.left(), r.top(), std::max(r.width(), label->sizeHint().width()), r.height());
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        default:
            widget = new ImageGadget(canvas, g);
            break;
    }
    if (d->kind != MX_KIND && d->kind != TEXT_KIND) widget->setGeometry(r);
    d->widget = widget;
    widget->setObjectName(QString("gadget%1").arg(g->GadgetID));
    if (!d->label.empty() && d->kind != BUTTON_KIND) {
        QLabel* label = MakeLabel(canvas, d->label);
        PlaceLabel(label, r, d->placement);
        label->show();
        d->decorations.emplace_back(label);
    }
    ApplyDisabled(g);
    ApplyHint(g);
    widget->show();
}

QRect MxEntryRect(const Gadget* g, int i) {
    return MxEntry(g->Width, g->Height, g->data->spacing, i);
}

IBox GadgetExtent(ULONG kind, const NewGadget* ng, const TagItem* tags) {
    QRect r(ng->ng_LeftEdge, ng->ng_TopEdge, ng->ng_Width, ng->ng_Height);
    QRect extent = r;
    const std::string label = ng->ng_GadgetText != nullptr ? ng->ng_GadgetText : "";
    if (kind == MX_KIND) {
        const std::vector<std::string> labels = MxLabels(tags);
        const int n = static_cast<int>(labels.size());
        const int spacing = static_cast<int>(GetTagData(GTMX_Spacing, 1, tags));
        extent.setHeight(MxHeight(ng->ng_Height, n, spacing));
        const ULONG side = (ng->ng_Flags & PLACETEXT_LEFT) != 0 ? PLACETEXT_LEFT : PLACETEXT_RIGHT;
        for (int i = 0; i < n; ++i) {
            const QRect entry = MxEntry(ng->ng_Width, ng->ng_Height, spacing, i).translated(r.topLeft());
            extent |= LabelRect(LabelSize(labels[static_cast<std::size_t>(i)]), entry, side);
        }
    } else if (kind == TEXT_KIND) {
        const QSize text =
            LabelSize(reinterpret_cast<const char*>(GetTagData(GTTX_Text, reinterpret_cast<IPTR>(""), tags)));
        extent = QRect(r.topLeft(), QSize(std::max(r.width(), text.width()), text.height()));
    } else if (kind == BUTTON_KIND) {
        // The text is inside; a button too narrow for it grows to the right.
        const int text =
            QFontMetrics(FixedFont()).horizontalAdvance(QString::fromUtf8(label.c_str())) + 2 * kLabelGap;
        extent.setWidth(std::max(r.width(), text));
    } else if (!label.empty()) {
        extent |= LabelRect(LabelSize(label), r, ng->ng_Flags);
    }
    return {static_cast<WORD>(extent.left()), static_cast<WORD>(extent.top()),
            static_cast<WORD>(extent.width()), static_cast<WORD>(extent.height())};
}

void DestroyGadgetWidget(Gadget* g) {
    if (g->data == nullptr) return;
    delete g->data->widget.data();
    for (auto& label : g->data->decorations) delete label.data();
    g->data->decorations.clear();
    g->data->window = nullptr;
}

void GT_SetGadgetAttrsA(Gadget* g, Window*, void*, const TagItem* tags) {
    if (g == nullptr || g->data == nullptr) return;
    GadgetData* d = g->data;
    for (const TagItem* t = tags; t != nullptr && t->ti_Tag != TAG_DONE; ++t) {
        switch (t->ti_Tag) {
            case GTST_String:
                d->text = t->ti_Data != 0 ? reinterpret_cast<const char*>(t->ti_Data) : "";
                d->edited = false;
                if (auto* field = qobject_cast<QLineEdit*>(d->widget.data())) field->setText(QString::fromUtf8(d->text.c_str()));
                break;
            case GTTX_Text:
                d->text = t->ti_Data != 0 ? reinterpret_cast<const char*>(t->ti_Data) : "";
                if (auto* label = qobject_cast<QLabel*>(d->widget.data())) {
                    label->setText(QString::fromUtf8(d->text.c_str()));
                    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
                }
                break;
            case GTIN_Number:
                d->text = NumberText(static_cast<LONG>(t->ti_Data));
                d->edited = false;
                if (auto* field = qobject_cast<QLineEdit*>(d->widget.data())) field->setText(QString::fromUtf8(d->text.c_str()));
                break;
            case GTCB_Checked:
                d->checked = t->ti_Data != 0;
                g->Flags = static_cast<UWORD>(d->checked ? g->Flags | GFLG_SELECTED : g->Flags & ~GFLG_SELECTED);
                if (d->widget != nullptr) d->widget->update();
                break;
            case GTMX_Active:
                d->active = static_cast<int>(t->ti_Data);
                if (d->widget != nullptr) d->widget->update();
                break;
            case GA_Disabled:
                g->Flags = static_cast<UWORD>(t->ti_Data != 0 ? g->Flags | GFLG_DISABLED : g->Flags & ~GFLG_DISABLED);
                ApplyDisabled(g);
                break;
            case GA_HintInfo:
                d->hint = t->ti_Data != 0 ? reinterpret_cast<const char*>(t->ti_Data) : "";
                ApplyHint(g);
                break;
            default:
                break;
        }
    }
}

const char* GadgetString(const Gadget* g) { return g->data->text.c_str(); }

// The integer gadget's number as typed: an optional minus and digits; empty or a lone minus
// reads as 0, and a number beyond 32 bits is held at the nearest limit.
LONG GadgetLongInt(const Gadget* g) {
    const std::string& text = g->data->text;
    long long value = 0;
    const bool negative = !text.empty() && text[0] == '-';
    for (std::size_t i = negative ? 1 : 0; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 40);
    }
    if (negative) value = -value;
    return static_cast<LONG>(std::clamp<long long>(value, std::numeric_limits<LONG>::min(),
                                                   std::numeric_limits<LONG>::max()));
}

bool ActivateGadget(Gadget* g, Window* window, void*) {
    if (g == nullptr || g->data == nullptr) return false;
    auto* field = qobject_cast<QLineEdit*>(g->data->widget.data());
    if (field == nullptr) return false;
    hooks::activation_log.push_back((window != nullptr ? window->Title : std::string()) + ":" +
                                    std::to_string(g->GadgetID));
    field->window()->activateWindow();
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return true;
}

}  // namespace vexo::platform
