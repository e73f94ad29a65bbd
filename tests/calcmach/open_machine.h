// The machine with its fields in view, for the machine's own tests: they set
// up and check states that no key sequence reaches directly.
#pragma once

#include "calcmach/calcmach.h"

struct OpenMachine : CcalcMach {
    using CcalcMach::EntryDigits;
    using CcalcMach::EntryNeg;
    using CcalcMach::FracDigits;
    using CcalcMach::HeadMask;
    using CcalcMach::LastKey;
    using CcalcMach::NewEntry;
    using CcalcMach::OnTapeLine;
    using CcalcMach::ParenDepth;
    using CcalcMach::ParenStack;
    using CcalcMach::PendingOp;
    using CcalcMach::Regs;
    using CcalcMach::Shown;
    using CcalcMach::ShowsX;
    using CcalcMach::ShowX;
    using CcalcMach::ShowY;
    using CcalcMach::TapePrefix;
    using CcalcMach::X;
    using CcalcMach::Y;
};
