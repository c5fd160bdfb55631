// Reference counting of the host objects: exact counts, the sum of references
// handed out, the interfaces each object answers, and objects that outlive the Host.
#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

TEST(HostReferences, EveryReferenceHandedOutIsCountedUntilReleased) {
    Host h;
    ProjectBuilder(h).Schematic("Amp").Element("LTUNER1", {{"Mag", 0.1}}).Graph("Out").Measurement("Amp", "Pout");
    const long live = h.LiveObjects();
    EXPECT_EQ(h.ExternalReferences(), 0);
    EXPECT_EQ(live, 1);  // the application the Host holds

    {
        ComPtr<IDispatch> app = h.ApplicationDispatch();
        EXPECT_EQ(h.ExternalReferences(), 1);
        ComPtr<IVexaApplication> typed;
        ASSERT_EQ(app.query(IID_IVexaApplication, typed), S_OK);
        EXPECT_EQ(h.ExternalReferences(), 2);
        EXPECT_EQ(RefCount(typed.get()), 3u);  // the Host's own reference and the two handed out

        ComPtr<IVexaProject> project;
        ASSERT_EQ(typed->get_Project(project.put()), S_OK);
        EXPECT_EQ(RefCount(project.get()), 1u);
        ComPtr<IVexaGraphs> graphs = host::Get(project, &IVexaProject::get_Graphs);
        ComPtr<IVexaGraph> graph = host::Get(graphs, &IVexaGraphs::Item, host::Index(1));
        ComPtr<IVexaMeasurement> m = MeasurementAt(h, 1, 1);
        ComPtr<IVexaParameter> p = ParameterOf(h, 1, 1, OLESTR("Mag"));
        EXPECT_EQ(h.ExternalReferences(), 7);
        EXPECT_EQ(h.LiveObjects(), live + 5);

        ComPtr<IVexaGraph> copy = graph;
        EXPECT_EQ(h.ExternalReferences(), 8);
        EXPECT_EQ(RefCount(graph.get()), 2u);
    }
    EXPECT_EQ(h.ExternalReferences(), 0);
    EXPECT_EQ(h.LiveObjects(), live);
}

TEST(HostReferences, ObjectsAnswerTheirInterfacesOnly) {
    Host h;
    ProjectBuilder(h).Graph("G").Measurement("S", "M");
    ComPtr<IVexaMeasurement> m = MeasurementAt(h, 1, 1);

    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IVexaMeasurement, &IID_ISupportErrorInfo}) {
        void* out = nullptr;
        EXPECT_EQ(m->QueryInterface(*iid, &out), S_OK);
        ASSERT_NE(out, nullptr);
        static_cast<IUnknown*>(out)->Release();
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(m->QueryInterface(IID_IVexaGraph, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(m->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(m.query(IID_ISupportErrorInfo, support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVexaMeasurement), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVexaGraph), S_FALSE);

    // IUnknown is one identity whichever interface it is asked through.
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(m.query(IID_IUnknown, a), S_OK);
    ASSERT_EQ(support.query(IID_IUnknown, b), S_OK);
    EXPECT_EQ(a.get(), b.get());
}

TEST(HostReferences, ObjectsOutliveTheirHost) {
    ComPtr<IVexaMeasurement> m;
    ComPtr<IDispatch> app;
    {
        Host h;
        ProjectBuilder(h).Graph("G").Measurement("S", "M");
        m = MeasurementAt(h, 1, 1);
        app = h.ApplicationDispatch();
    }
    // Still callable without a crash; the project is gone, so the answer is a failure.
    LONG count = 5;
    EXPECT_EQ(m->get_PointCount(&count), E_FAIL);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(TakeErrorDescription(), "The host has been closed");
    m.reset();
    app.reset();  // the last reference to the application deletes it
}

}  // namespace
}  // namespace vexasim::test
