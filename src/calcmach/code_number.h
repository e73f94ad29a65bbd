// Numbers as people paste and write them (code literals, decimal integers,
// addresses, floats) and what a pasted text does to the calculator.
//
// The rule, shared by the window's paste and by qzcalc: a text that is one
// number is entered as that number; a text made only of the keys of the
// current mode is typed key by key; anything else is refused. A number is
// never cut to fit: one that does not fit the word is refused, so that a
// near-literal never becomes a different, plausible number.
#pragma once

#include <string>
#include <string_view>

#include "calcmach.h"
#include "values.h"

// What a text read as one number gives.
struct NumberRead {
    enum Kind { kNone, kNumber, kRefused };
    Kind kind = kNone;
    CalcValue value;  // kNumber: the number, in the mode it is entered in
    std::string why;  // kRefused: what is wrong with it, for a message
};

// An integer as program code writes it, the text trimmed of blanks and line
// ends and optionally preceded by "-" (the two's complement):
//   0x 0X  then hexadecimal digits (either case)        -> vmHex
//   0b 0B  then binary digits                           -> vmBin
//   0o 0O  then octal digits                            -> vmOct
//   digits then the suffix the tape writes: h or H (hexadecimal, digits in
//   either case), b (binary; lower case only, and not in the modes whose
//   digits include b: there "1b" stays the hexadecimal number it is typed
//   as), o or O (octal)
//   decimal digits with a type suffix (below)            -> vmDec
// with "_", "'" or blanks allowed between two digits. The prefix forms and
// decimal digits may end in an integer type suffix of C, C++ or Rust: u, l,
// ll, ul, lu, ull, llu, z, uz, zu in either case; i8 ... i128, isize, u8 ...
// u128, usize, also after a "_".
// Anything else is kNone. A number outside -2^(bits-1) .. 2^bits - 1 is
// kRefused, never cut.
NumberRead ParseCodeNumber(std::string_view text, ValueMode mode, WordBits bits = WordBits::k128);

// The forms program code writes an integer in: "0x1F", "-5", "31", "0o37",
// "0b11111".
enum class CodeForm { Hex, Signed, Unsigned, Octal, Binary };
// v as an n-bit word written in that form, without leading zeros
// (hexadecimal digits upper case; Signed reads the word as two's
// complement, the others its pattern: -1 at 32 bits is 0xFFFFFFFF). Pasted
// at that word size, each is v again (ParseCodeNumber, or ReadNumber for the
// decimal forms).
std::string CodeLiteral(Word128 v, CodeForm form, WordBits n = WordBits::k128);

// A trimmed text as one number of any form, read in the given mode: a code
// literal (ParseCodeNumber); a signed decimal integer in the decimal mode (in
// Float: that number as a float); a dotted IPv4 address (four to sixteen
// parts, or two or more in the IPv4 mode, each 0..255 in decimal: the
// calculator's own text of any value); an IPv6 address (eight groups,
// or fewer around one "::", the last two may be a dotted IPv4 address); a
// number with a decimal point or an exponent (1.5, .5, 1e-3; an exponent
// without a point not in the hexadecimal and IPv6 modes, where "1e5" is
// digits), entered in Float. A leading "-" only where signAllowed, and not on
// an address. kRefused for a number that does not fit the bits, or a float
// beyond the extended range (or so small that it would read as zero).
NumberRead ReadNumber(std::string_view text, ValueMode mode, bool signAllowed,
                      WordBits bits = WordBits::k128);

// What pasting a text into the calculator in the given mode does:
//   1. after trimming blanks and line ends, one trailing ";" or ",", and
//      surrounding brackets, one number (ReadNumber) is entered as that
//      number (kNumber; kRefused when it does not fit);
//   2. otherwise a text made only of keys the window takes in the mode (its
//      digits, "." in Float and IPv4, ":" in IPv6, + - * / ^ & | %, ( ) =,
//      blanks, tabs and line ends) is typed key by key (kKeys), provided every
//      number in it types as the number it reads as (CheckTypedNumber);
//   3. anything else is kRefused: the caller shows the error value and
//      changes nothing else.
// typing: the display text of a number still being typed, which digits at
// the start of the text go on with (empty when none is).
struct PastePlan {
    enum Kind { kNumber, kKeys, kRefused };
    Kind kind = kRefused;
    CalcValue value;  // kNumber
    std::string why;  // kRefused
};
PastePlan PlanPaste(std::string_view text, ValueMode mode, WordBits bits = WordBits::k128,
                    std::string_view typing = {});

// A character that number entry takes in the mode: a digit of its radix (the
// letters in either case), "." in Float and IPv4, ":" in IPv6.
bool IsEntryKey(char c, ValueMode mode);

// Empty when typing the entry keys of run (no blanks) into a new entry of
// the mode gives exactly the number they read as, with the sign change on
// when negative; otherwise why not: digits that do not fit the bits (typed
// digits would wrap), a second point, an IPv4 part above 255 or an IPv6
// group of five digits (typing would start a new part), too many parts, or a
// second "::".
std::string CheckTypedNumber(std::string_view run, ValueMode mode, bool negative,
                             WordBits bits = WordBits::k128);

// Enters a number read above: an integer as if typed in its mode (the mode
// switches as its button does; a further digit extends it), a float as a
// recalled value is (the next digit starts a new number).
void EnterReadNumber(CcalcMach& m, const CalcValue& v);

// text in double quotes for a message, shortened when long, with bytes that
// are not printable ASCII written as \xNN.
std::string QuotedForMessage(std::string_view text);
