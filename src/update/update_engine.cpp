#include "update/update_engine.h"

#include <filesystem>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "ui/application.h"
#include "ui/dialog_script.h"
#include "update/environment_probes.h"
#include "update/file_checks.h"
#include "update/local_files.h"
#include "update/login_prompt.h"
#include "update/prefix_expansion.h"
#include "update/progress_form.h"
#include "update/update_thread.h"

namespace kelvra::update {

std::int64_t TFileList::TotalSize() const {
    std::int64_t total = 0;
    for (const TFileDescription& item : items_)
        total += item.FileSize;
    return total;
}

std::int64_t TFileList::CompletedSize() const {
    std::int64_t total = 0;
    for (std::size_t i = 0; i < items_.size() && static_cast<int>(i) < ActiveItem; ++i)
        total += items_[i].FileSize;
    return total;
}

TUpdateEngine::TUpdateEngine(ui::Application* app, InternetPlatform* internet)
    : app_(app),
      internet_(internet != nullptr ? internet : &SystemInternet()),
      last_url_entry_(std::make_unique<TLastURLEntry>()),
      post_update_info_(std::make_unique<TPostUpdateInfo>()),
      file_list_(std::make_unique<TFileList>()) {
    log_.on_status = [this](const std::string& text, int status_code, int error_code) {
        if (OnStatus)
            OnStatus(*this, text, status_code, error_code);
    };
}

TUpdateEngine::~TUpdateEngine() {
    JoinWorker();
    SetUtility(nullptr);
}

TUpdateUtility::~TUpdateUtility() {
    // The engines referring to this utility forget it.
    for (TUpdateEngine* engine : std::vector<TUpdateEngine*>(engines_))
        engine->SetUtility(nullptr);
}

void TUpdateEngine::SetUtility(TUpdateUtility* utility) {
    if (utility_ != nullptr)
        std::erase(utility_->engines_, this);
    utility_ = utility;
    if (utility_ != nullptr)
        utility_->engines_.push_back(this);
}

void TUpdateEngine::DoStatus(int id, const std::string& param, int StatusCode, int ErrCode) {
    log_.DoStatus(id, param, StatusCode, ErrCode);
}

std::string TUpdateEngine::GetOSVersion() {
    return ProbeOSVersion();
}
std::string TUpdateEngine::GetIDE() {
    return BuildEnvironmentCode();
}
std::string TUpdateEngine::GetIEVersion() {
    return ProbeIEVersion(platform::SystemRegistry());
}
std::string TUpdateEngine::GetInstalledIDEs() {
    return ProbeInstalledIDEs(platform::SystemRegistry());
}
std::string TUpdateEngine::GetVersion() const {
    return EngineVersionText();
}

void TUpdateEngine::ConvertPrefix(const std::string& prefix, std::string& s) {
    // The platform's folders are looked up once per engine; TMP follows the properties and
    // is looked up each time it is named.
    if (!prefix_dirs_)
        prefix_dirs_ = SystemPrefixDirectories(std::string());
    if (prefix == "TMP")
        prefix_dirs_->temp = WinTempDir();
    s = BaseConvertPrefix(prefix, *prefix_dirs_, platform::SystemFileSystem().Separator());
}

std::string TUpdateEngine::ExpandPrefix(const std::string& text) {
    ConvertPrefixHandler handler;
    if (OnConvertPrefix)
        handler = [this](std::string& t) { OnConvertPrefix(*this, t); };
    return ExpandPrefixes(text, handler, [this](const std::string& name) {
        std::string dir;
        ConvertPrefix(name, dir);
        return dir;
    });
}

InternetSession* TUpdateEngine::HintConnect() const {
    if (UpdateType == TUpdateType::ftpUpdate)
        return FFtpConnect ? FHint.get() : nullptr;
    return FHint.get();
}

void TUpdateEngine::PumpMessages() {
    // A worker thread has no windows of its own; the GUI thread runs its loop meanwhile.
    if (app_ != nullptr && !OnWorkerThread())
        app_->backend().ProcessPendingMessages();
}

bool TUpdateEngine::PromptLogin(const std::string& caption, std::string& user,
                                std::string& password) {
    if (app_ != nullptr) {
        bool ok = false;
        OnGuiThread([&] { ok = update::PromptLogin(*app_, caption, user, password); });
        return ok;
    }
    // No GUI: only the dialog script can answer.
    ui::DialogScript* script = ui::ActiveDialogScript();
    if (script == nullptr)
        return false;
    const ui::PromptAnswer answer = script->Prompt({caption, {}, {"Edit1", "Edit2"}});
    if (!answer.accepted)
        return false;
    auto value = [&](const char* name) {
        auto it = answer.values.find(name);
        return it == answer.values.end() ? std::string() : it->second;
    };
    user = value("Edit1");
    password = value("Edit2");
    return true;
}

const ControlFileReader& TUpdateEngine::ControlFile() {
    if (!control_file_ || control_file_->Path() != FControlFileName)
        control_file_ = OpenControlFile(FControlFileName);
    return *control_file_;
}

ControlFileHold TUpdateEngine::HoldControlFile() {
    ControlFile();
    return ControlFileHold(control_file_);
}

std::string TUpdateEngine::ReadControlString(std::string_view section, std::string_view key,
                                             std::string_view def) {
    return ReadString(ControlFile(), section, key, def);
}

DateTimeSettings TUpdateEngine::EngineDateSettings() const {
    DateTimeSettings s;
    s.short_date_format = DateFormat;
    s.date_separator = DateSeparator;
    s.time_format = TimeFormat;
    s.time_separator = TimeSeparator;
    return s;
}

namespace {

std::unique_ptr<platform::RegistryKey> OpenLastUrlKey(const TLastURLEntry& entry,
                                                      bool for_writing) {
    if (entry.Key.empty() || entry.Section.empty())
        return nullptr;
    const auto hive = entry.RegRoot == TLastURLRoot::lurLOCALMACHINE
                          ? platform::RegistryHive::LocalMachine
                          : platform::RegistryHive::CurrentUser;
    std::string path = entry.Key;
    if (path.back() != '\\')
        path += '\\';
    path += entry.Section;
    // Opening the key creates it when missing.
    if (for_writing)
        return platform::SystemRegistry().Create(hive, path);
    auto key = platform::SystemRegistry().Open(hive, path, platform::RegistryAccess::Read);
    return key ? std::move(key) : platform::SystemRegistry().Create(hive, path);
}

std::string QueryText(const platform::RegistryKey& key, const char* name) {
    auto value = key.Query(name);
    return value ? value->TextValue() : std::string();
}

}  // namespace

std::string TUpdateEngine::GetControlFileURL() {
    std::string address = URL;
    if (LastURLEntry().Save) {
        if (auto key = OpenLastUrlKey(LastURLEntry(), false)) {
            std::string stored = QueryText(*key, "LastURL");
            if (!stored.empty())
                address = stored;
        }
    }
    return ExpandPrefix(address);
}

LocalDateTime TUpdateEngine::UpdateDateGet() {
    LocalDateTime result = kDefaultReleaseDate;
    if (auto key = OpenLastUrlKey(LastURLEntry(), false)) {
        const DateTimeSettings system = ProcessDateTimeSettings();
        const std::string date = QueryText(*key, "LastDate");
        const std::string time = QueryText(*key, "LastTime");
        if (!date.empty())
            if (auto d = ParseDate(date, system))
                result = *d;
        if (!time.empty())
            if (auto t = ParseTime(time, system)) {
                result.hour = t->hour;
                result.minute = t->minute;
                result.second = t->second;
            }
        FDateFromRegistry = true;
        return result;
    }
    if (!FDateCheckFile.empty())
        if (auto modified = FileModifiedTime(FDateCheckFile))
            result = *modified;
    return result;
}

void TUpdateEngine::URLPut(const std::string& url) {
    if (!LastURLEntry().Save)
        return;
    if (auto key = OpenLastUrlKey(LastURLEntry(), true))
        key->Set("LastURL", platform::RegistryValue::Text(url));
}

void TUpdateEngine::UpdateDatePut(const LocalDateTime& dt) {
    if (!LastURLEntry().Save)
        return;
    if (auto key = OpenLastUrlKey(LastURLEntry(), true)) {
        const DateTimeSettings system = ProcessDateTimeSettings();
        key->Set("LastDate", platform::RegistryValue::Text(FormatShortDate(dt, system)));
        if (dt.HasTime())
            key->Set("LastTime", platform::RegistryValue::Text(FormatTime(dt, system)));
    }
}

}  // namespace kelvra::update
