// The three option windows: their values, their rules, their screen locks, and that each is a
// dialog of the main window.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include "tests/ui/ui_test_support.hpp"

namespace vexo::uitest {
namespace {

class OptionWindowsTest : public UiTest {};

TEST_F(OptionWindowsTest, EffectOptions) {
    Script("effect_options");
}
TEST_F(OptionWindowsTest, SceneOptionsRefuseNegativeNumbersAndAZeroStep) {
    Script("scene_options");
}
TEST_F(OptionWindowsTest, AWindowThatCannotOpenIsNotFilledOrWaitedOn) {
    Script("option_windows_failing");
}
TEST_F(OptionWindowsTest, AnOptionWindowBelongsToTheMainWindow) {
    Script("option_windows_owned");
}

TEST_F(OptionWindowsTest, EmissionOptions) {
    Settings loaded = DefaultSettings();
    loaded.heading_spread = 1000;  // as a preferences file may hold it
    const SettingsImage image = EncodeSettings(loaded);
    WriteFile(dir.path("wide.prefs"), std::string(image.begin(), image.end()));
    Script("emission_options");
}

// Every text each window shows: no placeholder text reaches the screen.
TEST_F(OptionWindowsTest, WhatTheWindowsShow) {
    const auto texts = [] {
        QWidgetList tops = QApplication::topLevelWidgets();  // in no fixed order
        std::sort(tops.begin(), tops.end(),
                  [](QWidget* a, QWidget* b) { return a->windowTitle() < b->windowTitle(); });
        for (QWidget* top : tops) {
            for (QWidget* w : top->isVisible() ? top->findChildren<QWidget*>() : QList<QWidget*>{}) {
                QString shown = w->toolTip();
                if (auto* label = qobject_cast<QLabel*>(w)) shown += label->text();
                if (auto* button = qobject_cast<QAbstractButton*>(w)) shown += button->text();
                if (auto* field = qobject_cast<QLineEdit*>(w)) shown += field->placeholderText();
                if (!shown.isEmpty())
                    Note(top->windowTitle().toStdString() + " shows \"" + shown.toStdString() + "\"");
            }
        }
    };
    Run({Step(texts), Click(kMain, GD_scene_options), Step(texts), CloseWindowOf(&VEXOscene_optionsWnd),
         Click(kMain, GD_emission_options), Step(texts), CloseWindowOf(&VEXOemission_optionsWnd),
         Click(kMain, GD_effect_options), Step(texts), CloseWindowOf(&VEXOeffect_optionsWnd), Quit()},
        {kOk});
}

}  // namespace
}  // namespace vexo::uitest
