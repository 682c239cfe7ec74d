// The update's file list: one description per file section of the control file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::update {

struct TFileDescription {
    std::string URL;
    std::string NewVersion;
    std::int32_t NewSize = 0;
    std::int32_t NewCheckSum = -1;
    std::string NewCustomVer;
    std::string NewDate;
    std::string NewTime;
    std::string LocalVersion;
    std::string Description;
    std::string TargetDir;
    bool Compressed = false;
    std::int32_t FileSize = 0;
    bool Mandatory = false;
    bool Preselect = true;
    bool Hidden = false;
    bool Selected = false;
};

class TFileList {
  public:
    std::vector<TFileDescription>& Items() { return items_; }
    const std::vector<TFileDescription>& Items() const { return items_; }
    std::size_t Count() const { return items_.size(); }
    TFileDescription& operator[](std::size_t i) { return items_.at(i); }
    TFileDescription& Add() { return items_.emplace_back(); }
    void Delete(std::size_t i) { items_.erase(items_.begin() + static_cast<long>(i)); }
    void Clear() { items_.clear(); }

    // Index of the file being fetched.
    int ActiveItem = 0;
    // FileSize over all items, and over the items before ActiveItem.
    std::int64_t TotalSize() const;
    std::int64_t CompletedSize() const;

  private:
    std::vector<TFileDescription> items_;
};

}  // namespace kelvra::update
