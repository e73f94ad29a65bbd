// The keys the window takes and qzcalc shares: typed characters and the
// buttons that act on the machine.
#include <gtest/gtest.h>

#include "calcmach/keys.h"

namespace {

TEST(Keys, TypedCharacters) {
    const struct {
        char c;
        TypedKey::Kind kind;
        char key;
    } rows[] = {
        {'\r', TypedKey::kMachine, '='}, {'x', TypedKey::kMachine, 'c'}, {'X', TypedKey::kNone, 'X'},
        {'a', TypedKey::kMachine, 'A'},  {'F', TypedKey::kMachine, 'F'}, {'g', TypedKey::kNone, 'G'},
        {'r', TypedKey::kRecall, 'R'},   {'S', TypedKey::kStore, 'S'},   {'\b', TypedKey::kMachine, '\b'},
        {'%', TypedKey::kMachine, '%'},  {'<', TypedKey::kNone, '<'},    {'\n', TypedKey::kNone, '\n'},
    };
    for (const auto& r : rows) {
        const TypedKey k = TypedKeyOf(r.c);
        EXPECT_EQ(k.kind, r.kind) << static_cast<int>(r.c);
        EXPECT_EQ(k.key, r.key) << static_cast<int>(r.c);
    }
    // Backspace, carriage return, 14 signs, 10 digits, A to F in either
    // case, R and S in either case, and x.
    int keys = 0;
    for (int c = 0; c < 256; ++c) keys += TypedKeyOf(static_cast<char>(c)).kind != TypedKey::kNone;
    EXPECT_EQ(keys, 43);
}

TEST(Keys, ButtonsActOnTheMachine) {
    const struct {
        const char* caption;
        ValueMode mode;
        const char* keys;  // typed before the button
        const char* display;
    } rows[] = {
        {"NOT", vmHex, "0", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
        {"\u00B1", vmDec, "7", "-7"},
        {"\u03C0", vmFloat, "", "3.1415926535897932"},
        {"SHL", vmHex, "3", "3"},  // an operator: the entry stays shown
        {"(", vmDec, "5", "0"},
    };
    for (const auto& r : rows) {
        CcalcMach m;
        m.SetMode(r.mode);
        for (const char* k = r.keys; *k; ++k) m.KeyChar(*k);
        const MachineAction* action = ButtonAction(r.caption);
        ASSERT_NE(action, nullptr) << r.caption;
        action->Run(m);
        EXPECT_EQ(m.DisplayText(), r.display) << r.caption;
    }
    EXPECT_EQ(ButtonAction("STO"), nullptr);  // a typed key, not the machine's
    EXPECT_EQ(ButtonAction("Save"), nullptr);
}

}  // namespace
