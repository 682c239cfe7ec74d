// TUpdateEngine: the update engine component. It fetches the update control file, decides
// whether a newer version exists, and reports every step to the update log.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/message_box.h"
#include "update/control_file.h"
#include "update/file_list.h"
#include "update/internet_session.h"
#include "update/local_files.h"
#include "update/prefix_expansion.h"
#include "update/update_date.h"
#include "update/update_log.h"

namespace kelvra::ui {
class Application;
}

namespace kelvra::update {

enum class TUpdateType { ftpUpdate, httpUpdate, fileUpdate };
enum class TUpdateConnect {
    ucNoConnect,
    ucConnectPrompt,
    ucConnectSilent,
    ucConnectPromptHangup,
    ucConnectSilentHangup,
    ucNone
};
enum class TUpdateCertCheck { ccEnable, ccDisable };
enum class TUpdateAuthentication { waAlways, waAuto, waNever };
enum class TUpdateVersionCheck { vcUpdateOnly, vcAlways };
enum class TUpdatePrompting { upPromptOnce, upPromptAll, upSilent };
enum class TLastURLRoot { lurLOCALUSER, lurLOCALMACHINE };

struct TLastURLEntry {
    bool Save = false;
    std::string Key;
    std::string Section;
    TLastURLRoot RegRoot = TLastURLRoot::lurLOCALUSER;
};

class TUpdateEngine;

// What the update posts to a form handler once it has finished.
class TPostUpdateInfo {
  public:
    std::string Server;  // host name
    std::string Action;  // path of the form handler
    std::string Data;    // 8-bit body
    bool Enabled = false;
    // The answer to the last post (8-bit).
    const std::string& Result() const { return FResult; }

  private:
    friend class TUpdateEngine;
    std::string FResult;
};

// Settings of the patch program's run: its console window and the animation window shown
// while it runs. An engine referring to it forgets it when it is destroyed.
class TUpdateUtility {
  public:
    TUpdateUtility() = default;
    ~TUpdateUtility();
    TUpdateUtility(const TUpdateUtility&) = delete;
    TUpdateUtility& operator=(const TUpdateUtility&) = delete;

    bool ShowWindow = false;
    bool ShowAnimation = false;
    std::string StatusCaption;
    std::string StatusMessage;

  private:
    friend class TUpdateEngine;
    std::vector<TUpdateEngine*> engines_;
};

class TProgressForm;
class TInetThread;
class ProcessRunner;
using StringList = std::vector<std::string>;

// The text split into lines at CR, LF or CR LF.
StringList TextLines(const std::string& bytes);

class TUpdateEngine {
  public:
    // app: the GUI the engine pumps and prompts through; null for none (no message
    // pumping; prompts go to the dialog script when one is active, else are cancelled).
    // internet: the platform's Internet library unless a test passes its own.
    explicit TUpdateEngine(ui::Application* app = nullptr, InternetPlatform* internet = nullptr);
    virtual ~TUpdateEngine();
    TUpdateEngine(const TUpdateEngine&) = delete;
    TUpdateEngine& operator=(const TUpdateEngine&) = delete;

    // --- virtual operations, in slot order -------------------------------------------
    virtual int ShowWhatsNew(const std::string& stream);
    virtual int ShowEULA(const std::string& stream);
    virtual void DoStatus(int id, const std::string& param, int StatusCode, int ErrCode);
    virtual void ExtractUpdater();
    virtual void ExtractPatcher();
    virtual bool DoFileCheck(std::string& NewVersion, std::string& LocalFile, std::int32_t NewSize,
                             std::int32_t NewCheckSum);
    virtual void DoFileProgress(const std::string& FileName, std::int64_t Pos, std::int64_t Size);
    virtual void DoProgressCancel(bool& Cancel);
    virtual void CustomProcess(const std::string& fn);
    virtual int StartConnection();
    virtual int StopConnection();
    virtual int FTPConnect();
    virtual std::string GetControlFileURL();
    virtual int GetControlFile();
    virtual int DoVersionCheck();
    virtual int HandleActions();
    virtual std::unique_ptr<StringList> GetWhatsNew();
    virtual std::unique_ptr<std::string> GetWhatsNewStream();
    virtual std::unique_ptr<StringList> GetEULA();
    virtual std::unique_ptr<std::string> GetEULAStream();
    virtual std::string GetOSVersion();
    virtual std::string GetIDE();
    virtual std::string GetIEVersion();
    virtual std::string GetInstalledIDEs();
    virtual int GetFileDetails();
    virtual int ProcessFileDetails();
    virtual int GetFileUpdates();
    virtual void ConvertPrefix(const std::string& prefix, std::string& s);
    // Fetches the control file at address into dir (where GetControlFile reads it); false
    // when it could not be had. A program that checks the file first overrides it.
    virtual bool FetchControlFile(const std::string& address, const std::string& dir);
    // Called for each fetched file of the update, at path, before it is moved, expanded or
    // patched; false leaves it unplaced and counts as a failed file.
    virtual bool AcceptFetchedFile(const TFileDescription& item, const std::string& path);
    // A fetch into the file that will be at destination begins; then each of its blocks
    // follows in order as it is written. A program that checks the files' content follows
    // them here instead of reading each file again.
    virtual void FetchStarts(const std::string& destination);
    virtual void FetchedBlock(const char* data, std::size_t size);

    // --- availability query (version check) -------------------------------------------
    bool NewVersionAvailable(bool InitPath);
    std::unique_ptr<StringList> NewWhatsNew(bool showdialog);
    LocalDateTime UpdateDateGet();
    void UpdateDatePut(const LocalDateTime& dt);

    // --- update procedure ---------------------------------------------------------------
    void DoUpdate() { DoUpdate(true); }
    void DoUpdate(bool InitPath);
    // Runs DoUpdate on a worker thread; its end raises OnThreadUpdateDone (and restarts when
    // needed) on the GUI thread. Needs the application's message loop.
    void DoThreadUpdate() { DoThreadUpdate(true); }
    void DoThreadUpdate(bool InitPath);
    int UpdateActions();
    void DoPostUpdateInfo();
    void DoSuccess();
    void URLPut(const std::string& url);
    void ShowHTMLDialog(const std::string& s);
    // True while a worker thread runs the procedure.
    bool Threaded() const { return FThreaded; }
    TProgressForm* ProgressForm() const { return progress_form_; }

    // --- restart hand-off and patch program -----------------------------------------------
    void DoRestart();
    bool ExecAndWait(const std::string& cmd, bool show_window, const std::string& message,
                     const std::string& caption, bool animation);
    // The programs the engine starts (the platform's unless a test passes its own).
    void SetProcessRunner(ProcessRunner* runner) { runner_ = runner; }

    // --- transport ----------------------------------------------------------------------
    bool URLGetFile(InternetSession* hfile, const std::string& url, const std::string& tgt,
                    bool uncompress);
    std::string URLtoFile(const std::string& url);
    static std::string URLToDomain(const std::string& url);
    static std::string MakeProxyUrl(const std::string& url, const std::string& proxyuser,
                                    const std::string& proxypwd);
    std::string WinTempDir() const;
    bool Connected();
    int ConnectionType();
    void HangUp();
    void Error();
    void Cancel() { FCancelled = true; }
    // Prefix expansion with OnConvertPrefix and ConvertPrefix.
    std::string ExpandPrefix(const std::string& text);

    // --- log --------------------------------------------------------------------------
    void AddToLog(const std::string& s) { log_.AddToLog(s); }
    std::string GetVersion() const;

    // --- published properties -----------------------------------------------------------
    TUpdateType UpdateType = TUpdateType::httpUpdate;
    TUpdateConnect UpdateConnect = TUpdateConnect::ucNoConnect;
    std::string Agent = "KelvraUpdate";
    std::string Proxy;
    std::string ProxyUserID;
    std::string ProxyPassword;
    int TimeOut = 0;
    int ReceiveTimeOut = 0;
    TUpdateCertCheck CertCheck = TUpdateCertCheck::ccEnable;
    std::string Host;
    std::uint16_t Port = 21;
    std::string UserID;
    std::string Password;
    std::string FTPDirectory;
    bool FTPPassive = false;
    TUpdateAuthentication Authenticate = TUpdateAuthentication::waNever;
    bool HTTPKeepAliveAuthentication = false;
    bool ExistingConnection = false;
    bool UseWinTempDir = true;
    std::string TempDirectory = ".";
    bool KeepIntermediateFiles = false;
    std::string URL;
    std::string Signature = "KelvraUpdate";
    bool SignatureCheck = false;
    std::string DateFormat = "dd/mm/yyyy";
    char DateSeparator = '/';
    std::string TimeFormat = "hh:nn";
    char TimeSeparator = ':';
    TUpdateVersionCheck VersionCheck = TUpdateVersionCheck::vcUpdateOnly;
    bool UseCRC32 = false;
    bool ForceUpdate = false;
    TUpdatePrompting UpdateUpdate = TUpdatePrompting::upPromptOnce;
    std::string LanguageID;
    TLastURLEntry& LastURLEntry() { return *last_url_entry_; }
    TPostUpdateInfo& PostUpdateInfo() { return *post_update_info_; }
    bool ShowDownloadProgress = false;
    bool ExtractCAB = false;
    bool ApplyPatch = false;
    TUpdateUtility* Utility() const { return utility_; }
    void SetUtility(TUpdateUtility* utility);

    // Version reads "2.1.4.0" always; writing has no effect.
    std::string Version() const { return GetVersion(); }
    void SetVersion(const std::string&) {}
    bool Logging() const { return log_.Logging(); }
    void SetLogging(bool on) { log_.SetLogging(on); }
    const std::string& LogFileName() const { return log_.LogFileName(); }
    void SetLogFileName(std::string name) { log_.SetLogFileName(std::move(name)); }

    // Owner window of the boxes and prompts the engine shows.
    ui::NativeWindow OwnerWindow = nullptr;

    // --- events -------------------------------------------------------------------------
    std::function<void(TUpdateEngine&, const std::string&, std::int64_t, std::int64_t)>
        OnFileProgress;
    std::function<void(TUpdateEngine&, const std::string&)> OnFileDownloaded;
    std::function<void(TUpdateEngine&, const std::string&, const std::string&, bool&)>
        OnFileVersionCheck;
    std::function<void(TUpdateEngine&, bool&)> OnProcessPostResult;
    std::function<void(TUpdateEngine&, bool&)> OnBeforePost;
    std::function<void(TUpdateEngine&, int)> OnProgress;  // declared, never raised
    std::function<void(TUpdateEngine&, bool&)> OnProgressCancel;
    std::function<void(TUpdateEngine&, const std::string&, int, int)> OnStatus;
    std::function<void(TUpdateEngine&)> OnThreadUpdateDone;
    std::function<void(TUpdateEngine&, bool&)> OnAppRestart;
    std::function<void(TUpdateEngine&)> OnAppDoClose;
    std::function<void(TUpdateEngine&, int, const std::string&, std::string&)> OnBeforeFileDownload;
    std::function<void(TUpdateEngine&, const std::string&, const std::string&, bool&)>
        OnCustomValidate;
    std::function<void(TUpdateEngine&, const std::string&, const std::string&)> OnCustomProcess;
    std::function<void(TUpdateEngine&, StringList&)> OnGetFileList;
    std::function<void(TUpdateEngine&, std::string&)> OnConvertPrefix;
    std::function<void(TUpdateEngine&, std::string&)> OnSetAppParams;
    std::function<void(TUpdateEngine&, const StringList&, int&)> OnDownloadedWhatsNew;
    std::function<void(TUpdateEngine&, const StringList&, int&)> OnDownloadedEULA;
    std::function<void(TUpdateEngine&, const std::string&, std::string&)> OnFileNameFromURL;
    std::function<void(TUpdateEngine&)> OnSuccess;

    // --- public read-only state ---------------------------------------------------------
    const std::string& ControlFileName() const { return FControlFileName; }
    const LocalDateTime& NewVersionDate() const { return FNewVersionDate; }
    const LocalDateTime& CurVersionDate() const { return FCurVersionDate; }
    const std::string& NewVersionInfo() const { return FNewVersionInfo; }
    const std::string& CurVersionInfo() const { return FCurVersionInfo; }
    const std::string& UpdateDescription() const { return FUpdateDescription; }
    TFileList& FileList() { return *file_list_; }
    bool Cancelled() const { return FCancelled; }
    bool InProgress() const { return FInProgress; }
    bool AppNeedsRestart() const { return FAppUpdate && !FCancelled && FAppComponentLoaded; }
    bool AppSilentRestart() const { return FSilentRestart; }
    InternetSession* HintConnect() const;

  protected:
    // Lets the GUI handle the calling thread's pending messages (nothing without a GUI).
    void PumpMessages();
    // Sets TimeOut and ReceiveTimeOut on session, each only when greater than 0.
    void ApplyTimeOuts(InternetSession& session) const;
    // The sign-in prompt; false when cancelled.
    bool PromptLogin(const std::string& caption, std::string& user, std::string& password);
    // The control file copy (opened on first use after GetControlFile).
    const ControlFileReader& ControlFile();
    // A hold on the control file for the reads of one step (see ControlFileHold).
    ControlFileHold HoldControlFile();
    std::string ReadControlString(std::string_view section, std::string_view key,
                                  std::string_view def = {});
    bool CopyLocalFile(const std::string& source, const std::string& destination);
    // Moves a finished temporary file onto destination; false (with the reports) on failure.
    // A destination that cannot be deleted is reported; the rename is then still tried
    // (downloads) or the temporary file dropped without one (local copies).
    bool ReplaceDestination(const std::string& temp, const std::string& destination,
                            bool rename_when_not_cleared);
    bool DownloadRequest(InternetRequest& request, std::int64_t size, const std::string& url,
                         const std::string& tgt);
    void AfterDownload(const std::string& destination, const std::string& tgt, bool uncompress);
    OutputFile NewTempFile();
    DateTimeSettings EngineDateSettings() const;
    // Fetches the text named by [section + LanguageID] file into memory; null when none.
    std::unique_ptr<std::string> FetchSectionText(const std::string& section, bool whats_new);
    // One ".PAT" file: the patch program applied to LocalVersion.
    void ApplyPatchFile(const std::string& patch_file, const std::string& local_version);
    // Places one fetched file: components, moves, expansion, cabinets and patches.
    void PlaceFetchedFile(const TFileDescription& item, const std::string& dir,
                          const std::string& name);
    // Yes/No confirmation box; true for Yes.
    bool Confirm(const std::string& text);
    void FreeProgressForm();
    // A message box on the GUI thread (the dialog script when there is no application).
    ui::MsgResult ShowBox(const std::string& text, const std::string& caption,
                          ui::MsgButtons buttons, ui::MsgIcon icon);
    // Starts a program or document as runbefore and runafter are started.
    void StartProgram(const std::string& target);
    // Runs task on the GUI thread and waits for it when called from the worker thread.
    void OnGuiThread(const std::function<void()>& task);
    bool OnWorkerThread() const;
    void ThreadDone();
    // Waits for a finished or running worker thread.
    void JoinWorker();
    ProcessRunner& Processes();

    ui::Application* app_;
    InternetPlatform* internet_;
    UpdateLog log_;
    std::unique_ptr<InternetSession> FHint;
    std::unique_ptr<FtpConnection> FFtpConnect;
    bool FDialed = false;
    bool FFTPDirSet = false;
    bool FInProgress = false;
    bool FCancelled = false;
    std::string FControlFileName;
    std::shared_ptr<const ControlFileReader> control_file_;
    LocalDateTime FNewVersionDate;
    LocalDateTime FCurVersionDate;
    std::string FNewVersionInfo;
    std::string FCurVersionInfo;
    std::string FUpdateDescription;
    bool FAppUpdate = false;
    std::string FAppName;
    std::string FAppParams;
    std::string FAppComps;
    bool FSilentRestart = false;
    bool FAppComponentLoaded = false;
    std::string FDateCheckFile;
    std::string pending_destination_;  // set by a download that replaced its destination
    // The most bytes a fetch may bring before it fails; 0 for no bound.
    std::int64_t download_limit_ = 0;
    // Set while the control file is fetched (see DownloadRequest).
    bool control_fetch_ = false;
    // The control file as its last fetch wrote it, for the reader to start from.
    struct WrittenControlFile {
        std::string path;
        std::string bytes;
        FileStamp stamp;
    };
    std::optional<WrittenControlFile> written_control_;
    bool FDateFromRegistry = false;
    std::optional<PrefixDirectories> prefix_dirs_;
    std::unique_ptr<TLastURLEntry> last_url_entry_;
    std::unique_ptr<TPostUpdateInfo> post_update_info_;
    std::unique_ptr<TFileList> file_list_;
    TUpdateUtility* utility_ = nullptr;
    ProcessRunner* runner_ = nullptr;
    bool FThreaded = false;
    std::thread::id gui_thread_;  // the thread that started the worker
    TProgressForm* progress_form_ = nullptr;
    std::unique_ptr<TInetThread> thread_;
    // Posted thread-done steps check it, so that none runs after the engine is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace kelvra::update
