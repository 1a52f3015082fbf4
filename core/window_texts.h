// The menu captions and hints the main window and the archive viewer share,
// typed once so that the two windows cannot drift apart.
#pragma once

namespace tidebell::window_texts {

inline constexpr char FileMenu[] = "ファイル(&F)";
inline constexpr char ViewMenu[] = "表示(&V)";
inline constexpr char HelpMenu[] = "ヘルプ(&H)";

inline constexpr char Play[] = "再生(&P)";
inline constexpr char PlayHint[] = "選択されているファイルを再生、または開きます";
inline constexpr char Toolbar[] = "ツールバー(&T)";
inline constexpr char ToolbarHint[] = "ツールバーの表示/非表示を切り替えます";
inline constexpr char StatusBar[] = "ステータスバー(&S)";
inline constexpr char StatusBarHint[] = "ステータスバーの表示/非表示を切り替えます";
inline constexpr char List[] = "一覧(&L)";
inline constexpr char ListHint[] = "オブジェクトを一覧表示します";
inline constexpr char Detail[] = "詳細(&D)";
inline constexpr char DetailHint[] = "ウィンドウ内の各オブジェクトの情報を表示します";
inline constexpr char HelpContents[] = "目次(&C)";
inline constexpr char HelpContentsHint[] = "ヘルプを開きます";
inline constexpr char HelpOperate[] = "操作方法(&O)";
inline constexpr char HelpCommand[] = "コマンド説明(&C)";

}  // namespace tidebell::window_texts
