// Project files: what loads, what is refused and with which message, and the round trip.
#include <gtest/gtest.h>

#include <cmath>

#include "vexasim/project_file/data_file_paths.h"
#include "vexasim/model/tuner.h"
#include "vexasim/project_file/project_file.h"

namespace {

const char* kGood = R"({
  "name": "amp",
  "units": {"13": "dBm", "14": "W"},
  "schematics": [
    {"name": "Amp", "elements": [
      {"name": "PA1", "parameters": {"Vdd": 28, "Vknee": 3, "Imax": 2, "Alpha": 270}},
      {"name": "LTUNER1", "parameters": {"Mag": 0.2, "Ang": 90}}
    ]}
  ],
  "dataFiles": [
    {"name": "meas", "fileName": "meas.txt", "type": 3, "text": "# re im\n0.5\t0.5\n-0.3\t0\n\n0\t-0.2\n"}
  ],
  "graphs": [
    {"name": "Power", "type": 3, "measurements": [{"source": "Amp", "name": "Pout"}, {"source": "Amp", "name": "PoutW"}]},
    {"name": "Smith", "type": 2, "measurements": [{"source": "meas", "name": "LPGPM points"}]}
  ],
  "addins": {"Tessary.LPTuner": {"name": "LPTuner", "settings": "AgAAAA=="}}
})";

std::string FirstError(const std::string& text) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    if (vexasim::ParseProject(text, "amp.json", ".", p, errors)) return "<loaded>";
    return errors.empty() ? "<no message>" : errors.front();
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

TEST(ProjectFile, LoadsAValidProjectWithUnitsAnglesPointsAndSettings) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::ParseProject(kGood, "amp.json", ".", p, errors)) << errors.front();
    const vexasim::ProjectData& d = p.data;
    EXPECT_EQ(d.units.at(13), "dBm");
    EXPECT_EQ(d.units.at(14), "W");
    ASSERT_EQ(d.schematics.size(), 1u);
    const auto& pa = d.schematics[0].elements[0];
    EXPECT_EQ(pa.parameters[0].name, "Vdd");  // file order kept
    EXPECT_NEAR(pa.parameters[3].value, 1.5 * std::acos(-1.0), 1e-12);  // degrees in, radians inside
    EXPECT_NEAR(d.schematics[0].elements[1].parameters[1].value, std::acos(-1.0) / 2, 1e-12);
    const auto& pout = d.graphs[0].measurements[0];
    EXPECT_EQ(pout.resultType, 1);
    EXPECT_EQ(pout.unitType, 13);
    EXPECT_EQ(d.graphs[0].measurements[1].unitType, 14);
    const auto& gamma = d.graphs[1].measurements[0];
    EXPECT_EQ(gamma.resultType, 2);
    ASSERT_EQ(gamma.points.size(), 3u);
    EXPECT_EQ(gamma.points[1], std::make_pair(-0.3, 0.0));
    EXPECT_EQ(p.addins.at("Tessary.LPTuner").name, "LPTuner");
    EXPECT_EQ(p.addins.at("Tessary.LPTuner").settings, (std::vector<uint8_t>{2, 0, 0, 0}));
}

TEST(ProjectFile, EachFaultIsReportedWithItsPlace) {
    struct Case {
        const char* from;
        const char* to;
        const char* message;
    };
    const Case cases[] = {
        {"\"Mag\": 0.2", "\"Mag\": \"0.2\"", "amp.json: schematics[0].elements[1].parameters.Mag: expected a number"},
        {"\"name\": \"amp\",", "\"name\": \"amp\", \"colour\": 1,", "amp.json: colour: unknown key"},
        {"{\"name\": \"Power\", \"type\": 3,", "{\"name\": \"Power\",", "amp.json: graphs[0].type: missing"},
        {"\"name\": \"Pout\"", "\"name\": \"Pwr\"", "amp.json: graphs[0].measurements[0].name: \"Pwr\" is not a measurement"},
        {"\"source\": \"meas\"", "\"source\": \"nowhere\"",
         "amp.json: graphs[1].measurements[0].source: \"nowhere\" is neither a schematic nor a data file"},
        {"-0.3\\t0", "-0.3 0", "amp.json: graphs[1].measurements[0]: data file \"meas\" line 3: expected two numbers"},
        {"\"fileName\": \"meas.txt\"", "\"fileName\": \"../meas.txt\"",
         "amp.json: dataFiles[0].fileName: must be a plain file name without folders"},
        {"\"AgAAAA==\"", "\"AgAA*A==\"", "amp.json: addins.Tessary.LPTuner.settings: not valid base64"},
        {"\"schematics\": [", "\"schematics\": {\"x\": [", "amp.json: not valid JSON"},
        {"\"text\": \"# re im", "\"path\": \"/etc/passwd\", \"text\": \"# re im",
         "amp.json: dataFiles[0]: give either text or path, not both"},
        {"{\"name\": \"LTUNER1\",", "{\"name\": \"\",", "amp.json: schematics[0].elements[1].name: must not be empty"},
        // Values an add-in set: kept for other sources only, each point [x, re, im].
        {"\"source\": \"meas\"", "\"source\": \"marker\", \"values\": {\"resultType\": 2, \"points\": [[1, 0.5]]}",
         "amp.json: graphs[1].measurements[0].values.points[0]: expected [x, real, imaginary], finite numbers"},
        {"\"source\": \"meas\"", "\"source\": \"marker\", \"values\": {\"resultType\": 2, \"points\": [7]}",
         "amp.json: graphs[1].measurements[0].values.points[0]: expected [x, real, imaginary]"},
        {"\"source\": \"meas\"", "\"source\": \"marker\", \"values\": {\"resultType\": 3, \"points\": []}",
         "amp.json: graphs[1].measurements[0].values.resultType: expected 1 (real) or 2 (complex)"},
        {"\"source\": \"meas\"", "\"source\": \"meas\", \"values\": {\"resultType\": 2, \"points\": []}",
         "amp.json: graphs[1].measurements[0].values: a measurement of a schematic or a data file takes its values"},
    };
    for (const Case& c : cases) {
        std::string error = FirstError(Replace(kGood, c.from, c.to));
        EXPECT_EQ(error.compare(0, std::string(c.message).size(), c.message), 0) << error;
    }
}

TEST(ProjectFile, RoundTripKeepsEverythingAndWritesDataFilesByName) {
    vexasim::ProjectFile p;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::ParseProject(kGood, "amp.json", ".", p, errors));
    std::string saved = vexasim::SerializeProject(p);
    EXPECT_NE(saved.find("\"path\": \"meas.txt\""), std::string::npos);
    EXPECT_NE(saved.find("\"Ang\": 90"), std::string::npos);
    // Read back beside a folder that holds the data file text.
    vexasim::ProjectFile q;
    std::string reread = Replace(saved, "\"path\": \"meas.txt\"", std::string("\"text\": ") + "\"0.5\\t0.5\\n-0.3\\t0\\n0\\t-0.2\\n\"");
    ASSERT_TRUE(vexasim::ParseProject(reread, "out.json", ".", q, errors)) << errors.front();
    EXPECT_EQ(q.data.schematics[0].elements[1].parameters[1].value, p.data.schematics[0].elements[1].parameters[1].value);
    EXPECT_EQ(q.data.graphs[1].measurements[0].points, p.data.graphs[1].measurements[0].points);
    EXPECT_EQ(q.addins.at("Tessary.LPTuner").settings, p.addins.at("Tessary.LPTuner").settings);
}

TEST(ProjectFile, HelpersRefuseWhatIsUnsafeOrMalformed) {
    EXPECT_TRUE(vexasim::IsPlainFileName("QuindleIsAHack0.txt"));
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "C:x"}) EXPECT_FALSE(vexasim::IsPlainFileName(bad)) << bad;
    EXPECT_TRUE(vexasim::IsAngleParameter("Ang3"));
    EXPECT_TRUE(vexasim::IsAngleParameter("H2Ang"));
    EXPECT_FALSE(vexasim::IsAngleParameter("Mag"));
    std::vector<std::pair<double, double>> pts;
    int bad = 0;
    EXPECT_FALSE(vexasim::ParsePoints("1\t2\n3\tx\n", pts, bad));
    EXPECT_EQ(bad, 2);
    EXPECT_FALSE(vexasim::ParsePoints("1\t2 3\n", pts, bad));
    EXPECT_FALSE(vexasim::ParsePoints("nan\t1\n", pts, bad));
    for (size_t n = 0; n < 7; ++n) {
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(250 + i));
        std::vector<uint8_t> back;
        ASSERT_TRUE(vexasim::Base64Decode(vexasim::Base64Encode(bytes), back));
        EXPECT_EQ(back, bytes);
    }
    std::vector<uint8_t> out;
    EXPECT_FALSE(vexasim::Base64Decode("A===", out));
    EXPECT_FALSE(vexasim::Base64Decode("AB=A", out));
}

TEST(ProjectFile, EveryDataFileGetsAPathOfItsOwn) {
    // Two data files may share a file name; a project pointing two at one path
    // loads, with a warning naming them.
    std::string shared = Replace(kGood, "\n  ],\n  \"graphs\"",
                     ",\n    {\"name\": \"twin\", \"fileName\": \"meas.txt\", \"text\": \"1\"}\n  ],\n  \"graphs\"");
    EXPECT_EQ(FirstError(shared), "<loaded>");

    vexasim::ProjectData p;
    auto add = [&](const char* name, const char* fileName, const char* path) {
        vexasim::DataFileData f;
        f.name = name;
        f.fileName = fileName;
        f.path = path;
        p.dataFiles.push_back(f);
    };
    add("pout_lp", "QuindleIsAHack0.txt", "QuindleIsAHack0.txt");
    add("pae_lp", "QuindleIsAHack1.txt", "QuindleIsAHack1.txt");
    add("gain_x", "QuindleIsAHack0.txt", "");      // created by a later run at place 0
    add("table", "samples.csv", "");               // the name of another output
    add("de_x", "QuindleIsAHack0.txt", "");
    add("loads", "loads.txt", "data/loads.txt");  // read from a subfolder
    add("old_a", "a.txt", "same.txt");
    add("old_b", "b.txt", "same.txt");
    std::vector<std::string> warnings = vexasim::SharedPathWarnings(p);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("\"old_a\" and \"old_b\" are stored at one path, \"same.txt\""), std::string::npos)
        << warnings[0];

    vexasim::AssignDataFilePaths(p, {"amp.json", "samples.csv"});
    const char* expected[] = {"QuindleIsAHack0.txt", "QuindleIsAHack1.txt", "QuindleIsAHack0-2.txt", "samples-2.csv",
                              "QuindleIsAHack0-3.txt", "loads.txt", "same.txt", "b.txt"};
    for (size_t k = 0; k < p.dataFiles.size(); ++k) EXPECT_EQ(p.dataFiles[k].path, expected[k]) << k;
    EXPECT_TRUE(vexasim::SharedPathWarnings(p).empty());
    EXPECT_EQ(p.dataFiles[2].fileName, "QuindleIsAHack0.txt");  // the add-in's name stays

    vexasim::ProjectFile file;
    file.data = p;
    const std::string saved = vexasim::SerializeProject(file);
    EXPECT_NE(saved.find("\"path\": \"QuindleIsAHack0-2.txt\""), std::string::npos);
}

}  // namespace
