#include "migrate/terminal_message_box.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

namespace migrate {

namespace {

std::string normalised(std::string answer)
{
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    answer.erase(answer.begin(), std::find_if(answer.begin(), answer.end(), notBlank));
    answer.erase(std::find_if(answer.rbegin(), answer.rend(), notBlank).base(), answer.end());
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer;
}

}  // namespace

TerminalMessageBox::TerminalMessageBox(std::istream& in, std::ostream& out) : m_in(in), m_out(out)
{
}

int TerminalMessageBox::show(HWND, const std::string& text, const std::string& caption, UINT type)
{
    m_out << "[" << caption << "]\n" << text << "\n";
    if ((type & 0x0F) != MB_YESNO) {
        m_out.flush();
        return IDOK;
    }
    for (;;) {
        m_out << "(y/n) " << std::flush;
        std::string line;
        if (!std::getline(m_in, line)) {
            m_out << "\n";
            return IDNO;
        }
        const std::string answer = normalised(line);
        if (answer == "y" || answer == "yes" || answer == "はい") {
            return IDYES;
        }
        if (answer == "n" || answer == "no" || answer == "いいえ") {
            return IDNO;
        }
    }
}

}  // namespace migrate
