// Moves the settings of earlier versions from the registry key
// HKEY_CURRENT_USER\Software\VELK\TIDEBELL into the settings file of the
// current folder, then deletes the old key (and Software\VELK when nothing
// else is left below it). The dialogue is three message boxes.
#pragma once

namespace migrate {

inline constexpr char kCaption[] = "ねいろん設定移行ツール";
inline constexpr char kAskText[] =
    "ねいろんの設定をレジストリからTIDEBELL.iniファイルへ移行します。\n実行しますか？";
inline constexpr char kNoRegistryText[] =
    "レジストリが見つかりません。\nこの環境で実行する必要はありません。";
inline constexpr char kFinishedText[] = "移行が終了しました。";

// Runs the whole migration; the process's exit code (always 0).
int runMigration();

}  // namespace migrate
