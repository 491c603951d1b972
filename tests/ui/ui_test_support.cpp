#include "tests/ui/ui_test_support.hpp"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "engine/generation/scene_estimate.hpp"
#include "prefs/session_prefs.hpp"
#include "prefs/settings_text.hpp"
#include "ui/file_memory.hpp"
#include "ui/option_windows.hpp"
#include "ui/platform/break_signal.hpp"
#include "ui/preview_window.hpp"

namespace vexo::uitest {
namespace {

std::string transcript, folder, config_folder;
std::map<std::string, std::string> last_seen;  // what the last snapshots showed
std::size_t noted[5];  // the file, list and message requesters, activations and library calls noted

template <typename T, typename F>
void Flush(const std::vector<T>& records, std::size_t& seen, F write) {
    for (; seen < records.size(); ++seen) write(records[seen]);
}

void FlushRecords() {
    Flush(pt::FileRequests(), noted[0], [](const pt::FileRequestRecord& f) {
        // The scene formats the parent motion's pattern lists depend on the installed importer.
        std::string pattern = f.pattern.starts_with("#?.(mot|") ? f.pattern.substr(0, 8) : f.pattern;
        for (const char* e : {"|dae|", "|fbx|", "|glb|", "|gltf|"})
            pattern += f.pattern.starts_with("#?.(mot|") && f.pattern.find(e) != std::string::npos ? e : "";
        std::ostringstream s;
        s << "file requester \"" << f.title << "\" drawer \"" << f.initial_drawer << "\" file \""
          << f.initial_file << "\" pattern \"" << pattern << "\" save " << f.save_mode << " window "
          << f.window_set << " sleep " << f.sleep_window << " reject icons " << f.reject_icons << " size "
          << f.width << "x" << f.height;
        Note(s.str());
    });
    Flush(pt::ListRequests(), noted[1], [](const pt::ListRequestRecord& l) {
        std::string entries;
        for (const auto& e : l.entries) entries += " " + e;
        Note("list requester \"" + l.title + "\" \"" + l.text + "\" entries" + entries);
    });
    Flush(pt::Requesters(), noted[2], [](const pt::RequesterRecord& r) {
        std::string text = "requester \"" + r.title + "\" [" + r.buttons + "]\n| ";
        for (char c : r.text) text += c == '\n' ? std::string("\n| ") : std::string(1, c);
        Note(text);
    });
    Flush(pt::Activations(), noted[3], [](const std::string& a) { Note("activated " + a); });
    Flush(pt::LibraryLog(), noted[4], [](const std::string& l) { Note("library " + l); });
}

struct NamedWindow {
    const char* name;
    Window** window;
    Gadget** gadgets;
    int count;
};
const NamedWindow kWindows[] = {{"main", &VEXOWnd, VEXOGadgets, VEXO_CNT},
                                {"scene", &VEXOscene_optionsWnd, VEXOscene_optionsGadgets, 3},
                                {"emission", &VEXOemission_optionsWnd, VEXOemission_optionsGadgets, 5},
                                {"effect", &VEXOeffect_optionsWnd, VEXOeffect_optionsGadgets, 5},
                                {"shapes", &VEXOshapes_optionsWnd, VEXOshapes_optionsGadgets, kShapesCount},
                                {"creating", &VEXOcreatingWnd, VEXOcreatingGadgets, 1}};
const char* const kMainNames[VEXO_CNT] = {
    "particle_object",    "parent_motion",      "target_scene",      "get_object",
    "get_motion",         "get_scene",          "num_particles",     "particles_per_frame",
    "lifespan",           "end_behavior",       "end_behavior_text", "velocity",
    "velocity_variation", "creation_delay",     "start_size",        "end_size",
    "limited_lifespan",   "use_creation_delay", "particle_grow",     "scene_options",
    "emission_options",   "effect_options",     "generate",          "preview",
    "shapes_options"};

std::string Name(const NamedWindow& w, int id) {
    return std::string(w.name) + "." + (w.gadgets == VEXOGadgets ? kMainNames[id] : std::to_string(id));
}

const NamedWindow& WindowNamed(const std::string& name) {
    for (const NamedWindow& w : kWindows) {
        if (name == w.name) return w;
    }
    ADD_FAILURE() << "no window " << name;
    return kWindows[0];
}

// Every gadget of the open windows with its name, for `visit` to look at.
void ForEachGadget(const std::function<void(const std::string&, Gadget*)>& visit) {
    for (const NamedWindow& w : kWindows) {
        for (int id = 0; *w.window != nullptr && id < w.count; ++id) {
            if (w.gadgets[id] != nullptr && pt::GadgetWidget(w.gadgets[id]) != nullptr)
                visit(Name(w, id), w.gadgets[id]);
        }
    }
}

std::string Shown(Gadget* gadget) {
    auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(gadget));
    return field != nullptr ? field->text().toStdString() : std::string();
}

std::size_t Blocks(const std::string& scene) {
    std::size_t blocks = 0;
    for (std::size_t at = 0; (at = scene.find("ShadowOptions 2\n\n", at)) != std::string::npos; ++at)
        ++blocks;
    return blocks;
}

bool BarShowsPass(int pass, int passes) {
    const int l = VEXOcreatingWnd->BorderLeft, t = VEXOcreatingWnd->BorderTop;
    return pt::WindowPenAt(VEXOcreatingWnd, l + 8 + 233 * pass / passes, t + 22) == 3;
}

// "\n", "\t", "\e" and "\0" for the characters, "{c*N}" for N times c.
std::string Expand(std::string text) {
    for (std::size_t at = 0; (at = text.find('\\', at)) != std::string::npos && at + 1 < text.size(); ++at) {
        const char c = text[at + 1];
        text.replace(at, 2, 1, c == 'n' ? '\n' : c == 't' ? '\t' : c == 'e' ? '\x1b' : c == '0' ? '\0' : c);
    }
    for (std::size_t at = 0; (at = text.find('{', at)) != std::string::npos; ++at) {
        const std::size_t end = text.find('}', at);
        if (end == std::string::npos || at + 3 >= end || text[at + 2] != '*') continue;
        text.replace(at, end - at + 1,
                     std::string(std::stoul(text.substr(at + 3, end - at - 3)), text[at + 1]));
    }
    return text;
}

// A script command's words: the first, the (expanded) text after it, and all of them.
struct Args {
    explicit Args(const std::string& all) : all(all) {
        std::istringstream(all) >> a;
        text = all.find(' ') == std::string::npos ? "" : Expand(all.substr(all.find(' ') + 1));
    }
    std::filesystem::path path() const { return std::filesystem::path(folder) / a; }
    Window* window() const { return *WindowNamed(a).window; }
    // "main.velocity" or "scene.2", looked up when the step runs.
    Gadget* gadget() const {
        const NamedWindow& w = WindowNamed(a.substr(0, a.find('.')));
        for (int id = 0; id < w.count; ++id) {
            if (Name(w, id) == a) return w.gadgets[id];
        }
        ADD_FAILURE() << "no gadget " << a;
        return w.gadgets[0];
    }
    int number() const { return std::stoi(text); }
    std::string all, a, text;
};

void Do(const std::string& command, const std::string& args);

// Runs the command once `ready` holds during the next generation, from inside the progress
// window's event processing, as a person's click or key would arrive.
void AtPass(const Args& x, bool first_pass) {
    std::istringstream in(x.all);
    int pass = 0, passes = 0;
    std::string command, rest;
    in >> pass;
    if (first_pass) passes = pass;
    if (!first_pass) in >> passes;
    in >> command;
    std::getline(in >> std::ws, rest);
    auto ticks = std::make_shared<int>(0);  // in the first pass: two ticks in a row between two bars
    const std::function<bool()> ready = [=] {
        if (!first_pass) return BarShowsPass(pass, passes);
        *ticks = BarShowsPass(0, passes) && !BarShowsPass(1, passes) ? *ticks + 1 : 0;
        return *ticks >= 2;
    };
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, ready, command, rest] {
        if (VEXOcreatingWnd == nullptr || !ready()) return;
        Do(command, rest);
        timer->stop();
        timer->deleteLater();
    });
    timer->start(0);
}

void Type(const Args& x, bool enter) {
    auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(x.gadget()));
    ASSERT_NE(field, nullptr) << x.a << " is not a text field";
    field->window()->activateWindow();
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    // Keys cannot carry control characters; such text arrives as a paste would bring it.
    if (HasControlCharacter(x.text)) {
        field->setText(QString::fromStdString(x.text));
    } else {
        QTest::keyClicks(field, QString::fromStdString(x.text));
    }
    if (enter) QTest::keyClick(field, Qt::Key_Return);
}

// The gadgets and settings changed since the last snapshot.
void Snapshot() {
    std::vector<std::pair<std::string, std::string>> now;
    ForEachGadget([&](const std::string& name, Gadget* g) {
        now.emplace_back(name, "'" + Shown(g) + "'" + (pt::GadgetWidget(g)->isEnabled() ? "" : " disabled") +
                                   ((g->Flags & platform::GFLG_SELECTED) != 0 ? " ticked" : ""));
    });
    std::istringstream lines(FormatSettings(current_prefs));
    for (std::string line; std::getline(lines, line);) {
        now.emplace_back(line.substr(0, line.find('=')), line.substr(line.find('=') + 1));
    }
    std::string changed;
    for (const auto& [key, value] : now) {
        if (last_seen.count(key) != 0 && last_seen[key] == value) continue;
        changed += "\n  " + key + "=" + value;
        last_seen[key] = value;
    }
    Note("snapshot" + changed);
}

// Every open window: its title, place, owner, modality and screen title, and the locks held.
void NoteWindows() {
    for (const NamedWindow& w : kWindows) {
        if (*w.window == nullptr) continue;
        QWidget* top = pt::WindowWidget(*w.window);
        QWidget* owner = top->parentWidget();
        std::ostringstream s;
        s << "window \"" << top->windowTitle().toStdString() << "\" at " << top->pos().x() << ","
          << top->pos().y() << " size " << (*w.window)->Width << "x" << (*w.window)->Height << " owner \""
          << (owner != nullptr ? owner->windowTitle().toStdString() : "") << "\" modal "
          << top->windowModality() << " screen title \""
          << top->property("screenTitle").toString().toStdString() << "\"";
        Note(s.str());
    }
    Note("locks " + std::to_string(pt::ScreenLockCount()) + " visual infos " +
         std::to_string(pt::VisualInfosOutstanding()));
}

// A tooltip or text as transcript lines: the first after `head`, the others after "| ".
std::string Lines(const QString& text) {
    std::string out;
    for (const QString& line : text.split('\n')) out += (out.empty() ? "" : "\n| ") + line.toStdString();
    return out;
}

// The names of the open windows' gadgets by their widgets.
std::map<const QWidget*, std::string> GadgetNames() {
    std::map<const QWidget*, std::string> names;
    ForEachGadget([&](const std::string& name, Gadget* g) { names[pt::GadgetWidget(g)] = name; });
    return names;
}

// Every text the open windows (or the one named) show, placeholders and tooltips included, in
// the order of their titles; each widget belongs to the window it is drawn in. A gadget's tooltip
// is written out whole; a label that shows the same one says whose it is.
void NoteTexts(const Args& x) {
    const std::map<const QWidget*, std::string> names = GadgetNames();
    std::map<QString, std::string> tips;  // tooltip -> the first gadget with it, by id
    ForEachGadget(
        [&](const std::string& name, Gadget* g) { tips.emplace(pt::GadgetWidget(g)->toolTip(), name); });
    QWidgetList tops = QApplication::topLevelWidgets();
    std::sort(tops.begin(), tops.end(),
              [](QWidget* a, QWidget* b) { return a->windowTitle() < b->windowTitle(); });
    for (QWidget* top : tops) {
        if (!top->isVisible() || (!x.a.empty() && top != pt::WindowWidget(x.window()))) continue;
        for (QWidget* w : top->findChildren<QWidget*>()) {
            if (w->window() != top) continue;
            QString shown;
            if (auto* label = qobject_cast<QLabel*>(w)) shown += label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(w)) shown += button->text();
            if (auto* field = qobject_cast<QLineEdit*>(w)) shown += field->placeholderText();
            const std::string where = top->windowTitle().toStdString();
            const QString tip = w->toolTip();
            const auto gadget = names.find(w);
            std::string line = where + " shows \"" + shown.toStdString() + "\"";
            if (gadget != names.end()) {
                line = where + " " + gadget->second +
                       (shown.isEmpty() ? "" : " shows \"" + shown.toStdString() + "\"");
                if (!tip.isEmpty()) line += ", tip: " + Lines(tip);
            } else if (!tip.isEmpty()) {
                line += tips.count(tip) != 0 ? ", tip of " + tips[tip] : ", tip: " + Lines(tip);
            } else if (shown.isEmpty()) {
                continue;
            }
            Note(line);
        }
    }
}

// Every gadget and label of a window inside its area and clear of all others, and its title bar
// wide enough for its title: read from the widgets as they are, not from the layout.
void NoteLayout(const Args& x) {
    Window* window = x.window();
    QWidget* canvas = pt::GadgetWidget(WindowNamed(x.a).gadgets[0])->parentWidget();
    const std::map<const QWidget*, std::string> names = GadgetNames();
    std::vector<std::pair<std::string, QRect>> parts;
    for (QWidget* w : canvas->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!w->isVisible()) continue;
        const auto* label = qobject_cast<QLabel*>(w);
        const bool gadget = names.count(w) != 0;
        // A read-only text gadget is as tall as its text, whatever height it was given.
        const QRect r = label != nullptr ? QRect(w->pos(), label->sizeHint()) : w->geometry();
        parts.emplace_back(gadget ? names.at(w) : "\"" + label->text().toStdString() + "\"", r);
    }
    std::string clashes;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!canvas->rect().contains(parts[i].second))
            clashes += " " + parts[i].first + " leaves the window;";
        for (std::size_t j = i + 1; j < parts.size(); ++j) {
            if (parts[i].second.intersects(parts[j].second))
                clashes += " " + parts[i].first + " meets " + parts[j].first + ";";
        }
    }
    if (platform::TitleBarWidth(window->Title.c_str()) > window->Width) clashes += " the title is cut;";
    Note("layout " + x.a + " " + std::to_string(window->Width) + "x" + std::to_string(window->Height) + ":" +
         (clashes.empty() ? " fits" : clashes));
}

// The window the menu bar belongs to, and every menu item with its shortcut.
void NoteMenus() {
    const auto* bar = pt::WindowWidget(VEXOWnd)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr) << "the menu bar is not a part of the main window";
    Note("menu bar in \"" + bar->window()->windowTitle().toStdString() + "\"");
    for (QAction* menu : bar->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            Note("menu " + menu->text().toStdString() + ": " + item->text().toStdString() + " " +
                 item->shortcut().toString().toStdString());
        }
    }
}

// note-file NAME: "none", its complete blocks or its first bytes; note-file NAME LEAST ALL: that
// it holds complete blocks, at least LEAST and not all, or how many it holds.
void NoteFile(const Args& x) {
    if (!std::filesystem::exists(x.path())) return Note(x.a + ": none");
    const std::string bytes = ReadFile(x.path());
    const std::size_t n = Blocks(bytes);
    if (!x.text.empty() && n >= std::stoul(x.text) && n < std::stoul(x.text.substr(x.text.find(' '))) &&
        bytes.ends_with("ShadowOptions 2\n\n"))
        return Note("partial scene as expected");
    Note(x.a + ": " +
         (n > 0 || !x.text.empty() ? std::to_string(n) + " blocks" : "\"" + bytes.substr(0, 40) + "\""));
}

const std::map<std::string, std::function<void(const Args&)>> kCommands = {
    {"type", [](const Args& x) { Type(x, true); }},
    {"typeonly", [](const Args& x) { Type(x, false); }},
    {"key",
     [](const Args& x) {
         const Qt::Key key = x.text == "Tab"       ? Qt::Key_Tab
                             : x.text == "Backtab" ? Qt::Key_Backtab
                                                   : Qt::Key_Return;
         QTest::keyClick(pt::GadgetWidget(x.gadget()), key,
                         key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
     }},
    {"click", [](const Args& x) { QTest::mouseClick(pt::GadgetWidget(x.gadget()), Qt::LeftButton); }},
    {"choose", [](const Args& x) { pt::ClickMxEntry(x.gadget(), x.number()); }},
    {"choice",
     [](const Args& x) { Note("choice " + x.a + " shows " + std::to_string(pt::MxShownEntry(x.gadget()))); }},
    {"close", [](const Args& x) { pt::WindowWidget(x.window())->close(); }},
    {"quit", [](const Args&) { pt::WindowWidget(VEXOWnd)->close(); }},
    {"refresh", [](const Args& x) { pt::PostMessage(x.window(), IDCMP_REFRESHWINDOW, 0, nullptr); }},
    {"menu",
     [](const Args& x) {
         QAction* action = pt::MenuAction(VEXOWnd, x.text.empty() ? 0 : x.number(), std::stoi(x.a));
         ASSERT_NE(action, nullptr);
         action->trigger();
     }},
    {"menu-pair",  // two items of the first menu picked in one menu operation
     [](const Args& x) {
         const UWORD first = FULLMENUNUM(0, std::stoi(x.a), NOSUB);
         ItemAddress(VEXOMenus, first)->NextSelect = FULLMENUNUM(0, x.number(), NOSUB);
         pt::PostMessage(VEXOWnd, IDCMP_MENUPICK, first, nullptr);
     }},
    {"snap",  // "snap all": every gadget and setting, changed or not
     [](const Args& x) {
         if (x.a == "all") last_seen.clear();
         Snapshot();
     }},
    {"windows", [](const Args&) { NoteWindows(); }},
    {"texts", NoteTexts},
    {"layout", NoteLayout},
    {"menus", [](const Args&) { NoteMenus(); }},
    {"focus",  // the gadget the keys go to, with its cursor and selection
     [](const Args&) {
         std::string focus = "focus nowhere";
         ForEachGadget([&](const std::string& name, Gadget* g) {
             if (pt::GadgetWidget(g) != QApplication::focusWidget()) return;
             focus = "focus " + name;
             if (auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(g))) {
                 focus += " cursor " + std::to_string(field->cursorPosition());
                 if (field->hasSelectedText())
                     focus += " selected \"" + field->selectedText().toStdString() + "\"";
             }
         });
         Note(focus);
     }},
    {"cursor",  // cursor GADGET N [LENGTH]: the user puts the cursor at N, selecting LENGTH characters
     [](const Args& x) {
         auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(x.gadget()));
         ASSERT_NE(field, nullptr);
         field->setFocus(Qt::MouseFocusReason);
         std::istringstream in(x.text);
         int at = 0, length = 0;
         in >> at >> length;
         field->setSelection(at, length);
         if (length == 0) field->setCursorPosition(at);
     }},
    {"wmclick",  // a click as a window manager passes it on: the window is activated, then clicked
     [](const Args& x) {
         QWidget* widget = pt::GadgetWidget(x.gadget());
         widget->window()->activateWindow();
         QApplication::processEvents();
         QTest::mouseClick(widget, Qt::LeftButton);
     }},
    {"keys",  // keys typed to whatever has the focus
     [](const Args& x) {
         QWidget* focus = QApplication::focusWidget();
         if (focus == nullptr) return Note("keys went nowhere");
         QTest::keyClicks(focus, QString::fromStdString(x.all));
     }},
    {"place",
     [](const Args& x) {
         const QRect r = pt::GadgetWidget(x.gadget())->geometry();
         Note("gadget at " + std::to_string(r.x()) + "," + std::to_string(r.y()) + " size " +
              std::to_string(r.width()) + "x" + std::to_string(r.height()));
     }},
    {"pens",  // pens WINDOW X,Y...: the pens at places inside the window's border
     [](const Args& x) {
         Window* w = x.window();
         std::istringstream in(x.text);
         std::string pens = "pens";
         for (int px, py; in >> px && in.ignore() && in >> py;)
             pens += " " + std::to_string(pt::WindowPenAt(w, w->BorderLeft + px, w->BorderTop + py));
         Note(pens);
     }},
    {"fill",
     [](const Args& x) {
         SetAPen(x.window()->RPort, x.number());
         RectFill(x.window()->RPort, 0, 0, x.window()->Width - 1, x.window()->Height - 1);
     }},
    {"zip", [](const Args& x) { ZipWindow(x.window()); }},
    {"preview",
     [](const Args&) {
         ASSERT_NE(ThePreviewWindow(), nullptr);
         Note("preview \"" + ThePreviewWindow()->windowTitle().toStdString() + "\"" +
              (ThePreviewWindow()->isVisible() ? " shown" : " hidden"));
         ThePreviewWindow()->hide();
     }},
    {"idle", [](const Args&) {}},
    {"sigint", [](const Args&) { std::raise(SIGINT); }},
    {"dialogue", [](const Args&) { SetDialogueVals(0); }},
    {"note-file", NoteFile},
    {"write", [](const Args& x) { WriteFile(x.path(), x.text); }},
    {"mkdir", [](const Args& x) { std::filesystem::create_directory(x.path()); }},
    {"rm", [](const Args& x) { std::filesystem::remove(x.path()); }},
    {"set",
     [](const Args& x) {
         const AssignResult r = AssignSetting(current_prefs, Expand(x.all));
         if (!r.ok) Note("set refused: " + r.error);
         SetDialogueVals(0);
     }},
    {"fail",
     [](const Args& x) {
         const std::map<std::string, std::function<void(int)>> fails = {
             {"open", pt::FailNextOpenWindow},
             {"lock", pt::FailNextLockPubScreen},
             {"visual", pt::FailNextVisualInfo},
             {"asl", pt::FailNextAslRequest},
             {"alloc", pt::FailNextAllocMem},
             {"gadget", pt::FailGadgetNumber},
             {"asl-version", [](int n) { pt::SetLibraryVersion("asl.library", n); }}};
         fails.at(x.a)(x.text.empty() ? 1 : x.number());
     }},
    {"free",
     [](const Args& x) {  // free N: the target's file system has N bytes free
         const std::uint64_t bytes = std::stoull(x.all);
         free_space_query = [bytes](const std::string&) { return std::optional<std::uint64_t>(bytes); };
     }},
    {"large", [](const Args& x) { large_scene_bytes = std::stoull(x.all); }},  // large N: ask above N bytes
    {"at-pass", [](const Args& x) { AtPass(x, false); }},
    {"in-first-pass", [](const Args& x) { AtPass(x, true); }},
};

void Do(const std::string& command, const std::string& args) {
    kCommands.at(command)(Args(args));
}

}  // namespace

void Note(const std::string& line) {
    std::string text = line;
    for (std::size_t at; !folder.empty() && (at = text.find(folder)) != std::string::npos;) {
        text.replace(at, folder.size(), "$DIR");
    }
    for (std::size_t at; !config_folder.empty() && (at = text.find(config_folder)) != std::string::npos;) {
        text.replace(at, config_folder.size(), "$CONFIG");
    }
    transcript += text + "\n";
}

void UiTest::SetUp() {
    pt::Reset();
    platform::InstallBreakSignal();  // a batch-tool run in an earlier test put its own handler in
    current_prefs = DefaultSettings();
    engine_state.Reset();
    overwrite_confirmed.clear();
    free_space_query = nullptr;
    large_scene_bytes = kLargeScene;
    previous_object = previous_motion = previous_scene = previous_prefs = FileMemory{};
    previous_emitter = previous_collision = FileMemory{};
    whole_path[0] = '\0';
    transcript.clear();
    last_seen.clear();
    std::fill(std::begin(noted), std::end(noted), 0);
    folder = dir.path("x").parent_path().string();
    config_folder = config.path("x").parent_path().string();
    setenv("XDG_CONFIG_HOME", config_folder.c_str(), 1);
}

void UiTest::TearDown() {
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << "window left open: " << widget->windowTitle().toStdString();
    }
    EXPECT_EQ(pt::ScreenLockCount(), 0);
    EXPECT_EQ(pt::VisualInfosOutstanding(), 0);
    using Left = std::initializer_list<const void*>;
    for (const void* left : Left{VEXOWnd, VEXOGList, VEXOMenus, Scr, VEXOcreatingWnd, VEXOcreatingGList,
                                 VEXOshapes_optionsWnd, VEXOshapes_optionsGList, ThePreviewWindow()})
        EXPECT_EQ(left, nullptr) << "a window, gadget list, menu or screen left behind";
    FlushRecords();
    if (transcript.empty()) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (golden.empty()) golden = std::string(info->test_suite_name()) + "." + info->name();
    EXPECT_TRUE(vexo::testing::MatchesGolden(transcript, "ui/" + golden + ".txt"));
}

TEST_P(ScenarioTest, MatchesItsGolden) {
    golden = GetParam();
    Script(GetParam());
}

// Commands before a run's first step that change files, failures or settings act at once.
void UiTest::Script(const std::string& name) {
    std::istringstream script(ReadFile(vexo::testing::DataDir() / "ui" / (name + ".script")));
    std::deque<std::function<void()>> steps;
    std::deque<long> answers, lists;
    std::deque<pt::FileChoice> files;
    for (std::string line; std::getline(script, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::replace(line.begin(), line.end(), '\r', ' ');
        for (std::size_t at; (at = line.find("$DIR")) != std::string::npos;) line.replace(at, 4, folder);
        for (std::size_t at; (at = line.find("$CONFIG")) != std::string::npos;)
            line.replace(at, 7, config_folder);
        const std::string cmd = line.substr(0, line.find(' '));
        const std::string rest = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
        std::istringstream in(rest);
        if (cmd == "answers" || cmd == "lists") {
            for (long n; in >> n;) (cmd == "answers" ? answers : lists).push_back(n);
        } else if (cmd == "file") {
            std::string drawer, file;
            in >> drawer >> file;
            if (drawer == "typed") {
                files.push_back(pt::FileChoice{false, "", "", Expand(rest.substr(rest.find(' ') + 1))});
            } else {
                files.push_back(drawer == "cancel" ? pt::FileChoice{true, "", "", ""}
                                                   : pt::FileChoice{false, Expand(drawer), Expand(file), ""});
            }
        } else if (cmd == "reset") {
            std::filesystem::remove(SessionPrefsPath());  // as at the first start
            pt::Reset();
            std::fill(std::begin(noted), std::end(noted), 0);
            current_prefs = DefaultSettings();
        } else if (cmd == "note") {
            Note(rest);
        } else if (cmd == "run") {
            pt::AnswerRequesters(std::exchange(answers, {}));
            pt::AnswerFileRequesters(std::exchange(files, {}));
            pt::AnswerListRequesters(std::exchange(lists, {}));
            pt::ScriptSteps(std::exchange(steps, {}));
            EXPECT_EQ(VexoMain(), 0);
            EXPECT_EQ(pt::StepsLeft(), 0u) << "the program ended before the script did";
            FlushRecords();
            Note("-- ended");
        } else if (kCommands.count(cmd) == 0) {
            ADD_FAILURE() << "unknown command " << cmd;
        } else if (steps.empty() &&
                   (cmd == "write" || cmd == "mkdir" || cmd == "rm" || cmd == "fail" || cmd == "set")) {
            Do(cmd, rest);
        } else {
            steps.push_back([cmd, rest] {
                FlushRecords();
                Do(cmd, rest);
            });
        }
    }
    EXPECT_TRUE(steps.empty()) << "steps after the last run";
}

}  // namespace vexo::uitest
