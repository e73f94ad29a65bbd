// The bits panel's core: arbitrary payloads (80-bit floats of every
// encoding, the FPU-rejected ones included), bit toggles, every form of the
// shown value, pasted texts by the paste rule, and the calculations that
// follow. Faults the machine raises on purpose (CalcError) are expected;
// anything else, a sanitizer report or a broken invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "../tests/calcmach/open_machine.h"
#include "calcmach/bits.h"
#include "calcmach/calcmach.h"
#include "calcmach/code_number.h"
#include "fuzz_input.h"

namespace {

using fuzzing::Check;
using fuzzing::Input;

bool IsGrouped(const std::string& name) {
    return name == "hex" || name == "signed" || name == "unsigned" || name == "octal" || name == "fraction";
}

std::string WithoutBlanks(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

void CheckForms(const CalcValue& v) {
    const std::vector<BitForm> forms = BitForms(v);

    Check(!forms.empty(), "no forms");
    for (const BitForm& f : forms) {
        Check(!f.text.empty(), "empty form text");
        if (IsGrouped(f.name)) {
            Check(WithoutBlanks(f.text) == f.plain, "plain text is not the text without its group blanks");
        } else {
            Check(f.text == f.plain, "plain text of an ungrouped form differs");
        }
        Check(f.dim < f.text.size(), "dimmed past the last digit");
        Check(f.text.find_first_not_of("0 ") >= f.dim, "a digit other than a leading zero dimmed");
    }
    const Word128 w = v.w();
    if (v.mode == vmFloat) {
        Check(forms.size() == 10, "a float has ten forms");
        const FloatClass c = v.f().Class();
        Check(forms[5].text == FloatClassName(c), "class line");
        Check((forms[6].text == "invalid") == IsRejectedEncoding(c),
              "rejected encodings and only they are invalid");
    } else if (BitsToggleable(v.mode)) {
        Check(forms.size() == 10, "an integer has ten forms");
        // The standard address texts are what other programs read: pasted
        // back, each is the same 128 bits (the four octets only where the
        // value fits them).
        Check(forms[5].name == "ipv4 standard" && forms[7].name == "ipv6 standard", "standard address lines");
        const PastePlan v6 = PlanPaste(forms[7].plain, vmIPv6);
        Check(v6.kind == PastePlan::kNumber && v6.value.w() == w,
              "the standard IPv6 text does not read back");
        if (forms[5].plain != "none") {
            const PastePlan v4 = PlanPaste(forms[5].plain, vmIPv4);
            Check(w.hi == 0 && (w.lo >> 32) == 0, "four octets of a value beyond 32 bits");
            Check(v4.kind == PastePlan::kNumber && v4.value.w() == w,
                  "the standard IPv4 text does not read back");
        } else {
            Check(w.hi != 0 || (w.lo >> 32) != 0, "no four octets for a value within 32 bits");
        }
        Check(forms[0].plain == hexstr(w), "hex form");
        Check(wide::stou128(forms[2].plain, 10) == w, "unsigned form does not read back");
        Check(wide::stou128(forms[3].plain, 8) == w, "octal form does not read back");
        const std::string& s = forms[1].plain;
        const Word128 magnitude = wide::stou128(s[0] == '-' ? s.substr(1) : s, 10);
        Check((s[0] == '-' ? -magnitude : magnitude) == w, "signed form does not read back");
    } else {
        Check(forms.size() == 3 && forms[0].plain == hexstr(w), "bits of a value with no text form");
    }
}

void Toggle(OpenMachine& m, int n) {
    const CalcValue before = m.BitsValue();
    const CalcValue y = m.Y, x = m.X;
    const CalcValue* shown = m.Shown;
    const bool newEntry = m.NewEntry;
    if (m.ToggleBit(n)) {
        Check(BitsToggleable(before.mode) && n >= 0 && n < BitCount(before), "toggle taken outside the grid");
        Check(m.ShowsY() && !m.NewEntry, "a toggled value is not the entry being typed");
        CalcValue want = before;
        want.payload[n / 8] ^= static_cast<unsigned char>(1u << (n % 8));
        Check(std::memcmp(&m.Y, &want, sizeof want) == 0, "not exactly one bit flipped");
        const CalcValue shownNow = m.BitsValue();
        Check(std::memcmp(&shownNow, &want, sizeof want) == 0, "the panel does not show the toggled value");
    } else {
        Check(!BitsToggleable(before.mode) || n < 0 || n >= BitCount(before),
              "toggle refused inside the grid");
        Check(std::memcmp(&m.Y, &y, sizeof y) == 0 && std::memcmp(&m.X, &x, sizeof x) == 0 &&
                  m.Shown == shown && m.NewEntry == newEntry,
              "a refused toggle changed the machine");
    }
}

// The paste rule: blanks and line ends around a text change nothing, a
// number is one the machine can hold, a minus in front negates a code
// integer, and a refusal says why.
void CheckPaste(std::string_view text, ValueMode mode) {
    const PastePlan p = PlanPaste(text, mode);
    const PastePlan padded = PlanPaste(" \t" + std::string(text) + "\r\n", mode);
    Check(p.kind == padded.kind, "blanks around a text change what its paste does");
    Check((p.kind == PastePlan::kRefused) == !p.why.empty(),
          "a refusal without a reason, or a reason without one");
    if (p.kind != PastePlan::kNumber) return;
    Check(std::memcmp(&p.value, &padded.value, sizeof p.value) == 0, "blanks around a number change it");
    Check(p.value.mode >= vmDec && p.value.mode <= vmFloat, "a pasted number in a mode without a text");
    if (p.value.mode > vmHex || text.empty() || text[0] == '-') return;
    const PastePlan neg = PlanPaste("-" + std::string(text), mode);
    if (neg.kind == PastePlan::kNumber)
        Check(neg.value.mode == p.value.mode && neg.value.w() == -p.value.w(), "minus does not negate");
}

void Step(OpenMachine& m, Input& in) {
    switch (in.Byte() % 12) {
        case 0:
        case 1: {
            // A float of any encoding, or a value of any mode with any payload.
            CalcValue v;
            const uint8_t b = in.Byte();
            v.mode = (b & 0x80) != 0 ? static_cast<ValueMode>(b % kModeCount) : vmFloat;
            for (int i = 0; i < (v.mode == vmFloat ? 10 : 16); ++i) v.payload[i] = in.Byte();
            m.SetValue(v);
            break;
        }
        case 2:
        case 3:
        case 4: Toggle(m, static_cast<int>(in.Byte()) - 8); break;
        case 5: CheckForms(m.BitsValue()); break;
        case 6: {
            const std::string_view text = in.Text(48);
            CheckPaste(text, m.Mode());
            const PastePlan p = PlanPaste(text, m.Mode());
            if (p.kind == PastePlan::kNumber) {
                EnterReadNumber(m, p.value);
                Check(m.Mode() == p.value.mode && std::memcmp(m.Y.payload, p.value.payload, 16) == 0 &&
                          m.ShowsY(),
                      "entered number");
            }
            break;
        }
        case 7: {
            static const char* const kKeys[] = {"+", "-", "*", "/", "^", "&", "<",
                                                "?", "=", "(", ")", "c", "\b"};
            m.KeyString(kKeys[in.Byte() % (sizeof kKeys / sizeof kKeys[0])]);
            break;
        }
        case 8: m.KeyChar(static_cast<char>(in.Byte())); break;
        case 9: {
            switch (in.Byte() % 7) {
                case 0: m.FnSqrt(); break;
                case 1: m.FnSin(); break;
                case 2: m.FnCos(); break;
                case 3: m.FnSgn(); break;
                case 4: m.FnAbs(); break;
                case 5: m.FnNeg(); break;
                default: m.FnNot(); break;
            }
            break;
        }
        case 10: m.SetMode(static_cast<ValueMode>(in.Byte() % kModeCount)); break;
        default: m.Backspace(); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    OpenMachine m;
    m.SetTapeReceiver([&m](std::string_view line, const CalcValue&) {
        Check(line.size() <= kMaxText, "tape line longer than 255 bytes");
        CheckForms(m.BitsValue());
    });
    m.SetMode(vmFloat);
    while (!in.empty()) {
        try {
            Step(m, in);
        } catch (const CalcError&) {
            // Faults and range errors are part of the machine's contract.
        }
        Check(m.DisplayText().size() <= kMaxText, "display text longer than 255 bytes");
        CheckForms(m.BitsValue());
    }
    return 0;
}
