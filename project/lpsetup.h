// LPSetup: the working context of one wizard run. Run constructs it, hands it the
// host Application and destroys it before returning; the project scan fills its
// lists, the settings transfer and the dialogs change its selections, the point-set
// builder fills its gamma points and the sweep reads all of it.
//
// Operations that can fail return a long: negative for a failure (an HRESULT),
// 1 for "stop" (the host answered S_FALSE, a point set is too small, or a called
// operation returned 1) and 0 for success. A negative or 1 from a called operation
// is passed up at once, unchanged.
#pragma once
#include <memory>
#include <vector>

#include "host/call.h"
#include "host/com_ptr.h"
#include "host/vexa.h"

class InterpolatorHolder;

// What the contour grid of one measurement turned out to be.
enum class GridOutcome {
    Varied,    // written
    Constant,  // written; every value equals the first
    Unfitted,  // the spline gave no number somewhere: nothing was written
};

// What the last RunSweep did, beyond its result: Run tells a stop by the host from
// a constant measurement (both return 1) and says how far the sweep got.
struct SweepReport {
    bool stopped = false;      // a host call answered S_FALSE
    long simulatedPoints = 0;  // analyses of gamma points that completed
    long pointCount = 0;       // gamma points the sweep was to simulate
};

// Constant names the wizard looks for or creates in the project.
namespace lpnames {
extern const OLECHAR* const kLTuner;             // "LTUNER"
extern const OLECHAR* const kHBTuner;            // "HBTUNER"
extern const OLECHAR* const kPointsGraph;        // "Load Pull Points"
extern const OLECHAR* const kContourGraph;       // "Load Pull Data Contour Graph"
extern const OLECHAR* const kTunerImpedances;    // "Tuner Impedances"
extern const OLECHAR* const kCurrentPoint;       // "Current Simulation Point"
extern const OLECHAR* const kApi;                // "API"
extern const char* const kMeasuredDataMark;      // "LPGPM"
extern const char* const kTabDataMark;           // "LPGPT"
}  // namespace lpnames

// pi, computed once at start-up as 4 atan(1).
extern const double kPi;

class LPSetup {
public:
    LPSetup();
    ~LPSetup();
    LPSetup(const LPSetup&) = delete;
    LPSetup& operator=(const LPSetup&) = delete;

    // Assigning the application adds a reference to the new one and releases the old one.
    void SetApplication(IVexaApplication* app);

    // ---- fields, in declaration order (destroyed in reverse) ----
    host::ComPtr<IVexaApplication> application;
    long harmonic = 1;
    long gammaSource = -1;
    long pointSourceKind = -1;
    bool setupChanged = true;
    bool centerRadiusChanged = true;
    bool gammaMeasurementChanged = true;
    bool tabFileMeasurementChanged = true;
    bool initializing = false;
    long tunerSchematicCount = 0;
    long selectedSchematic = -1;
    std::vector<host::ComPtr<IVexaSchematic>> tunerSchematics;
    long tunerCount = 0;
    long selectedTuner = -1;
    std::vector<host::ComPtr<IVexaElement>> tuners;
    long validMeasurementCount = 0;
    std::vector<host::ComPtr<IVexaMeasurement>> validMeasurements;
    long selectedMeasurementCount = 0;
    std::vector<host::Bstr> selectedMeasurementNames;
    std::vector<long> selectedMeasurementIndices;
    std::vector<host::Bstr> selectedMeasurementFileNames;
    std::vector<host::ComPtr<IVexaMeasurement>> gammaMeasurements;
    std::vector<host::Bstr> gammaMeasurementNames;
    long selectedGammaMeasurement = 0;
    std::vector<host::ComPtr<IVexaMeasurement>> tabFileMeasurements;
    std::vector<host::Bstr> tabFileMeasurementNames;
    long selectedTabFileMeasurement = 0;
    host::ComPtr<IVexaGraph> pointsGraph;
    host::ComPtr<IVexaParameter> magParameter;
    host::ComPtr<IVexaParameter> angParameter;
    long pointCount = 0;
    std::vector<double> pointMagnitudes;
    std::vector<double> pointAnglesDeg;
    double centerMagnitude = 0.0;
    double centerAngleDeg = 0.0;
    double radius = 0.95;
    SweepReport lastSweep;

    // ---- project scan (project/scan.cpp) ----
    long InitializeProject();
    long FinishProjectSetup();
    long ScanTunerSchematics();
    long ScanTuners();
    long ScanValidMeasurements();
    long ScanGammaSourceMeasurements();
    long CreatePointsGraph();
    long RemovePointsGraph();
    long SelectSchematic(long index);
    // Display name of validMeasurements[index]; an empty string and E_FAIL when out of range.
    long GetValidMeasurementName(long index, host::Bstr& name);
    static bool IsTunerName(BSTR name);

    // ---- tuner parameters (project/tuner.cpp) ----
    long SelectTuner(long index);
    long SetHarmonic(long harmonic);

    // ---- measurements to contour and gamma sources (project/selection.cpp) ----
    // Status results: 0 success, E_FAIL refused or failed (host errors shown as usual).
    long AddSelectedMeasurement(BSTR measurementName, BSTR dataFileName);
    long GetSelectedMeasurement(long index, host::Bstr& measurementName, host::Bstr& dataFileName);
    long FindSelectedMeasurement(BSTR measurementName) const;  // index or -1
    long RemoveSelectedMeasurement(long index);
    long RemoveAllSelectedMeasurements();
    bool IsDataFileNameUsed(BSTR dataFileName) const;
    long GetSchematicName(long index, host::Bstr& name);
    long FindSchematic(BSTR name);  // index or -1
    long GetTunerName(long index, host::Bstr& name);
    long FindTuner(BSTR name);  // index or -1
    long GetGammaMeasurementName(long index, host::Bstr& name) const;
    long FindGammaMeasurement(BSTR name) const;  // index or -1
    long GetTabFileMeasurementName(long index, host::Bstr& name) const;
    long FindTabFileMeasurement(BSTR name) const;  // index or -1
    long SetSelectedGammaMeasurement(long index);
    long SetSelectedTabFileMeasurement(long index);

    // ---- gamma point set (gamma/point_set.cpp) ----
    long SetCenterRadius(double centerMagnitude, double centerAngleDeg, double radius);
    long BuildGammaPoints(long gammaSource);
    long ReadMeasurementPoints(long kind, long& count, std::unique_ptr<double[]>& magnitudes,
                               std::unique_ptr<double[]>& anglesDeg);

    // ---- sweep and contour output (sweep/) ----
    long RunSweep();
    // Writes the contour grid of selected measurement i into its data file. Returns 0
    // (outcome tells whether the grid was constant, or could not be fitted: then no
    // data file was looked up, created or written), 1 when DataFiles.Item answered
    // S_FALSE, the HRESULT of a failed DataFiles.Item, or E_FAIL for an i out of range.
    // Other host errors are thrown to the caller.
    long WriteContourData(long i, InterpolatorHolder& holder, IVexaDataFiles* dataFiles, long dataFileCount,
                          GridOutcome& outcome);
    long UpdateContourGraph(const double& minimum, const double& maximum, const long& i);
};
