// The state every object of one stand-in host shares: the project, the faults to
// inject, the record of calls and the reference counts. Each COM object holds it
// through a shared_ptr, so an object that outlives its Host can still be released.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vexasim/host.h"

namespace vexasim::model {

// A failure a member answers with: the HRESULT and the description set as error info.
struct HostError {
    HRESULT hr;
    std::string description;
};
[[noreturn]] void Fail(HRESULT hr, std::string description);

enum class FaultKind { Failure, Stop, Null };

struct Fault {
    std::string call;
    int k = 0;     // 1-based call number counted from the injection; 0 = every call
    int seen = 0;  // calls of that name since the injection
    FaultKind kind = FaultKind::Failure;
    HRESULT hr = S_OK;
    std::string description;
};

// Where a parameter lives: ids of its schematic, element and itself.
struct ParameterPath {
    long schematic = 0;
    long element = 0;
    long parameter = 0;
};

struct State {
    ProjectData project;
    bool hostOpen = true;

    LONG mainWindowHandle = 0;
    WORD typeMajor = 5;
    WORD typeMinor = 0;
    bool typeInfoAvailable = true;
    long activeGraph = 0;

    std::vector<Fault> faults;
    std::vector<std::string> calls;

    long externalReferences = 0;
    long liveObjects = 0;

    Evaluator evaluator;
    std::function<void(long, long)> analyzeObserver;
    int analyzeCount = 0;
    std::vector<AnalysisRecord> analyses;
    // The tuners a simulator variable set since the last analysis, by schematic and
    // element ids: the harmonic it set last.
    std::map<std::pair<long, long>, int> tunersSet;

    // The Parameter objects alive, by identity, so that Simulator.AddVariable can
    // tell which parameter it was handed without keeping a reference to it.
    std::map<const IUnknown*, ParameterPath> parameterObjects;

    // Records a call and answers which fault, if any, it meets.
    const Fault* Enter(const std::string& call);

    // Gives an id to every item whose id is 0 or repeats an earlier item's id. Ids
    // are never reused, so an object of a removed item cannot find a newer one.
    void AssignIds();

    // Items by id; a removed item raises E_FAIL "The ... no longer exists".
    SchematicData& Schematic(long id);
    ElementData& Element(long schematic, long id);
    ParameterData& Parameter(const ParameterPath& path);
    GraphData& Graph(long id);
    MeasurementData& Measurement(long graph, long id);
    DataFileData& DataFile(long id);

    // The parameter a variable is bound to, or null (unbound or removed).
    ParameterData* BoundParameter(const std::string& variable);

private:
    long lastId_ = 0;
};

using StatePtr = std::shared_ptr<State>;

// Text crossing the COM boundary: BSTRs hold UTF-16, the plain data UTF-8.
BSTR NewBstr(const std::string& text);  // throws std::bad_alloc
std::string Utf8(BSTR text);            // a null BSTR gives ""
std::string Utf8(const OLECHAR* text);

// A collection index: a number (VT_I4 and the other integer types) or a name (VT_BSTR).
struct Index {
    bool byName = false;
    long number = 0;
    std::string name;
};
Index ReadIndex(const VARIANT& index, const char* collection);
// The 0-based position of a 1-based index into a collection of count items;
// E_INVALIDARG with a description when it is out of range.
size_t Position(long index, size_t count, const char* collection);

std::string PathText(const ParameterPath& path);
bool ParsePath(const std::string& text, ParameterPath& path);

}  // namespace vexasim::model
