#pragma once

#include <QFlags>
#include <QFont>

enum class FontStyle { Plain = 0x0, Bold = 0x1, Underlined = 0x2 };
Q_DECLARE_FLAGS(FontStyles, FontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(FontStyles)

// MS Sans Serif as the layouts name it, with Liberation Sans standing in:
// its metrics are close enough for the captions to fit. The program carries
// Liberation Sans, so the stand-in is there whatever fonts the system has.
QFont msSansSerif(qreal pointSize, FontStyles style = FontStyle::Plain);
