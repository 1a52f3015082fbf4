// Moves the settings of earlier versions from the registry key
// HKEY_CURRENT_USER\Software\VELK\TIDEBELL into the settings file of the
// current folder, then deletes the old key (and Software\VELK when nothing
// else is left below it) - only when every setting reached the file. A
// folder that cannot be written (an installed program's) has its settings
// file in the user's settings folder, for this tool as for the program
// (platform::settingsFileBeside). The dialogue is three message boxes.
#pragma once

namespace migrate {

inline constexpr char kCaption[] = "ねいろん設定移行ツール";
inline constexpr char kAskText[] = "ねいろんの設定をレジストリからTIDEBELL.iniファイルへ移行します。\n実行しますか？";
inline constexpr char kNoRegistryText[] = "レジストリが見つかりません。\nこの環境で実行する必要はありません。";
inline constexpr char kFinishedText[] = "移行が終了しました。";
// Shown instead when a setting could not be written; the old key then stays.
inline constexpr char kWriteFailedText[] =
    "TIDEBELL.iniファイルに書き込めませんでした。\nレジストリの設定はそのまま残っています。";

// Runs the whole migration; the process's exit code (always 0).
int runMigration();

}  // namespace migrate
