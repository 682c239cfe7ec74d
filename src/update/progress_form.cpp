#include "update/progress_form.h"

#include <algorithm>
#include <limits>

#include "platform/file_system.h"
#include "ui/controls.h"

namespace kelvra::update {
namespace {

ui::FormDefinition ProgressDefinition() {
    ui::FormDefinition d;
    d.class_name = "TProgressForm";
    d.caption = "Downloading...";
    d.border = ui::BorderStyle::Dialog;
    d.icons = {false, false, false};
    d.position = ui::FormPosition::ScreenCenter;
    return d;
}

}  // namespace

TProgressForm::TProgressForm(ui::Application& app) : ui::Form(app, ProgressDefinition()) {
    SetWidth(kProgressFormWidth);
    SetHeight(kProgressFormHeight);
    label_ = std::make_unique<ui::Label>(*this, nullptr, "Label1");
    label_->SetBounds({10, 10, Width() - 2 * kSystemBorderWidth - 20, 13});
    bar_ = std::make_unique<ui::ProgressBar>(*this, nullptr, "ProgressBar1");
    bar_->SetBounds({10, 40, Width() - 2 * kSystemBorderWidth - 20, 16});
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::ShowProgress(const std::string& file, std::int64_t pos, std::int64_t size) {
    // The bar counts in int; larger files are shown in proportion.
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    std::int64_t scale = size > kMax ? size / kMax + 1 : 1;
    bar_->SetRange(0, static_cast<int>(std::max<std::int64_t>(size, 0) / scale));
    bar_->SetPosition(static_cast<int>(std::clamp<std::int64_t>(pos, 0, kMax * scale) / scale));
    label_->SetCaption("Downloading: " + platform::FileNameOf(file, '\\'));
}

}  // namespace kelvra::update
