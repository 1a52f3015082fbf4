// The options dialog against a private registry whose WAVE file type is the
// seeded "SoundRec".
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <filesystem>

#include "core/registry.h"
#include "options/form_option.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::SharedState;
using tidebell::TFormOption;
using tidebell::TRegistry;

namespace {

const tidebell::WindowBounds kMain{0, 0, 640, 480};

class Options : public ::testing::Test {
protected:
    std::vector<std::string> subKeys(const std::string& key)
    {
        if (!m_classes.openKey(key, false)) {
            return {"<missing>"};
        }
        std::vector<std::string> names = m_classes.getKeyNames();
        m_classes.closeKey();
        return names;
    }
    std::string defaultOf(const std::string& key)
    {
        if (!m_classes.openKey(key, false)) {
            return "<missing>";
        }
        std::string value = m_classes.readString("");
        m_classes.closeKey();
        return value;
    }
    // Shows a dialog, lets `change` work on it, presses OK.
    void confirm(const std::function<void(TFormOption&)>& change)
    {
        TFormOption dialog(m_state, kMain);
        dialog.show();
        change(dialog);
        dialog.Button1->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.isVisible());
    }

    Sandbox m_box;
    TRegistry m_classes{HKEY_CLASSES_ROOT};
    SharedState m_state;
};

TEST_F(Options, TheVerbIsWrittenAsTwoKeysAndRemovedWithThem)
{
    confirm([](TFormOption& dialog) {
        EXPECT_FALSE(dialog.CheckBox5->isChecked());
        dialog.CheckBox5->setChecked(true);
    });
    EXPECT_EQ(subKeys("\\SoundRec\\shell"), std::vector<std::string>{"events"});
    EXPECT_EQ(subKeys("\\SoundRec\\shell\\events"), std::vector<std::string>{"command"});
    EXPECT_EQ(defaultOf("\\SoundRec\\shell\\events"), "サウンドイベント設定");
    const std::string program = platform::toWindowsPath(m_box.programFolder() + "/TIDEBELL");
    EXPECT_EQ(defaultOf("\\SoundRec\\shell\\events\\command"), "\"" + program + "\" \"%1\"");

    confirm([](TFormOption& dialog) {
        EXPECT_TRUE(dialog.CheckBox5->isChecked());
        dialog.CheckBox5->setChecked(false);
    });
    EXPECT_EQ(subKeys("\\SoundRec\\shell"), std::vector<std::string>{});
    EXPECT_EQ(defaultOf("\\.wav"), "SoundRec");
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(Options, TheFlagsAreStoredAndTheDoubleClickOptionFollowsTheSingleClickOne)
{
    m_state.Settings.SingleClick = false;
    m_state.Settings.SoundEvent = false;
    m_state.Settings.SaveSetting = true;
    confirm([](TFormOption& dialog) {
        // Opened with single click off, the double-click box stays usable
        // until the single-click box changes.
        EXPECT_TRUE(dialog.CheckBox2->isEnabled());
        dialog.CheckBox2->setChecked(true);
        dialog.CheckBox3->setChecked(true);
        dialog.CheckBox4->setChecked(false);
    });
    EXPECT_FALSE(m_state.Settings.SingleClick);
    EXPECT_TRUE(m_state.Settings.SoundEvent);
    EXPECT_TRUE(m_state.Settings.DeleteTemp);
    EXPECT_FALSE(m_state.Settings.SaveSetting);

    m_state.Settings.SingleClick = true;
    TFormOption dialog(m_state, kMain);
    dialog.show();
    EXPECT_TRUE(dialog.CheckBox1->isChecked());
    EXPECT_TRUE(dialog.CheckBox2->isChecked());
    dialog.CheckBox1->click();
    EXPECT_FALSE(dialog.CheckBox2->isChecked());
    EXPECT_FALSE(dialog.CheckBox2->isEnabled());
    dialog.CheckBox1->click();
    EXPECT_TRUE(dialog.CheckBox2->isEnabled());
    EXPECT_FALSE(dialog.CheckBox2->isChecked());
    const QRect outer = dialog.frameGeometry();
    EXPECT_EQ(outer.topLeft(), QPoint((640 - outer.width()) / 2, (480 - outer.height()) / 2));
    EXPECT_EQ(dialog.size(), QSize(289, 200));
}

TEST_F(Options, CancelChangesNothing)
{
    m_state.Settings.DeleteTemp = false;
    TFormOption dialog(m_state, kMain);
    dialog.show();
    dialog.CheckBox3->setChecked(true);
    dialog.CheckBox5->setChecked(true);
    dialog.Button2->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(m_state.Settings.DeleteTemp);
    EXPECT_EQ(subKeys("\\SoundRec\\shell"), std::vector<std::string>{});
}

TEST_F(Options, WithoutAWaveFileTypeOnlyTheFlagsAreStored)
{
    ASSERT_TRUE(m_classes.deleteKey("\\.wav"));
    confirm([](TFormOption& dialog) {
        EXPECT_FALSE(dialog.CheckBox5->isChecked());
        dialog.CheckBox3->setChecked(true);
        dialog.CheckBox5->setChecked(true);
    });
    EXPECT_TRUE(m_state.Settings.DeleteTemp);
    EXPECT_EQ(subKeys("\\SoundRec\\shell"), std::vector<std::string>{});

    // A file type without a name is none: the verb never lands at the root.
    ASSERT_TRUE(m_classes.openKey("\\.wav", true));
    m_classes.closeKey();
    confirm([](TFormOption& dialog) { dialog.CheckBox5->setChecked(true); });
    EXPECT_EQ(subKeys("\\shell"), std::vector<std::string>{"<missing>"});
    EXPECT_TRUE(m_box.boxes->calls.empty());
}

TEST_F(Options, AVerbKeyThatCannotBeMadeIsReportedAndTheFlagsStayStored)
{
    // A file type name with an empty part names no key that can be made.
    ASSERT_TRUE(m_classes.openKey("\\.wav", false));
    m_classes.writeString("", "Sound\\\\Rec");
    m_classes.closeKey();
    m_state.Settings.DeleteTemp = false;
    confirm([](TFormOption& dialog) {
        dialog.CheckBox3->setChecked(true);
        dialog.CheckBox5->setChecked(true);
    });
    EXPECT_TRUE(m_state.Settings.DeleteTemp);
    ASSERT_EQ(m_box.boxes->calls.size(), 1u);
    EXPECT_EQ(m_box.boxes->calls[0].text, "キー 'Sound\\\\Rec\\shell\\events' を作成できません.");
    EXPECT_EQ(m_box.boxes->calls[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
}

TEST_F(Options, AnUnreadableRegistryIsSaidAndTheVerbBoxCannotPromiseAChange)
{
    const std::string file = *platform::overrides().registryFile;
    std::filesystem::remove(file);
    std::filesystem::create_directories(file);
    m_state.Settings.SoundEvent = false;
    confirm([&](TFormOption& dialog) {
        ASSERT_EQ(m_box.boxes->calls.size(), 1u);
        EXPECT_EQ(m_box.boxes->calls[0].text,
                  "レジストリを読み込めません: 構成レジストリ キーを読み取れませんでした。");
        EXPECT_FALSE(dialog.CheckBox5->isEnabled());
        dialog.CheckBox2->setChecked(true);
    });
    EXPECT_TRUE(m_state.Settings.SoundEvent);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(Options, HelpUsesTopicSevenAndEachBoxHasItsPopUp)
{
    tidebell_test::ScopedService<tidebell_test::FakeHelpService> help(
        std::make_shared<tidebell_test::FakeHelpService>());
    m_state.HelpFilePath = "C:\\TIDEBELL\\TIDEBELL.HLP";
    TFormOption dialog(m_state, kMain);
    dialog.show();
    dialog.Button3->click();
    ASSERT_EQ(help->calls.size(), 1u);
    EXPECT_EQ(help->calls[0].data, 7u);
    std::vector<uintptr_t> popups;
    for (QCheckBox* box : {dialog.CheckBox1, dialog.CheckBox2, dialog.CheckBox3, dialog.CheckBox4, dialog.CheckBox5}) {
        QEvent whatsThis(QEvent::WhatsThis);
        QApplication::sendEvent(box, &whatsThis);
        popups.push_back(help->calls.back().data);
        EXPECT_EQ(help->calls.back().command, static_cast<UINT>(HELP_CONTEXTPOPUP));
    }
    EXPECT_EQ(popups, (std::vector<uintptr_t>{12, 34, 14, 15, 35}));
}

}  // namespace
