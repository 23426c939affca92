#pragma once

#include <QColor>

// The colours the windows keep whatever the desktop's palette. A fixed
// background always comes with a fixed text colour, so that a dark desktop
// theme cannot put its light text on it.
namespace colours {

inline constexpr QColor kWhite(255, 255, 255);
inline constexpr QColor kBlack(0, 0, 0);
inline constexpr QColor kBlue(0, 0, 255);
inline constexpr QColor kRed(255, 0, 0);
inline constexpr QColor kGrey(128, 128, 128);
// Qt's own light window colour, for the window whose labels have fixed colours.
inline constexpr QColor kLightFace(239, 239, 239);

} // namespace colours
