// The sound event dialog against a private registry.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>

#include "core/registry.h"
#include "sound_events/form_events.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::SharedState;
using tidebell::TFormEvents;
using tidebell::TRegistry;

namespace {

const tidebell::WindowBounds kMain{200, 100, 800, 600};

void setDefault(TRegistry& registry, const std::string& key, const std::string& value)
{
    ASSERT_TRUE(registry.openKey(key, true)) << key;
    registry.writeString("", value);
    registry.closeKey();
}

std::string defaultOf(TRegistry& registry, const std::string& key)
{
    if (!registry.openKey(key, false)) {
        return "<missing>";
    }
    std::string value = registry.readString("");
    registry.closeKey();
    return value;
}

std::vector<std::string> texts(QTreeWidgetItem* parent)
{
    std::vector<std::string> result;
    for (int i = 0; i < parent->childCount(); ++i) {
        result.push_back(parent->child(i)->text(0).toStdString());
    }
    return result;
}

class SoundEvents : public ::testing::Test {
protected:
    // Replaces the seeded scheme by two applications: "Zeta" lists three
    // events, one without a label key; "Alpha", without a display name,
    // has an event whose label "Zeta" also uses.
    void useOwnScheme()
    {
        m_registry.deleteKey("\\AppEvents\\Schemes\\Apps");
        m_registry.deleteKey("\\AppEvents\\EventLabels");
        setDefault(m_registry, "\\AppEvents\\Schemes\\Apps\\Zeta", "Zeta App");
        for (const char* event : {"Open", "Beep", "NoLabel"}) {
            ASSERT_TRUE(m_registry.openKey(std::string("\\AppEvents\\Schemes\\Apps\\Zeta\\") + event, true));
        }
        ASSERT_TRUE(m_registry.openKey("\\AppEvents\\Schemes\\Apps\\Alpha\\Start", true));
        setDefault(m_registry, "\\AppEvents\\EventLabels\\Open", "起動");
        setDefault(m_registry, "\\AppEvents\\EventLabels\\Start", "起動");
        setDefault(m_registry, "\\AppEvents\\EventLabels\\Beep", "Beep sound");
        m_registry.closeKey();
        ASSERT_TRUE(m_registry.openKey("\\AppEvents\\Schemes\\Apps", false));
        m_appOrder = m_registry.getKeyNames();
        m_registry.closeKey();
    }

    QTreeWidgetItem* appNode(TFormEvents& dialog, const std::string& key)
    {
        const auto at = std::find(m_appOrder.begin(), m_appOrder.end(), key) - m_appOrder.begin();
        return dialog.TreeView1->topLevelItem(static_cast<int>(at));
    }

    Sandbox m_box;
    TRegistry m_registry{HKEY_CURRENT_USER};
    std::vector<std::string> m_appOrder;
    SharedState m_state;
};

TEST_F(SoundEvents, ANewUserSeesTheDefaultSchemeWithItsLabels)
{
    m_state.EventSoundFile = "C:\\Sounds\\ding.wav";
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("サウンドイベント設定"));
    EXPECT_EQ(dialog.StaticText1->text(), QStringLiteral("C:\\Sounds\\ding.wav"));
    ASSERT_EQ(dialog.TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.TreeView1->topLevelItem(0)->text(0), QStringLiteral("Windows"));
    const auto events = texts(dialog.TreeView1->topLevelItem(0));
    EXPECT_NE(std::find(events.begin(), events.end(), "一般の警告音"), events.end());
    EXPECT_FALSE(dialog.Button1->isEnabled());
    const QRect outer = dialog.frameGeometry();
    EXPECT_EQ(outer.topLeft(), QPoint(200 + (800 - outer.width()) / 2, 100 + (600 - outer.height()) / 2));
    EXPECT_EQ(dialog.size(), QSize(481, 361));
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(SoundEvents, AFileNameWithMarkupIsShownAsItIs)
{
    // Linux file names may hold "<", ">" and "&".
    m_state.EventSoundFile = "Z:\\tmp\\<b>bell</b> & <img src=\"/tmp/x.png\">.wav";
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    const QString name = QString::fromStdString(m_state.EventSoundFile);
    EXPECT_EQ(dialog.StaticText1->text(), name);
    // Drawn as markup, the tags would take no room and "bell" would be bold.
    EXPECT_GE(dialog.StaticText1->sizeHint().width(), dialog.StaticText1->fontMetrics().horizontalAdvance(name));
    EXPECT_EQ(dialog.StaticText1->textFormat(), Qt::PlainText);
}

TEST_F(SoundEvents, OnlyTheLeftButtonsDoubleClickAssigns)
{
    useOwnScheme();
    m_state.EventSoundFile = "C:\\ring.wav";
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    QTreeWidgetItem* event = appNode(dialog, "Alpha")->child(0);
    dialog.TreeView1->setCurrentItem(event);
    QWidget* viewport = dialog.TreeView1->viewport();
    const QPoint at = dialog.TreeView1->visualItemRect(event).center();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(viewport, button, {}, at);
        QTest::mouseDClick(viewport, button, {}, at);
    }
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(SoundEvents, AppsKeepRegistryOrderAndEventsAreSortedLabels)
{
    useOwnScheme();
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    ASSERT_EQ(dialog.TreeView1->topLevelItemCount(), 2);
    EXPECT_EQ(appNode(dialog, "Zeta")->text(0), QStringLiteral("Zeta App"));
    EXPECT_EQ(appNode(dialog, "Alpha")->text(0), QString());  // no fallback to the key name
    EXPECT_EQ(texts(appNode(dialog, "Zeta")), (std::vector<std::string>{"Beep sound", "NoLabel", "起動"}));
    EXPECT_EQ(texts(appNode(dialog, "Alpha")), std::vector<std::string>{"起動"});
}

TEST_F(SoundEvents, OkFollowsTheSelectionAndAssignsTheFirstEventWithTheLabel)
{
    useOwnScheme();
    m_state.EventSoundFile = "D:\\新しい音\\ring.wav";
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    QTreeWidgetItem* alpha = appNode(dialog, "Alpha");
    QTreeWidgetItem* zeta = appNode(dialog, "Zeta");

    dialog.TreeView1->setCurrentItem(zeta);
    EXPECT_FALSE(dialog.Button1->isEnabled());
    dialog.TreeView1DblClick();  // on an application: nothing
    EXPECT_TRUE(dialog.isVisible());
    dialog.TreeView1->setCurrentItem(alpha->child(0));
    EXPECT_TRUE(dialog.Button1->isEnabled());

    // Picked under Alpha, but the label "起動" is looked up in registry
    // order: the first application listing it gets the sound.
    dialog.TreeView1DblClick();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const std::string first = m_appOrder.front();
    const std::string second = m_appOrder.back();
    const std::string firstEvent = first == "Zeta" ? "Open" : "Start";
    const std::string secondEvent = first == "Zeta" ? "Start" : "Open";
    const std::string apps = "\\AppEvents\\Schemes\\Apps\\";
    EXPECT_EQ(defaultOf(m_registry, apps + first + "\\" + firstEvent + "\\.Current"), m_state.EventSoundFile);
    EXPECT_EQ(defaultOf(m_registry, apps + second + "\\" + secondEvent + "\\.Current"), "<missing>");
}

TEST_F(SoundEvents, CancelWritesNothing)
{
    useOwnScheme();
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    dialog.TreeView1->setCurrentItem(appNode(dialog, "Zeta")->child(0));
    dialog.Button2->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(defaultOf(m_registry, "\\AppEvents\\Schemes\\Apps\\Zeta\\Beep\\.Current"), "<missing>");
}

TEST_F(SoundEvents, AValueOfTheWrongTypeIsShownAndTheTreeKeepsWhatWasBuilt)
{
    useOwnScheme();
    // The second application's name is a number.
    const std::string broken = m_appOrder.back();
    const DWORD number = 7;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, ("AppEvents\\Schemes\\Apps\\" + broken).c_str(), 0, KEY_ALL_ACCESS, &key),
        ERROR_SUCCESS);
    RegSetValueExA(key, "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);

    TFormEvents dialog(m_state, kMain);
    dialog.show();
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "'' のデータ型が不正です.");
    EXPECT_EQ(dialog.TreeView1->topLevelItemCount(), 1);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SoundEvents, AnUnreadableRegistryIsSaidAndNothingIsLost)
{
    const std::string file = *platform::overrides().registryFile;
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);  // a folder where the file should be
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    EXPECT_EQ(dialog.TreeView1->topLevelItemCount(), 0);
    EXPECT_FALSE(dialog.Button1->isEnabled());
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "レジストリを読み込めません: 構成レジストリ キーを読み取れませんでした。");
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(SoundEvents, HelpUsesTopicSixAndThePopUpsOfPathAndTree)
{
    tidebell_test::ScopedService<tidebell_test::FakeHelpService> help(
        std::make_shared<tidebell_test::FakeHelpService>());
    m_state.HelpFilePath = "C:\\TIDEBELL\\TIDEBELL.HLP";
    TFormEvents dialog(m_state, kMain);
    dialog.show();
    dialog.Button3->click();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(dialog.StaticText1, &f1);
    QApplication::sendEvent(dialog.TreeView1, &f1);
    QApplication::sendEvent(dialog.Button1, &f1);  // no number, no pop-up
    ASSERT_EQ(help->calls.size(), 5u);
    EXPECT_EQ(help->calls[0].command, static_cast<UINT>(HELP_CONTEXT));
    EXPECT_EQ(help->calls[0].data, 6u);
    EXPECT_EQ(help->calls[1].command, static_cast<UINT>(HELP_SETPOPUP_POS));
    EXPECT_EQ(help->calls[2].command, static_cast<UINT>(HELP_CONTEXTPOPUP));
    EXPECT_EQ(help->calls[2].data, 31u);
    EXPECT_EQ(help->calls[4].data, 32u);
    EXPECT_EQ(help->calls[4].file, m_state.HelpFilePath);

    // The one-shot mode has no help file: nothing opens.
    m_state.HelpFilePath.clear();
    dialog.Button3->click();
    QApplication::sendEvent(dialog.TreeView1, &f1);
    EXPECT_EQ(help->calls.size(), 5u);
}

}  // namespace
