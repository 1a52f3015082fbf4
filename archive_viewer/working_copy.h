// Where the archive viewer puts the entries it extracts, and what their
// working copies are called. No widgets here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tidebell {

// The system's temporary folder as GetTempPathA gives it (at most 255
// characters), blanks and control characters trimmed from both ends, ending
// in "\". Nothing when the platform has no usable temporary folder, or when
// its path does not fit: working copies then have nowhere to go.
std::optional<std::string> WorkingFolder();

// The name of an entry's working copy: the part after the last "/" or "\"
// (archives made on other systems store either, and a drive prefix or ".."
// parts), without a leading drive ("C:"), control characters as "_", cut to
// 255 bytes at a character boundary. This is the name our archiver
// libraries give the entry in a flat extraction. Nothing when no name is
// left, or it is "." or ".." (also with trailing blanks or dots): such an
// entry has no working copy, so no path outside the working folder can ever
// be formed from an entry name.
std::optional<std::string> BareEntryName(std::string_view entryName);

// WorkingFolder + BareEntryName, or nothing when either is missing.
std::optional<std::string> workingCopyPath(std::string_view entryName);

// True when a file (not a folder) exists at the Windows-style path.
bool fileExists(const std::string& windowsPath);

// The extension test of a single click: the text from the last "." on
// (empty when a "\" or ":" follows it), upper-cased, equals ".WAV".
bool hasWaveExtension(std::string_view name);

}  // namespace tidebell
