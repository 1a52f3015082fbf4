#include "platform/qt/qt_help_service.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QWhatsThis>

#include "platform/help_book.h"

namespace platform {
namespace {

QUrl urlOf(const HelpTopic& topic)
{
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(topic.file));
    if (!topic.anchor.empty())
        url.setFragment(QString::fromStdString(topic.anchor));
    return url;
}

// The desktop's opener starts in the background and reports nothing when it
// finds no program for a page, so look for one first: the user's choice,
// the desktop's handler for HTML, or a browser the opener falls back to.
bool browserAvailable()
{
    if (!qEnvironmentVariableIsEmpty("BROWSER"))
        return true;
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!mime.isEmpty()) {
        QProcess query;
        query.start(mime, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
        if (query.waitForFinished(3000) && !query.readAllStandardOutput().trimmed().isEmpty())
            return true;
    }
    for (const char* name : {"x-www-browser", "firefox", "firefox-esr", "chromium", "google-chrome", "epiphany",
                             "konqueror", "falkon", "midori", "netsurf-gtk", "dillo"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty())
            return true;
    return false;
}

bool openInBrowser(const QUrl& url)
{
    return browserAvailable() && QDesktopServices::openUrl(url);
}

}  // namespace

QtHelpService::QtHelpService(UrlOpener openUrl, PopupShower showPopup)
    : m_openUrl(openUrl ? std::move(openUrl) : UrlOpener(openInBrowser)),
      m_showPopup(showPopup ? std::move(showPopup) : PopupShower([](const QPoint& at, const QString& html) {
          QWhatsThis::showText(at, html, QApplication::activeWindow());
      }))
{
}

bool QtHelpService::show(HWND owner, const std::string& helpFile, UINT command, uintptr_t data)
{
    if (helpFile.empty())
        return false;
    if (command == HELP_QUIT)
        return true;
    if (command == HELP_SETPOPUP_POS) {
        m_popupAt = QPoint(static_cast<int16_t>(data & 0xFFFF), static_cast<int16_t>((data >> 16) & 0xFFFF));
        return true;
    }
    if (command != HELP_CONTEXT && command != HELP_CONTENTS && command != HELP_FINDER && command != HELP_CONTEXTPOPUP)
        return false;

    std::string error;
    const std::optional<HelpBook> book = HelpBook::open(helpFile, &error);
    if (!book) {
        complain(owner, error);
        return false;
    }
    if (command == HELP_CONTENTS || command == HELP_FINDER)
        return openPage(owner, urlOf(book->contents()));

    const auto context = static_cast<uint32_t>(data);
    const std::optional<HelpTopic> topic = book->topic(context);
    if (command == HELP_CONTEXT) {
        if (!topic || topic->kind != HelpTopic::Kind::Page) {
            complain(owner, "ヘルプにこの項目 (" + std::to_string(context) + ") のページがありません");
            return false;
        }
        return openPage(owner, urlOf(*topic));
    }

    const QPoint at = m_popupAt.value_or(QCursor::pos());
    m_popupAt.reset();
    const std::string text = topic && topic->kind == HelpTopic::Kind::Popup ? readHelpText(topic->file) : std::string();
    if (text.empty()) {
        m_showPopup(at, QStringLiteral("この項目 (%1) の説明はありません。").arg(context));
        return false;
    }
    m_showPopup(at, QString::fromUtf8(text));
    return true;
}

bool QtHelpService::openPage(HWND owner, const QUrl& url)
{
    if (!QFile::exists(url.toLocalFile())) {
        complain(owner, "ヘルプのページが見つかりません: " + url.toLocalFile().toStdString());
        return false;
    }
    if (m_openUrl(url))
        return true;
    complain(owner, "ヘルプを表示するブラウザーが見つかりません。\nブラウザーをインストールするか、次のファイルを開いて"
                    "ください:\n" +
                        url.toLocalFile().toStdString());
    return false;
}

void QtHelpService::complain(HWND owner, const std::string& text)
{
    const std::string caption = QApplication::applicationName().toStdString();
    MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace platform
