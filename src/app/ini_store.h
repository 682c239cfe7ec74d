// TIniStore: the INI class the client uses for its settings file, always over a TMemIni.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/mem_ini.h"

namespace kelvra::app {

class TIniStore {
  public:
    // in_memory must be true: the direct-to-disk mode is not part of the client.
    TIniStore(std::string file_name, bool in_memory, platform::FileSystem& files,
              const platform::CodePage& ansi);
    // Frees the wrapped object; never writes.
    ~TIniStore();

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view default_value) const;
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void UpdateFile();

  private:
    std::unique_ptr<TMemIni> ini_;
};

}  // namespace kelvra::app
