// Factories of the Win32 control peers.
#pragma once

#include <memory>

#include "platform/error.h"
#include "ui/backend.h"
#include "ui/win32/form_win32.h"

namespace kelvra::ui {
class TitleBar;
}

namespace kelvra::ui::win32 {

class Win32Ui;

// Edit, button, group box, label and title bar peers; throws for other kinds.
std::unique_ptr<NativeControl> CreateStandardControl(Win32Ui& ui, Control& control);
// The title-bar strip: info items as text, button items as image buttons with tooltips.
std::unique_ptr<NativeControl> CreateTitleBar(Win32Ui& ui, TitleBar& bar);

}  // namespace kelvra::ui::win32
