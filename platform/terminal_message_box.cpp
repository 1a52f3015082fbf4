#include "platform/terminal_message_box.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

namespace platform {

int TerminalMessageBoxService::defaultAnswer(UINT type)
{
    int second = 0, third = 0, first = IDOK;
    switch (type & 0xF) {
    case MB_OKCANCEL:
        first = IDOK;
        second = IDCANCEL;
        break;
    case MB_YESNOCANCEL:
        first = IDYES;
        second = IDNO;
        third = IDCANCEL;
        break;
    case MB_YESNO:
        first = IDYES;
        second = IDNO;
        break;
    default:
        break;
    }
    if ((type & 0xF00) == MB_DEFBUTTON2 && second)
        return second;
    if ((type & 0xF00) == MB_DEFBUTTON3 && third)
        return third;
    return first;
}

TerminalMessageBoxService::TerminalMessageBoxService() : m_in(std::cin), m_interactive(::isatty(STDIN_FILENO) != 0) {}

TerminalMessageBoxService::TerminalMessageBoxService(std::istream& in, bool interactive)
    : m_in(in), m_interactive(interactive)
{
}

int TerminalMessageBoxService::show(HWND, const std::string& text, const std::string& caption, UINT type)
{
    std::cerr << "[" << caption << "] " << text << std::endl;
    UINT buttons = type & 0xF;
    bool question = buttons == MB_YESNO || buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL;
    if (!question)
        return IDOK;
    const char* prompt = buttons == MB_OKCANCEL ? "(o = OK / c = キャンセル) " : "(y = はい / n = いいえ) ";
    for (;;) {
        // Answers may also come through a pipe; then there is nobody to
        // prompt, and an unreadable answer must not be taken as consent.
        if (m_interactive)
            std::cerr << prompt << std::flush;
        std::string line;
        if (!std::getline(m_in, line))
            return buttons == MB_YESNO ? IDNO : IDCANCEL;
        if (!m_interactive && line.empty())
            return buttons == MB_YESNO ? IDNO : IDCANCEL;
        char c = line.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(line[0])));
        if (line.empty())
            return defaultAnswer(type);
        if (buttons == MB_OKCANCEL) {
            if (c == 'o')
                return IDOK;
            if (c == 'c')
                return IDCANCEL;
        } else {
            if (c == 'y')
                return IDYES;
            if (c == 'n')
                return IDNO;
            if (c == 'c' && buttons == MB_YESNOCANCEL)
                return IDCANCEL;
        }
        if (!m_interactive)
            return buttons == MB_YESNO ? IDNO : IDCANCEL;
    }
}

}  // namespace platform
