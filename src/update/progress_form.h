// The download progress window of the update procedure: "Downloading...", 300 x 110,
// centred, dialog border without border icons, a label and a progress bar.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/form.h"

namespace kelvra::ui {
class Label;
class ProgressBar;
}  // namespace kelvra::ui

namespace kelvra::update {

inline constexpr int kProgressFormWidth = 300;
inline constexpr int kProgressFormHeight = 110;
// The system's border width (SM_CXBORDER), one pixel on every Windows version.
inline constexpr int kSystemBorderWidth = 1;

class TProgressForm final : public ui::Form {
  public:
    explicit TProgressForm(ui::Application& app);
    ~TProgressForm() override;
    ui::Label& Label1() { return *label_; }
    ui::ProgressBar& ProgressBar1() { return *bar_; }
    // Range 0 to size, position pos, and "Downloading: " + the file-name part of file.
    void ShowProgress(const std::string& file, std::int64_t pos, std::int64_t size);

  private:
    std::unique_ptr<ui::Label> label_;
    std::unique_ptr<ui::ProgressBar> bar_;
};

}  // namespace kelvra::update
