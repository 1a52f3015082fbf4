// The folder tree over real folders in a temporary directory, without a view.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "main/folder_tree_model.h"
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

using tidebell::TFolderTreeModel;

namespace {

std::vector<std::string> childTexts(const TFolderTreeModel& model, const QModelIndex& node)
{
    std::vector<std::string> texts;
    for (int row = 0; row < model.rowCount(node); ++row) {
        texts.push_back(model.nodeText(model.index(row, 0, node)));
    }
    return texts;
}

// A tree with its drives, opened down to `posixFolder`.
QModelIndex openTo(TFolderTreeModel& model, const std::string& posixFolder)
{
    model.TreeViewInitExecute();
    return model.FindNodeByPath(platform::toWindowsPath(posixFolder),
                                [&](const QModelIndex& node) { return model.openNode(node) == 0; });
}

}  // namespace

TEST(FolderTree, DrivesShowLabelOrKindAndEndInTheDrive)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    dir.write("mounts", "/dev/tidebell-none / ext4 rw 0 0\n"
                        "/dev/sr9 /media/tidebell-cd iso9660 ro 0 0\n"
                        "server:/share /mnt/tidebell-net nfs rw 0 0\n"
                        "tmpfs /mnt/tidebell-ram tmpfs rw 0 0\n"
                        "/dev/sdz9 /media/tidebell-stick vfat rw 0 0\n");
    platform::overrides().mountTable = dir.file("mounts");

    TFolderTreeModel model;
    model.TreeViewInitExecute();
    ASSERT_EQ(model.rowCount(), 5);
    const std::vector<std::pair<std::string, int>> expected = {{"ローカル ディスク (C:)", 1},
                                                               {"CD-ROM ドライブ (D:)", 3},
                                                               {"ネットワーク ドライブ (E:)", 2},
                                                               {"RAM ディスク (F:)", 4},
                                                               {"(G:)", 0}};
    for (int row = 0; row < 5; ++row) {
        const QModelIndex node = model.index(row, 0);
        EXPECT_EQ(model.nodeText(node), expected[row].first);
        EXPECT_EQ(model.data(node, TFolderTreeModel::ImageIndexRole).toInt(), expected[row].second);
        EXPECT_EQ(model.data(node, TFolderTreeModel::SelectedImageIndexRole).toInt(), expected[row].second);
        EXPECT_TRUE(model.hasChildren(node));
        EXPECT_EQ(model.NodePath(node), std::string(1, char('C' + row)) + ":\\");
    }
    EXPECT_EQ(tidebell::driveNodeText(DRIVE_FIXED, "SYSTEM", 'C'), "SYSTEM(C:)");

    // A drive without its medium: refused with the not-ready error, still
    // unread, so the next try reads again.
    const QModelIndex cd = model.index(1, 0);
    EXPECT_EQ(model.openNode(cd), static_cast<DWORD>(ERROR_NOT_READY));
    EXPECT_TRUE(model.isUnread(cd));
    EXPECT_TRUE(model.hasChildren(cd));
}

TEST(FolderTree, OpeningAFolderListsEverySubFolderOnceInWordSortOrder)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    const std::string root = dir.file("sounds");
    for (const char* name : {"beta", "Alpha", "gamma", ".x", "x.wav", "音声", "\xff\xfe", "leaf"}) {
        std::filesystem::create_directories(root + "/" + name);
    }
    std::filesystem::create_directories(root + "/beta/inner");
    dir.write("sounds/file.wav", "RIFF");

    TFolderTreeModel model;
    const QModelIndex sounds = openTo(model, root);
    ASSERT_TRUE(sounds.isValid());
    EXPECT_EQ(model.NodePath(sounds), platform::toWindowsPath(root) + "\\");
    EXPECT_FALSE(model.isUnread(sounds));  // the walk opens the node it finds
    // Hidden folders and folders named like files are listed; files are not.
    const std::vector<std::string> expected = {".x", "Alpha", "beta", "gamma", "leaf", "x.wav", "音声", "\xff\xfe"};
    EXPECT_EQ(childTexts(model, sounds), expected);
    for (int row = 0; row < model.rowCount(sounds); ++row) {
        const QModelIndex child = model.index(row, 0, sounds);
        EXPECT_EQ(model.parent(child), sounds);
        EXPECT_EQ(model.data(child, TFolderTreeModel::ImageIndexRole).toInt(), 4);
        EXPECT_EQ(model.data(child, TFolderTreeModel::SelectedImageIndexRole).toInt(), 5);
        EXPECT_TRUE(model.hasChildren(child));  // placeholder until opened
    }
    // The raw bytes of a name that is not UTF-8 make the path.
    EXPECT_EQ(model.NodePath(model.index(7, 0, sounds)), model.NodePath(sounds) + "\xff\xfe\\");

    // A folder without sub-folders loses its expand button.
    const QModelIndex leaf = model.index(4, 0, sounds);
    EXPECT_EQ(model.openNode(leaf), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_FALSE(model.hasChildren(leaf));

    // Read once: a folder made later shows only after a restart.
    std::filesystem::create_directories(root + "/delta");
    EXPECT_EQ(model.openNode(sounds), 0u);
    EXPECT_EQ(model.rowCount(sounds), 8);
}

TEST(FolderTree, AFolderThatCannotBeReadStaysUnreadUntilItCan)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    std::filesystem::create_directories(dir.file("a/b"));
    TFolderTreeModel model;
    const QModelIndex a = openTo(model, dir.file("a"));
    ASSERT_EQ(model.rowCount(a), 1);
    const QModelIndex b = model.index(0, 0, a);
    std::filesystem::remove(dir.file("a/b"));
    EXPECT_EQ(model.openNode(b), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(model.isUnread(b));
    std::filesystem::create_directories(dir.file("a/b/c"));
    EXPECT_EQ(model.openNode(b), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(childTexts(model, b), std::vector<std::string>{"c"});
}

TEST(FolderTree, FindNodeByPathMatchesExactlyAndOpensOnTheWay)
{
    tidebell_test::TempDir dir;
    tidebell_test::ScopedPlatformFiles files(dir);
    std::filesystem::create_directories(dir.file("Sounds/Wav"));
    const std::string windows = platform::toWindowsPath(dir.file("Sounds/Wav"));

    TFolderTreeModel model;
    model.TreeViewInitExecute();
    std::vector<std::string> opened;
    auto open = [&](const QModelIndex& node) {
        opened.push_back(model.NodePath(node));
        return model.openNode(node) == 0;
    };
    const QModelIndex found = model.FindNodeByPath(windows, open);
    ASSERT_TRUE(found.isValid());
    EXPECT_EQ(model.NodePath(found), windows + "\\");
    EXPECT_EQ(opened.front(), "C:\\");
    EXPECT_EQ(opened.back(), windows + "\\");  // the last node is opened too

    // A drive root: the drive opens, nothing is found. Another letter case,
    // a network path: nothing is found.
    opened.clear();
    EXPECT_FALSE(model.FindNodeByPath("C:\\", open).isValid());
    EXPECT_EQ(opened, std::vector<std::string>{"C:\\"});
    std::string otherCase = windows;
    otherCase.replace(otherCase.find("Sounds"), 6, "sounds");
    EXPECT_FALSE(model.FindNodeByPath(otherCase, open).isValid());
    EXPECT_FALSE(model.FindNodeByPath("\\\\server\\share", open).isValid());
}
