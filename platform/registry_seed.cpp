// What the registry holds on first use: the default sound scheme of a
// Japanese desktop under HKCU\AppEvents and the WAVE file type under HKCR.
#include "platform/registry_store.h"

namespace platform {
namespace {

struct Event {
    const char* key;
    const char* label;
};

// Events of the ".Default" application ("Windows") and of Explorer, with the
// labels a Japanese desktop shows for them.
constexpr Event defaultEvents[] = {
    {".Default", "一般の警告音"},
    {"AppGPFault", "プログラム エラー"},
    {"Close", "プログラムの終了"},
    {"CriticalBatteryAlarm", "バッテリ切れアラーム"},
    {"DeviceConnect", "デバイスの接続"},
    {"DeviceDisconnect", "デバイスの切断"},
    {"DeviceFail", "デバイスの接続の失敗"},
    {"LowBatteryAlarm", "バッテリ低下アラーム"},
    {"MailBeep", "新着メールの通知"},
    {"Maximize", "最大化"},
    {"MenuCommand", "メニュー コマンド"},
    {"MenuPopup", "メニュー ポップアップ"},
    {"Minimize", "最小化"},
    {"Open", "プログラムの起動"},
    {"PrintComplete", "印刷の完了"},
    {"RestoreDown", "元のサイズに戻す"},
    {"RestoreUp", "元に戻す (拡大)"},
    {"SystemAsterisk", "メッセージ (情報)"},
    {"SystemExclamation", "メッセージ (警告)"},
    {"SystemExit", "Windows の終了"},
    {"SystemHand", "システム エラー"},
    {"SystemNotification", "システム通知"},
    {"SystemQuestion", "メッセージ (問い合わせ)"},
    {"SystemStart", "Windows の起動"},
    {"WindowsLogoff", "Windows からのログオフ"},
    {"WindowsLogon", "Windows へのログオン"},
};

constexpr Event explorerEvents[] = {
    {"ActivatingDocument", "ドキュメントのアクティブ化"},
    {"BlockedPopup", "ポップアップ ウィンドウのブロック"},
    {"EmptyRecycleBin", "ごみ箱を空にする"},
    {"MoveMenuItem", "メニュー項目の移動"},
    {"Navigating", "ナビゲーションの開始"},
};

void setDefault(RegistryKey& key, const std::string& text)
{
    key.setValue(RegistryValue{"", REG_SZ, text});
}

void addApp(RegistryKey& apps, RegistryKey& labels, const char* name, const char* displayName, const Event* events,
            size_t count)
{
    RegistryKey& app = apps.createSubKey(name);
    setDefault(app, displayName);
    for (size_t i = 0; i < count; ++i) {
        RegistryKey& event = app.createSubKey(events[i].key);
        // No sound files come with the system: the scheme names none.
        setDefault(event.createSubKey(".Current"), "");
        setDefault(event.createSubKey(".Default"), "");
        setDefault(labels.createSubKey(events[i].key), events[i].label);
    }
}

}  // namespace

RegistryTree RegistryStore::seed()
{
    RegistryTree tree;
    RegistryKey& appEvents = tree.root(RegistryTree::CurrentUser).createSubKey("AppEvents");
    RegistryKey& labels = appEvents.createSubKey("EventLabels");
    RegistryKey& schemes = appEvents.createSubKey("Schemes");
    setDefault(schemes, ".Default");
    RegistryKey& apps = schemes.createSubKey("Apps");
    addApp(apps, labels, ".Default", "Windows", defaultEvents, std::size(defaultEvents));
    addApp(apps, labels, "Explorer", "Windows エクスプローラ", explorerEvents, std::size(explorerEvents));
    RegistryKey& names = schemes.createSubKey("Names");
    setDefault(names.createSubKey(".Default"), "Windows 標準");
    setDefault(names.createSubKey(".None"), "サウンドなし");

    RegistryKey& classes = tree.root(RegistryTree::ClassesRoot);
    RegistryKey& wav = classes.createSubKey(".wav");
    setDefault(wav, "SoundRec");
    wav.setValue(RegistryValue{"Content Type", REG_SZ, "audio/wav"});
    wav.setValue(RegistryValue{"PerceivedType", REG_SZ, "audio"});
    RegistryKey& type = classes.createSubKey("SoundRec");
    setDefault(type, "サウンド クリップ");
    type.createSubKey("shell");
    return tree;
}

}  // namespace platform
