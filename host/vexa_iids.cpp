#include "host/vexa.h"

#include "host/call.h"

namespace {
constexpr GUID Make(uint32_t d1, uint16_t d2, uint16_t d3, uint16_t last) {
    // The host's interfaces share one prefix; the last word tells them apart.
    return GUID{d1, d2, d3, {0x8c, 0x11, 0x4e, 0x56, 0x78, 0x61, static_cast<uint8_t>(last >> 8), static_cast<uint8_t>(last & 0xff)}};
}
}  // namespace

extern "C" {
const IID IID_IVexaApplication = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0101);
const IID IID_IVexaWindows = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0102);
const IID IID_IVexaWindow = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0103);
const IID IID_IVexaProject = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0104);
const IID IID_IVexaSchematics = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0105);
const IID IID_IVexaSchematic = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0106);
const IID IID_IVexaElements = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0107);
const IID IID_IVexaElement = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0108);
const IID IID_IVexaParameters = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0109);
const IID IID_IVexaParameter = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010a);
const IID IID_IVexaGraphs = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010b);
const IID IID_IVexaGraph = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010c);
const IID IID_IVexaGraphSettings = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010d);
const IID IID_IVexaMeasurements = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010e);
const IID IID_IVexaMeasurement = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x010f);
const IID IID_IVexaTraces = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0110);
const IID IID_IVexaTrace = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0111);
const IID IID_IVexaDataFiles = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0112);
const IID IID_IVexaDataFile = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0113);
const IID IID_IVexaUnits = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0114);
const IID IID_IVexaUnit = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0115);
const IID IID_IVexaSimulator = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0116);
const IID IID_IVexaWizard = Make(0x6b1f2a01, 0x3c5d, 0x4e7f, 0x0200);
}

#define LPT_IID_OF(I) \
    template <>       \
    const IID& host::IidOf<I>() { return IID_##I; }
LPT_IID_OF(IVexaApplication)
LPT_IID_OF(IVexaWindows)
LPT_IID_OF(IVexaWindow)
LPT_IID_OF(IVexaProject)
LPT_IID_OF(IVexaSchematics)
LPT_IID_OF(IVexaSchematic)
LPT_IID_OF(IVexaElements)
LPT_IID_OF(IVexaElement)
LPT_IID_OF(IVexaParameters)
LPT_IID_OF(IVexaParameter)
LPT_IID_OF(IVexaGraphs)
LPT_IID_OF(IVexaGraph)
LPT_IID_OF(IVexaGraphSettings)
LPT_IID_OF(IVexaMeasurements)
LPT_IID_OF(IVexaMeasurement)
LPT_IID_OF(IVexaTraces)
LPT_IID_OF(IVexaTrace)
LPT_IID_OF(IVexaDataFiles)
LPT_IID_OF(IVexaDataFile)
LPT_IID_OF(IVexaUnits)
LPT_IID_OF(IVexaUnit)
LPT_IID_OF(IVexaSimulator)
LPT_IID_OF(IVexaWizard)
LPT_IID_OF(IDispatch)
LPT_IID_OF(ITypeInfo)
