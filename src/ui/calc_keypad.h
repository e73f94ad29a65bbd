// The main window's keypad as data: one entry per key with what building it
// and clicking it need. The table is in calc_build.cpp, the click in
// calc_events.cpp; what a button does to the machine is calcmach/keys.h's.
#pragma once

class Ccalc;

// The modes a key is enabled in.
enum class KeyEnable { Always, FloatOnly, IntegerOnly, DecOrFloat };

struct KeypadKey {
    const char* name;
    const char* caption;
    KeyEnable enable;
    // What a click does: the first of these that is set, else the
    // button's machine action (ButtonAction of its caption), which resets
    // the pending register action and refreshes the window. A typed key and
    // a window call see to the focus themselves.
    const char* typed = nullptr;        // this character typed on the display
    void (Ccalc::*window)() = nullptr;  // the window's own
    bool registers = false;             // then refresh the register list too
};
