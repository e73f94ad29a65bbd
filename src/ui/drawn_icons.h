// The few button images the program draws itself. They are painted in code
// rather than looked up in the desktop's icon theme: a theme lookup walks
// icon folders on every start, and what it finds differs from one desktop to
// the next (some themes have no help image, others a coloured one that
// clashes with the window).
#pragma once

#include <QColor>
#include <QIcon>

// A solid gear with a round hole, in the given colour.
QIcon GearIcon(const QColor& colour);

// A solid disc with a question mark cut out of it, so the button face shows
// through the mark.
QIcon HelpIcon(const QColor& colour);

// Two overlapping sheets, for a button that copies.
QIcon CopyIcon(const QColor& colour);

// A tick, for a button that confirms.
QIcon TickIcon(const QColor& colour);
