// Command lines of the five dialects, as the program's wrappers write them,
// turned into one request. Paths stay as written (Windows-style); patterns
// get "/" between folders.
//
// Overwriting an existing file, per dialect:
//   LHA  -c / -c1: always; otherwise only when the entry is newer.
//   ZIP, CAB  -o: always; -n or nothing: never (existing files are kept and
//        reported; no one can be asked).
//   tar  always.
//   RAR  -u: only when the entry is newer; otherwise always.
// Flat (no folders created): LHA "e" or -x0 ("x" with -x1 keeps folders),
// ZIP and CAB -j, tar --use-directory=0, RAR "-e".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archivers/common/library.h"

namespace arc {

struct Token {
    std::string text;  // quotes removed
    bool quoted = false;
};

// Blanks, tabs, CR and LF separate tokens; double quotes group and vanish;
// empty tokens are dropped.
std::vector<Token> tokenizeCommandLine(std::string_view line);

enum class Overwrite { Always, IfNewer, Never };
enum class Command { Extract, Test };

struct CommandRequest {
    Command command = Command::Extract;
    std::string archive;                // as written
    std::string destination;            // as written; empty: current folder
    std::vector<std::string> patterns;  // empty: every entry
    bool brackets = false;              // patterns use "[...]" classes (ZIP)
    Overwrite overwrite = Overwrite::Always;
    bool flat = false;
};

struct ParsedCommand {
    int code = ArcOk;  // ArcBadCommand, ArcNotSupported when not ArcOk
    std::string message;
    CommandRequest request;
};

// Reads a response file named by "@path" (Windows-style); nullopt when it
// cannot be read. Its names are quoted or blank-separated, one or more per
// line (CRLF or LF).
using FileLoader = std::function<std::optional<std::string>(const std::string& windowsPath)>;

// The loader that reads through toPosix(), refusing files over 16 MiB.
std::optional<std::string> loadResponseFile(const std::string& windowsPath);

// `withCommandWord` is false for ExtractMem, whose line starts with the
// switches (a leading extract word is tolerated all the same).
ParsedCommand parseCommandLine(Dialect dialect, std::string_view line, bool withCommandWord,
                               const FileLoader& loader = loadResponseFile);

}  // namespace arc
