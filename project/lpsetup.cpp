#include "project/lpsetup.h"

namespace lpnames {
const OLECHAR* const kLTuner = OLESTR("LTUNER");
const OLECHAR* const kHBTuner = OLESTR("HBTUNER");
const OLECHAR* const kPointsGraph = OLESTR("Load Pull Points");
const OLECHAR* const kContourGraph = OLESTR("Load Pull Data Contour Graph");
const OLECHAR* const kTunerImpedances = OLESTR("Tuner Impedances");
const OLECHAR* const kCurrentPoint = OLESTR("Current Simulation Point");
const OLECHAR* const kApi = OLESTR("API");
const char* const kMeasuredDataMark = "LPGPM";
const char* const kTabDataMark = "LPGPT";
}  // namespace lpnames

LPSetup::LPSetup() = default;
LPSetup::~LPSetup() = default;

void LPSetup::SetApplication(IVexaApplication* app) {
    if (app == application.get()) return;
    application = host::ComPtr<IVexaApplication>(app);
}
