// Number entry: digits are folded into Y as they are typed (there is no text
// buffer), backspace takes them out again, and EntryText shows the number
// while it is being typed.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "calcmach.h"
#include "fpu.h"

namespace {

constexpr Word128 kLowOctet{0xFF, 0};
constexpr Word128 kLowGroup{0xFFFF, 0};

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Modes outside the table (only reachable through a loaded or set value)
// take digits in radix 10, like the modes that exist as names only.
unsigned EntryRadix(ValueMode m) {
    return m >= 0 && m < kModeCount ? kModeRadix[m] : 10u;
}

void ZeroPayload(CalcValue& v) { std::memset(v.payload, 0, sizeof v.payload); }

// Removes the last digit of the low group (width bits, digits in base radix);
// an empty group disappears altogether.
Word128 DropGroupDigit(Word128 v, unsigned width, unsigned radix) {
    const Word128 mask = width == 8 ? kLowOctet : kLowGroup;
    const uint64_t g = (v & mask).lo / radix;
    if (g == 0) return v >> width;
    return (v & ~mask) | Word128(g, 0);
}

}  // namespace

void CcalcMach::EndEntry() {
    NewEntry = true;
    EntryNeg = false;
    FracDigits = 0;
    LastKey = 0;
    HeadMask = W128Zero;
}

bool CcalcMach::DigitKey(char c) {
    const int d = DigitValue(c);
    const ValueMode m = Y.mode;

    if (m == vmIPv4) {
        if (c != '.' && !(d >= 0 && d <= 9)) return false;
        Word128 v = Y.w();
        if (NewEntry) {
            NewEntry = false;
            v = c == '.' ? W128Zero : Word128(static_cast<uint64_t>(d), 0);
        } else if (c == '.') {
            v <<= 8;
        } else {
            const uint64_t n = (v & kLowOctet).lo * 10 + static_cast<uint64_t>(d);
            // A digit that would overflow the octet starts the next one, so
            // 1921681 types 192.168.1 without any dots.
            v = n <= 255 ? (v & ~kLowOctet) | Word128(n, 0) : (v << 8) | Word128(static_cast<uint64_t>(d), 0);
        }
        Y.setW(v);
    } else if (m == vmIPv6) {
        if (c != ':' && d < 0) return false;
        Word128 v = Y.w();
        const Word128 groupValue(c == ':' ? 0 : static_cast<uint64_t>(d), 0);
        bool newGroup = false;
        if (NewEntry) {
            NewEntry = false;
            v = groupValue;
        } else if (c == ':' && LastKey == ':' && HeadMask.IsZero()) {
            // The second colon of "::": what was typed so far becomes the
            // head, moved up to the top groups.
            if (!v.IsZero() && (v >> 112).IsZero()) {
                HeadMask = W128AllOnes;
                while ((v >> 112).IsZero()) {
                    v <<= 16;
                    HeadMask <<= 16;
                }
            }
        } else if (c == ':') {
            newGroup = true;
        } else {
            const uint64_t n = (v & kLowGroup).lo * 16 + static_cast<uint64_t>(d);
            if (n <= 0xFFFF) {
                v = (v & ~kLowGroup) | Word128(n, 0);
            } else {
                newGroup = true;
            }
        }
        if (newGroup) {
            if (HeadMask.IsZero()) {
                v = (v << 16) | groupValue;
            } else {
                const Word128 tail = ((v & ~HeadMask) << 16) | groupValue;
                // More than eight groups around the "::": the address is void.
                v = (tail & HeadMask).IsZero() ? (v & HeadMask) | tail : W128Zero;
            }
        }
        Y.setW(v);
    } else if (m == vmFloat) {
        if (c == '.') {
            if (NewEntry) {
                NewEntry = false;
                Y.setF(0.0L);
            } else if (FracDigits != 0) {
                return false;
            }
            FracDigits = 1;
        } else {
            if (!(d >= 0 && d <= 9)) return false;
            const long double digit = EntryNeg ? -d : d;
            if (NewEntry) {
                NewEntry = false;
                FracDigits = 0;
                Y.setF(digit);
            } else if (FracDigits == 0) {
                // Only an absurdly long entry can overflow here; it raises the
                // usual float overflow and leaves the entry as it was.
                Y.setF(fpu::Guarded([](long double v, long double dd) { return v * 10.0L + dd; }, Y.f(), digit));
            } else {
                Y.setF(Y.f() + digit * std::pow(10.0L, static_cast<long double>(-FracDigits)));
                if (FracDigits < std::numeric_limits<int32_t>::max()) ++FracDigits;
            }
        }
    } else {
        const unsigned radix = EntryRadix(m);
        if (d < 0 || static_cast<unsigned>(d) >= radix) return false;
        const Word128 digit = Word128::FromI32(EntryNeg ? -d : d);
        if (NewEntry) {
            NewEntry = false;
            Y.setW(digit);
        } else {
            Y.setW(Y.w() * Word128(radix, 0) + digit);
        }
    }
    LastKey = c;
    ShowY();
    return true;
}

bool CcalcMach::Backspace() {
    const ValueMode m = Y.mode;
    const bool notZero = m == vmFloat ? !(Y.f() == 0.0L) : !Y.w().IsZero();
    const bool result = !NewEntry && notZero;

    if (NewEntry) {
        NewEntry = false;
        ZeroPayload(Y);
        FracDigits = 0;
    } else if (m == vmIPv4) {
        Y.setW(DropGroupDigit(Y.w(), 8, 10));
    } else if (m == vmIPv6 && HeadMask.IsZero()) {
        Y.setW(DropGroupDigit(Y.w(), 16, 16));
    } else if (m == vmIPv6) {
        Word128 v = Y.w();
        const Word128 tail = v & ~HeadMask;
        if (tail.IsZero()) {
            // Undo the "::": move the head back down to where it was typed.
            for (int i = 0; i < 8 && (HeadMask & kLowGroup).IsZero(); ++i) {
                HeadMask >>= 16;
                v >>= 16;
            }
            HeadMask = W128Zero;
        } else {
            v = (v & HeadMask) | DropGroupDigit(tail, 16, 16);
        }
        Y.setW(v);
    } else if (m == vmFloat) {
        // All in extended precision and without a 64-bit integer in between:
        // entries of 2^63 and more, and long fractions, stay exact.
        const long double v = Y.f();
        if (FracDigits == 0) {
            Y.setF(std::trunc(v / 10.0L));
        } else if (FracDigits == 1) {
            FracDigits = 0;
        } else if (FracDigits == 2) {
            FracDigits = 1;
            Y.setF(std::trunc(v));
        } else {
            --FracDigits;
            const long double p = std::pow(10.0L, static_cast<long double>(FracDigits - 1));
            const long double scaled = v * p;
            // From 2^64 on the scaled value has no fraction left to cut, and
            // dividing it back would only add rounding noise (or a NaN once p
            // overflows on absurdly long entries).
            if (std::fabs(scaled) < 0x1p64L) Y.setF(std::trunc(scaled) / p);
        }
    } else {
        Y.setW(W128Div(Y.w(), Word128(EntryRadix(m), 0)));
    }
    ShowY();
    return result;
}

std::string CcalcMach::EntryText() const {
    if (Y.mode != vmFloat) {
        if (Y.w().IsZero()) return EntryNeg ? "-0" : "0";
        std::string text = ValueText(Y);
        if (text.size() > kMaxText) text.resize(kMaxText);
        return text;
    }

    const long double v = Y.f();
    std::string text;
    if (v == 0.0L) {
        text = EntryNeg ? "-0" : "0";
        if (FracDigits >= 1) text += '.';
    } else if (FracDigits == 0) {
        text = ValueText(Y);
    } else {
        // Fixed notation with the typed number of decimals keeps trailing
        // zeros visible (3.50). Beyond 16446 decimals every extended float
        // has only zeros left, which the padding below supplies.
        const int decimals = std::min(FracDigits - 1, 16446);
        char small[128];
        std::string big;
        char* first = small;
        char* last = small + sizeof small;
        if (decimals > 60 || std::fabs(v) >= 1e40L) {
            big.resize(static_cast<std::size_t>(decimals) + 4960);
            first = big.data();
            last = first + big.size();
        }
        const auto res = std::to_chars(first, last, v, std::chars_format::fixed, decimals);
        text.assign(first, res.ec == std::errc{} ? res.ptr : first);
        if (text.find('.') == std::string::npos) text += '.';
    }
    if (FracDigits >= 1) {
        const std::size_t point = text.find('.');
        if (point != std::string::npos) {
            std::size_t count = text.size() - point;  // digits after the point, plus one
            while (count < static_cast<std::size_t>(FracDigits) && text.size() < kMaxText) {
                text += '0';
                ++count;
            }
        }
    }
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}
