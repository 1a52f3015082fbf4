#include "ui/button_dialog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/handler_guard.h"
#include "ui/context_help.h"

namespace tidebell {

TButtonDialog::TButtonDialog(SharedState& state, const WindowBounds& mainBounds, unsigned helpContext, QWidget* parent)
    : TDialogForm(parent), m_state(state), m_mainBounds(mainBounds), m_helpContext(helpContext)
{
    Button1 = new QPushButton(QStringLiteral("OK"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QString::fromUtf8("キャンセル"));
    Button3 = new QPushButton(QString::fromUtf8("ヘルプ"));
    Help = new ContextHelp(m_state.HelpFilePath, this);
    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { guarded([this] { Button3Click(); }); });
}

void TButtonDialog::finishLayout(QLayout* content, int clientWidth, int clientHeight)
{
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content, 1);
    layout->addLayout(buttons);
    setFixedSize(clientWidth, clientHeight);
}

void TButtonDialog::placeWindow()
{
    centre(m_mainBounds);
}

void TButtonDialog::Button3Click()
{
    openHelpTopic(m_state.HelpFilePath, m_helpContext);
}

}  // namespace tidebell
