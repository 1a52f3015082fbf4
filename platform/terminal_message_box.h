// The message box of a program without windows.
#pragma once

#include <istream>

#include "platform/services.h"

namespace platform {

// The message box used when none is installed: it writes the caption and
// text to standard error; for a question it reads the answer from standard
// input. At a terminal it prompts until it gets one (an empty line takes the
// default button, as Enter in the dialog would); from a pipe it takes the
// first line, and a missing or unreadable answer is No (Cancel), never Yes.
class TerminalMessageBoxService : public MessageBoxService {
public:
    TerminalMessageBoxService();
    TerminalMessageBoxService(std::istream& in, bool interactive);
    int show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    // The answer a box of this type gives without a user.
    static int defaultAnswer(UINT type);

private:
    std::istream& m_in;
    bool m_interactive;
};

}  // namespace platform
