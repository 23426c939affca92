#pragma once

#include <QIcon>

// The icons drawn for Morvane (see icons/make_icons.sh).
inline QIcon applicationIcon() { return QIcon(QStringLiteral(":/icons/morvane.png")); }

inline QIcon helpIcon() { return QIcon(QStringLiteral(":/icons/help.png")); }
