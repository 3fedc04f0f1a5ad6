#include "JapaneseFont.h"

#include <QStringList>

namespace lm {

namespace {

QFont withFamilies(const QStringList& families, bool bold) {
    QFont font;
    font.setFamilies(families);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

const QStringList& gothicFamilies() {
    static const QStringList families{QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic")};
    return families;
}

} // namespace

QFont JapaneseFont::gothic(double points, bool bold) {
    QFont font = withFamilies(gothicFamilies(), bold);
    font.setPointSizeF(points);
    return font;
}

QFont JapaneseFont::proportionalGothic(double points, bool bold) {
    QFont font =
        withFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic")}, bold);
    font.setPointSizeF(points);
    return font;
}

QFont JapaneseFont::gothicPixels(int pixels) {
    QFont font = withFamilies(gothicFamilies(), false);
    font.setPixelSize(pixels > 0 ? pixels : 1);
    return font;
}

} // namespace lm
