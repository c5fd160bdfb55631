// The settings stream: the exact bytes Save writes, what Load restores from each
// version, the dirty flag, and GetSizeMax against what Save really writes.
#include <gtest/gtest.h>

#include <random>

#include "component/lptuner_wizard.h"
#include "host/call.h"
#include "tests/component/com_test_support.h"

namespace {

using comtest::Bytes;
using comtest::Encoder;

// A wizard object released at the end of the test.
struct Wizard {
    Wizard() : p(new CLPTunerWizard()) {}
    ~Wizard() { p->Release(); }
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;
    CLPTunerWizard* operator->() const { return p; }
    CLPTunerWizard* p;
};

Bytes SaveOf(CLPTunerWizard* w, BOOL clearDirty = TRUE) {
    auto s = comtest::NewStream();
    EXPECT_EQ(w->Save(s.get(), clearDirty), S_OK);
    return comtest::Contents(s.get());
}

HRESULT LoadFrom(CLPTunerWizard* w, const Bytes& bytes) { return w->Load(comtest::StreamOf(bytes).get()); }

void SetName(CLPTunerWizard* w, const OLECHAR* text) {
    host::Bstr s = host::Str(text);
    ASSERT_EQ(w->put_Name(s.get()), S_OK);
}

std::string NameOf(CLPTunerWizard* w) {
    host::Bstr s;
    EXPECT_EQ(w->get_Name(s.put()), S_OK);
    return comtest::Narrow(s.get());
}

// The version-1 part of a stream, as the tests below write it.
Encoder Version1Items(int32_t version, const std::string& name) {
    Encoder e;
    e.I32(version).Str(name).I32(2).F64(0.25).F64(-30.0).F64(0.5).I32(3);
    return e;
}

TEST(PersistTest, NewObjectSavesTheSeventySixByteDefaultStream) {
    Wizard w;
    Encoder expected;
    expected.I32(2).Str("LPTuner").I32(0).F64(0.0).F64(0.0).F64(0.95).I32(-1).Null().Null().I32(0).Null().Null();
    ASSERT_EQ(expected.bytes.size(), 76u);
    EXPECT_EQ(SaveOf(w.p), expected.bytes);

    CLSID clsid = GUID_NULL;
    EXPECT_EQ(w->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_LPTuner);
    EXPECT_EQ(w->GetClassID(nullptr), E_POINTER);
}

TEST(PersistTest, RoundTripKeepsPairsAndTurnsNullStringsIntoEmptyOnes) {
    Wizard a;
    SetName(a.p, OLESTR("Bench \u00e9"));
    a->settings.schematicName = host::Str(OLESTR("Amp"));
    a->settings.tunerName = host::Str(OLESTR(""));  // empty, not null
    a->settings.harmonic = 3;
    a->settings.centerMag = 0.3;
    a->settings.centerAng = 45.5;
    a->settings.radius = 0.6;
    a->settings.gammaSource = 2;
    a->settings.contourMeasurements.push_back({host::Str(OLESTR("Amp:Pout")), host::Str(OLESTR("pout.txt"))});
    a->settings.contourMeasurements.push_back({host::Bstr(), host::Str(OLESTR("x"))});
    a->settings.tabDataMeasName = host::Str(OLESTR("Data:LPGPT"));
    const Bytes first = SaveOf(a.p);

    Wizard b;
    ASSERT_EQ(LoadFrom(b.p, first), S_OK);
    EXPECT_EQ(comtest::Narrow(b->name.get()), comtest::Narrow(a->name.get()));
    EXPECT_EQ(comtest::Narrow(b->settings.schematicName.get()), "Amp");
    EXPECT_EQ(comtest::Narrow(b->settings.tunerName.get()), "");
    EXPECT_EQ(b->settings.harmonic, 3);
    EXPECT_EQ(b->settings.centerMag, 0.3);
    EXPECT_EQ(b->settings.centerAng, 45.5);
    EXPECT_EQ(b->settings.radius, 0.6);
    EXPECT_EQ(b->settings.gammaSource, 2);
    ASSERT_EQ(b->settings.contourMeasurements.size(), 2u);
    EXPECT_EQ(comtest::Narrow(b->settings.contourMeasurements[0].measurementName.get()), "Amp:Pout");
    EXPECT_EQ(comtest::Narrow(b->settings.contourMeasurements[0].dataFileName.get()), "pout.txt");
    // Stored null, read back as an empty string.
    EXPECT_FALSE(b->settings.contourMeasurements[1].measurementName.is_null());
    EXPECT_EQ(b->settings.contourMeasurements[1].measurementName.length(), 0u);
    EXPECT_FALSE(b->settings.measuredDataMeasName.is_null());
    EXPECT_EQ(comtest::Narrow(b->settings.tabDataMeasName.get()), "Data:LPGPT");

    // Saved again, each former null string is now an empty one: L = 2 instead of 0.
    const Bytes second = SaveOf(b.p);
    EXPECT_EQ(second.size(), first.size() + 2 * 2);
    Wizard c;
    ASSERT_EQ(LoadFrom(c.p, second), S_OK);
    EXPECT_EQ(SaveOf(c.p), second);
}

TEST(PersistTest, OlderVersionsRestoreWhatTheyHold) {
    Wizard w;
    w->settings.schematicName = host::Str(OLESTR("left over"));
    w->settings.contourMeasurements.push_back({host::Str(OLESTR("m")), host::Str(OLESTR("f"))});

    // Version 1: Name and the numbers; the names and pairs go back to their defaults.
    ASSERT_EQ(LoadFrom(w.p, Version1Items(1, "Old").bytes), S_OK);
    EXPECT_EQ(NameOf(w.p), "Old");
    EXPECT_EQ(w->settings.harmonic, 2);
    EXPECT_EQ(w->settings.centerMag, 0.25);
    EXPECT_EQ(w->settings.centerAng, -30.0);
    EXPECT_EQ(w->settings.radius, 0.5);
    EXPECT_EQ(w->settings.gammaSource, 3);
    EXPECT_TRUE(w->settings.schematicName.is_null());
    EXPECT_TRUE(w->settings.contourMeasurements.empty());

    // Version 0 (and below): nothing is restored, Name stays; still S_OK and clean.
    for (int32_t version : {0, -7}) {
        SetName(w.p, OLESTR("Kept"));
        ASSERT_EQ(LoadFrom(w.p, Version1Items(version, "Ignored").bytes), S_OK);
        EXPECT_EQ(NameOf(w.p), "Kept");
        EXPECT_EQ(w->settings.harmonic, 0);
        EXPECT_EQ(w->settings.radius, 0.95);
        EXPECT_EQ(w->IsDirty(), S_FALSE);
    }

    // Above 2: read as version 2.
    Encoder v9 = Version1Items(9, "Future");
    v9.Str("S").Str("T").I32(1).Str("M").Str("F").Null().Str("Tab");
    ASSERT_EQ(LoadFrom(w.p, v9.bytes), S_OK);
    EXPECT_EQ(comtest::Narrow(w->settings.tunerName.get()), "T");
    ASSERT_EQ(w->settings.contourMeasurements.size(), 1u);
    EXPECT_EQ(comtest::Narrow(w->settings.tabDataMeasName.get()), "Tab");
}

TEST(PersistTest, DirtyFollowsNamePutsLoadsAndSaves) {
    Wizard w;
    EXPECT_EQ(w->IsDirty(), S_FALSE);

    // Handing back the very string held changes nothing.
    BSTR held = w->name.get();
    EXPECT_EQ(w->put_Name(held), S_OK);
    EXPECT_EQ(w->IsDirty(), S_FALSE);

    SetName(w.p, OLESTR("A"));
    EXPECT_EQ(w->IsDirty(), S_OK);
    SaveOf(w.p, FALSE);
    EXPECT_EQ(w->IsDirty(), S_OK);
    const Bytes saved = SaveOf(w.p, TRUE);
    EXPECT_EQ(w->IsDirty(), S_FALSE);

    // Fields changed other than by a run's Simulate or a Name put do not make
    // the object dirty (the run's own rule is held by the whole-wizard tests).
    w->settings.harmonic = 2;
    w->settings.schematicName = host::Str(OLESTR("Changed"));
    EXPECT_EQ(w->IsDirty(), S_FALSE);

    SetName(w.p, nullptr);  // a null Name is kept null, and saved as L = 0
    EXPECT_EQ(w->IsDirty(), S_OK);
    EXPECT_TRUE(w->name.is_null());
    EXPECT_EQ(NameOf(w.p), "");
    ASSERT_EQ(LoadFrom(w.p, saved), S_OK);
    EXPECT_EQ(w->IsDirty(), S_FALSE);
    EXPECT_EQ(NameOf(w.p), "A");
}

// A stream that cannot hold the version: the stream's own failure, or, for a
// short stream, STG_E_READFAULT. The settings are reset, Name and dirty stay.
TEST(PersistTest, VersionThatCannotBeReadFailsTheLoad) {
    Wizard w;
    SetName(w.p, OLESTR("Mine"));
    w->settings.harmonic = 3;
    EXPECT_EQ(LoadFrom(w.p, Bytes{2, 0}), STG_E_READFAULT);
    EXPECT_EQ(w->settings.harmonic, 0);
    EXPECT_EQ(NameOf(w.p), "Mine");
    EXPECT_EQ(w->IsDirty(), S_OK);
    EXPECT_EQ(w->Load(nullptr), E_POINTER);
    EXPECT_EQ(w->Save(nullptr, TRUE), E_POINTER);
    EXPECT_EQ(w->GetSizeMax(nullptr), E_POINTER);
}

// Lengths and counts the stream does not back end the load at that field: what
// came before stays, every complete pair included; that field (or its pair) and
// the rest keep their defaults.
TEST(PersistTest, CorruptLengthsAndCountsEndTheLoadAtTheirField) {
    struct Case {
        const char* what;
        Encoder tail;  // after schematicName "S"
        bool tunerRead;
        std::vector<std::string> pairs;  // the suffixes of the pairs kept: "M1" with "F1"
    };
    std::vector<Case> cases;
    cases.push_back({"odd tuner length", Encoder().U32(3).I32(0x41), false, {}});
    cases.push_back({"tuner length of one", Encoder().U32(1).I32(0x41), false, {}});
    cases.push_back({"huge tuner length", Encoder().U32(0x7FFFFFFE).Str("T"), false, {}});
    cases.push_back({"largest tuner length", Encoder().U32(0xFFFFFFFE).Str("T"), false, {}});
    cases.push_back({"negative count", Encoder().Str("T").I32(-1).Str("M1").Str("F1"), true, {}});
    cases.push_back({"count beyond the stream", Encoder().Str("T").I32(1000).Str("M1").Str("F1"), true, {"1"}});
    cases.push_back({"odd length in a pair", Encoder().Str("T").I32(1).Str("M1").U32(5), true, {}});
    cases.push_back({"pair string cut short", Encoder().Str("T").I32(1).Str("M1").U32(40).Str("F1"), true, {}});
    cases.push_back({"odd length after two pairs",
                     Encoder().Str("T").I32(3).Str("M1").Str("F1").Str("M2").Str("F2").Str("M3").U32(7).I32(0x41),
                     true,
                     {"1", "2"}});
    cases.push_back({"huge length after a pair", Encoder().Str("T").I32(2).Str("M1").Str("F1").U32(0x7FFFFFFE).Str("M2"),
                     true,
                     {"1"}});
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Encoder e = Version1Items(2, "N");
        e.Str("S");
        e.bytes.insert(e.bytes.end(), c.tail.bytes.begin(), c.tail.bytes.end());
        Wizard w;
        ASSERT_EQ(LoadFrom(w.p, e.bytes), S_OK);
        EXPECT_EQ(w->IsDirty(), S_FALSE);
        EXPECT_EQ(NameOf(w.p), "N");
        EXPECT_EQ(w->settings.gammaSource, 3);
        EXPECT_EQ(comtest::Narrow(w->settings.schematicName.get()), "S");
        EXPECT_EQ(comtest::Narrow(w->settings.tunerName.get()), c.tunerRead ? "T" : "<null>");
        ASSERT_EQ(w->settings.contourMeasurements.size(), c.pairs.size());
        for (size_t i = 0; i < c.pairs.size(); ++i) {
            EXPECT_EQ(comtest::Narrow(w->settings.contourMeasurements[i].measurementName.get()), "M" + c.pairs[i]);
            EXPECT_EQ(comtest::Narrow(w->settings.contourMeasurements[i].dataFileName.get()), "F" + c.pairs[i]);
        }
        EXPECT_TRUE(w->settings.measuredDataMeasName.is_null());
        EXPECT_TRUE(w->settings.tabDataMeasName.is_null());
    }

    // A Name that cannot be read leaves the current Name and every default.
    Wizard w;
    ASSERT_EQ(LoadFrom(w.p, Encoder().I32(2).U32(0x10000).Str("x").bytes), S_OK);
    EXPECT_EQ(NameOf(w.p), "LPTuner");
    EXPECT_EQ(w->settings.radius, 0.95);
}

// GetSizeMax over random settings: never below what Save writes, and exactly the
// documented formula.
TEST(PersistTest, SizeMaxIsNeverBelowWhatSaveWrites) {
    std::mt19937 rng(20240611);
    auto randomString = [&rng]() -> host::Bstr {
        const int kind = static_cast<int>(rng() % 4);
        if (kind == 0) return host::Bstr();
        std::basic_string<OLECHAR> s(kind == 1 ? 0 : rng() % 40, OLECHAR('a'));
        for (auto& c : s) c = static_cast<OLECHAR>(1 + rng() % 0xFFFE);
        return host::Bstr::Attach(SysAllocStringLen(s.data(), static_cast<UINT>(s.size())));
    };
    auto units = [](const host::Bstr& s) { return static_cast<ULONGLONG>(s.length()); };
    for (int round = 0; round < 300; ++round) {
        Wizard w;
        w->name = randomString();
        w->settings.schematicName = randomString();
        w->settings.tunerName = randomString();
        w->settings.measuredDataMeasName = randomString();
        w->settings.tabDataMeasName = randomString();
        const size_t pairs = rng() % 12;
        for (size_t i = 0; i < pairs; ++i) w->settings.contourMeasurements.push_back({randomString(), randomString()});
        ULARGE_INTEGER max{};
        ASSERT_EQ(w->GetSizeMax(&max), S_OK);
        const Bytes saved = SaveOf(w.p);
        ASSERT_LE(saved.size(), max.QuadPart) << "round " << round;
        ULONGLONG expected = 76 + 12 * pairs + 2 * (units(w->name) + units(w->settings.schematicName) +
                                                    units(w->settings.tunerName) + units(w->settings.measuredDataMeasName) +
                                                    units(w->settings.tabDataMeasName));
        for (const auto& p : w->settings.contourMeasurements) expected += 2 * (units(p.measurementName) + units(p.dataFileName));
        EXPECT_EQ(max.QuadPart, expected);
    }
}

}  // namespace
