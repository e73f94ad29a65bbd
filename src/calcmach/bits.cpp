// The bits of a value in every form, the class of an extended float, and the
// machine operations of the bits panel: toggling a bit of the shown value and
// entering a whole number as if it had been typed.
//
// Everything is read from the payload bytes; the rounding to binary64 and
// binary32 is the extended float's own.
#include "bits.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

#include "calcmach.h"
#include "machine_util.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kFloatBits = 80;
constexpr uint64_t kIntegerBit = Extended::kIntegerBit;

// Digits in groups of `size` from the right, split by blanks; a leading "-"
// stays outside the groups.
std::string Grouped(std::string_view digits, std::size_t size) {
    std::string out;
    std::size_t start = 0;
    if (!digits.empty() && digits[0] == '-') {
        out += '-';
        start = 1;
    }
    const std::size_t n = digits.size() - start;
    out.reserve(digits.size() + n / size);
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0 && (n - i) % size == 0) out += ' ';
        out += digits[start + i];
    }
    return out;
}

// Leading zeros of a digit text and the blanks among them, the last digit
// excepted.
std::size_t LeadingZeros(std::string_view text) {
    std::size_t n = 0;
    while (n + 1 < text.size() && (text[n] == '0' || text[n] == ' ')) ++n;
    return n;
}

void Add(std::vector<BitForm>& out, const char* name, std::string text) {
    BitForm& f = out.emplace_back();
    f.name = name;
    f.plain = text;
    f.text = std::move(text);
}

// A digit string shown in groups and copied without them.
void AddGrouped(std::vector<BitForm>& out, const char* name, std::string digits, std::size_t size,
                bool dimZeros = false) {
    BitForm& f = out.emplace_back();
    f.name = name;
    f.text = Grouped(digits, size);
    f.plain = std::move(digits);
    if (dimZeros) f.dim = LeadingZeros(f.text);
}

std::string HexDigits(uint64_t v, int digits) {
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4) s[static_cast<std::size_t>(i)] = kHexDigits[v & 15];
    return s;
}

void AddHex(std::vector<BitForm>& out, Word128 w, WordBits n) {
    AddGrouped(out, "hex", wide::HexDigitsAt(w, n), 4, true);
}

void AddBitCounts(std::vector<BitForm>& out, Word128 w, WordBits n) {
    const Word128 p = wide::PatternOf(w, n);
    Add(out, "set bits", std::to_string(std::popcount(p.lo) + std::popcount(p.hi)));
    const uint8_t top = hibit(p);
    Add(out, "highest bit", top == 255 ? "none" : std::to_string(top));
}

// Shortest text that reads back as the same binary64 or binary32 value, in
// the calculator's style: "E" and no "+" or leading zeros in the exponent.
template <class F>
std::string ShortestText(F x) {
    if (x != x) return "NAN";
    if (x == std::numeric_limits<F>::infinity()) return "INF";
    if (x == -std::numeric_limits<F>::infinity()) return "-INF";
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x);
    std::string s(buf, r.ptr);
    const std::size_t e = s.find('e');
    if (e == std::string::npos) return s;
    std::string exp = s.substr(e + 1);
    const bool negExp = !exp.empty() && exp[0] == '-';
    if (!exp.empty() && (exp[0] == '-' || exp[0] == '+')) exp.erase(0, 1);
    const std::size_t firstDigit = exp.find_first_not_of('0');
    exp = firstDigit == std::string::npos ? "0" : exp.substr(firstDigit);
    return s.substr(0, e) + "E" + (negExp ? "-" : "") + exp;
}

// A NaN keeps its sign and the top of its payload, quieted, as the FPU
// stores it; computed here because the FPU would raise invalid on a
// signalling one.
uint64_t NaN64(const Extended& e) {
    return (e.Negative() ? uint64_t{1} << 63 : 0) | 0x7FF8000000000000u |
           ((e.significand >> 11) & ((uint64_t{1} << 52) - 1));
}
uint32_t NaN32(const Extended& e) {
    return (e.Negative() ? uint32_t{1} << 31 : 0) | 0x7FC00000u |
           static_cast<uint32_t>((e.significand >> 40) & 0x7FFFFF);
}

void AddRounded(std::vector<BitForm>& out, const Extended& e, FloatClass c) {
    if (IsRejectedEncoding(c)) {
        Add(out, "binary64", "invalid");
        Add(out, "binary64 hex", "invalid");
        Add(out, "binary32", "invalid");
        Add(out, "binary32 hex", "invalid");
        return;
    }
    const bool nan = c == FloatClass::NaN;
    const uint64_t bits64 = nan ? NaN64(e) : ext::ToBinary64Bits(e);
    const uint32_t bits32 = nan ? NaN32(e) : ext::ToBinary32Bits(e);
    double d;
    float f;
    std::memcpy(&d, &bits64, sizeof d);
    std::memcpy(&f, &bits32, sizeof f);
    Add(out, "binary64", ShortestText(d));
    Add(out, "binary64 hex", "0x" + HexDigits(bits64, 16));
    Add(out, "binary32", ShortestText(f));
    Add(out, "binary32 hex", "0x" + HexDigits(bits32, 8));
}

void AddFloatForms(std::vector<BitForm>& out, const CalcValue& v) {
    const Extended e = v.f();
    const FloatClass c = e.Class();
    AddGrouped(out, "hex", HexText(e), 4);
    Add(out, "sign", e.Negative() ? "1" : "0");
    // Exponent 0 scales by 2^-16382 like exponent 1: the unbiased value of
    // denormals, and of zero, is that one.
    const unsigned exp = e.Exponent();
    std::string expText = std::to_string(exp);
    if (exp == Extended::kExpAllOnes) {
        expText += " (all ones)";
    } else {
        expText +=
            " (unbiased " + std::to_string(static_cast<int>(exp == 0 ? 1 : exp) - Extended::kBias) + ")";
    }
    Add(out, "exponent", expText);
    Add(out, "integer bit", (e.significand & kIntegerBit) != 0 ? "1" : "0");
    AddGrouped(out, "fraction", HexDigits(e.significand & ~kIntegerBit, 16), 4);
    Add(out, "class", std::string(FloatClassName(c)));
    AddRounded(out, e, c);
}

void AddIntegerForms(std::vector<BitForm>& out, Word128 w, WordBits n) {
    AddHex(out, w, n);
    AddGrouped(out, "signed", wide::DecimalTextAt(w, n), 3);
    AddGrouped(out, "unsigned", wide::RadixTextAt(w, 10, n), 3);
    AddGrouped(out, "octal", wide::RadixTextAt(w, 8, n), 3);
    Add(out, "ipv4", wide::IPv4TextAt(w, n));
    // The line is there for every value, so that the panel keeps its shape
    // and a script its line count.
    Add(out, "ipv4 standard", wide::StandardIPv4Text(w, n).value_or("none"));
    Add(out, "ipv6", wide::IPv6TextAt(w, n));
    Add(out, "ipv6 standard", wide::StandardIPv6Text(w, n));
    AddBitCounts(out, w, n);
}

}  // namespace

bool BitsToggleable(ValueMode m) { return IsIntegerMode(m) || m == vmFloat; }

int BitCount(const CalcValue& v, WordBits n) {
    return v.mode == vmFloat ? kFloatBits : static_cast<int>(BitsOf(n));
}

bool BitAt(const CalcValue& v, int n) {
    if (n < 0 || n >= 128 || (v.mode == vmFloat && n >= kFloatBits)) return false;
    return ((v.payload[n / 8] >> (n % 8)) & 1u) != 0;
}

std::vector<BitForm> BitForms(const CalcValue& v, WordBits n) {
    std::vector<BitForm> out;
    out.reserve(10);
    if (v.mode == vmFloat) {
        AddFloatForms(out, v);
    } else if (BitsToggleable(v.mode)) {
        AddIntegerForms(out, v.w(), n);
    } else {
        AddHex(out, v.w(), n);
        AddBitCounts(out, v.w(), n);
    }
    return out;
}

// ---- The machine's side ----

namespace {

// Makes v the entry as if its digits had just been typed: shown, taken by
// the next operator or "=", and still being typed, so a further digit
// extends it and backspace takes its last digit away (in the float mode:
// of the shortest digits that give the value). A negative number grows on
// the negative side, as after the sign change. No tape line.
void EnterAsTyped(MachineState& m, const CalcValue& typed) {
    const CalcValue v = Reduced(typed, m.Word);
    m.Y = v;
    m.EndEntry();
    m.NewEntry = false;
    if (v.mode == vmFloat) {
        m.EntryNeg = (v.payload[9] & 0x80u) != 0;
    } else if (v.mode != vmIPv4 && v.mode != vmIPv6) {
        m.EntryNeg = v.w().IsNegative();
    }
    m.ShowY();
}

}  // namespace

CalcValue CcalcMach::BitsValue() const {
    const CalcValue& shown = *Shown;
    if (shown.mode == Y.mode || !BitsToggleable(shown.mode)) return shown;
    return ConvertTo(shown, Y.mode, Word);
}

bool CcalcMach::ToggleBit(int n) {
    CalcValue v = BitsValue();
    if (!BitsToggleable(v.mode) || n < 0 || n >= BitCount(v, Word)) return false;
    v.payload[n / 8] ^= static_cast<unsigned char>(1u << (n % 8));
    EnterAsTyped(*this, v);
    return true;
}

void CcalcMach::EnterNumber(ValueMode m, Word128 v) {
    if (!IsIntegerMode(m)) {
        throw RangeError("CcalcMach.EnterNumber: invalid mode " + std::to_string(static_cast<int32_t>(m)));
    }
    SetMode(m);
    EnterAsTyped(*this, CalcValue::Int(m, v));
}
