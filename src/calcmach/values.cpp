// Values and value modes: the mode tables, the value constants, the mode
// conversion, the display text of a value and the register text form.
#include "values.h"

#include <cstring>

const char* const kModeNames[kModeCount] = {
    "vmDec", "vmBin", "vmOct", "vmHex", "vmIPv4", "vmIPv6", "vmFloat", "vmTime", "vmDate", "vmDtTm", "vmERR",
};

const uint8_t kModeRadix[kModeCount] = {10, 2, 8, 16, 10, 16, 10, 10, 10, 10, 10};

// Constant-initialised, so other translation units may use them during their
// own static initialisation.
extern const CalcValue kZeroValue{vmDec, {}};
extern const CalcValue kErrorValue{vmERR, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}};
// Pi as an 80-bit extended: significand C90FDAA22168C23C (little-endian
// bytes), then sign 0 and biased exponent 4000h; the last 6 bytes are zero.
extern const CalcValue kPiValue{vmFloat, {0x3C, 0xC2, 0x68, 0x21, 0xA2, 0xDA, 0x0F, 0xC9, 0x00, 0x40}};

std::string_view ModeName(ValueMode m) {
    const auto i = static_cast<int32_t>(m);
    return i >= 0 && i < kModeCount ? kModeNames[i] : "";
}

// Records are equal when their modes are equal and so are the payload bytes
// that the mode uses: all 16, or the first 10 of a vmFloat value.
bool operator==(const CalcValue& a, const CalcValue& b) {
    if (a.mode != b.mode) return false;
    return std::memcmp(a.payload, b.payload, a.mode == vmFloat ? 10 : 16) == 0;
}

CalcValue ConvertTo(const CalcValue& v, ValueMode m) {
    CalcValue out = v;
    out.mode = m;
    if (v.mode == vmFloat && m != vmFloat) {
        out.setW(wide::FloatToW128(v.f()));
    } else if (v.mode != vmFloat && m == vmFloat) {
        out.setF(W128ToFloat(v.w()));
    }
    return out;
}

CalcValue ConvertTo(const CalcValue& v, ValueMode m, WordBits n) {
    CalcValue out = v;
    out.mode = m;
    if (m == vmFloat) {
        if (v.mode != vmFloat) out.setF(W128ToFloat(wide::ReduceTo(v.w(), n)));
    } else {
        out.setW(v.mode == vmFloat ? wide::SaturateTo(wide::FloatToW128(v.f()), n)
                                   : wide::ReduceTo(v.w(), n));
    }
    return out;
}

CalcValue Reduced(const CalcValue& v, WordBits n) {
    if (v.mode == vmFloat || v.mode == vmERR || n == WordBits::k128) return v;
    CalcValue out = v;
    out.setW(wide::ReduceTo(v.w(), n));
    return out;
}

std::string ValueText(const CalcValue& v) { return ValueText(v, WordBits::k128); }

std::string ValueText(const CalcValue& v, WordBits n) {
    switch (v.mode) {
        case vmDec: return wide::DecimalTextAt(v.w(), n);
        case vmBin: return wide::RadixTextAt(v.w(), 2, n);
        case vmOct: return wide::RadixTextAt(v.w(), 8, n);
        case vmHex: return wide::RadixTextAt(v.w(), 16, n);
        case vmIPv4: return wide::IPv4TextAt(v.w(), n);
        case vmIPv6: return wide::IPv6TextAt(v.w(), n);
        case vmFloat: return FloatText(v.f());
        case vmERR: return "*** ERROR ***";
        default: return "*** NOT IMPLEMENTED ***";
    }
}

ValueMode str2mode(std::string_view name) {
    for (int i = 0; i < kModeCount; ++i)
        if (name == kModeNames[i]) return static_cast<ValueMode>(i);
    throw RangeError("str2mode: invalid mode \"" + std::string(name) + "\"");
}

std::string RegRepr(const CalcValue& v) {
    const std::string_view name = ModeName(v.mode);
    if (IsIntegerMode(v.mode)) return std::string(name) + ":" + hexstr(v.w());
    if (v.mode == vmFloat) return std::string(name) + ":" + FloatRegText(v.f());
    throw RangeError("RegRepr:  unsupported type " + std::string(name));
}

void ReprReg(std::string_view text, CalcValue& out) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 4) throw RangeError("ReprReg: unsupported type");
    const ValueMode mode = str2mode(text.substr(0, colon));
    out.mode = mode;
    const std::string_view payload = text.substr(colon + 1);
    if (IsIntegerMode(mode)) {
        out.setW(wide::stou128(payload, 16));
    } else if (mode == vmFloat) {
        out.setF(ParseFloatRegText(payload));
    } else {
        throw RangeError("ReprReg: unsupported type");
    }
}
