// Values and value modes: every number the calculator holds is a CalcValue,
// a 16-byte payload tagged with the mode that says how to read and show it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "float_text.h"
#include "wide/extended.h"
#include "wide/word128.h"
#include "wide/word_size.h"

enum ValueMode : int32_t {
    vmDec = 0,
    vmBin = 1,
    vmOct = 2,
    vmHex = 3,
    vmIPv4 = 4,
    vmIPv6 = 5,
    vmFloat = 6,
    vmTime = 7,
    vmDate = 8,
    vmDtTm = 9,
    vmERR = 10,
};

constexpr int kModeCount = 11;

// The modes whose payload is a Word128: the numbers and the addresses.
constexpr bool IsIntegerMode(ValueMode m) { return m >= vmDec && m <= vmIPv6; }

// Indexed by mode number.
extern const char* const kModeNames[kModeCount];
extern const uint8_t kModeRadix[kModeCount];

// Name of a mode, or "" for a number outside 0..10.
std::string_view ModeName(ValueMode m);

// Digit value of an entry or register key: "0".."9" are 0..9 and "A".."F"
// are 10..15 (upper case only); -1 for any other character.
constexpr int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct CalcValue {
    ValueMode mode = vmDec;
    // A Word128 (low half first) in every mode but vmFloat; there the first
    // 10 bytes hold the 80-bit extended float's encoding (Extended::Store)
    // and the rest stay zero.
    unsigned char payload[16] = {};

    Word128 w() const {
        Word128 v;
        std::memcpy(&v, payload, 16);
        return v;
    }
    void setW(Word128 v) { std::memcpy(payload, &v, 16); }

    Extended f() const { return Extended::Load(payload); }
    void setF(Extended x) {
        std::memset(payload, 0, 16);
        x.Store(payload);
    }

    static CalcValue Int(ValueMode m, Word128 v) {
        CalcValue c;
        c.mode = m;
        c.setW(v);
        return c;
    }
    static CalcValue Float(Extended x) {
        CalcValue c;
        c.mode = vmFloat;
        c.setF(x);
        return c;
    }
};

static_assert(sizeof(CalcValue) == 20);

bool operator==(const CalcValue& a, const CalcValue& b);

extern const CalcValue kZeroValue;   // vmDec 0
extern const CalcValue kErrorValue;  // vmERR, only bit 127 set
extern const CalcValue kPiValue;     // vmFloat, mantissa C90FDAA22168C23C, exponent 4000h

// The value in mode m: the payload is converted numerically when exactly one
// side is vmFloat (W128ToFloat, FloatToW128), and kept bit for bit otherwise.
CalcValue ConvertTo(const CalcValue& v, ValueMode m);
// The same for a machine whose integers are n bits wide: an integer result
// is reduced to n bits, and a float made an integer saturates to the n-bit
// signed range. At 128 bits it is ConvertTo.
CalcValue ConvertTo(const CalcValue& v, ValueMode m, WordBits n);

// v as an n-bit machine holds it: every payload but a float's reduced to n
// bits (its low n bits, sign-extended). What a register or a tape row holds
// becomes this when it is recalled.
CalcValue Reduced(const CalcValue& v, WordBits n);

// Display text of a value (at most 255 characters).
std::string ValueText(const CalcValue& v);
// The display text at a word size: decimal shows the signed n-bit value,
// binary, octal and hexadecimal the n-bit pattern (-1 at 32 bits is
// FFFFFFFF), IPv4 at 32 bits four octets, the addresses otherwise their
// usual text of the pattern. A register shows so as it would be recalled.
std::string ValueText(const CalcValue& v, WordBits n);

// Mode by exact name; throws RangeError "str2mode: invalid mode \"name\"".
ValueMode str2mode(std::string_view name);

// Register text form ("vmDec:000...2A", "vmFloat:1.5") used by the state file.
// A float is written so that it reads back to the same value (FloatRegText).
std::string RegRepr(const CalcValue& v);
void ReprReg(std::string_view text, CalcValue& out);
