// The wrappers the wizard calls the host through, against the stand-in host:
// failures become _com_error with the host's description, null objects E_POINTER,
// S_FALSE comes back to the caller, and the string helpers.
#include "platform/automation/input_source.h"
#include "tests/vexasim/model/model_test_util.h"

namespace vexasim::test {
namespace {

// The description the exception carries, read from its error information.
std::string DescriptionOf(const _com_error& e) {
    ComPtr<IErrorInfo> info = ComPtr<IErrorInfo>::Attach(e.ErrorInfo());
    host::Bstr text;
    if (info) info->GetDescription(text.put());
    return host::ToAnsiLossy(text.get());
}

class HostCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ProjectBuilder(h)
            .Schematic("Amp")
            .Element("LTUNER1", {{"Mag", 0.25}, {"Ang", 0.5}})
            .Graph("Out")
            .Measurement("Amp", "Pout")
            .Measurement("", "Bare");
    }
    void TearDown() override { EXPECT_EQ(h.ExternalReferences(), 0); }

    Host h;
};

TEST_F(HostCalls, FailuresThrowComErrorWithTheHostsDescription) {
    ComPtr<IVexaGraph> g = GraphAt(h, 1);
    h.InjectFailure("Graph.Name", 1, E_ACCESSDENIED, "The graph is busy");
    try {
        host::Get(g, &IVexaGraph::get_Name);
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_ACCESSDENIED);
        EXPECT_EQ(DescriptionOf(e), "The graph is busy");
    }

    // A real host error: an index out of range, with the host's own text.
    try {
        host::Get(GraphsOf(h), &IVexaGraphs::Item, host::Index(2));
        FAIL() << "no exception";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), E_INVALIDARG);
        EXPECT_NE(DescriptionOf(e).find("out of range"), std::string::npos);
    }

    // The operations' convention: the box shows the description, the HRESULT comes back.
    platform::RecordingInputSource boxes;
    platform::ScopedInputSource scope(boxes);
    h.InjectFailure("Parameter.put_Value", 0, E_FAIL, "Parameter is read-only");
    const long r = host::Guarded([&] {
        auto parameters = host::Get(host::Get(ElementsOf(h, 1), &IVexaElements::Item, host::Index(1)),
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
    ComPtr<IVexaGraph> g = GraphAt(h, 1);
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
    auto item = host::GetS(ElementsOf(h, 1), &IVexaElements::Item, host::Index(1));
    EXPECT_TRUE(item.stopped());
    EXPECT_FALSE(item.value);
    item = host::GetS(ElementsOf(h, 1), &IVexaElements::Item, host::Index(1));
    EXPECT_EQ(item.hr, S_OK);
    EXPECT_TRUE(item.value);

    auto windows = host::Get(h.Application(), &IVexaApplication::get_Windows);
    auto window = host::Get(windows, &IVexaWindows::Item, host::NameIndex(OLESTR("Out")));
    h.InjectStop("Window.Activate", 1);
    EXPECT_EQ(host::Call(window, &IVexaWindow::Activate), S_FALSE);
    EXPECT_EQ(host::Call(window, &IVexaWindow::Activate), S_OK);
    EXPECT_FALSE(host::Get(windows, &IVexaWindows::Item, host::NameIndex(OLESTR("Load Pull Points"))));
}

TEST_F(HostCalls, NamesDisplayNamesAndAnsiText) {
    h.project().schematics[0].elements[0].name = "LTUNER1 \xCE\xA9";  // "LTUNER1 Ω"
    auto element = host::Get(ElementsOf(h, 1), &IVexaElements::Item, host::Index(1));
    auto parameters = host::Get(element, &IVexaElement::get_Parameters);
    auto ang = host::Get(parameters, &IVexaParameters::Item, host::NameIndex(OLESTR("Ang")));
    EXPECT_DOUBLE_EQ(host::Get(ang, &IVexaParameter::get_Value), 0.5);
    EXPECT_FALSE(host::Get(parameters, &IVexaParameters::Item, host::NameIndex(OLESTR("Angle"))));

    EXPECT_TRUE(host::Equal(host::DisplayName(MeasurementAt(h, 1, 1).get()).get(), OLESTR("Amp:Pout")));
    EXPECT_TRUE(host::Equal(host::DisplayName(MeasurementAt(h, 1, 2).get()).get(), OLESTR(":Bare")));

    host::Bstr name = host::Get(element, &IVexaElement::get_Name);
    EXPECT_FALSE(host::Equal(name.get(), OLESTR("LTUNER1 ")));
    std::string ansi;
    ASSERT_TRUE(host::ToAnsi(name.get(), ansi));
    EXPECT_EQ(ansi, "LTUNER1 \xCE\xA9");
    EXPECT_TRUE(host::Equal(host::FromAnsi(ansi).get(), name.get()));

    const OLECHAR lone[] = {u'A', 0xD800, 0};  // half a surrogate pair has no ANSI form
    EXPECT_FALSE(host::ToAnsi(host::Str(lone).get(), ansi));

    // The shortest texts: none at all, an empty one and a single character.
    ansi = "stale";
    EXPECT_TRUE(host::ToAnsi(nullptr, ansi));
    EXPECT_EQ(ansi, "");
    EXPECT_TRUE(host::ToAnsi(host::Str(OLESTR("")).get(), ansi));
    EXPECT_EQ(ansi, "");
    EXPECT_TRUE(host::ToAnsi(host::Str(OLESTR("A")).get(), ansi));
    EXPECT_EQ(ansi, "A");
    // A missing name stays missing when copied, an empty one stays empty.
    EXPECT_EQ(host::Copy(nullptr).get(), nullptr);
    host::Bstr empty = host::Copy(host::Str(OLESTR("")).get());
    ASSERT_NE(empty.get(), nullptr);
    EXPECT_EQ(empty.length(), 0u);
    EXPECT_EQ(host::FromAnsi(static_cast<const char*>(nullptr)).get(), nullptr);
    EXPECT_TRUE(host::Equal(host::FromAnsi("").get(), OLESTR("")));
}

}  // namespace
}  // namespace vexasim::test
