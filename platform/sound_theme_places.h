// The places where the desktops keep the name of the sound theme they play
// event sounds from, each written as that desktop's own settings tool writes
// it: GSettings for GNOME, MATE and Cinnamon, kdeglobals for Plasma, the
// xfconf channel xsettings for Xfce and its XSETTINGS manager. Internal to
// the platform layer.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform::desktop {

// A desktop's theme choice: the theme it plays (its default when the user
// chose none) and whether the user chose it.
struct ThemeChoice {
    std::string theme;
    bool chosen = false;
};

struct ThemePlace {
    std::string id;     // stable name of the place, for what we remember of it
    std::string label;  // where it is, for messages
    // Each answers its failure text.
    std::function<std::optional<std::string>(ThemeChoice& choice)> read;
    // A choice that is not `chosen` goes back to the desktop's default.
    std::function<std::optional<std::string>(const ThemeChoice& choice)> write;
};

// The places of the desktops whose configuration exists on this machine.
std::vector<ThemePlace> themePlaces();
// The GSettings schemas of the desktops' sound settings, GNOME's first.
std::vector<std::string> soundSchemas();

// Edits of the xsettings channel's file that keep everything else of it:
// the value of Net/SoundThemeName, and the text with it set (or removed for
// nullopt). Nullopt when the text is no channel we can edit.
std::optional<std::optional<std::string>> xsettingsSoundTheme(const std::string& xml);
std::optional<std::string> withXsettingsSoundTheme(const std::string& xml, const std::optional<std::string>& theme);

}  // namespace platform::desktop
