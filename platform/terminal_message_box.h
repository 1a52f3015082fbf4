// The message box of a program without windows.
#pragma once

#include "platform/services.h"

namespace platform {

// The message box used when none is installed: it writes the caption and
// text to the terminal; for a question it asks on standard input when that is
// a terminal and otherwise answers the default button (the first, or the one
// MB_DEFBUTTON2/3 names), as pressing Enter in the dialog would.
class TerminalMessageBoxService : public MessageBoxService {
public:
    int show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    // The answer a box of this type gives without a user.
    static int defaultAnswer(UINT type);
};

}  // namespace platform
