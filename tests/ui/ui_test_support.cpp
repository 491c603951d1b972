#include "tests/ui/ui_test_support.hpp"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "ui/file_memory.hpp"
#include "ui/main_window.hpp"
#include "ui/platform/break_signal.hpp"
#include "ui/platform/platform.hpp"

namespace vexo::uitest {

using namespace vexo::ui;

void UiTest::SetUp() {
    pt::Reset();
    platform::InstallBreakSignal();  // a batch-tool run in an earlier test put its own handler in
    current_prefs = DefaultSettings();
    engine_state.Reset();
    overwrite_confirmed.clear();
    previous_object = previous_motion = previous_scene = previous_prefs = FileMemory{};
    whole_path[0] = '\0';
}

void UiTest::TearDown() {
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(widget->isVisible()) << "window left open: " << widget->windowTitle().toStdString();
    }
    EXPECT_EQ(pt::ScreenLockCount(), 0);
    EXPECT_EQ(pt::VisualInfosOutstanding(), 0);
}

void UiTest::Run(std::deque<Step> steps, std::deque<long> answers, std::deque<pt::FileChoice> files) {
    pt::AnswerRequesters(std::move(answers));
    pt::AnswerFileRequesters(std::move(files));
    pt::ScriptSteps(std::move(steps));
    EXPECT_EQ(VexoMain(), 0);
    EXPECT_EQ(pt::StepsLeft(), 0u) << "the program ended before the script did";
}

std::vector<std::string> UiTest::Texts() const {
    std::vector<std::string> texts;
    for (const auto& r : pt::Requesters()) texts.push_back(r.text);
    return texts;
}

platform::Gadget** Main() { return VEXOGadgets; }

Step TypeOnly(platform::Gadget** gadgets, int id, const std::string& text) {
    return [gadgets, id, text] {
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
    };
}

Step Type(platform::Gadget** gadgets, int id, const std::string& text) {
    return [gadgets, id, text] {
        TypeOnly(gadgets, id, text)();
        QTest::keyClick(pt::GadgetWidget(gadgets[id]), Qt::Key_Return);
    };
}

Step Key(platform::Gadget** gadgets, int id, int key, int modifiers) {
    return [gadgets, id, key, modifiers] {
        QTest::keyClick(pt::GadgetWidget(gadgets[id]), static_cast<Qt::Key>(key),
                        static_cast<Qt::KeyboardModifiers>(modifiers));
    };
}

Step Click(platform::Gadget** gadgets, int id) {
    return [gadgets, id] {
        QWidget* widget = pt::GadgetWidget(gadgets[id]);
        ASSERT_NE(widget, nullptr);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(widget->width() / 2, widget->height() / 2));
    };
}

Step Choose(platform::Gadget** gadgets, int id, int entry) {
    return [gadgets, id, entry] { pt::ClickMxEntry(gadgets[id], entry); };
}

Step CloseWindowOf(platform::Window** window) {
    return [window] {
        ASSERT_NE(*window, nullptr);
        pt::WindowWidget(*window)->close();
    };
}

Step PickMenu(int item) {
    return [item] {
        QAction* action = pt::MenuAction(VEXOWnd, 0, item);
        ASSERT_NE(action, nullptr);
        action->trigger();
    };
}

Step Do(std::function<void()> action) { return action; }

bool Enabled(platform::Gadget* gadget) { return pt::GadgetWidget(gadget)->isEnabled(); }

std::string Shown(platform::Gadget* gadget) {
    auto* field = qobject_cast<QLineEdit*>(pt::GadgetWidget(gadget));
    return field != nullptr ? field->text().toStdString() : std::string();
}

std::string TargetExists(const std::string& path) {
    EXPECT_LE(path.size(), 48u) << "a path this long is broken over several lines";
    return "Target scene already exists...\n\n" + path + "\n\nOverwrite?";
}

bool Checked(platform::Gadget* gadget) { return (gadget->Flags & platform::GFLG_SELECTED) != 0; }

}  // namespace vexo::uitest
