// Factories of the Win32 control peers.
#pragma once

#include <memory>

#include "platform/error.h"
#include "ui/backend.h"
#include "ui/win32/form_win32.h"

namespace kelvra::ui {
class Animation;
class Memo;
class ProgressBar;
class RadioButton;
class TitleBar;
}  // namespace kelvra::ui

namespace kelvra::ui::win32 {

class Win32Ui;

// The peer of any control but the browser; throws for a browser. The radio buttons of one
// parent form one dialog group: the first starts it, the next other control ends it.
std::unique_ptr<NativeControl> CreateStandardControl(Win32Ui& ui, Control& control);
// A read-only rich-edit box (a plain multi-line EDIT where no rich-edit library exists).
std::unique_ptr<NativeControl> CreateMemo(Win32Ui& ui, Memo& memo);
std::unique_ptr<NativeControl> CreateRadioButton(Win32Ui& ui, RadioButton& radio,
                                                 bool starts_group);
std::unique_ptr<NativeControl> CreateProgressBar(Win32Ui& ui, ProgressBar& bar);
// The system's file-copy animation; empty where the system lacks the clip.
std::unique_ptr<NativeControl> CreateAnimation(Win32Ui& ui, Animation& animation);
// The title-bar strip: info items as text, button items as image buttons with tooltips.
std::unique_ptr<NativeControl> CreateTitleBar(Win32Ui& ui, TitleBar& bar);

}  // namespace kelvra::ui::win32
