// The font every window of the program asks for, and the alias that gives
// the desktop's Japanese proportional Gothic in its place.
#pragma once

#include <QFont>

namespace tidebell {

// "ＭＳ Ｐゴシック", 12 pixels high.
QFont windowFont();

// Makes "ＭＳ Ｐゴシック" (and its romanised name) resolve to IPA P Gothic,
// or to another installed Japanese Gothic when that is missing. Call once
// after the application object exists.
void installFontAliases();

}  // namespace tidebell
