#include <gtest/gtest.h>

#include "core/exceptions.h"
#include "core/registry.h"
#include "tests/support/sandbox.h"

using testing_support::Sandbox;
using tidebell::TRegistry;

TEST(RegistryObject, OpensAbsoluteAndRelativePathsAndCreatesOnlyWhenAsked)
{
    Sandbox box;
    TRegistry reg;
    EXPECT_EQ(reg.rootKey(), HKEY_CURRENT_USER);
    EXPECT_FALSE(reg.openKey("\\Software\\Test\\Apps", false));
    EXPECT_FALSE(reg.hasOpenKey());

    ASSERT_TRUE(reg.openKey("\\Software\\Test\\Apps", true));
    EXPECT_EQ(reg.currentPath(), "Software\\Test\\Apps");
    ASSERT_TRUE(reg.openKey("One\\.Current", true));  // relative to the open key
    EXPECT_EQ(reg.currentPath(), "Software\\Test\\Apps\\One\\.Current");
    reg.writeString("", "C:\\ding.wav");

    ASSERT_FALSE(reg.openKey("\\Software\\Test\\Missing", false));
    EXPECT_EQ(reg.currentPath(), "Software\\Test\\Apps\\One\\.Current");  // kept on failure
    reg.closeKey();

    TRegistry other;
    ASSERT_TRUE(other.openKey("\\software\\TEST\\apps\\one\\.current", false));
    EXPECT_EQ(other.readString(""), "C:\\ding.wav");
}

TEST(RegistryObject, ReadsStringsAndRefusesOtherTypes)
{
    Sandbox box;
    TRegistry reg;
    ASSERT_TRUE(reg.openKey("\\Software\\Test", true));
    EXPECT_EQ(reg.readString(""), "");  // missing value
    reg.writeString("", "既定の値");
    reg.writeString("Named", "");
    EXPECT_EQ(reg.readString(""), "既定の値");
    EXPECT_EQ(reg.readString("Named"), "");

    HKEY raw = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_ALL_ACCESS, &raw), ERROR_SUCCESS);
    const DWORD number = 5;
    ASSERT_EQ(RegSetValueExA(raw, "", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    RegCloseKey(raw);
    try {
        (void)reg.readString("");
        FAIL() << "a number was read as a string";
    } catch (const tidebell::ERegistryException& e) {
        EXPECT_STREQ(e.what(), "'' のデータ型が不正です");
    }
}

TEST(RegistryObject, WriteFailureRaisesTheSettingMessage)
{
    Sandbox box;
    TRegistry reg;
    try {
        reg.writeString("Name", "x");  // no key open
        FAIL() << "the write was reported as done";
    } catch (const tidebell::ERegistryException& e) {
        EXPECT_STREQ(e.what(), "'Name' の設定に失敗しました");
    }
}

TEST(RegistryObject, ListsSubKeysAndDeletesWholeTrees)
{
    Sandbox box;
    TRegistry reg;
    for (const char* path : {"\\Software\\Test\\b\\x\\y", "\\Software\\Test\\A", "\\Software\\Test\\c"}) {
        ASSERT_TRUE(reg.openKey(path, true));
    }
    ASSERT_TRUE(reg.openKey("\\Software\\Test", false));
    EXPECT_EQ(reg.getKeyNames(), (std::vector<std::string>{"A", "b", "c"}));

    EXPECT_TRUE(reg.deleteKey("b"));  // relative, with two levels below it
    EXPECT_EQ(reg.getKeyNames(), (std::vector<std::string>{"A", "c"}));
    EXPECT_FALSE(reg.deleteKey("b"));  // already gone
    reg.closeKey();
    EXPECT_TRUE(reg.deleteKey("\\Software\\Test"));
    EXPECT_FALSE(reg.openKey("\\Software\\Test", false));
    EXPECT_TRUE(reg.openKey("\\Software", false));  // only the tree below went
}

TEST(RegistryObject, ChangingTheRootClosesTheOpenKey)
{
    Sandbox box;
    TRegistry reg;
    ASSERT_TRUE(reg.openKey("\\Software\\Test", true));
    reg.setRootKey(HKEY_CLASSES_ROOT);
    EXPECT_FALSE(reg.hasOpenKey());
    EXPECT_FALSE(reg.openKey("\\Software\\Test", false));
    ASSERT_TRUE(reg.openKey("\\.tbtest", true));
    reg.writeString("", "tbfile");
    TRegistry user;
    EXPECT_FALSE(user.openKey("\\.tbtest", false));
}
