// The host's object model as the wizard sees it: the simulator's automation
// interfaces. Every interface derives from IDispatch; collections are 1-based and
// indexed with a VT_I4 VARIANT unless noted; strings are BSTRs. A method that may
// answer S_FALSE ("stop") says so.
#pragma once
#include <objbase.h>
#include <oleauto.h>

struct IVexaProject;
struct IVexaWindows;
struct IVexaWindow;
struct IVexaSchematics;
struct IVexaSchematic;
struct IVexaElements;
struct IVexaElement;
struct IVexaParameters;
struct IVexaParameter;
struct IVexaGraphs;
struct IVexaGraph;
struct IVexaGraphSettings;
struct IVexaMeasurements;
struct IVexaMeasurement;
struct IVexaTraces;
struct IVexaTrace;
struct IVexaDataFiles;
struct IVexaDataFile;
struct IVexaUnits;
struct IVexaUnit;
struct IVexaSimulator;

extern "C" const IID IID_IVexaApplication;
extern "C" const IID IID_IVexaWindows;
extern "C" const IID IID_IVexaWindow;
extern "C" const IID IID_IVexaProject;
extern "C" const IID IID_IVexaSchematics;
extern "C" const IID IID_IVexaSchematic;
extern "C" const IID IID_IVexaElements;
extern "C" const IID IID_IVexaElement;
extern "C" const IID IID_IVexaParameters;
extern "C" const IID IID_IVexaParameter;
extern "C" const IID IID_IVexaGraphs;
extern "C" const IID IID_IVexaGraph;
extern "C" const IID IID_IVexaGraphSettings;
extern "C" const IID IID_IVexaMeasurements;
extern "C" const IID IID_IVexaMeasurement;
extern "C" const IID IID_IVexaTraces;
extern "C" const IID IID_IVexaTrace;
extern "C" const IID IID_IVexaDataFiles;
extern "C" const IID IID_IVexaDataFile;
extern "C" const IID IID_IVexaUnits;
extern "C" const IID IID_IVexaUnit;
extern "C" const IID IID_IVexaSimulator;
extern "C" const IID IID_IVexaWizard;

// Application: the host; owner window of the wizard's message boxes.
struct IVexaApplication : IDispatch {
    STDMETHOD(get_MainWindowHandle)(LONG* handle) = 0;
    STDMETHOD(get_Project)(IVexaProject** project) = 0;
    STDMETHOD(get_Windows)(IVexaWindows** windows) = 0;
};

// Windows: one window per open graph, looked up by graph name (VT_BSTR).
// Item answers S_OK with a null window when the graph has none.
struct IVexaWindows : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaWindow** window) = 0;
};

struct IVexaWindow : IDispatch {
    STDMETHOD(get_Caption)(BSTR* caption) = 0;
    STDMETHOD(Activate)() = 0;  // S_FALSE: stop
};

struct IVexaProject : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Schematics)(IVexaSchematics** schematics) = 0;
    STDMETHOD(get_Graphs)(IVexaGraphs** graphs) = 0;
    STDMETHOD(get_DataFiles)(IVexaDataFiles** dataFiles) = 0;
    STDMETHOD(get_Units)(IVexaUnits** units) = 0;
    STDMETHOD(get_Simulator)(IVexaSimulator** simulator) = 0;
    STDMETHOD(Refresh)() = 0;  // S_FALSE: stop
};

struct IVexaSchematics : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaSchematic** schematic) = 0;
};

struct IVexaSchematic : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Elements)(IVexaElements** elements) = 0;
};

struct IVexaElements : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaElement** element) = 0;  // S_FALSE: stop
};

struct IVexaElement : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Parameters)(IVexaParameters** parameters) = 0;
};

// Parameters: looked up by name (VT_BSTR) or by 1-based index; S_OK with null when absent.
struct IVexaParameters : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaParameter** parameter) = 0;
};

// A parameter's value is in the host's base unit (angles in radians).
struct IVexaParameter : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Value)(double* value) = 0;
    STDMETHOD(put_Value)(double value) = 0;
};

struct IVexaGraphs : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaGraph** graph) = 0;
    STDMETHOD(Add)(BSTR name, LONG type, IVexaGraph** graph) = 0;
    STDMETHOD(Remove)(VARIANT index) = 0;
};

struct IVexaGraph : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Type)(LONG* type) = 0;
    STDMETHOD(get_Measurements)(IVexaMeasurements** measurements) = 0;
    STDMETHOD(get_Traces)(IVexaTraces** traces) = 0;
    STDMETHOD(get_Settings)(IVexaGraphSettings** settings) = 0;
};

struct IVexaGraphSettings : IDispatch {
    STDMETHOD(get_Mode)(LONG* mode) = 0;
    STDMETHOD(put_Mode)(LONG mode) = 0;
};

// Measurements of a graph. Adding a measurement adds its trace last.
struct IVexaMeasurements : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaMeasurement** measurement) = 0;
    STDMETHOD(Add)(BSTR source, BSTR name, IVexaMeasurement** measurement) = 0;
    STDMETHOD(RemoveAll)() = 0;  // S_FALSE: stop
};

// A measurement: result type 1 real, 2 complex; points and columns are 1-based,
// column 1 the real part, column 2 the imaginary part.
struct IVexaMeasurement : IDispatch {
    STDMETHOD(get_Source)(BSTR* source) = 0;
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_ResultType)(LONG* type) = 0;
    STDMETHOD(get_PointCount)(LONG* count) = 0;
    STDMETHOD(get_Value)(LONG point, LONG column, double* value) = 0;
    STDMETHOD(put_Value)(LONG point, LONG column, double value) = 0;
    STDMETHOD(put_XValue)(LONG point, double value) = 0;
    STDMETHOD(SetSize)(LONG points, LONG columns) = 0;  // S_FALSE: stop
    STDMETHOD(put_DataFormat)(LONG format) = 0;
    STDMETHOD(get_UnitType)(LONG axis, LONG* unitType) = 0;
};

struct IVexaTraces : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaTrace** trace) = 0;
};

struct IVexaTrace : IDispatch {
    STDMETHOD(put_LineVisible)(VARIANT_BOOL visible) = 0;
    STDMETHOD(put_SymbolsVisible)(VARIANT_BOOL visible) = 0;
    STDMETHOD(put_Color)(LONG color) = 0;  // COLORREF, 0x00BBGGRR
    STDMETHOD(put_SymbolSize)(LONG size) = 0;
    STDMETHOD(put_SymbolStyle)(LONG style) = 0;
    STDMETHOD(put_LineWidth)(LONG width) = 0;
};

struct IVexaDataFiles : IDispatch {
    STDMETHOD(get_Count)(LONG* count) = 0;
    STDMETHOD(Item)(VARIANT index, IVexaDataFile** dataFile) = 0;  // S_FALSE: stop
    STDMETHOD(Add)(BSTR name, BSTR fileName, LONG flag, LONG type, IVexaDataFile** dataFile) = 0;
};

struct IVexaDataFile : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(get_Text)(BSTR* text) = 0;
    STDMETHOD(put_Text)(BSTR text) = 0;
};

// Units the project displays, by unit type code (VT_I4), such as 13 (power, dB) and 14 (power, linear).
struct IVexaUnits : IDispatch {
    STDMETHOD(Item)(VARIANT unitType, IVexaUnit** unit) = 0;
};

struct IVexaUnit : IDispatch {
    STDMETHOD(get_Name)(BSTR* name) = 0;
};

// The analysis engine. AddVariable binds a name to a Parameter (VT_DISPATCH);
// SetVariable sets the bound parameter; Analyze runs the analysis.
struct IVexaSimulator : IDispatch {
    STDMETHOD(AddVariable)(BSTR name, VARIANT parameter) = 0;  // S_FALSE: stop
    STDMETHOD(SetVariable)(BSTR name, double value) = 0;
    STDMETHOD(Analyze)(LONG first, LONG second) = 0;  // S_FALSE: stop
};

// The host's wizard interface, implemented by add-ins.
struct IVexaWizard : IUnknown {
    STDMETHOD(get_Name)(BSTR* name) = 0;
    STDMETHOD(put_Name)(BSTR name) = 0;
    STDMETHOD(Run)(IDispatch* host, VARIANT_BOOL* pFlag) = 0;
};

namespace host {
// The interface identifier of a host or SDK interface, for error-info look-ups.
template <class I>
const IID& IidOf();
}  // namespace host
