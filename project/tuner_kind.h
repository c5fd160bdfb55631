// The two kinds of load-pull tuner, told apart by the element name: its first
// characters in the ANSI code page, compared case-sensitively. A name with no exact
// ANSI form is no tuner name (no partial match). LPSetup::IsTunerName is "any kind".
#pragma once
#include <windows.h>
#include <oleauto.h>

enum class TunerKind {
    kNone,
    kLTuner,   // "LTUNER...": one Mag/Ang pair, whatever the harmonic
    kHBTuner,  // "HBTUNER...": a pair per harmonic
};

TunerKind TunerKindOf(BSTR name);
