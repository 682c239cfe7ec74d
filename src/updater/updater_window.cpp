#include "updater/updater_window.h"

#include <algorithm>
#include <limits>

#include "app/app_identity.h"
#include "platform/file_system.h"
#include "ui/controls.h"
#include "updater/updater_engine.h"

namespace kelvra::updater {
namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 170;

ui::FormDefinition WindowDefinition() {
    ui::FormDefinition d;
    d.class_name = "TUpdaterWindow";
    d.caption = kUpdaterCaption;
    d.border = ui::BorderStyle::Dialog;
    d.icons = {false, false, false};  // Cancel is the one way out
    d.position = ui::FormPosition::ScreenCenter;
    return d;
}

}  // namespace

UpdaterWindow::UpdaterWindow(ui::Application& app) : ui::Form(app, WindowDefinition()) {
    SetClientSize(kWidth, kHeight);
    const int inner = kWidth - 20;
    product_ = std::make_unique<ui::Label>(*this, nullptr, "ProductLabel");
    product_->SetBounds({10, 10, inner, 16});
    product_->SetCaption(app::kApplicationTitle);
    versions_ = std::make_unique<ui::Label>(*this, nullptr, "VersionLabel");
    versions_->SetBounds({10, 34, inner, 16});
    file_ = std::make_unique<ui::Label>(*this, nullptr, "FileLabel");
    file_->SetBounds({10, 62, inner, 16});
    file_->SetCaption("正在检查更新…");
    bar_ = std::make_unique<ui::ProgressBar>(*this, nullptr, "ProgressBar");
    bar_->SetBounds({10, 86, inner, 18});
    cancel_ = std::make_unique<ui::Button>(*this, nullptr, "CancelButton");
    cancel_->SetBounds({kWidth - 10 - 90, kHeight - 10 - 28, 90, 28});
    cancel_->SetCaption("取消");
    cancel_->OnClick = [this] {
        if (on_cancel)
            on_cancel();
    };
}

UpdaterWindow::~UpdaterWindow() = default;

void UpdaterWindow::ShowVersions(const std::string& from, const std::string& to) {
    versions_->SetCaption("版本 " + from + " → " + to);
}

void UpdaterWindow::ShowProgress(const std::string& file, std::int64_t pos, std::int64_t size) {
    // The bar counts in int; larger files are shown in proportion.
    constexpr std::int64_t kMax = std::numeric_limits<int>::max();
    const std::int64_t scale = size > kMax ? size / kMax + 1 : 1;
    bar_->SetRange(0, static_cast<int>(std::max<std::int64_t>(size, 0) / scale));
    bar_->SetPosition(static_cast<int>(std::clamp<std::int64_t>(pos, 0, kMax * scale) / scale));
    file_->SetCaption("正在下载：" + platform::FileNameOf(file, '\\'));
}

void UpdaterWindow::ShowHandOff() {
    file_->SetCaption("正在安装新版本，客户端将自动重新启动…");
    cancel_->SetEnabled(false);
}

}  // namespace kelvra::updater
