#include "ui/images.h"

#include <array>

namespace tidebell {
namespace {

// Drawn for this program; the SVG sources are in main/icons/src and
// tools/render-icons.sh renders them. Each 16x16 PNG has a 32x32 "@2x"
// companion that QIcon picks up for high-density screens.
constexpr std::array<const char*, 5> actionNames = {"play", "options", "list", "detail", "help"};
constexpr std::array<const char*, 6> treeNames = {"drive-removable", "drive-fixed",   "drive-network",
                                                  "drive-cdrom",     "folder-closed", "folder-open"};
constexpr std::array<int, 8> iconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

template <size_t N> QIcon pictureOf(const std::array<const char*, N>& names, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= N)
        return QIcon();
    return QIcon(QStringLiteral(":/tidebell/icons/%1.png").arg(QLatin1StringView(names[index])));
}

}  // namespace

QIcon actionImage(int index)
{
    return pictureOf(actionNames, index);
}

QIcon treeImage(int index)
{
    return pictureOf(treeNames, index);
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : iconSizes)
        icon.addFile(QStringLiteral(":/tidebell/icons/tidebell-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace tidebell
