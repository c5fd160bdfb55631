// The members of the stand-in host's object model, by the names under which calls
// are recorded and faults injected. A fault for a name not listed here could never
// fire, so the host refuses it.
#include <algorithm>
#include <stdexcept>

#include "vexasim/host.h"

namespace vexasim {

const std::vector<std::string>& Host::Members() {
    static const std::vector<std::string> members = {
        "Application.GetTypeInfo", "Application.MainWindowHandle", "Application.Project", "Application.Windows",
        "DataFile.Name", "DataFile.Text", "DataFile.put_Text",
        "DataFiles.Add", "DataFiles.Count", "DataFiles.Item",
        "Element.Name", "Element.Parameters",
        "Elements.Count", "Elements.Item",
        "Graph.Measurements", "Graph.Name", "Graph.Settings", "Graph.Traces", "Graph.Type",
        "GraphSettings.Mode", "GraphSettings.put_Mode",
        "Graphs.Add", "Graphs.Count", "Graphs.Item", "Graphs.Remove",
        "Measurement.Name", "Measurement.PointCount", "Measurement.ResultType", "Measurement.SetSize",
        "Measurement.Source", "Measurement.UnitType", "Measurement.Value", "Measurement.put_DataFormat",
        "Measurement.put_Value", "Measurement.put_XValue",
        "Measurements.Add", "Measurements.Count", "Measurements.Item", "Measurements.RemoveAll",
        "Parameter.Name", "Parameter.Value", "Parameter.put_Value",
        "Parameters.Count", "Parameters.Item",
        "Project.DataFiles", "Project.Graphs", "Project.Name", "Project.Refresh", "Project.Schematics",
        "Project.Simulator", "Project.Units",
        "Schematic.Elements", "Schematic.Name",
        "Schematics.Count", "Schematics.Item",
        "Simulator.AddVariable", "Simulator.Analyze", "Simulator.SetVariable",
        "Trace.put_Color", "Trace.put_LineVisible", "Trace.put_LineWidth", "Trace.put_SymbolSize",
        "Trace.put_SymbolStyle", "Trace.put_SymbolsVisible",
        "Traces.Count", "Traces.Item",
        "TypeInfo.GetTypeAttr",
        "Unit.Name",
        "Units.Item",
        "Window.Activate", "Window.Caption",
        "Windows.Count", "Windows.Item",
    };
    return members;
}

bool Host::IsMember(const std::string& call) {
    const auto& members = Members();
    return std::find(members.begin(), members.end(), call) != members.end();
}

}  // namespace vexasim
