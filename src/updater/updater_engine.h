// The update engine as the updater runs it: the control file is fetched once and accepted
// only with the publisher's signature and a version newer than the installed client; every
// fetched file must match the size and SHA-256 that the signed control file lists, and
// must stay in the download folder (an application component, or a cabinet of them
// extracted there), so that only the restart program changes the application folder,
// after the updater has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "update/release_signature.h"
#include "update/update_engine.h"
#include "update/version_info.h"

namespace kelvra::updater {

// Why a release was refused: the text for the user and the line for the update log.
struct Refusal {
    std::string message;
    std::string log_line;
};

// What the signed control file promises about one file.
struct FilePromise {
    std::string sha256;  // 64 lower-case hex digits
    std::int64_t size = 0;
};

class UpdaterEngine final : public update::TUpdateEngine {
  public:
    // installed: the version of the client in the application folder.
    UpdaterEngine(ui::Application* app, update::InternetPlatform* internet,
                  const update::Ed25519PublicKey& key, update::VersionWords installed);

    const std::optional<Refusal>& refusal() const { return refusal_; }
    // The release's version once its control file has been accepted.
    const std::optional<update::VersionWords>& release_version() const { return release_; }
    // Progress of the file being fetched: its name, bytes so far, announced size.
    std::function<void(const std::string&, std::int64_t, std::int64_t)> on_progress;

    bool FetchControlFile(const std::string& address, const std::string& dir) override;
    int GetFileDetails() override;
    int ProcessFileDetails() override;
    int GetFileUpdates() override;
    bool AcceptFetchedFile(const update::TFileDescription& item, const std::string& path) override;
    void FetchStarts(const std::string& destination) override;
    void FetchedBlock(const char* data, std::size_t size) override;
    void DoFileProgress(const std::string& FileName, std::int64_t Pos, std::int64_t Size) override;
    void DoProgressCancel(bool& Cancel) override;
    void DoStatus(int id, const std::string& param, int StatusCode, int ErrCode) override;

  private:
    void Refuse(std::string message, std::string log_line);
    // True when the item's file, or what comes out of it, stays in the download folder.
    bool StaysInDownloadFolder(const update::TFileDescription& item, const std::string& name);
    // The control file's refusal, if any: signature, then version.
    std::optional<Refusal> CheckControlFile(const std::string& bytes,
                                            const std::optional<std::string>& signature);

    update::Ed25519PublicKey key_;
    update::VersionWords installed_;
    std::optional<update::VersionWords> release_;
    std::optional<Refusal> refusal_;
    std::map<std::string, FilePromise> promises_;  // by the file's expanded address
    bool downloading_ = false;                     // inside GetFileUpdates
    // The SHA-256 of the update file being fetched, fed as its bytes arrive, and the file.
    std::optional<update::Sha256Stream> fetched_sha256_;
    std::string fetched_path_;
    bool over_size_ = false;  // the active download passed its size
};

// The product's name in the updater's window and boxes.
inline constexpr const char* kUpdaterCaption = "Kelvra教学云客户端 更新";

}  // namespace kelvra::updater
