// The text a command leaves in the caller's output buffer: one line per
// event, cut to the buffer at a character boundary and zero-terminated.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32.h"

namespace arc {

class OutputText {
public:
    void line(std::string_view text);
    const std::string& text() const { return m_text; }
    // Copies into `buffer` (nothing when it is null or size is 0).
    void copyTo(LPSTR buffer, DWORD size) const;

private:
    std::string m_text;
};

}  // namespace arc
