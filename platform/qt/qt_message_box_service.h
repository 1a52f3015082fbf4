// Message boxes as Qt dialogs: caption, text, icon and buttons from the MB_
// flags; the answer is the Windows button code.
#pragma once

#include "platform/services.h"

namespace platform {

class QtMessageBoxService : public MessageBoxService {
public:
    int show(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
};

}  // namespace platform
