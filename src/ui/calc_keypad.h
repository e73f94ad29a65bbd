// The main window's keypad as data: one entry per key with what building it
// and clicking it need. The table is in calc_build.cpp, the click in
// calc_events.cpp.
#pragma once

#include <cstdint>

#include "calcmach/calcmach.h"

class Ccalc;

// The modes a key is enabled in.
enum class KeyEnable { Always, FloatOnly, IntegerOnly, DecOrFloat };

struct KeypadKey {
    const char* name;
    const char* caption;
    KeyEnable enable;
    // What a click does: the first of these that is set. The machine's own
    // steps (a call, a value, an opcode) reset the pending register action
    // and refresh the window; a typed key and a window call see to the
    // focus themselves.
    const char* typed = nullptr;          // this character typed on the display
    void (Ccalc::*window)() = nullptr;    // the window's own
    void (CcalcMach::*call)() = nullptr;  // a unary function, a parenthesis, ClearAll
    const CalcValue* value = nullptr;     // SetValue(*value)
    int32_t op = opNone;                  // OpSet(op)
    bool registers = false;               // then refresh the register list too
};
