// Factories of the host objects. Each returns a new object carrying one reference,
// which belongs to the caller. An object names its item by id (see State), so
// several objects may stand for the same item and all answer alike.
#pragma once
#include "host/vexa.h"
#include "vexasim/model/state.h"

namespace vexasim::model {

IVexaApplication* NewApplication(const StatePtr& state);
IVexaWindows* NewWindows(const StatePtr& state);
IVexaWindow* NewWindow(const StatePtr& state, long graph);
ITypeInfo* NewTypeInfo(const StatePtr& state);

IVexaProject* NewProject(const StatePtr& state);
IVexaUnits* NewUnits(const StatePtr& state);
IVexaUnit* NewUnit(const StatePtr& state, long unitType);
IVexaSimulator* NewSimulator(const StatePtr& state);

IVexaSchematics* NewSchematics(const StatePtr& state);
IVexaSchematic* NewSchematic(const StatePtr& state, long schematic);
IVexaElements* NewElements(const StatePtr& state, long schematic);
IVexaElement* NewElement(const StatePtr& state, long schematic, long element);
IVexaParameters* NewParameters(const StatePtr& state, long schematic, long element);
IVexaParameter* NewParameter(const StatePtr& state, const ParameterPath& path);

IVexaGraphs* NewGraphs(const StatePtr& state);
IVexaGraph* NewGraph(const StatePtr& state, long graph);
IVexaGraphSettings* NewGraphSettings(const StatePtr& state, long graph);
IVexaTraces* NewTraces(const StatePtr& state, long graph);
IVexaTrace* NewTrace(const StatePtr& state, long graph, long measurement);

IVexaMeasurements* NewMeasurements(const StatePtr& state, long graph);
IVexaMeasurement* NewMeasurement(const StatePtr& state, long graph, long measurement);

IVexaDataFiles* NewDataFiles(const StatePtr& state);
IVexaDataFile* NewDataFile(const StatePtr& state, long dataFile);

// Analysis: evaluates the real measurements whose source names a schematic.
void Analyze(State& state);
// Keeps the analysis that ran with the settings of the tuners set since the one before.
void RecordAnalysis(State& state, long first, long second);

}  // namespace vexasim::model
