// The folder the tape export offers first (calc_export.cpp).
#pragma once

#include <QString>

// The desktop folder as the desktop environment names it, when it exists;
// else the home folder.
QString DefaultExportDir();
