#include "main/images.h"

namespace tidebell {

QIcon actionImage(int) { return QIcon(); }
QIcon treeImage(int) { return QIcon(); }
QIcon programIcon() { return QIcon(); }

}  // namespace tidebell
