// The application's default error display: an error box with the application
// title and the error's text, followed by "." unless the text already ends in
// a character whose code is at or below that of ".".
#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "platform/win32.h"

namespace tidebell {

std::string defaultErrorText(std::string_view message);
std::string defaultErrorText(const std::exception& error);

// Shows the error through MessageBoxA (OK button, error icon).
void showDefaultError(HWND owner, const std::exception& error);

}  // namespace tidebell
