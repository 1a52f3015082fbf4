// Help requests on the desktop: pages of the help book open in the desktop's
// browser, pop-up topics show as a pop-up at the control (at the position
// HELP_SETPOPUP_POS gave, else at the pointer). A missing book or browser is
// reported in a message box.
#pragma once

#include <QPoint>
#include <QUrl>
#include <functional>
#include <optional>

#include "platform/services.h"

namespace platform {

class QtHelpService : public HelpService {
public:
    using UrlOpener = std::function<bool(const QUrl&)>;
    using PopupShower = std::function<void(const QPoint& at, const QString& html)>;

    // By default pages go to QDesktopServices and pop-ups to QWhatsThis.
    explicit QtHelpService(UrlOpener openUrl = {}, PopupShower showPopup = {});

    bool show(HWND owner, const std::string& helpFile, UINT command, uintptr_t data) override;

private:
    bool openPage(HWND owner, const QUrl& url);
    void complain(HWND owner, const std::string& text);

    UrlOpener m_openUrl;
    PopupShower m_showPopup;
    std::optional<QPoint> m_popupAt;
};

}  // namespace platform
