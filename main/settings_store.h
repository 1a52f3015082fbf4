// Loading and saving the settings record in "TIDEBELL.INI" through the
// profile functions. Only the main window's creation and close call these.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "core/shared_state.h"

namespace tidebell {

inline constexpr char kIniSection[] = "TIDEBELL";

// Called for each value that fails to convert; the load then goes on with the
// next key. Without a handler the failure is thrown.
using ErrorHandler = std::function<void(const std::exception&)>;

// A decimal integer (leading blanks and a sign allowed, nothing after the
// digits, 32-bit range); anything else raises EConvertError
// "'<text>' は整数ではありません".
int32_t strToInt(const std::string& text);

// Splits a comma-separated list into `count` integers, assigning each to
// `fields[i]` as it is converted: every item but the last is the text before
// the next comma, the last is the whole remainder. A failure leaves the
// fields already assigned as they are and raises EConvertError.
void parseIntegerList(const std::string& text, int32_t* const* fields, int count);

// Recomputes IniPath, puts the pre-read values into the numeric fields and
// reads every key.
void RegistoryReadExecute(SharedState& state, const ErrorHandler& onError = {});
// Writes SaveSetting, and the other nine keys when SaveSetting is on.
void RegistoryWriteExecute(const SharedState& state);

}  // namespace tidebell
