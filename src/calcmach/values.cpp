// Values and value modes: the mode tables, the value constants,
// the display text of a value and the register text form.
//
// Float texts always use "." as the decimal separator, whatever the process
// locale: they are formatted with std::to_chars and read with strtold_l in
// the "C" locale, never with printf-style or locale-aware conversions.
#include "values.h"

#include <cerrno>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>

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

namespace {

// Float work here must neither leave status flags behind (the machine reads
// them after its own operations) nor trap if the machine has unmasked them.
class FloatEnvGuard {
public:
    FloatEnvGuard() { std::feholdexcept(&env_); }
    ~FloatEnvGuard() { std::fesetenv(&env_); }
    FloatEnvGuard(const FloatEnvGuard&) = delete;
    FloatEnvGuard& operator=(const FloatEnvGuard&) = delete;

private:
    std::fenv_t env_;
};

locale_t CLocale() {
    static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t{});
    return loc;
}

[[noreturn]] void ThrowBadFloat(std::string_view text) {
    throw ConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The shape of a number in FloatText's own forms:
//   -? digits ( "." digits )? ( "E" -? digits )?
// Fills the normalised significant digits and the decimal exponent of the
// leading one (value = 0.d1d2... x 10^(exp10 + 1)); digits stays empty for 0.
struct FloatShape {
    std::string digits;
    long exp10 = 0;
};

bool ParseFloatShape(std::string_view t, FloatShape& shape) {
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    const std::size_t intStart = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    const std::size_t intEnd = i;
    if (intEnd == intStart) return false;
    std::size_t fracStart = i, fracEnd = i;
    if (i < t.size() && t[i] == '.') {
        fracStart = ++i;
        while (i < t.size() && IsDigit(t[i])) ++i;
        fracEnd = i;
        if (fracEnd == fracStart) return false;
    }
    long exponent = 0;
    if (i < t.size() && t[i] == 'E') {
        ++i;
        bool negExp = false;
        if (i < t.size() && t[i] == '-') {
            negExp = true;
            ++i;
        }
        const std::size_t expStart = i;
        while (i < t.size() && IsDigit(t[i])) {
            // Clamped: any exponent this large is far outside the range anyway.
            if (exponent < 1000000) exponent = exponent * 10 + (t[i] - '0');
            ++i;
        }
        if (i == expStart) return false;
        if (negExp) exponent = -exponent;
    }
    if (i != t.size()) return false;

    std::string all(t.substr(intStart, intEnd - intStart));
    all.append(t.substr(fracStart, fracEnd - fracStart));
    const std::size_t first = all.find_first_not_of('0');
    if (first == std::string::npos) return true;  // zero
    const std::size_t last = all.find_last_not_of('0');
    shape.digits = all.substr(first, last - first + 1);
    shape.exp10 = static_cast<long>(intEnd - intStart) - static_cast<long>(first) - 1 + exponent;
    return true;
}

// The 17-digit text of the largest finite extended, 1.1897314953572318E4932,
// lies above that value; it and every text below it read as the largest.
bool AtMostLargestText(const FloatShape& s) {
    static constexpr std::string_view kMaxDigits = "11897314953572318";
    if (s.exp10 != 4932) return s.exp10 < 4932;
    return std::string_view(s.digits).compare(kMaxDigits) <= 0;
}

long double ParseFloat(std::string_view text) {
    FloatShape shape;
    if (!ParseFloatShape(text, shape)) ThrowBadFloat(text);
    const bool negative = !text.empty() && text[0] == '-';

    const std::string z(text);  // strtold_l needs a terminated string
    char* end = nullptr;
    long double x;
    {
        FloatEnvGuard guard;
        errno = 0;
        x = strtold_l(z.c_str(), &end, CLocale());
    }
    if (end != z.c_str() + z.size()) ThrowBadFloat(text);
    if (std::isinf(x)) {
        // Overflow. The general float text of the largest values rounds up
        // past the range; read those back as the largest finite value.
        if (!AtMostLargestText(shape)) ThrowBadFloat(text);
        x = negative ? -LDBL_MAX : LDBL_MAX;
    }
    // Underflow (ERANGE with a denormal or zero) keeps the nearest value.
    return x;
}

}  // namespace

std::string FloatText(long double x) {
    // Classifying a payload that holds no valid extended (an unnormal, a
    // pseudo-NaN) raises the invalid flag: keep it inside the guard.
    FloatEnvGuard guard;
    // Adding zero hands a pseudo-denormal back in its normal encoding, which
    // the formatter reads correctly (and turns -0 into +0).
    x += 0.0L;
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";

    // Scientific form with 17 significant digits, "d.dddddddddddddddde[+-]x",
    // rounded to nearest.
    char buf[64];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 16);
    const std::string_view sci(buf, static_cast<std::size_t>(r.ptr - buf));
    const bool negative = sci[0] == '-';
    const std::size_t d0 = negative ? 1 : 0;
    std::string digits;  // the 17 significant digits
    digits.push_back(sci[d0]);
    digits.append(sci.substr(d0 + 2, 16));
    const std::size_t ePos = sci.find('e');
    int e = 0;
    std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(), e);

    std::string out;
    if (negative) out.push_back('-');
    if (e >= 17 || e <= -6) {
        // Far from 1: scientific, mantissa without trailing zeros.
        const std::size_t last = digits.find_last_not_of('0');
        out.push_back(digits[0]);
        if (last != 0) {
            out.push_back('.');
            out.append(digits, 1, last);
        }
        out.push_back('E');
        out.append(std::to_string(e));
        return out;
    }
    // Exponents -5..16: plain notation.
    std::string plain;
    if (e >= 0) {
        plain = digits.substr(0, static_cast<std::size_t>(e) + 1);
        plain.push_back('.');
        plain.append(digits, static_cast<std::size_t>(e) + 1);
    } else {
        plain = "0.";
        plain.append(static_cast<std::size_t>(-e - 1), '0');
        plain.append(digits);
    }
    while (plain.back() == '0') plain.pop_back();
    if (plain.back() == '.') plain.pop_back();
    out.append(plain);
    return out;
}

std::string ValueText(const CalcValue& v) {
    switch (v.mode) {
        case vmDec:
            return sstr(v.w(), 10);
        case vmBin:
            return str(v.w(), 2);
        case vmOct:
            return str(v.w(), 8);
        case vmHex:
            return str(v.w(), 16);
        case vmIPv4:
            return ipv4str(v.w());
        case vmIPv6:
            return ipv6str(v.w(), true);
        case vmFloat:
            return FloatText(v.f());
        case vmERR:
            return "*** ERROR ***";
        default:
            return "*** NOT IMPLEMENTED ***";
    }
}

ValueMode str2mode(std::string_view name) {
    for (int i = 0; i < kModeCount; ++i)
        if (name == kModeNames[i]) return static_cast<ValueMode>(i);
    throw RangeError("str2mode: invalid mode \"" + std::string(name) + "\"");
}

std::string RegRepr(const CalcValue& v) {
    const std::string_view name = ModeName(v.mode);
    if (v.mode >= vmDec && v.mode <= vmIPv6) return std::string(name) + ":" + hexstr(v.w());
    if (v.mode == vmFloat) return std::string(name) + ":" + FloatText(v.f());
    throw RangeError("RegRepr:  unsupported type " + std::string(name));
}

void ReprReg(std::string_view text, CalcValue& out) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 4) throw RangeError("ReprReg: unsupported type");
    const ValueMode mode = str2mode(text.substr(0, colon));
    out.mode = mode;
    const std::string_view payload = text.substr(colon + 1);
    if (mode >= vmDec && mode <= vmIPv6) {
        out.setW(stou128(payload, 16));
    } else if (mode == vmFloat) {
        out.setF(ParseFloat(payload));
    } else {
        throw RangeError("ReprReg: unsupported type");
    }
}
