// Rewriting a file in place, for a file whose folder takes no new file (so it cannot be
// replaced by a rename), such that a writer killed at any moment leaves the old or the new
// content once the file is next read.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kelvra::platform::win32 {

// Writes all bytes to h; false on a failed write.
bool WriteAll(HANDLE h, std::string_view bytes);

// Writes bytes over the existing file path (a full path, links resolved) and sets its end.
// The new content is first kept whole in the temporary folder, so a rewrite cut short is
// finished by FinishInterruptedRewrite. False when the file is left as it was (it cannot be
// opened, or the kept copy cannot be made), or when a write failed midway (then the kept
// copy stays and the next read finishes the rewrite).
bool RewriteInPlace(const std::wstring& path, std::string_view bytes);

// Writes the kept copy of an in-place rewrite of path that was cut short over path, then
// removes the copy. Nothing happens when there is none, or while a rewrite still holds path.
void FinishInterruptedRewrite(const std::wstring& path);

}  // namespace kelvra::platform::win32
