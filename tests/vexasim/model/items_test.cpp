// Items and collections: 1-based indices, names, ids that survive moves of the
// project's vectors, removed items, and what adding and removing does.
#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

TEST(HostItems, CollectionsAreOneBasedAndRefuseIndicesOutOfRange) {
    Host h;
    ProjectBuilder(h).Graph("A").Graph("B");
    ComPtr<IVexaGraphs> graphs = GraphsOf(h);
    ComPtr<IVexaGraph> g;
    ASSERT_EQ(graphs->Item(host::Index(2), g.put()), S_OK);
    EXPECT_EQ(Text(host::Get(g, &IVexaGraph::get_Name).get()), "B");

    for (long bad : {0L, 3L, -1L}) {
        EXPECT_EQ(graphs->Item(host::Index(bad), g.put()), E_INVALIDARG) << bad;
        EXPECT_FALSE(g);
        EXPECT_NE(TakeErrorDescription().find("out of range"), std::string::npos);
    }
    VARIANT real;
    VariantInit(&real);
    V_VT(&real) = VT_R8;
    V_R8(&real) = 1.0;
    EXPECT_EQ(graphs->Item(real, g.put()), E_INVALIDARG);
    TakeErrorDescription();
}

TEST(HostItems, NamesFindTheFirstMatchOrAnswerNull) {
    Host h;
    ProjectBuilder(h).Graph("Out").Graph("Hidden").Graph("Out", 3);
    h.project().graphs[1].hasWindow = false;

    ComPtr<IVexaGraph> g = host::Get(GraphsOf(h), &IVexaGraphs::Item, host::NameIndex(OLESTR("Out")));
    EXPECT_EQ(host::Get(g, &IVexaGraph::get_Type), 2);

    ComPtr<IVexaWindows> windows = host::Get(h.Application(), &IVexaApplication::get_Windows);
    EXPECT_EQ(host::Get(windows, &IVexaWindows::get_Count), 2);
    ComPtr<IVexaWindow> w;
    EXPECT_EQ(windows->Item(host::NameIndex(OLESTR("Hidden")), w.put()), S_OK);
    EXPECT_FALSE(w);
    EXPECT_EQ(windows->Item(host::NameIndex(OLESTR("Missing")), w.put()), S_OK);
    EXPECT_FALSE(w);
    ASSERT_EQ(windows->Item(host::NameIndex(OLESTR("Out")), w.put()), S_OK);
    EXPECT_EQ(Text(host::Get(w, &IVexaWindow::get_Caption).get()), "Out");
    EXPECT_EQ(w->Activate(), S_OK);
    EXPECT_EQ(h.ActiveWindow(), "Out");

    // A closed window answers E_FAIL.
    h.project().graphs[0].hasWindow = false;
    EXPECT_EQ(w->Activate(), E_FAIL);
    EXPECT_FALSE(TakeErrorDescription().empty());
}

TEST(HostItems, ObjectsFindTheirItemAfterTheVectorsMove) {
    Host h;
    ProjectBuilder(h).Graph("G").Measurement("S", "First").Measurement("S", "Second");
    ComPtr<IVexaMeasurement> second = MeasurementAt(h, 1, 2);
    ComPtr<IVexaGraph> graph = GraphAt(h, 1);

    // Move everything: new graphs in front, more measurements in front of it.
    auto& graphs = h.project().graphs;
    for (int i = 0; i < 50; ++i) graphs.insert(graphs.begin(), GraphData{});
    auto& ms = graphs.back().measurements;
    for (int i = 0; i < 50; ++i) ms.insert(ms.begin(), MeasurementData{});

    EXPECT_EQ(Text(host::Get(second, &IVexaMeasurement::get_Name).get()), "Second");
    EXPECT_EQ(Text(host::Get(graph, &IVexaGraph::get_Name).get()), "G");
    // The items added without an id got distinct ones on that call.
    h.AssignIds();
    EXPECT_NE(graphs[0].id, 0);
    EXPECT_NE(graphs[0].id, graphs[1].id);
    EXPECT_NE(ms[0].id, graphs[0].id);

    // A copied item with a repeated id gets a new one; the original keeps its own.
    const long original = graphs.back().id;
    graphs.push_back(graphs.back());
    graphs.back().name = "Copy";
    EXPECT_EQ(Text(host::Get(graph, &IVexaGraph::get_Name).get()), "G");
    EXPECT_EQ(graphs[graphs.size() - 2].id, original);
    EXPECT_NE(graphs.back().id, original);
}

TEST(HostItems, ObjectsOfRemovedItemsAnswerEFail) {
    Host h;
    ProjectBuilder(h).Graph("Keep").Graph("Drop").Measurement("S", "M");
    ComPtr<IVexaMeasurement> m = MeasurementAt(h, 2, 1);
    ComPtr<IVexaTraces> traces = host::Get(GraphAt(h, 2), &IVexaGraph::get_Traces);
    ComPtr<IVexaTrace> trace = host::Get(traces, &IVexaTraces::Item, host::Index(1));
    ComPtr<IVexaMeasurements> ms = MeasurementsOf(h, 2);

    ASSERT_EQ(ms->RemoveAll(), S_OK);
    LONG n = 3;
    EXPECT_EQ(m->get_PointCount(&n), E_FAIL);
    EXPECT_EQ(TakeErrorDescription(), "The measurement no longer exists");
    EXPECT_EQ(trace->put_Color(255), E_FAIL);
    TakeErrorDescription();

    // A measurement added afterwards never takes the removed one's place.
    ComPtr<IVexaMeasurement> added = host::Get(ms, &IVexaMeasurements::Add, host::Str(OLESTR("S")).get(),
                                               host::Str(OLESTR("M")).get());
    EXPECT_EQ(m->get_PointCount(&n), E_FAIL);
    TakeErrorDescription();

    ComPtr<IVexaGraphs> graphs = GraphsOf(h);
    EXPECT_EQ(graphs->Remove(host::Index(3)), E_INVALIDARG);
    TakeErrorDescription();
    ASSERT_EQ(graphs->Remove(host::Index(2)), S_OK);
    ASSERT_EQ(h.project().graphs.size(), 1u);
    EXPECT_EQ(h.project().graphs[0].name, "Keep");
    EXPECT_EQ(ms->get_Count(&n), E_FAIL);
    EXPECT_EQ(TakeErrorDescription(), "The graph no longer exists");
    EXPECT_EQ(added->put_DataFormat(1), E_FAIL);
    TakeErrorDescription();
}

TEST(HostItems, AddedGraphsAndMeasurementsComeLastWithTheirTraces) {
    Host h;
    ProjectBuilder(h).Schematic("Amp").DataFile("Pout", "f.txt").Graph("Out").Measurement("Amp", "Pout");
    ComPtr<IVexaGraph> g = host::Get(GraphsOf(h), &IVexaGraphs::Add, host::Str(OLESTR("Load Pull Points")).get(), 2);
    ASSERT_TRUE(g);
    ASSERT_EQ(h.project().graphs.size(), 2u);
    EXPECT_EQ(h.project().graphs[1].name, "Load Pull Points");
    EXPECT_TRUE(h.project().graphs[1].hasWindow);

    ComPtr<IVexaMeasurements> ms = host::Get(g, &IVexaGraph::get_Measurements);
    auto add = [&](const OLECHAR* source, const OLECHAR* name) {
        return host::Get(ms, &IVexaMeasurements::Add, host::Str(source).get(), host::Str(name).get());
    };
    ComPtr<IVexaMeasurement> fromSchematic = add(OLESTR("Amp"), OLESTR("Gain"));
    ComPtr<IVexaMeasurement> supplied = add(OLESTR("Tuner Impedances"), OLESTR("API"));
    ComPtr<IVexaMeasurement> contour = add(OLESTR("Pout"), OLESTR("LPCS[13,0,0.75]"));
    EXPECT_EQ(host::Get(fromSchematic, &IVexaMeasurement::get_ResultType), 1);
    EXPECT_EQ(host::Get(supplied, &IVexaMeasurement::get_ResultType), 2);
    EXPECT_EQ(host::Get(contour, &IVexaMeasurement::get_ResultType), 3);

    ComPtr<IVexaTraces> traces = host::Get(g, &IVexaGraph::get_Traces);
    const LONG n = host::Get(traces, &IVexaTraces::get_Count);
    EXPECT_EQ(n, host::Get(ms, &IVexaMeasurements::get_Count));
    ComPtr<IVexaTrace> last = host::Get(traces, &IVexaTraces::Item, host::Index(n));
    host::Call(last, &IVexaTrace::put_LineVisible, VARIANT_FALSE);
    host::Call(last, &IVexaTrace::put_Color, 0xFF0000);
    EXPECT_FALSE(h.project().graphs[1].measurements[2].trace.lineVisible);
    EXPECT_EQ(h.project().graphs[1].measurements[2].trace.color, 0xFF0000);
    EXPECT_TRUE(h.project().graphs[1].measurements[1].trace.lineVisible);  // the other traces untouched
}

TEST(HostItems, MeasurementDataIsSizedAndAddressedFromOne) {
    Host h;
    ProjectBuilder(h).Graph("G").Measurement("Amp", "Pout", 1, 13);
    ComPtr<IVexaMeasurement> m = MeasurementAt(h, 1, 1);
    EXPECT_EQ(host::Get(m, &IVexaMeasurement::get_PointCount), 0);
    double v = 0;
    EXPECT_EQ(m->get_Value(1, 1, &v), E_INVALIDARG);
    TakeErrorDescription();

    ASSERT_EQ(m->SetSize(3, 2), S_OK);
    EXPECT_EQ(host::Get(m, &IVexaMeasurement::get_ResultType), 2);
    EXPECT_EQ(m->put_Value(3, 2, -0.5), S_OK);
    EXPECT_EQ(m->put_XValue(3, 3.0), S_OK);
    EXPECT_EQ(m->put_DataFormat(1), S_OK);
    EXPECT_DOUBLE_EQ(host::Get(m, &IVexaMeasurement::get_Value, 3, 2), -0.5);
    const MeasurementData& d = h.project().graphs[0].measurements[0];
    EXPECT_EQ(d.points.size(), 3u);
    EXPECT_DOUBLE_EQ(d.points[2].second, -0.5);
    EXPECT_DOUBLE_EQ(d.xValues[2], 3.0);
    EXPECT_EQ(d.dataFormat, 1);

    for (auto [point, column] : std::vector<std::pair<LONG, LONG>>{{0, 1}, {4, 1}, {1, 0}, {1, 3}}) {
        EXPECT_EQ(m->put_Value(point, column, 1.0), E_INVALIDARG) << point << "," << column;
        TakeErrorDescription();
    }
    EXPECT_EQ(m->put_XValue(4, 1.0), E_INVALIDARG);
    TakeErrorDescription();
    EXPECT_EQ(m->SetSize(1, 3), E_INVALIDARG);
    TakeErrorDescription();

    EXPECT_EQ(host::Get(m, &IVexaMeasurement::get_UnitType, 2), 13);
    LONG unit = 0;
    EXPECT_EQ(m->get_UnitType(3, &unit), E_INVALIDARG);
    TakeErrorDescription();
}

TEST(HostItems, DataFilesAreAddedAndUnitsAlwaysAnswer) {
    Host h;
    ProjectBuilder(h).DataFile("Old", "old.txt").Units(13, "dBm");
    ComPtr<IVexaProject> project = ProjectOf(h);
    ComPtr<IVexaDataFiles> files = host::Get(project, &IVexaProject::get_DataFiles);
    ComPtr<IVexaDataFile> added = host::Get(files, &IVexaDataFiles::Add, host::Str(OLESTR("Pout")).get(),
                                            host::Str(OLESTR("f0.txt")).get(), -1, 3);
    host::Call(added, &IVexaDataFile::put_Text, host::Str(OLESTR("0.5 \n")).get());
    ASSERT_EQ(h.project().dataFiles.size(), 2u);
    const DataFileData& d = h.project().dataFiles[1];
    EXPECT_EQ(d.name + "|" + d.fileName + "|" + std::to_string(d.flag) + "|" + d.text, "Pout|f0.txt|-1|0.5 \n");
    ComPtr<IVexaDataFile> byName = host::Get(files, &IVexaDataFiles::Item, host::NameIndex(OLESTR("Pout")));
    EXPECT_EQ(Text(host::Get(byName, &IVexaDataFile::get_Text).get()), "0.5 \n");

    ComPtr<IVexaUnits> units = host::Get(project, &IVexaProject::get_Units);
    auto unitName = [&](long code) {
        return Text(host::Get(host::Get(units, &IVexaUnits::Item, host::Index(code)), &IVexaUnit::get_Name).get());
    };
    EXPECT_EQ(unitName(13), "dBm");
    EXPECT_EQ(unitName(14), "");  // a unit type the project names nothing for
}

TEST(HostItems, BuilderAppendsToTheLastItem) {
    Host h;
    EXPECT_THROW(ProjectBuilder(h).Element("R1"), std::logic_error);
    EXPECT_THROW(ProjectBuilder(h).Graph("G").Points({{1, 2}}), std::logic_error);
    ProjectBuilder(h).Schematic("A").Schematic("B").Element("LTUNER1").Graph("H").Measurement("B", "LPGPM1").Points(
        {{0.5, 0.5}, {-0.3, 0}, {0, -0.2}});
    EXPECT_TRUE(h.project().schematics[0].elements.empty());
    EXPECT_EQ(h.project().schematics[1].elements.size(), 1u);
    const MeasurementData& m = h.project().graphs[1].measurements[0];
    EXPECT_EQ(m.resultType, 2);
    EXPECT_EQ(m.xValues, (std::vector<double>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(m.points[1].first, -0.3);
}

}  // namespace
}  // namespace vexasim::test
