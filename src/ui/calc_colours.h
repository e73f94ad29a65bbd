// The main window's own colours (24-bit RGB), which its bits panel shares;
// everything else uses the desktop's palette.
#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

inline const QColor kWindowColour(0x2F, 0x21, 0x0C);
inline const QColor kDisplayColour(0x40, 0x40, 0x40);
inline const QColor kDisplayText(0xFF, 0xFF, 0x00);
// The mode selectors' panel, the "AND" key, the bits panel's captions.
inline const QColor kModesColour(0xD5, 0xD2, 0xCD);
inline const QColor kListColour(0xFF, 0xFF, 0xFF);

// Gives one role of w's palette the colour.
inline void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

// Paints w's background in the colour.
inline void Fill(QWidget* w, const QColor& colour) {
    SetColour(w, QPalette::Window, colour);
    w->setAutoFillBackground(true);
}
