// Message boxes on the terminal, for a start without a display: the caption
// and text are printed, and a Yes/No question waits for an answer.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/services.h"

namespace migrate {

class TerminalMessageBox : public platform::MessageBoxService {
public:
    TerminalMessageBox(std::istream& in, std::ostream& out);

    // Yes/No questions accept y, yes, はい, n, no, いいえ (any case) and ask
    // again otherwise; the end of the input answers No, so nothing changes
    // without consent. Other boxes answer OK.
    int show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;

private:
    std::istream& m_in;
    std::ostream& m_out;
};

}  // namespace migrate
