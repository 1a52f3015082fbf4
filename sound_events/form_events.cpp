#include "sound_events/form_events.h"

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/app_title.h"
#include "core/handler_guard.h"
#include "core/registry.h"
#include "platform/win32.h"
#include "sound_events/event_scheme.h"
#include "ui/context_help.h"

namespace tidebell {

namespace {

constexpr int kClientWidth = 481;
constexpr int kClientHeight = 361;
constexpr unsigned kHelpContext = 6;

// The children of an application node in the order of the desktop's word
// sort.
void sortEvents(QTreeWidgetItem* app)
{
    QList<QTreeWidgetItem*> children = app->takeChildren();
    std::stable_sort(children.begin(), children.end(), [](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return lstrcmpA(a->text(0).toUtf8().constData(), b->text(0).toUtf8().constData()) < 0;
    });
    app->addChildren(children);
}

}  // namespace

TFormEvents::TFormEvents(SharedState& state, const WindowBounds& mainBounds, QWidget* parent)
    : TButtonDialog(state, mainBounds, kHelpContext, parent)
{
    setWindowTitle(QString::fromUtf8("サウンドイベント設定"));
    Label2 = new QLabel(QString::fromUtf8("イベントを設定するファイル :"));
    StaticText1 = new QLabel;
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StaticText1->setTextInteractionFlags(Qt::NoTextInteraction);
    // A file name is text, whatever "<" or "&" it holds.
    StaticText1->setTextFormat(Qt::PlainText);
    StaticText1->setFocusPolicy(Qt::StrongFocus);
    Label1 = new QLabel(QString::fromUtf8("音を鳴らす場面 :"));
    TreeView1 = new QTreeWidget;
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    Button1->setEnabled(false);

    auto* content = new QVBoxLayout;
    content->addWidget(Label2);
    content->addWidget(StaticText1);
    content->addWidget(Label1);
    content->addWidget(TreeView1, 1);
    finishLayout(content, kClientWidth, kClientHeight);

    Help->setContext(StaticText1, 31);
    Help->setContext(TreeView1, 32);

    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { guarded([&] { TreeView1Changing(current); }); });
    answerLeftDoubleClicksOnly(TreeView1);
    connect(TreeView1, &QTreeWidget::itemDoubleClicked, this, [this] { guarded([this] { TreeView1DblClick(); }); });
}

bool TFormEvents::isEventNode(const QTreeWidgetItem* node)
{
    return node != nullptr && node->parent() != nullptr;
}

void TFormEvents::FormShow()
{
    place();
    StaticText1->setText(QString::fromStdString(m_state.EventSoundFile));
    TreeView1->clear();

    TRegistry registry(HKEY_CURRENT_USER);
    QTreeWidgetItem* app = nullptr;
    SoundEventWalk walk;
    walk.application = [&](const std::string&, const std::string& displayName) {
        app = new QTreeWidgetItem(TreeView1, {QString::fromStdString(displayName)});
    };
    walk.event = [&](const std::string&, const std::string&, const std::string& label) {
        new QTreeWidgetItem(app, {QString::fromStdString(label)});
        return true;
    };
    walk.applicationDone = [&] { sortEvents(app); };
    if (!walkSoundEvents(registry, walk)) {
        // A missing scheme leaves the tree empty; a registry that cannot be
        // read at all is worth saying.
        const std::string unreadable = registryUnreadableText(registry.lastOpenResult());
        if (!unreadable.empty()) {
            MessageBoxA(nullptr, unreadable.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
        }
    }
}

void TFormEvents::TreeView1Changing(QTreeWidgetItem* node)
{
    Button1->setEnabled(isEventNode(node));
}

void TFormEvents::TreeView1DblClick()
{
    if (isEventNode(TreeView1->currentItem())) {
        Button1Click();
    }
}

void TFormEvents::Button1Click()
{
    const QTreeWidgetItem* node = TreeView1->currentItem();
    if (!isEventNode(node)) {
        return;
    }
    TRegistry registry(HKEY_CURRENT_USER);
    assignSoundEvent(registry, node->text(0).toStdString(), m_state.EventSoundFile);
    accept();
}

}  // namespace tidebell
