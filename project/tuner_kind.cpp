// Tuner recognition, shared by the project scan, the tuner operations and the dialog.
#include "project/tuner_kind.h"

#include <string>

#include "project/lpsetup.h"

namespace {

// The ANSI form of one of the wizard's own ASCII names.
std::string Ansi(const OLECHAR* literal) {
    host::Bstr s = host::Str(literal);
    std::string out;
    host::ToAnsi(s.get(), out);
    return out;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
    return !prefix.empty() && s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

TunerKind TunerKindOf(BSTR name) {
    try {
        std::string ansi;
        if (!host::ToAnsi(name, ansi)) return TunerKind::kNone;
        static const std::string lTuner = Ansi(lpnames::kLTuner);
        static const std::string hbTuner = Ansi(lpnames::kHBTuner);
        // "LTUNER" is tested first.
        if (StartsWith(ansi, lTuner)) return TunerKind::kLTuner;
        if (StartsWith(ansi, hbTuner)) return TunerKind::kHBTuner;
        return TunerKind::kNone;
    } catch (...) {
        return TunerKind::kNone;
    }
}

bool LPSetup::IsTunerName(BSTR name) { return TunerKindOf(name) != TunerKind::kNone; }
