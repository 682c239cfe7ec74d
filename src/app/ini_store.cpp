#include "app/ini_store.h"

#include "platform/error.h"

namespace kelvra::app {

TIniStore::TIniStore(std::string file_name, bool in_memory, platform::FileSystem& files,
                     const platform::CodePage& ansi) {
    if (!in_memory)
        throw Error("The settings file can only be opened in memory");
    ini_ = std::make_unique<TMemIni>(std::move(file_name), files, ansi);
}

TIniStore::~TIniStore() = default;

std::string TIniStore::ReadString(std::string_view section, std::string_view key,
                                  std::string_view default_value) const {
    return ini_->ReadString(section, key, default_value);
}

void TIniStore::WriteString(std::string_view section, std::string_view key,
                            std::string_view value) {
    ini_->WriteString(section, key, value);
}

void TIniStore::UpdateFile() {
    ini_->UpdateFile();
}

}  // namespace kelvra::app
