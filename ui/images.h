// The program's pictures: the five 16x16 action images (0 play, 1 options,
// 2 list view, 3 detail view, 4 help contents), the six folder-tree images
// and the program icon.
#pragma once

#include <QIcon>

namespace tidebell {

QIcon actionImage(int index);
QIcon treeImage(int index);
QIcon programIcon();

}  // namespace tidebell
