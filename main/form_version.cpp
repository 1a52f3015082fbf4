#include "main/form_version.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "core/app_title.h"
#include "core/handler_guard.h"
#include "main/module_paths.h"
#include "main/version_texts.h"
#include "ui/images.h"
#include "ui/window_font.h"
#include "ui/window_support.h"

namespace tidebell {
namespace {

// The texts the labels keep when the file carries no version data.
constexpr char kDesignVersion[] = "1.12";
constexpr char kDesignCopyright[] = "著作権情報はありません";

constexpr int kClientWidth = 346;
constexpr int kClientHeight = 113;
constexpr int kMargin = 8;
constexpr int kButtonLeft = 264;

QLabel* label(QWidget* parent, int left, int top, int width, int height, const char* text)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    // Version data come from the file: text, never markup.
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(left, top, width, height);
    return l;
}

// Tooltips take any text with a tag for markup: this one shows the text as
// it is.
QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// Labels grow with their text, as far as `right`; what still does not fit is
// cut with an ellipsis and shown whole in the tooltip. Version data come from
// the file, so their length is not ours to choose.
void setFittedText(QLabel* label, const QString& text, int right)
{
    const QFontMetrics metrics(label->font());
    const int room = right - label->x();
    const QString shown =
        metrics.horizontalAdvance(text) <= room ? text : metrics.elidedText(text, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : plainToolTip(text));
    label->resize(std::max(label->width(), std::min(room, metrics.horizontalAdvance(shown) + 2)), label->height());
}

}  // namespace

TFormVersion::TFormVersion(const WindowBounds& mainBounds, std::string modulePath, QWidget* owner)
    : TDialogForm(owner), m_mainBounds(mainBounds), m_modulePath(std::move(modulePath))
{
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFont(windowFont());
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Image1 = new QLabel(this);
    Image1->setGeometry(8, 8, 32, 32);
    Label_Title = label(this, 48, 8, 201, 17, "");
    Label1 = label(this, 48, 24, 41, 17, "Version");
    Label_Version = label(this, 96, 24, 73, 17, kDesignVersion);
    Label_Copy = label(this, 48, 48, 217, 17, kDesignCopyright);
    Label2 = label(this, 48, 72, 49, 17, "E-MAIL :");
    // The project takes no mail; the labels say where to turn instead.
    Label_Mail = label(this, 104, 72, 145, 17, "");
    Label_Mail2 = label(this, 104, 88, 145, 12, "");
    setFittedText(Label_Mail, QStringLiteral("メールでの受け付けはありません"), kClientWidth - kMargin);
    setFittedText(Label_Mail2, QStringLiteral("ご連絡はプロジェクトの課題管理へ"), kClientWidth - kMargin);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(kButtonLeft, 8, 75, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &TFormVersion::Button1Click));
}

void TFormVersion::placeWindow()
{
    centre(m_mainBounds);
}

void TFormVersion::FormShow()
{
    place();
    Image1->setPixmap(programIcon().pixmap(32, 32));
    setFittedText(Label_Title, QString::fromUtf8(kApplicationTitle), kButtonLeft - kMargin);
    const VersionTexts texts = readVersionTexts(m_modulePath);
    if (texts.fileVersion)
        setFittedText(Label_Version, QString::fromUtf8(*texts.fileVersion), kButtonLeft - kMargin);
    if (texts.legalCopyright)
        setFittedText(Label_Copy, QString::fromUtf8(*texts.legalCopyright), kClientWidth - kMargin);
}

void TFormVersion::Button1Click()
{
    accept();
}

void showAboutBox(const WindowBounds& mainBounds)
{
    TFormVersion box(mainBounds, executablePath(), QApplication::activeWindow());
    box.exec();
}

}  // namespace tidebell
