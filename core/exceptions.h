// The exception classes that reach the application's default error display:
// conversion failures of the settings store and failures of the registry
// object. Their texts are shown as they are, with the display's "." rule.
#pragma once

#include <stdexcept>
#include <string>

namespace tidebell {

class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that should have been a decimal integer.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A registry value of the wrong type, or a value that could not be written.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

// Puts `item` in place of the first "%s" of `format`.
std::string formatMessage(const std::string& format, const std::string& item);

}  // namespace tidebell
