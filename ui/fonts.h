#pragma once

#include <QFont>

// MS Sans Serif as the layouts name it, with Liberation Sans standing in
// where it is missing: its metrics are close enough for the captions to fit.
inline QFont msSansSerif(qreal pointSize, bool bold = false, bool underline = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}
