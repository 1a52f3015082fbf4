#include "ui/window_font.h"

#include <QStringList>

namespace tidebell {

QFont windowFont()
{
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    return font;
}

void installFontAliases()
{
    // Qt tries the substitutes in order when the family itself is not
    // installed, before its own fallback; this needs no fontconfig file and
    // no environment variable.
    const QStringList gothic = {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")};
    for (const QString& family : {QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")})
        QFont::insertSubstitutions(family, gothic);
}

}  // namespace tidebell
