// The per-thread last error and the texts shown for error numbers.
#include <cerrno>
#include <map>
#include <string>

#include "platform/internal.h"
#include "platform/platform.h"

namespace {
thread_local DWORD lastError = 0;
}

extern "C" DWORD GetLastError(void)
{
    return lastError;
}
extern "C" void SetLastError(DWORD code)
{
    lastError = code;
}

namespace platform {

std::string systemErrorMessage(DWORD code)
{
    // The texts a Japanese desktop shows for these numbers.
    static const std::map<DWORD, std::string> texts = {
        {0, "この操作を正しく終了しました。"},
        {1, "ファンクションが間違っています。"},
        {2, "指定されたファイルが見つかりません。"},
        {3, "指定されたパスが見つかりません。"},
        {5, "アクセスが拒否されました。"},
        {6, "ハンドルが無効です。"},
        {8, "このコマンドを実行するのに十分な記憶域がありません。"},
        {18, "これ以上ファイルがありません。"},
        {21, "デバイスの準備ができていません。"},
        {29, "システムは指定されたデバイスに書き込めません。"},
        {30, "システムは指定されたデバイスから読み取れません。"},
        {80, "ファイルが存在します。"},
        {87, "パラメータが間違っています。"},
        {122, "システム コールに渡されるデータ領域が小さすぎます。"},
        {123, "ファイル名、ディレクトリ名、またはボリューム ラベルの構文が間違っています。"},
        {126, "指定されたモジュールが見つかりません。"},
        {127, "指定されたプロシージャが見つかりません。"},
        {183, "既に存在するファイルを作成することはできません。"},
        {206, "ファイル名または拡張子が長すぎます。"},
        {234, "データがさらにあります。"},
        {259, "データはこれ以上ありません。"},
        {1009, "構成レジストリ データベースが壊れています。"},
        {1010, "構成レジストリ キーが無効です。"},
        {1011, "構成レジストリ キーを開けませんでした。"},
        {1012, "構成レジストリ キーを読み取れませんでした。"},
        {1013, "構成レジストリ キーを書き込めませんでした。"},
        {1015, "レジストリが壊れています。"},
        {1018, "削除の対象としてマークされているレジストリ キーに不正な操作を行おうとしました。"},
        {1020, "既にサブキーまたは値が割り当てられているレジストリ キーにシンボリック リンクを作成しようとしました。"},
        {1400, "ウィンドウ ハンドルが無効です。"},
        {1813, "指定されたリソースの種類がイメージ ファイルに見つかりません。"},
    };
    auto it = texts.find(code);
    if (it != texts.end())
        return it->second;
    return "エラー " + std::to_string(code) + " が発生しました。";
}

namespace detail {

DWORD errorFromErrno(int error, bool parentMissing)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return parentMissing ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
    case ENOTEMPTY:
        return ERROR_ALREADY_EXISTS;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case EIO:
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
    case ESTALE:
    case ENOTCONN:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ETIMEDOUT:
        return ERROR_NOT_READY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_WRITE_FAULT;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

void setLastErrorFromErrno(int error, const std::string& posixPath)
{
    bool parentMissing = error == ENOENT && !posixIsDirectory(posixParent(posixPath));
    SetLastError(errorFromErrno(error, parentMissing));
}

}  // namespace detail
}  // namespace platform
