#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

void addBundledFonts()
{
    for (const char *file : {":/fonts/LiberationSans-Regular.ttf", ":/fonts/LiberationSans-Bold.ttf"})
        if (QFontDatabase::addApplicationFont(QLatin1String(file)) < 0)
            qWarning("Morvane: cannot load its font %s; captions may be cut", file);
}

} // namespace

QFont msSansSerif(qreal pointSize, FontStyles style)
{
    // Fonts can be added only once the application exists, as it does
    // before any window asks for one.
    static const bool added = (addBundledFonts(), true);
    Q_UNUSED(added);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(style.testFlag(FontStyle::Bold));
    font.setUnderline(style.testFlag(FontStyle::Underlined));
    return font;
}
