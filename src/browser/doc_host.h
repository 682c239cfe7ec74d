// The answers the hosted browser gives the platform browser as its document host. Each
// backend's host interfaces call these and translate the result to the platform's form.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "browser/hosted_browser.h"

namespace kelvra::browser {

// Interface and service ids the host answers for (canonical form, no braces).
inline constexpr std::string_view kIidProtectFocus = "D81F90A3-8156-44F7-AD28-5ABB87003274";
inline constexpr std::string_view kIidDownloadManager = "988934A4-064B-11D3-BB80-00104B35E7F9";
inline constexpr std::string_view kIidNewWindowManager = "D2BC4C84-3F72-4A52-A604-7BCBF3982CBB";
inline constexpr std::string_view kIidAuthenticate = "79EAC9D0-BAF9-11CE-8C82-00AA004BA90B";
inline constexpr std::string_view kIidHostBehaviorInit = "3050F842-98B5-11CF-BB82-00AA00BDCE0B";
inline constexpr std::string_view kIidHtmlOmWindowServices = "3050F5FC-98B5-11CF-BB82-00AA00BDCE0B";
inline constexpr std::string_view kCmdGroupDocHostCommandHandler =
    "F38BC242-B950-11D1-8918-00C04FC2C836";
inline constexpr std::uint32_t kOleCmdIdShowScriptError = 40;
inline constexpr std::uint32_t kOleCmdfEnabled = 2;

// Methods whose answer is fixed.
enum class HostCall {
    ShowUI,
    HideUI,
    UpdateUI,
    EnableModeless,
    OnDocWindowActivate,
    OnFrameWindowActivate,
    ResizeBorder,
    GetOptionKeyPath,
    GetOverrideKeyPath,
    GetDropTarget,
    TranslateUrl,
    FilterDataObject,
    ShowMessage,
    ShowHelp,
    OnZoomPercentChanged,
};
HResult FixedAnswer(HostCall call);

// The host-information record (20 bytes on the platform).
struct HostInfo {
    std::uint32_t cbSize = 20;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwDoubleClick = 0;
};
HostInfo GetHostInfo(const THostedBrowser& browser);

// Context menu: E_NOTIMPL preset, the window's handler may change it; unchanged means
// S_FALSE (the platform's own menu).
HResult AnswerShowContextMenu(THostedBrowser& browser, std::uint32_t id, const Point* point,
                              void* command_target, void* context);

// External object: S_OK with the window's object, S_FALSE when it gave none.
HResult AnswerGetExternal(THostedBrowser& browser, std::shared_ptr<Dispatch>& external);

// Modifier keys as they are down while the key message is translated.
struct KeyState {
    bool shift = false;
    bool ctrl = false;
};
bool IsCtrlShortcutMasked(const THostedBrowser& browser, const ui::Message& message, KeyState keys);
// S_OK consumes the key, S_FALSE lets the platform handle it.
HResult AnswerTranslateAccelerator(THostedBrowser& browser, const ui::Message& message,
                                   KeyState keys);

// Script errors: pvaOut receives the continue flag when the answer sets one.
HResult AnswerScriptError(TScriptErrorAction action, std::optional<bool>& pvaOut);
// IOleCommandTarget::Exec for a command group (canonical id, "" for none) and command.
HResult AnswerExec(const THostedBrowser& browser, std::string_view command_group,
                   std::uint32_t command, std::optional<bool>& pvaOut);
// IOleCommandTarget::QueryStatus: the flags of the first command.
HResult AnswerQueryStatus(std::uint32_t& first_command_flags);

// Whether the component offers a service itself: focus protection always, the download
// manager only where OnFileDownload is bound (the popup window).
bool ProvidesService(const THostedBrowser& browser, std::string_view service_id);

// Focus requests of the page.
bool AllowFocusChange(const THostedBrowser& browser);

// Ambient properties the host answers itself; nullopt leaves the id to the framework's
// standard container ambients.
struct AmbientValue {
    enum class Kind { Int32, Bool } kind = Kind::Int32;
    std::int32_t int_value = 0;
    bool bool_value = false;
};
std::optional<AmbientValue> AmbientGet(const THostedBrowser& browser, std::int32_t dispid);
// Property put; true when the id was taken (user mode).
bool AmbientPut(THostedBrowser& browser, std::int32_t dispid, bool value);

// Downloads offered to the host: E_NOTIMPL preset, OnFileDownload may change it.
HResult AnswerDownload(THostedBrowser& browser, const FileDownloadRequest& request);

}  // namespace kelvra::browser
