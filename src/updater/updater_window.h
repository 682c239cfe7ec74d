// The updater's window: the product name, the versions from and to, the file being fetched
// with a progress bar, and Cancel (which stops the update before anything is moved).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ui/form.h"

namespace kelvra::ui {
class Button;
class Label;
class ProgressBar;
}  // namespace kelvra::ui

namespace kelvra::updater {

class UpdaterWindow final : public ui::Form {
  public:
    explicit UpdaterWindow(ui::Application& app);
    ~UpdaterWindow() override;

    // "from" is the installed version; "to" stays "…" until the release is known.
    void ShowVersions(const std::string& from, const std::string& to);
    void ShowProgress(const std::string& file, std::int64_t pos, std::int64_t size);
    // The restart program takes over: Cancel can no longer undo anything.
    void ShowHandOff();
    std::function<void()> on_cancel;

    ui::Label& VersionLabel() { return *versions_; }
    ui::Label& FileLabel() { return *file_; }
    ui::ProgressBar& Progress() { return *bar_; }
    ui::Button& CancelButton() { return *cancel_; }

  private:
    std::unique_ptr<ui::Label> product_;
    std::unique_ptr<ui::Label> versions_;
    std::unique_ptr<ui::Label> file_;
    std::unique_ptr<ui::ProgressBar> bar_;
    std::unique_ptr<ui::Button> cancel_;
};

}  // namespace kelvra::updater
