// Builds LHA-style command lines: switches of a minus sign, a letter group
// and a value, quoted file names, and an optional response file that holds
// the file list.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "archive/filelist.h"

namespace archives {

// The platform's file error: a response file could not be created or
// written. The message names the file and the system's reason.
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Lives for the rendering of one command: create, fill, read Text.
class TCmdOpt {
public:
    // A text switch becomes -name "value" instead of "-namevalue".
    bool SpaceBeforeValue = false;
    // Applied to every file name before it is written; none = unchanged.
    std::function<std::string(const std::string&)> NameConverter;
    // The command so far; every token is preceded by one blank.
    std::string Text;

    // One blank and the token, even when the token is empty.
    void Add(const std::string& token);
    // Nothing for UnsetText. Empty name: "value". Name starting with a blank:
    // that blank dropped and no minus sign. Otherwise "-namevalue", or
    // -name "value" with SpaceBeforeValue.
    void AddStr(const std::string& name, const std::string& value);
    // Nothing for -1; otherwise -name followed by the decimal number.
    void AddNum(const std::string& name, std::int32_t value);
    void AddBool(const std::string& name, bool flag);
    // Nothing for an empty or unset folder; otherwise AddStr of the folder
    // with a trailing "\" ensured.
    void AddDir(const std::string& name, const std::string& folder);
    void AddFileName(const std::string& name, const std::string& fileName);
    // AddFileName for each name of the list; returns the number of names.
    int AddFiles(const std::string& name, const FileList& list);
    std::string ConvertName(const std::string& fileName) const;
    // Writes the names (converted, quoted, CRLF after each) to the response
    // file at path, replacing it, then appends "@path" in quotes. Returns the
    // number of names. Throws EFileError with Text untouched when the file
    // cannot be written.
    int AddResFile(const FileList& list, const std::string& path);
};

}  // namespace archives
