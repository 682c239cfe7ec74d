// Option sets of the hosted browser and the platform values they add up to.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kelvra::browser {

// Declaration order matters: the host flags are added member by member in this order.
enum class TUserInterfaceOption {
    DisableTextSelect,
    DisableHelpMenu,
    DontUse3DBorders,
    DontUseScrollBars,
    PostponeScriptUntilActive,
    ForceOpenNewWindow,
    Reserved_OFFSCREEN,
    ForceFlatScrollBars,
    InsertDivTagOnEditMode,
    ActivateUIOnlyOnDocClick,
    ConsultBeforeRetrievingBehavior,
    CheckFontSupportsCodePage,
    DisableSubmitUrlInUTF8,
    EnableSubmitUrlInUTF8,
    EnablesFormsAutoComplete,
    ForceSameWindowNavigation,
    EmableImeLocalLanguages,
    EnableThemes,
    DisableThemes,
    DisablePicsRatings,
    DisableFrameSetBorder,
    DisablesAutoNameSpaceCorrection,
    DisableLocalFileAccess,
    DisableUntrustedProtocol,
    CheckNavigationDelegatedToHost,
    EnableRedirectNotification,
    EnableDomWindlessControls,
    EnableWindowedControls,
    ForceUserActivationOnActiveXJava,
};
inline constexpr int kUserInterfaceOptionCount = 29;

enum class TDownloadControlOption {
    DownloadImages,
    DownloadVideos,
    DownloadBGSounds,
    DontExecuteScripts,
    DontExecuteJava,
    DontExecuteActiveX,
    DontDownloadActiveX,
    DownloadButDontDisplay,
    DontDownloadFrame,
    CheckPageResynchronize,
    DownloadAndIgnoreCache,
    DontDownloadBehaviors,
    SuppressedMetaCharset,
    DisableUrlIfEncodingUTF8,
    EnableUrlIfEncodingUTF8,
    ForceOfflineMode,
    DontPerformClientPull,
    DownloadInSilentMode,
    WorkOffline,
};
inline constexpr int kDownloadControlOptionCount = 19;

enum class TScriptErrorAction { eaContinue, eaCancel, eaAskUser };

// A set of enumeration members, one bit per member in declaration order.
template <class E>
class OptionSet {
  public:
    constexpr OptionSet() = default;
    constexpr OptionSet(std::initializer_list<E> members) {
        for (E m : members)
            bits_ |= Bit(m);
    }
    constexpr bool Has(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(E m) { bits_ |= Bit(m); }
    constexpr void Exclude(E m) { bits_ &= ~Bit(m); }
    constexpr bool operator==(const OptionSet&) const = default;

  private:
    static constexpr std::uint32_t Bit(E m) { return 1u << static_cast<int>(m); }
    std::uint32_t bits_ = 0;
};

using UserInterfaceOptions = OptionSet<TUserInterfaceOption>;
using DownloadOptions = OptionSet<TDownloadControlOption>;

// The platform's host flag of one member.
std::uint32_t HostFlagOf(TUserInterfaceOption member);
// The platform's download-control flag of one member.
std::uint32_t DownloadFlagOf(TDownloadControlOption member);

// The host flags answered to the platform: 0 for an empty set.
std::uint32_t ComputeUserInterfaceValue(const UserInterfaceOptions& options);
// The ambient download-control value.
std::uint32_t ComputeDownloadOptionValue(const DownloadOptions& options);

// Values after construction, and the ones the windows set.
UserInterfaceOptions DefaultUserInterfaceOptions();
DownloadOptions DefaultDownloadOptions();

}  // namespace kelvra::browser
