#include "core/error_display.h"

#include "core/app_title.h"
#include "core/exceptions.h"
#include "core/handler_guard.h"

namespace tidebell {

std::string defaultErrorText(std::string_view message)
{
    std::string text(message);
    // A trailing byte of 0x80 or above belongs to a multi-byte character,
    // whose code is above "."; only a single-byte last character can stop
    // the full stop. An empty text stays empty.
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

std::string defaultErrorText(const std::exception& error)
{
    return defaultErrorText(std::string_view(error.what()));
}

void showDefaultError(HWND owner, const std::exception& error)
{
    const std::string text = defaultErrorText(error);
    MessageBoxA(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

void reportHandlerError(const std::exception& error) noexcept
{
    try {
        showDefaultError(nullptr, error);
    } catch (...) {
        // Nothing is left to tell the user with; the next action goes on.
    }
}

void reportUnknownHandlerError() noexcept
{
    reportHandlerError(Exception("予期しないエラーが発生しました"));
}

}  // namespace tidebell
