// A machine with a recording tape receiver, driven by readable key
// sequences such as "2 + ( 3 * 4 ) =".
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "calcmach/calcmach.h"
#include "calcmach/keys.h"
#include "open_machine.h"

struct MachineRig {
    OpenMachine m;
    std::vector<std::string> tape;
    std::vector<CalcValue> tapeValues;  // the shown value at each line, as the window keeps it

    explicit MachineRig(ValueMode mode = vmDec) {
        m.SetTapeReceiver([this](std::string_view line, const CalcValue& shown) {
            tape.emplace_back(line);
            tapeValues.push_back(shown);
        });
        m.SetMode(mode);
    }

    // Space-separated tokens: "bs" is the backspace character; "neg" is the
    // sign change; "sto3" / "rcl3" use a register; "op20" calls OpSet;
    // "mode:vmHex" switches mode; "w:32" the word size; "b:NOT" presses
    // the button of that caption. A token the machine takes as a key text
    // ("+", "<<", "(", "=", "c", "ca", ...) goes to KeyString; any other is
    // typed character by character through KeyChar.
    void Keys(std::string_view seq) {
        std::size_t i = 0;
        while (i < seq.size()) {
            while (i < seq.size() && seq[i] == ' ') ++i;
            std::size_t j = i;
            while (j < seq.size() && seq[j] != ' ') ++j;
            if (j > i) Token(seq.substr(i, j - i));
            i = j;
        }
    }

    std::string Display() const { return m.DisplayText(); }

private:
    static int Number(std::string_view t) { return std::stoi(std::string(t)); }

    void Token(std::string_view t) {
        if (t == "bs") {
            m.KeyString("\b");
        } else if (t == "neg") {
            m.FnNeg();
        } else if (t.substr(0, 3) == "sto" && t.size() > 3) {
            m.sto(Number(t.substr(3)));
        } else if (t.substr(0, 3) == "rcl" && t.size() > 3) {
            m.rcl(Number(t.substr(3)));
        } else if (t.substr(0, 2) == "op" && t.size() > 2) {
            m.OpSet(Number(t.substr(2)));
        } else if (t.substr(0, 5) == "mode:") {
            m.SetMode(str2mode(t.substr(5)));
        } else if (t.substr(0, 2) == "w:") {
            m.SetWordSize(*wide::ParseWordBits(t.substr(2)));
        } else if (t.substr(0, 2) == "b:") {
            ButtonAction(t.substr(2))->Run(m);
        } else if (!m.KeyString(t)) {
            for (char c : t) m.KeyChar(c);
        }
    }
};

inline std::string Repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}
