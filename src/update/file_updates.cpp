// Fetching the update's files and putting each in place: the prompting modes, components
// left for the restart program, moves, single-file expansion, cabinets and patches.
#include "platform/file_system.h"
#include "platform/text.h"
#include "update/cab_extract.h"
#include "update/local_files.h"
#include "update/progress_form.h"
#include "update/update_engine.h"
#include "update/update_log.h"

namespace kelvra::update {

int TUpdateEngine::GetFileUpdates() {
    int result = 0;
    TUpdatePrompting mode = UpdateUpdate;
    for (std::size_t i = 0; i < FileList().Count(); ++i) {
        const TFileDescription item = FileList()[i];
        const int n = static_cast<int>(i) + 1;
        if (mode == TUpdatePrompting::upPromptAll) {
            if (!Confirm(std::string(StatusMessageText(909)) + URLtoFile(item.URL)))
                continue;
        } else if (mode == TUpdatePrompting::upPromptOnce) {
            if (!Confirm(std::string(StatusMessageText(910))))
                break;
        }
        std::string address = item.URL;
        const std::string name = URLtoFile(address);
        FileList().ActiveItem = n - 1;
        if (OnBeforeFileDownload)
            OnBeforeFileDownload(*this, n, item.Description, address);
        if (!item.TargetDir.empty() &&
            !platform::SystemFileSystem().DirectoryExists(item.TargetDir))
            CreateDirectories(item.TargetDir);
        const std::string dir = UseWinTempDir ? WinTempDir() : item.TargetDir;
        if (progress_form_ != nullptr)
            OnGuiThread([this] { progress_form_->Show(); });
        const bool ok = URLGetFile(HintConnect(), address, dir, false);
        if (progress_form_ != nullptr)
            OnGuiThread([this] { progress_form_->Hide(); });
        if (!ok) {
            result = -1;
            DoStatus(946, address, 2, 0);
            FAppUpdate = false;
        } else if (!AcceptFetchedFile(item, dir + URLtoFile(address))) {
            result = -1;
            FAppUpdate = false;
        } else {
            PlaceFetchedFile(item, dir, name);
        }
        if (mode == TUpdatePrompting::upPromptOnce)
            mode = TUpdatePrompting::upSilent;
    }
    return result;
}

bool TUpdateEngine::AcceptFetchedFile(const TFileDescription&, const std::string&) {
    return true;
}

void TUpdateEngine::FetchStarts(const std::string&) {}

void TUpdateEngine::FetchedBlock(const char*, std::size_t) {}

void TUpdateEngine::PlaceFetchedFile(const TFileDescription& item, const std::string& dir,
                                     const std::string& name) {
    if (!name.empty() &&
        text::UpperAscii(FAppComps).find(text::UpperAscii(name)) != std::string::npos) {
        // Components stay where they were fetched; the restart program moves them.
        FAppComponentLoaded = true;
        DoStatus(962, name, 0, 0);
        return;
    }
    const std::string ext = UpperExtension(name);
    std::string fetched = dir + name;
    if (ext != ".CAB" && ext != ".PAT" && UseWinTempDir && !item.TargetDir.empty()) {
        // A file that cannot be moved stays in the download directory, unreported.
        const std::string target = item.TargetDir + name;
        DeleteLocalFile(target);
        if (RenameLocalFile(fetched, target))
            fetched = target;
    }
    if (ext != ".CAB" && ExtractCAB && item.Compressed) {
        // Expanded in the current directory, from wherever the move above left the file;
        // the expansion removes the compressed file.
        if (RenameLocalFile(fetched, name))
            ExpandLZFile(name);
    }
    if (ext == ".CAB" && ExtractCAB && item.Compressed) {
        const char sep = platform::SystemFileSystem().Separator();
        std::string cabinet = dir;
        if (cabinet.empty() || (cabinet.back() != sep && cabinet.back() != '\\'))
            cabinet += sep;
        cabinet += name;
        if (ExtractCab(cabinet, item.TargetDir) != 0)
            DoStatus(947, cabinet, 8, 0);
        else if (!KeepIntermediateFiles)
            DeleteLocalFile(cabinet);
    }
    if (ext == ".PAT" && ApplyPatch && !item.LocalVersion.empty()) {
        ApplyPatchFile(name, item.LocalVersion);
        if (!KeepIntermediateFiles)
            DeleteLocalFile(item.TargetDir + name);
    }
}

}  // namespace kelvra::update
