// The main window's widgets, built in code in the order of creation with
// their names, places, fonts and colours, and the tab order. Building binds
// no handler: the window (calc.cpp) connects what its controls do. Only the
// window's own files include this.
#pragma once

#include <utility>
#include <vector>

class CdisplayPanel;
class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;
class TqzSplitter;
struct KeypadKey;

struct CalcWidgets {
    QFrame* outputs = nullptr;
    QTableWidget* registers = nullptr;
    TqzSplitter* split = nullptr;
    QTableWidget* tapeList = nullptr;
    CdisplayPanel* entry = nullptr;
    QLabel* parenCt = nullptr;
    QLabel* wordSize = nullptr;  // the word size below 128 bits, in the display
    QGroupBox* modes = nullptr;
    QButtonGroup* modeGroup = nullptr;  // button ids are the modes
    // The keypad in tab order, each button with what it does.
    std::vector<std::pair<QPushButton*, const KeypadKey*>> keypad;
    // Buttons whose enabled state follows the mode.
    std::vector<QPushButton*> floatOnly;
    std::vector<QPushButton*> integerOnly;
    QPushButton* bNeg = nullptr;
    QPushButton* bPrt = nullptr;
    QPushButton* bHelp = nullptr;
    QPushButton* bAbout = nullptr;
};

// Builds the widgets into the window. The lists keep their columns fitted
// to their width, never take the focus from the display, and pass on only a
// left click on a row (anything else would move the selection or start the
// list's own searching).
CalcWidgets BuildCalcWidgets(QWidget* window);
