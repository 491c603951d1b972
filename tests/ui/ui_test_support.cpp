#include "tests/ui/ui_test_support.hpp"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>

#include "prefs/settings_text.hpp"
#include "ui/file_memory.hpp"
#include "ui/platform/break_signal.hpp"

namespace vexo::uitest {
namespace {

std::string transcript, folder;
std::map<std::string, std::string> last_seen;  // what the last snapshots showed
std::size_t requesters_seen = 0, files_seen = 0, lists_seen = 0, activations_seen = 0, libraries_seen = 0;

// Each record kind since the last call.
template <typename T, typename F>
void Flush(const std::vector<T>& records, std::size_t& seen, F write) {
    for (; seen < records.size(); ++seen) write(records[seen]);
}

void FlushRecords() {
    Flush(pt::FileRequests(), files_seen, [](const pt::FileRequestRecord& f) {
        std::string pattern = f.pattern.substr(0, 8);  // the scene formats depend on the installed importer
        for (const char* e : {"|dae|", "|fbx|", "|glb|", "|gltf|"})
            pattern += f.pattern.find(e) != std::string::npos ? e : "";
        std::ostringstream s;
        s << "file requester \"" << f.title << "\" drawer \"" << f.initial_drawer << "\" file \""
          << f.initial_file << "\" pattern \"" << pattern << "\" save " << f.save_mode << " window "
          << f.window_set << " sleep " << f.sleep_window << " reject icons " << f.reject_icons << " size "
          << f.width << "x" << f.height;
        Note(s.str());
    });
    Flush(pt::ListRequests(), lists_seen, [](const pt::ListRequestRecord& l) {
        std::string entries;
        for (const auto& e : l.entries) entries += " " + e;
        Note("list requester \"" + l.title + "\" \"" + l.text + "\" entries" + entries);
    });
    Flush(pt::Requesters(), requesters_seen, [](const pt::RequesterRecord& r) {
        std::string text = "requester \"" + r.title + "\" [" + r.buttons + "]\n| ";
        for (char c : r.text) text += c == '\n' ? std::string("\n| ") : std::string(1, c);
        Note(text);
    });
    Flush(pt::Activations(), activations_seen, [](const std::string& a) { Note("activated " + a); });
    Flush(pt::LibraryLog(), libraries_seen, [](const std::string& l) { Note("library " + l); });
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
                                {"creating", &VEXOcreatingWnd, VEXOcreatingGadgets, 1}};
const char* const kMainNames[VEXO_CNT] = {
    "particle_object",    "parent_motion",      "target_scene",      "get_object",
    "get_motion",         "get_scene",          "num_particles",     "particles_per_frame",
    "lifespan",           "end_behavior",       "end_behavior_text", "velocity",
    "velocity_variation", "creation_delay",     "start_size",        "end_size",
    "limited_lifespan",   "use_creation_delay", "particle_grow",     "scene_options",
    "emission_options",   "effect_options",     "generate",          "preview"};

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

// "main.velocity" or "scene.2": the window's gadget array and the gadget's number.
std::pair<Gadget**, int> GadgetNamed(const std::string& ref) {
    const NamedWindow& w = WindowNamed(ref.substr(0, ref.find('.')));
    for (int id = 0; id < w.count; ++id) {
        if (Name(w, id) == ref) return {w.gadgets, id};
    }
    ADD_FAILURE() << "no gadget " << ref;
    return {w.gadgets, 0};
}

void Snapshot() {
    std::vector<std::pair<std::string, std::string>> now;
    for (const NamedWindow& w : kWindows) {
        for (int id = 0; *w.window != nullptr && id < w.count; ++id) {
            Gadget* g = w.gadgets[id];
            if (g == nullptr || pt::GadgetWidget(g) == nullptr) continue;
            now.emplace_back(Name(w, id), "'" + Shown(g) + "'" +
                                              (pt::GadgetWidget(g)->isEnabled() ? "" : " disabled") +
                                              ((g->Flags & platform::GFLG_SELECTED) != 0 ? " ticked" : ""));
        }
    }
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
          << top->windowModality() << " screen title \"" << top->toolTip().toStdString() << "\"";
        Note(s.str());
    }
    Note("locks " + std::to_string(pt::ScreenLockCount()) + " visual infos " +
         std::to_string(pt::VisualInfosOutstanding()));
}

void NoteFile(const std::filesystem::path& path) {
    if (!std::filesystem::exists(path)) return Note(path.filename().string() + ": none");
    const std::string bytes = ReadFile(path);
    Note(path.filename().string() + ": " +
         (Blocks(bytes) > 0 ? std::to_string(Blocks(bytes)) + " blocks" : "\"" + bytes.substr(0, 40) + "\""));
}

bool BarShowsPass(int pass, int passes) {
    const int l = VEXOcreatingWnd->BorderLeft, t = VEXOcreatingWnd->BorderTop;
    return pt::WindowPenAt(VEXOcreatingWnd, l + 8 + 233 * pass / passes, t + 22) == 3;
}

// "\n", "\t" and "\e" for the characters, "{c*N}" for N times c.
std::string Expand(std::string text) {
    for (std::size_t at = 0; (at = text.find('\\', at)) != std::string::npos && at + 1 < text.size(); ++at) {
        const char c = text[at + 1];
        text.replace(at, 2, 1, c == 'n' ? '\n' : c == 't' ? '\t' : c == 'e' ? '\x1b' : c);
    }
    for (std::size_t at = 0; (at = text.find('{', at)) != std::string::npos; ++at) {
        const std::size_t end = text.find('}', at);
        if (end == std::string::npos || at + 3 >= end || text[at + 2] != '*') continue;
        text.replace(at, end - at + 1,
                     std::string(std::stoul(text.substr(at + 3, end - at - 3)), text[at + 1]));
    }
    return text;
}

}  // namespace

std::size_t Blocks(const std::string& scene) {
    std::size_t blocks = 0;
    for (std::size_t at = 0; (at = scene.find("ShadowOptions 2\n\n", at)) != std::string::npos; ++at)
        ++blocks;
    return blocks;
}

void Note(const std::string& line) {
    std::string text = line;
    for (std::size_t at; !folder.empty() && (at = text.find(folder)) != std::string::npos;) {
        text.replace(at, folder.size(), "$DIR");
    }
    transcript += text + "\n";
}

void UiTest::SetUp() {
    pt::Reset();
    platform::InstallBreakSignal();  // a batch-tool run in an earlier test put its own handler in
    current_prefs = DefaultSettings();
    engine_state.Reset();
    overwrite_confirmed.clear();
    previous_object = previous_motion = previous_scene = previous_prefs = FileMemory{};
    whole_path[0] = '\0';
    transcript.clear();
    last_seen.clear();
    requesters_seen = files_seen = lists_seen = activations_seen = libraries_seen = 0;
    folder = D();
}

void UiTest::TearDown() {
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << "window left open: " << widget->windowTitle().toStdString();
    }
    EXPECT_EQ(pt::ScreenLockCount(), 0);
    EXPECT_EQ(pt::VisualInfosOutstanding(), 0);
    FlushRecords();
    if (transcript.empty()) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    EXPECT_TRUE(vexo::testing::MatchesGolden(
        transcript, std::string("ui/") + info->test_suite_name() + "." + info->name() + ".txt"));
}

void UiTest::Run(std::deque<Step> steps, std::deque<long> answers, std::deque<pt::FileChoice> files) {
    for (Step& step : steps) {
        step = [step] {
            FlushRecords();
            step();
        };
    }
    pt::AnswerRequesters(std::move(answers));
    pt::AnswerFileRequesters(std::move(files));
    pt::ScriptSteps(std::move(steps));
    EXPECT_EQ(VexoMain(), 0);
    EXPECT_EQ(pt::StepsLeft(), 0u) << "the program ended before the script did";
    FlushRecords();
    Note("-- ended");
}

void UiTest::Script(const std::string& name) {
    std::istringstream script(ReadFile(vexo::testing::DataDir() / "ui" / (name + ".script")));
    std::deque<Step> steps;
    std::deque<long> answers, lists;
    std::deque<pt::FileChoice> files;
    // One command of the script as a step; commands before the first step of a run act at once.
    std::function<Step(const std::string&, const std::string&)> command =
        [&](const std::string& cmd, const std::string& rest) -> Step {
        std::istringstream in(rest);
        std::string a, b;
        in >> a;
        const std::string text =
            rest.find(' ') == std::string::npos ? "" : Expand(rest.substr(rest.find(' ') + 1));
        const std::filesystem::path path = dir.path(a);
        if (cmd == "type" || cmd == "typeonly")
            return Type(GadgetNamed(a).first, GadgetNamed(a).second, text, cmd == "type");
        if (cmd == "click") return Click(GadgetNamed(a).first, GadgetNamed(a).second);
        if (cmd == "key") {
            const int key = text == "Tab"       ? Qt::Key_Tab
                            : text == "Backtab" ? Qt::Key_Backtab
                                                : Qt::Key_Return;
            const auto [gadgets, id] = GadgetNamed(a);
            return [gadgets, id, key] {
                QTest::keyClick(pt::GadgetWidget(gadgets[id]), static_cast<Qt::Key>(key),
                                key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            };
        }
        if (cmd == "choose") {
            const auto [gadgets, id] = GadgetNamed(a);
            return [gadgets, id, text] { pt::ClickMxEntry(gadgets[id], std::stoi(text)); };
        }
        if (cmd == "close") return CloseWindowOf(WindowNamed(a).window);
        if (cmd == "refresh") {
            Window** w = WindowNamed(a).window;
            return [w] { pt::PostMessage(*w, IDCMP_REFRESHWINDOW, 0, nullptr); };
        }
        if (cmd == "menu") return PickMenu(std::stoi(a), text.empty() ? 0 : std::stoi(text));
        if (cmd == "quit") return Quit();
        if (cmd == "snap") return Snapshot;
        if (cmd == "windows") return NoteWindows;
        if (cmd == "idle") return [] {};
        if (cmd == "sigint") return [] { std::raise(SIGINT); };
        if (cmd == "dialogue") return [] { SetDialogueVals(0); };
        if (cmd == "note-file") return [path] { NoteFile(path); };
        if (cmd == "note-partial") {  // note-partial NAME LEAST ALL: complete blocks, at least LEAST, not all
            const std::size_t least = std::stoul(text), all = std::stoul(text.substr(text.find(' ')));
            return [path, least, all] {
                const std::string bytes = ReadFile(path);
                const std::size_t n = Blocks(bytes);
                Note(n >= least && n < all && bytes.ends_with("ShadowOptions 2\n\n")
                         ? "partial scene as expected"
                         : std::to_string(n) + " blocks");
            };
        }
        if (cmd == "write") return [path, text] { WriteFile(path, text); };
        if (cmd == "mkdir") return [path] { std::filesystem::create_directory(path); };
        if (cmd == "rm") return [path] { std::filesystem::remove(path); };
        if (cmd == "set") {
            return [rest] {
                const AssignResult r = AssignSetting(current_prefs, Expand(rest));
                if (!r.ok) Note("set refused: " + r.error);
                SetDialogueVals(0);
            };
        }
        if (cmd == "focus") {
            return [] {
                for (const NamedWindow& w : kWindows) {
                    for (int id = 0; *w.window != nullptr && id < w.count; ++id) {
                        if (w.gadgets[id] != nullptr &&
                            pt::GadgetWidget(w.gadgets[id]) == QApplication::focusWidget())
                            Note("focus " + Name(w, id));
                    }
                }
            };
        }
        if (cmd == "fail") {
            const int n = text.empty() ? 1 : std::stoi(text);
            const std::map<std::string, std::function<void()>> fails = {
                {"open", [n] { pt::FailNextOpenWindow(n); }},
                {"lock", [n] { pt::FailNextLockPubScreen(n); }},
                {"visual", [n] { pt::FailNextVisualInfo(n); }},
                {"asl", [n] { pt::FailNextAslRequest(n); }},
                {"alloc", [n] { pt::FailNextAllocMem(n); }},
                {"gadget", [n] { pt::FailGadgetNumber(n); }},
                {"asl-version", [n] { pt::SetLibraryVersion("asl.library", n); }}};
            return fails.at(a);
        }
        if (cmd == "at-pass" || cmd == "in-first-pass") {  // at-pass P N COMMAND, in-first-pass N COMMAND
            if (cmd == "at-pass") in >> b;
            std::string inner, inner_rest;
            in >> inner;
            std::getline(in >> std::ws, inner_rest);
            const int pass = std::stoi(a), passes = std::stoi(b.empty() ? a : b);
            auto ticks = std::make_shared<int>(0);  // in the first pass: two ticks in a row between two bars
            return When(cmd == "at-pass" ? std::function<bool()>([=] { return BarShowsPass(pass, passes); })
                                         : [=] {
                                               *ticks = BarShowsPass(0, passes) && !BarShowsPass(1, passes)
                                                            ? *ticks + 1
                                                            : 0;
                                               return *ticks >= 2;
                                           },
                        command(inner, inner_rest));
        }
        ADD_FAILURE() << "unknown command " << cmd;
        return [] {};
    };
    for (std::string line; std::getline(script, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::replace(line.begin(), line.end(), '\r', ' ');
        for (std::size_t at; (at = line.find("$DIR")) != std::string::npos;) line.replace(at, 4, D());
        const std::string cmd = line.substr(0, line.find(' '));
        const std::string rest = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
        std::istringstream in(rest);
        if (cmd == "answers" || cmd == "lists") {
            for (long n; in >> n;) (cmd == "answers" ? answers : lists).push_back(n);
        } else if (cmd == "file") {
            std::string drawer, file;
            in >> drawer >> file;
            files.push_back(drawer == "cancel" ? pt::FileChoice{true, "", ""}
                                               : pt::FileChoice{false, Expand(drawer), Expand(file)});
        } else if (cmd == "reset") {
            pt::Reset();
            requesters_seen = files_seen = lists_seen = activations_seen = libraries_seen = 0;
            current_prefs = DefaultSettings();
        } else if (cmd == "note") {
            Note(rest);
        } else if (cmd == "run") {
            pt::AnswerListRequesters(lists);
            Run(std::exchange(steps, {}), std::exchange(answers, {}), std::exchange(files, {}));
            lists.clear();
        } else if (Step step = command(cmd, rest);
                   steps.empty() &&
                   (cmd == "write" || cmd == "mkdir" || cmd == "rm" || cmd == "fail" || cmd == "set")) {
            step();
        } else {
            steps.push_back(step);
        }
    }
    EXPECT_TRUE(steps.empty()) << "steps after the last run";
}

Step Snap() {
    return Snapshot;
}
Step Windows() {
    return NoteWindows;
}

Step Type(Gadget** gadgets, int id, const std::string& text, bool enter) {
    return [gadgets, id, text, enter] {
        auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(gadgets[id]));
        ASSERT_NE(field, nullptr) << "gadget " << id << " is not a text field";
        field->window()->activateWindow();
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        // Keys cannot carry control characters; such text arrives as a paste would bring it.
        if (HasControlCharacter(text)) {
            field->setText(QString::fromStdString(text));
        } else {
            QTest::keyClicks(field, QString::fromStdString(text));
        }
        if (enter) QTest::keyClick(field, Qt::Key_Return);
    };
}

Step Click(Gadget** gadgets, int id) {
    return [gadgets, id] {
        QWidget* widget = pt::GadgetWidget(gadgets[id]);
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                          QPoint(widget->width() / 2, widget->height() / 2));
    };
}

Step CloseWindowOf(Window** window) {
    return [window] {
        ASSERT_NE(*window, nullptr);
        pt::WindowWidget(*window)->close();
    };
}

Step PickMenu(int item, int menu) {
    return [item, menu] {
        QAction* action = pt::MenuAction(VEXOWnd, menu, item);
        ASSERT_NE(action, nullptr);
        action->trigger();
    };
}

Step When(std::function<bool()> ready, Step action) {
    return [ready, action] {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, ready, action] {
            if (VEXOcreatingWnd == nullptr || !ready()) return;
            action();
            timer->stop();
            timer->deleteLater();
        });
        timer->start(0);
    };
}

std::string Shown(Gadget* gadget) {
    auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(gadget));
    return field != nullptr ? field->text().toStdString() : std::string();
}

}  // namespace vexo::uitest
