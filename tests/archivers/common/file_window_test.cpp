// The buffered window both header walks read through: reads that straddle
// the window, exceed it, or pass the end of the file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "archivers/common/file_window.h"
#include "tests/archivers/support/archivetest.h"

TEST(FileWindow, ReadsAnywhereAndRefusesPastTheEnd)
{
    fixtures::TempDir dir;
    const std::string data = fixtures::pattern(3 * arc::FileWindow::kWindowSize + 123, 77);
    fixtures::writeFile(dir.file("f"), data);
    const int fd = ::open(dir.file("f").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    arc::FileWindow window(fd, data.size());
    const size_t w = arc::FileWindow::kWindowSize;
    for (auto [offset, size] :
         {std::pair<size_t, size_t>{0, 10}, {w - 5, 10}, {5, 2 * w}, {w + 1, w}, {data.size() - 7, 7}, {3, 4}}) {
        std::string out(size, '\0');
        ASSERT_TRUE(window.read(offset, out.data(), size)) << offset;
        EXPECT_TRUE(out == data.substr(offset, size)) << offset << "+" << size;
    }
    char byte;
    EXPECT_FALSE(window.read(data.size() - 1, &byte, 2));
    EXPECT_FALSE(window.read(data.size(), &byte, 1));
    EXPECT_FALSE(window.read(UINT64_MAX, &byte, 1));
    EXPECT_TRUE(window.read(data.size(), &byte, 0));
    ::close(fd);
}
