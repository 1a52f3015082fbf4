#include "options/form_option.h"

#include <QCheckBox>
#include <QVBoxLayout>

#include "core/app_title.h"
#include "core/handler_guard.h"
#include "core/registry.h"
#include "options/shell_verb.h"
#include "platform/win32.h"
#include "ui/context_help.h"

namespace tidebell {

namespace {

constexpr int kClientWidth = 289;
constexpr int kClientHeight = 200;
constexpr unsigned kHelpContext = 7;

}  // namespace

TFormOption::TFormOption(SharedState& state, const WindowBounds& mainBounds, QWidget* parent)
    : TButtonDialog(state, mainBounds, kHelpContext, parent)
{
    setWindowTitle(QString::fromUtf8("オプション"));
    CheckBox1 = new QCheckBox(QString::fromUtf8("シングルクリックで再生(&P)"));
    CheckBox2 = new QCheckBox(QString::fromUtf8("ダブルクリックでサウンドイベントに追加(&E)"));
    CheckBox3 = new QCheckBox(QString::fromUtf8(".LZHを閉じる時に作業ファイルを削除(&D)"));
    CheckBox4 = new QCheckBox(QString::fromUtf8("終了時の状態を保存(&S)"));
    CheckBox5 = new QCheckBox(QString::fromUtf8("右クリックでサウンドイベント設定(&R)"));
    auto* content = new QVBoxLayout;
    const unsigned contextNumbers[] = {12, 34, 14, 15, 35};
    int index = 0;
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4, CheckBox5}) {
        content->addWidget(box);
        Help->setContext(box, contextNumbers[index++]);
    }
    content->addStretch(1);
    finishLayout(content, kClientWidth, kClientHeight);

    // Every change of the box, by the user or by loading, as the dependency
    // must follow both.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { guarded([this] { CheckBox1Click(); }); });
}

void TFormOption::FormShow()
{
    centreOnMainWindow();
    const AppSettings& settings = m_state.Settings;
    CheckBox1->setChecked(settings.SingleClick);
    CheckBox2->setChecked(settings.SoundEvent);
    CheckBox3->setChecked(settings.DeleteTemp);
    CheckBox4->setChecked(settings.SaveSetting);
    CheckBox5->setChecked(false);

    TRegistry classesRoot(HKEY_CLASSES_ROOT);
    if (const auto fileType = wavFileType(classesRoot)) {
        CheckBox5->setChecked(hasEventsVerb(classesRoot, *fileType));
        return;
    }
    // A registry that cannot be read at all: say so, and keep the verb's box
    // from promising a change that OK could not make.
    const std::string unreadable = registryUnreadableText(classesRoot.lastOpenResult());
    if (!unreadable.empty()) {
        CheckBox5->setEnabled(false);
        MessageBoxA(nullptr, unreadable.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
    }
}

void TFormOption::CheckBox1Click()
{
    CheckBox2->setEnabled(CheckBox1->isChecked());
    if (!CheckBox1->isChecked()) {
        CheckBox2->setChecked(false);
    }
}

void TFormOption::Button1Click()
{
    AppSettings& settings = m_state.Settings;
    settings.SingleClick = CheckBox1->isChecked();
    settings.SoundEvent = CheckBox2->isChecked();
    settings.DeleteTemp = CheckBox3->isChecked();
    settings.SaveSetting = CheckBox4->isChecked();
    // The dialog closes with OK however the verb fares: the flags are
    // stored, and a failed registry write reaches the error display.
    struct AcceptOnExit {
        QDialog* dialog;
        ~AcceptOnExit() { dialog->accept(); }
    } acceptOnExit{this};

    TRegistry classesRoot(HKEY_CLASSES_ROOT);
    const auto fileType = wavFileType(classesRoot);
    if (!fileType) {
        return;
    }
    if (CheckBox5->isChecked()) {
        writeEventsVerb(classesRoot, *fileType, runningExecutablePath());
    } else {
        removeEventsVerb(classesRoot, *fileType);
    }
}

}  // namespace tidebell
