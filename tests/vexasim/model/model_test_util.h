// Small helpers of the stand-in host's tests: navigation through the host wrappers,
// the thread's error description and reference counts.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "host/call.h"
#include "vexasim/host.h"

namespace vexasim::test {

using host::ComPtr;

// The description of the thread's error information ("" when there is none); takes it.
inline std::string TakeErrorDescription() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || !info) return std::string();
    host::Bstr text;
    info->GetDescription(text.put());
    info->Release();
    return host::ToAnsiLossy(text.get());
}

inline ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

inline ComPtr<IVexaProject> ProjectOf(Host& h) { return host::Get(h.Application(), &IVexaApplication::get_Project); }

inline ComPtr<IVexaGraphs> GraphsOf(Host& h) { return host::Get(ProjectOf(h), &IVexaProject::get_Graphs); }

inline ComPtr<IVexaGraph> GraphAt(Host& h, long i) {
    return host::Get(GraphsOf(h), &IVexaGraphs::Item, host::Index(i));
}

inline ComPtr<IVexaMeasurements> MeasurementsOf(Host& h, long graph) {
    return host::Get(GraphAt(h, graph), &IVexaGraph::get_Measurements);
}

inline ComPtr<IVexaMeasurement> MeasurementAt(Host& h, long graph, long i) {
    return host::Get(MeasurementsOf(h, graph), &IVexaMeasurements::Item, host::Index(i));
}

inline ComPtr<IVexaElements> ElementsOf(Host& h, long schematic) {
    auto schematics = host::Get(ProjectOf(h), &IVexaProject::get_Schematics);
    auto s = host::Get(schematics, &IVexaSchematics::Item, host::Index(schematic));
    return host::Get(s, &IVexaSchematic::get_Elements);
}

inline ComPtr<IVexaParameter> ParameterOf(Host& h, long schematic, long element, const OLECHAR* name) {
    auto e = host::Get(ElementsOf(h, schematic), &IVexaElements::Item, host::Index(element));
    auto parameters = host::Get(e, &IVexaElement::get_Parameters);
    return host::Get(parameters, &IVexaParameters::Item, host::NameIndex(name));
}

inline std::string Text(BSTR s) { return host::ToAnsiLossy(s); }

}  // namespace vexasim::test
