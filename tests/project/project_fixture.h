// A stand-in host, a message-box recorder and an LPSetup on the host's application.
// Every test ends by destroying the LPSetup: the host must have every reference back.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/automation/input_source.h"
#include "project/lpsetup.h"
#include "vexasim/host.h"

class ProjectTest : public ::testing::Test {
protected:
    vexasim::Host sim;
    platform::RecordingInputSource input;
    platform::ScopedInputSource scopedInput{input};
    std::unique_ptr<LPSetup> setup = std::make_unique<LPSetup>();

    void SetUp() override { setup->SetApplication(sim.Application()); }
    void TearDown() override {
        setup.reset();
        EXPECT_EQ(sim.ExternalReferences(), 0);
    }

    static long Initialize(LPSetup& s) {
        const long r = s.InitializeProject();
        return r != 0 ? r : s.FinishProjectSetup();
    }
    static vexasim::ParameterData P(const char* name) {
        vexasim::ParameterData p;
        p.name = name;
        return p;
    }
    static host::Bstr W(const char* s) { return host::FromAnsi(s); }
    static std::string Text(BSTR s) { return s ? host::ToAnsiLossy(s) : "(null)"; }

    // A list as "a,b": strings, or the host names of objects.
    static std::string Join(const std::vector<host::Bstr>& list) {
        std::string out;
        for (const auto& s : list) out += (out.empty() ? "" : ",") + Text(s.get());
        return out;
    }
    template <class I>
    static std::string Join(const std::vector<host::ComPtr<I>>& list) {
        std::string out;
        for (const auto& o : list) out += (out.empty() ? "" : ",") + Text(host::Get(o, &I::get_Name).get());
        return out;
    }
    static std::string Name(const host::ComPtr<IVexaParameter>& p) {
        return p ? Text(host::Get(p, &IVexaParameter::get_Name).get()) : "(null)";
    }
    // The bound tuner parameters, "Mag/Ang".
    std::string Pair() const { return Name(setup->magParameter) + "/" + Name(setup->angParameter); }
    static int PointsGraphs(vexasim::Host& h) {
        int n = 0;
        for (const auto& g : h.project().graphs) n += g.name == "Load Pull Points";
        return n;
    }

    // The wizard's host-error box: no owner, "Tessary", OK only, the host's description.
    void ExpectHostErrorBox(const std::string& description) {
        ASSERT_EQ(input.boxes.size(), 1u);
        EXPECT_EQ(input.boxes[0].owner, nullptr);
        EXPECT_EQ(input.boxes[0].caption, "Tessary");
        EXPECT_EQ(input.boxes[0].text, description);
        EXPECT_EQ(input.boxes[0].flags, static_cast<UINT>(MB_OK));
    }
};
