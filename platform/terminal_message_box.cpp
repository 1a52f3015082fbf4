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
    case MB_OKCANCEL: first = IDOK; second = IDCANCEL; break;
    case MB_YESNOCANCEL: first = IDYES; second = IDNO; third = IDCANCEL; break;
    case MB_YESNO: first = IDYES; second = IDNO; break;
    default: break;
    }
    if ((type & 0xF00) == MB_DEFBUTTON2 && second)
        return second;
    if ((type & 0xF00) == MB_DEFBUTTON3 && third)
        return third;
    return first;
}

int TerminalMessageBoxService::show(HWND, const std::string& text, const std::string& caption, UINT type)
{
    std::cerr << "[" << caption << "] " << text << std::endl;
    UINT buttons = type & 0xF;
    bool question = buttons == MB_YESNO || buttons == MB_YESNOCANCEL || buttons == MB_OKCANCEL;
    if (!question || !::isatty(STDIN_FILENO))
        return defaultAnswer(type);
    const char* prompt = buttons == MB_OKCANCEL ? "(o = OK / c = キャンセル) " : "(y = はい / n = いいえ) ";
    for (;;) {
        std::cerr << prompt << std::flush;
        std::string line;
        if (!std::getline(std::cin, line))
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
    }
}

}  // namespace platform
