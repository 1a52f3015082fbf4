// What the about box reads from a module's version resource.
#pragma once

#include <optional>
#include <string>

namespace tidebell {

struct VersionTexts {
    std::optional<std::string> fileVersion;  // missing: the label keeps its design text
    std::optional<std::string> legalCopyright;
};

// Reads FileVersion and LegalCopyright (UTF-8) from the string table that
// the first entry of the module's translation table names, through the
// version functions. Nothing for a module without version data or without a
// translation table; a missing string stays nothing.
VersionTexts readVersionTexts(const std::string& modulePath);

}  // namespace tidebell
