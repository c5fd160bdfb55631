// --inject: host faults given on the command line, so that an add-in can be tried
// against a host that fails. A spec is OBJECT.MEMBER[@N]=RESULT[:DESCRIPTION]:
//
//   Simulator.Analyze@10=S_FALSE           the 10th analysis answers S_FALSE (stop)
//   DataFiles.Add=0x80004005:Disk is full   every DataFiles.Add fails, with that description
//   Graphs.Item@2=NULL                      the 2nd Graphs.Item answers S_OK and no object
//
// The member is a call name of the stand-in host (Host::Members()); calls are counted
// from the start of the run.
#pragma once
#include <windows.h>

#include <string>

#include "vexasim/host.h"

namespace vexasim {

struct Injection {
    enum class Kind { Failure, Stop, Null };
    std::string member;
    int call = 0;  // 1-based; 0 for every call
    Kind kind = Kind::Stop;
    HRESULT hr = S_FALSE;
    std::string description;
};

// Reads one spec. False with a message (naming the members that can be named when
// the member is unknown) for anything malformed.
bool ParseInjection(const std::string& spec, Injection& out, std::string& error);

// Arms the fault in the host, through its own fault injection.
void Inject(Host& host, const Injection& injection);

}  // namespace vexasim
