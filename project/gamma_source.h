// Where the gamma points come from: the codes the dialog's radios stand for, the
// point set builds from, LPSetup::gammaSource and the settings keep, and the
// settings stream stores (as these numbers, 0 to 5; -1 when none was chosen).
#pragma once

enum GammaSource : long {
    kNoGammaSource = -1,
    // The pre-defined grids, scaled to the radius and moved to the centre.
    kGammaCoarse = 0,
    kGammaMedium = 1,
    kGammaFine = 2,
    kGammaExtraFine = 3,
    kGammaMeasuredData = 4,  // the points of the selected measured-data ("LPGPM") measurement
    kGammaTabData = 5,       // the points of the selected tab-data-file ("LPGPT") measurement
};

constexpr bool IsGridSource(long source) { return source >= kGammaCoarse && source <= kGammaExtraFine; }
constexpr bool IsGammaSource(long source) { return source >= kGammaCoarse && source <= kGammaTabData; }

// The origin of the current point set (LPSetup::pointSourceKind), and the kind of
// measurement ReadMeasurementPoints reads.
enum PointSourceKind : long {
    kNoPointSource = -1,
    kPointsFromGrid = 0,
    kPointsFromMeasuredData = 1,
    kPointsFromTabData = 2,
};
