// The registry functions' side of the desktop mirroring: they call these
// after a change of the registry succeeded. Internal to the platform layer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry_tree.h"

namespace platform::desktop {

// A value below `path` was written or deleted.
void valueChanged(int root, const std::vector<std::string>& path);
// The key at `path` was deleted; with `keyStays` only its sub-keys were.
// `rc` is the registry's answer; answers the one the caller returns: a verb
// key that stands only on the desktop counts as deleted.
LONG keyDeleted(int root, const std::vector<std::string>& path, bool keyStays, LONG rc);
// Whether a key missing from the registry is present on the desktop, so
// that opening it succeeds (the verb whose desktop entry outlived its keys).
bool standsOnDesktop(const RegistryTree& tree, int root, const std::vector<std::string>& path);

// The two mirrors; each answers its failure text.
struct Verb {
    std::string caption;  // the verb key's default value
    std::string command;  // the command key's default value
};
std::optional<std::string> installVerb(const Verb& verb);
std::optional<std::string> removeVerb();
bool verbInstalled();
// Sets (or, for an empty path, removes) the theme sound of a registry event.
std::optional<std::string> assignEventSound(const std::string& app, const std::string& event,
                                            const std::string& windowsPath);
// The sound-naming name of a registry event; empty when it has none.
std::string soundNameOf(const std::string& app, const std::string& event);

// Records the outcome of one mirroring: clears the notice, or sets it and
// tells the handler.
void report(const std::optional<std::string>& failure);

}  // namespace platform::desktop
