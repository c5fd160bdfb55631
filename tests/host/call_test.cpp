// The wrappers the wizard calls the host through, against the stand-in host:
// failures become _com_error with the host's description, null objects E_POINTER,
// S_FALSE comes back to the caller, and the string helpers.
#include <gtest/gtest.h>

#include <string>

#include "host/call.h"
#include "platform/ui/input_source.h"
#include "vexasim/host.h"

namespace {

using host::ComPtr;

class HostCalls : public ::testing::Test {
protected:
    void SetUp() override {
        vexasim::ProjectBuilder(h)
            .Schematic("Amp")
            .Element("LTUNER1", {{"Mag", 0.25}, {"Ang", 0.5}})
            .Graph("Out")
            .Measurement("Amp", "Pout")
            .Measurement("", "Bare");
    }
    void TearDown() override { EXPECT_EQ(h.ExternalReferences(), 0); }

    ComPtr<IVexaProject> Project() { return host::Get(h.Application(), &IVexaApplication::get_Project); }
    ComPtr<IVexaGraph> Graph(long i) {
        return host::Get(host::Get(Project(), &IVexaProject::get_Graphs), &IVexaGraphs::Item, host::Index(i));
    }
    ComPtr<IVexaElements> Elements() {
        auto schematics = host::Get(Project(), &IVexaProject::get_Schematics);
        return host::Get(host::Get(schematics, &IVexaSchematics::Item, host::Index(1)), &IVexaSchematic::get_Elements);
    }
    ComPtr<IVexaMeasurement> Measurement(long i) {
        return host::Get(host::Get(Graph(1), &IVexaGraph::get_Measurements), &IVexaMeasurements::Item, host::Index(i));
    }

    vexasim::Host h;
};

TEST_F(HostCalls, FailuresThrowComErrorWithTheHostsDescription) {
    ComPtr<IVexaGraph> g = Graph(1);
    h.InjectFailure("Graph.Name", 1, E_ACCESSDENIED, "The graph is busy");
    try {
        host::Get(g, &IVexaGraph::get_Name);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_ACCESSDENIED);
        EXPECT_STREQ(static_cast<const char*>(e.Description()), "The graph is busy");
    }

    // A real host error: an index out of range, with the host's own text.
    try {
        host::Get(host::Get(Project(), &IVexaProject::get_Graphs), &IVexaGraphs::Item, host::Index(2));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_INVALIDARG);
        EXPECT_NE(std::string(static_cast<const char*>(e.Description())).find("out of range"), std::string::npos);
    }

    // The operations' convention: the box shows the description, the HRESULT comes back.
    platform::RecordingInputSource boxes;
    platform::ScopedInputSource scope(boxes);
    h.InjectFailure("Parameter.put_Value", 0, E_FAIL, "Parameter is read-only");
    const long r = host::Guarded([&] {
        auto parameters = host::Get(host::Get(Elements(), &IVexaElements::Item, host::Index(1)),
                                    &IVexaElement::get_Parameters);
        auto mag = host::Get(parameters, &IVexaParameters::Item, host::NameIndex(OLESTR("Mag")));
        host::Call(mag, &IVexaParameter::put_Value, 0.9);
        return 0L;
    });
    EXPECT_EQ(r, E_FAIL);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Parameter is read-only");
    EXPECT_EQ(boxes.boxes[0].caption, "Tessary");
    EXPECT_DOUBLE_EQ(h.project().schematics[0].elements[0].parameters[0].value, 0.25);
}

TEST_F(HostCalls, NullObjectsRaiseEPointer) {
    h.InjectNull("Graphs.Item", 1);
    ComPtr<IVexaGraph> g = Graph(1);
    EXPECT_FALSE(g);
    try {
        host::Get(g, &IVexaGraph::get_Measurements);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_POINTER);
    }
    EXPECT_EQ(h.CallCount("Graph.Measurements"), 0);  // nothing reached the host
}

TEST_F(HostCalls, StopsComeBackToTheCaller) {
    h.InjectStop("Elements.Item", 1);
    auto item = host::GetS(Elements(), &IVexaElements::Item, host::Index(1));
    EXPECT_TRUE(item.stopped());
    EXPECT_FALSE(item.value);
    item = host::GetS(Elements(), &IVexaElements::Item, host::Index(1));
    EXPECT_EQ(item.hr, S_OK);
    EXPECT_TRUE(item.value);

    auto windows = host::Get(h.Application(), &IVexaApplication::get_Windows);
    auto window = host::Get(windows, &IVexaWindows::Item, host::NameIndex(OLESTR("Out")));
    h.InjectStop("Window.Activate", 1);
    EXPECT_EQ(host::Call(window, &IVexaWindow::Activate), S_FALSE);
    EXPECT_EQ(host::Call(window, &IVexaWindow::Activate), S_OK);
    EXPECT_FALSE(host::Get(windows, &IVexaWindows::Item, host::NameIndex(OLESTR("Load Pull Points"))));
}

TEST_F(HostCalls, NamesAndDisplayNames) {
    auto element = host::Get(Elements(), &IVexaElements::Item, host::Index(1));
    auto parameters = host::Get(element, &IVexaElement::get_Parameters);
    auto ang = host::Get(parameters, &IVexaParameters::Item, host::NameIndex(OLESTR("Ang")));
    EXPECT_DOUBLE_EQ(host::Get(ang, &IVexaParameter::get_Value), 0.5);
    EXPECT_FALSE(host::Get(parameters, &IVexaParameters::Item, host::NameIndex(OLESTR("Angle"))));

    EXPECT_TRUE(host::Equal(host::DisplayName(Measurement(1).get()).get(), OLESTR("Amp:Pout")));
    EXPECT_TRUE(host::Equal(host::DisplayName(Measurement(2).get()).get(), OLESTR(":Bare")));

    host::Bstr name = host::Get(element, &IVexaElement::get_Name);
    EXPECT_TRUE(host::Equal(name.get(), OLESTR("LTUNER1")));
    EXPECT_FALSE(host::Equal(name.get(), OLESTR("LTUNER")));
    EXPECT_FALSE(host::Equal(name.get(), OLESTR("LTUNER12")));
    host::Bstr empty = host::Str(OLESTR(""));
    EXPECT_TRUE(host::Equal(nullptr, static_cast<BSTR>(nullptr)));
    EXPECT_FALSE(host::Equal(empty.get(), static_cast<BSTR>(nullptr)));
    EXPECT_TRUE(host::Equal(empty.get(), OLESTR("")));
}

TEST_F(HostCalls, TextCrossesToAnsiExactlyOrNotAtAll) {
    h.project().schematics[0].elements[0].name = "HBTUNER \xCE\xA9";  // "HBTUNER Ω"
    host::Bstr name = host::Get(host::Get(Elements(), &IVexaElements::Item, host::Index(1)), &IVexaElement::get_Name);
    EXPECT_EQ(name.length(), 9u);
    std::string ansi;
    ASSERT_TRUE(host::ToAnsi(name.get(), ansi));
    EXPECT_EQ(ansi, "HBTUNER \xCE\xA9");
    EXPECT_TRUE(host::Equal(host::FromAnsi(ansi).get(), name.get()));

    const OLECHAR lone[] = {u'A', 0xD800, u'B', 0};
    host::Bstr broken = host::Str(lone);
    EXPECT_FALSE(host::ToAnsi(broken.get(), ansi));
    EXPECT_EQ(host::ToAnsiLossy(broken.get()).front(), 'A');
    EXPECT_TRUE(host::ToAnsi(nullptr, ansi));
    EXPECT_EQ(ansi, "");
}

}  // namespace
