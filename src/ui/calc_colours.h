// The main window's own colours (24-bit RGB); everything else uses the
// desktop's palette.
#pragma once

#include <QColor>

inline const QColor kWindowColour(0x2F, 0x21, 0x0C);
inline const QColor kDisplayColour(0x40, 0x40, 0x40);
inline const QColor kDisplayText(0xFF, 0xFF, 0x00);
// The mode selectors' panel, and the "AND" key.
inline const QColor kModesColour(0xD5, 0xD2, 0xCD);
inline const QColor kListColour(0xFF, 0xFF, 0xFF);
