#include "vexasim/project_file/project_file.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "host/angles.h"
#include "vexasim/project_file/circuit_element.h"
#include "vexasim/system/system.h"
#include "vexasim/circuit/circuit_evaluator.h"
#include "vexasim/analysis.h"
#include "vexasim/model/tuner.h"
#include "vexasim/project_file/json_checker.h"

namespace vexasim {
namespace {

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return static_cast<bool>(in) || in.eof();
}

bool IsSafeRelativePath(const std::string& p) {
    if (p.empty() || p[0] == '/' || p[0] == '\\') return false;
    std::string part;
    std::istringstream s(p);
    while (std::getline(s, part, '/'))
        if (part == ".." || part.find('\\') != std::string::npos) return false;
    return p.find(':') == std::string::npos;
}

void ParseSchematics(Checker& c, const json& root, const std::string& baseDir, ProjectData& d) {
    const json* list = nullptr;
    if (!c.Array(root, "schematics", "", list, false)) return;
    std::set<std::string> names;
    for (size_t i = 0; i < list->size(); ++i) {
        const json& js = (*list)[i];
        std::string place = Checker::At("schematics", i);
        if (!c.Object(js, place, {"name", "elements"})) continue;
        SchematicData s;
        if (c.NonEmptyString(js, "name", place, s.name) && !names.insert(s.name).second)
            c.Error(place + ".name", "a schematic named \"" + s.name + "\" already exists");
        const json* elements = nullptr;
        if (c.Array(js, "elements", place, elements, false)) {
            for (size_t k = 0; k < elements->size(); ++k) {
                const json& je = (*elements)[k];
                std::string ep = Checker::At(place + ".elements", k);
                if (!c.Object(je, ep, {"name", "parameters", "circuit"})) continue;
                ElementData e;
                c.NonEmptyString(je, "name", ep, e.name);
                auto params = je.find("parameters");
                if (params != je.end()) {
                    if (!params->is_object()) {
                        c.Error(ep + ".parameters", "expected an object of numbers");
                    } else {
                        for (auto it = params->begin(); it != params->end(); ++it) {
                            if (!it->is_number()) {
                                c.Error(ep + ".parameters." + it.key(), "expected a number");
                                continue;
                            }
                            double v = it->get<double>();
                            if (!std::isfinite(v)) {
                                c.Error(ep + ".parameters." + it.key(), "expected a finite number");
                                continue;
                            }
                            if (IsAngleParameter(it.key())) v = DegreesToRadians(v);
                            e.parameters.push_back(ParameterData{0, it.key(), v});
                        }
                    }
                }
                auto circuit = je.find("circuit");
                if (circuit != je.end()) {
                    std::vector<std::string> problems;
                    ParseCircuit(*circuit, ep + ".circuit", baseDir, e, e.circuit, problems);
                    for (const std::string& p : problems) c.Error("", p);
                    e.hasCircuit = true;
                }
                s.elements.push_back(std::move(e));
            }
        }
        d.schematics.push_back(std::move(s));
    }
}

void ParseDataFiles(Checker& c, const json& root, const std::string& baseDir, ProjectData& d) {
    const json* list = nullptr;
    if (!c.Array(root, "dataFiles", "", list, false)) return;
    std::set<std::string> names;
    for (size_t i = 0; i < list->size(); ++i) {
        const json& jd = (*list)[i];
        std::string place = Checker::At("dataFiles", i);
        if (!c.Object(jd, place, {"name", "fileName", "type", "flag", "text", "path"})) continue;
        DataFileData f;
        if (c.NonEmptyString(jd, "name", place, f.name) && !names.insert(f.name).second)
            c.Error(place + ".name", "a data file named \"" + f.name + "\" already exists");
        if (c.NonEmptyString(jd, "fileName", place, f.fileName)) {
            // Two data files may share a file name (the wizard names the files it creates
            // by their place in its list); where each is stored is its path.
            if (!IsPlainFileName(f.fileName))
                c.Error(place + ".fileName", "must be a plain file name without folders");
        }
        c.Integer(jd, "type", place, f.type, false);
        c.Integer(jd, "flag", place, f.flag, false);
        bool hasText = jd.contains("text"), hasPath = jd.contains("path");
        if (hasText && hasPath) c.Error(place, "give either text or path, not both");
        if (hasText) c.String(jd, "text", place, f.text);
        std::string path;
        if (hasPath && c.NonEmptyString(jd, "path", place, path)) {
            if (!IsSafeRelativePath(path))
                c.Error(place + ".path", "must be a relative path inside the project's folder");
            else if (!ReadFile(baseDir.empty() ? path : baseDir + "/" + path, f.text))
                c.Error(place + ".path", "cannot read \"" + path + "\"");
            f.path = path;
        }
        d.dataFiles.push_back(std::move(f));
    }
}

// {"resultType": 1 or 2, "points": [[x, re, im], ...]}: the values of a measurement
// that an add-in set through the object model.
bool ParseValues(Checker& c, const json& j, const std::string& place, MeasurementData& m) {
    if (!c.Object(j, place, {"resultType", "points"})) return false;
    long type = 2;
    if (c.Integer(j, "resultType", place, type, true) && type != 1 && type != 2) {
        c.Error(place + ".resultType", "expected 1 (real) or 2 (complex)");
        return false;
    }
    m.resultType = type;
    const json* points = nullptr;
    if (!c.Array(j, "points", place, points, true)) return false;
    for (size_t k = 0; k < points->size(); ++k) {
        const json& p = (*points)[k];
        bool ok = p.is_array() && p.size() == 3;
        for (size_t q = 0; ok && q < 3; ++q) ok = p[q].is_number() && std::isfinite(p[q].get<double>());
        if (!ok) {
            c.Error(Checker::At(place + ".points", k), "expected [x, real, imaginary], finite numbers");
            return false;
        }
        m.xValues.push_back(p[0].get<double>());
        m.points.emplace_back(p[1].get<double>(), p[2].get<double>());
    }
    return true;
}

// A measurement of a schematic: one of the table's, or of a circuit's; its single
// value is the analysis's.
bool SchematicMeasurement(Checker& c, const std::string& mp, bool hasCircuit, MeasurementData& m) {
    const MeasurementInfo* info = FindMeasurement(m.name);
    if (info && info->circuitOnly) info = nullptr;
    long unit = info ? info->unitType : 0;
    const bool ofCircuit = !info && hasCircuit && circuit::IsCircuitMeasurement(m.name, unit);
    if (!info && !ofCircuit) {
        std::string known;
        for (const MeasurementInfo& q : kMeasurements)
            if (!q.circuitOnly) known += std::string(known.empty() ? "" : ", ") + q.name;
        if (hasCircuit) known += "; of a circuit's also Pin, Pavs, Gt, Gp and <name>_<level>dB";
        c.Error(mp + ".name", "\"" + m.name + "\" is not a measurement of a schematic (" + known + ")");
        return false;
    }
    m.resultType = 1;
    m.unitType = unit;
    m.points.assign(1, {0.0, 0.0});
    m.xValues.assign(1, 1.0);
    return true;
}

void ParseGraphs(Checker& c, const json& root, ProjectData& d) {
    const json* list = nullptr;
    if (!c.Array(root, "graphs", "", list, false)) return;
    for (size_t i = 0; i < list->size(); ++i) {
        const json& jg = (*list)[i];
        std::string place = Checker::At("graphs", i);
        if (!c.Object(jg, place, {"name", "type", "measurements"})) continue;
        GraphData g;
        c.NonEmptyString(jg, "name", place, g.name);
        c.Integer(jg, "type", place, g.type, true);
        const json* ms = nullptr;
        if (c.Array(jg, "measurements", place, ms, false)) {
            for (size_t k = 0; k < ms->size(); ++k) {
                const json& jm = (*ms)[k];
                std::string mp = Checker::At(place + ".measurements", k);
                if (!c.Object(jm, mp, {"source", "name", "values"})) continue;
                MeasurementData m;
                bool hasSource = c.NonEmptyString(jm, "source", mp, m.source);
                bool hasName = c.NonEmptyString(jm, "name", mp, m.name);
                if (!hasSource || !hasName) continue;
                bool schematic = false, hasCircuit = false;
                for (const auto& s : d.schematics) {
                    if (s.name != m.source) continue;
                    schematic = true;
                    for (const auto& e : s.elements) hasCircuit = hasCircuit || e.hasCircuit;
                }
                const DataFileData* file = nullptr;
                for (const auto& f : d.dataFiles)
                    if (f.name == m.source) file = &f;
                bool gpm = m.name.find("LPGPM") != std::string::npos;
                bool gpt = m.name.find("LPGPT") != std::string::npos;
                if (jm.contains("values")) {
                    // Values an add-in set through the object model (the working graph
                    // of a stopped sweep): kept as they were, whatever the source names.
                    if (schematic || file) {
                        c.Error(mp + ".values", "a measurement of a schematic or a data file takes its values from it");
                        continue;
                    }
                    if (!ParseValues(c, jm.at("values"), mp + ".values", m)) continue;
                } else if (schematic) {
                    if (!SchematicMeasurement(c, mp, hasCircuit, m)) continue;
                } else if (file && m.name.compare(0, 5, "LPCS[") == 0) {
                    m.resultType = 3;  // a contour plot of a data file: neither real nor complex
                } else if (file && (gpm || gpt)) {
                    m.resultType = 2;
                    int bad = 0;
                    if (!ParsePoints(file->text, m.points, bad)) {
                        c.Error(mp, "data file \"" + file->name + "\" line " + std::to_string(bad) +
                                        ": expected two numbers separated by a tab");
                        continue;
                    }
                    for (size_t q = 0; q < m.points.size(); ++q) m.xValues.push_back(static_cast<double>(q + 1));
                } else if (file) {
                    c.Error(mp + ".name", "a measurement of data file \"" + m.source +
                                              "\" must be a gamma source (name holding LPGPM or LPGPT) or a contour (LPCS[...])");
                    continue;
                } else {
                    c.Error(mp + ".source", "\"" + m.source + "\" is neither a schematic nor a data file (nor a "
                                            "measurement with the values an add-in set)");
                    continue;
                }
                g.measurements.push_back(std::move(m));
            }
        }
        d.graphs.push_back(std::move(g));
    }
}

void ParseUnits(Checker& c, const json& root, ProjectData& d) {
    d.units[kUnitPowerDb] = "dBm";
    d.units[kUnitPowerLinear] = "mW";
    auto it = root.find("units");
    if (it == root.end()) return;
    if (!c.Object(*it, "units", {"13", "14"})) return;
    for (const char* k : {"13", "14"}) {
        std::string name;
        if (c.String(*it, k, "units", name, false)) d.units[std::atol(k)] = name;
    }
}

void ParseAddins(Checker& c, const json& root, ProjectFile& p) {
    auto it = root.find("addins");
    if (it == root.end()) return;
    if (!it->is_object()) {
        c.Error("addins", "expected an object");
        return;
    }
    for (auto a = it->begin(); a != it->end(); ++a) {
        std::string place = "addins." + a.key();
        if (!c.Object(*a, place, {"name", "settings"})) continue;
        AddinState s;
        s.hasName = c.String(*a, "name", place, s.name, false);
        std::string b64;
        if (c.String(*a, "settings", place, b64, false)) {
            if (!Base64Decode(b64, s.settings))
                c.Error(place + ".settings", "not valid base64");
            else
                s.hasSettings = true;
        }
        p.addins[a.key()] = std::move(s);
    }
}

json ParameterValue(const ParameterData& p) {
    double v = IsAngleParameter(p.name) ? RadiansToDegrees(p.value) : p.value;
    return json(v);
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char ch : name)
        if (ch == '/' || ch == '\\' || ch == ':' || ch == '\0') return false;
    return true;
}

bool ParsePoints(const std::string& text, std::vector<std::pair<double, double>>& points, int& badLine) {
    points.clear();
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        size_t tab = line.find('\t', first);
        if (tab == std::string::npos) {
            badLine = number;
            return false;
        }
        std::string a = line.substr(first, tab - first), b = line.substr(tab + 1);
        while (!b.empty() && (b.back() == ' ' || b.back() == '\t')) b.pop_back();
        char* end = nullptr;
        double re = std::strtod(a.c_str(), &end);
        bool ok = !a.empty() && *end == '\0';
        double im = std::strtod(b.c_str(), &end);
        ok = ok && !b.empty() && *end == '\0' && std::isfinite(re) && std::isfinite(im);
        if (!ok) {
            badLine = number;
            return false;
        }
        points.emplace_back(re, im);
    }
    return true;
}

bool ParseProject(const std::string& text, const std::string& where, const std::string& baseDir, ProjectFile& out,
                  std::vector<std::string>& errors) {
    Checker c(where, errors);
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        // Syntax errors and numbers out of the range of a double alike.
        std::string what = e.what();
        size_t at = what.find("] ");
        if (at != std::string::npos) at += 2;
        c.Error("", "not valid JSON (" + (at == std::string::npos ? what : what.substr(at)) + ")");
        return false;
    }
    if (!c.Object(root, "", {"name", "units", "schematics", "graphs", "dataFiles", "addins"})) return false;
    out = ProjectFile();
    c.String(root, "name", "", out.data.name, false);
    ParseUnits(c, root, out.data);
    ParseSchematics(c, root, baseDir, out.data);
    ParseDataFiles(c, root, baseDir, out.data);
    ParseGraphs(c, root, out.data);
    ParseAddins(c, root, out);
    return c.Ok();
}

bool LoadProjectFile(const std::string& path, ProjectFile& out, std::vector<std::string>& errors) {
    std::string text;
    std::string name = path.substr(LastSeparator(path) + 1);
    if (!ReadFile(path, text)) {
        errors.push_back(name + ": cannot read the file");
        return false;
    }
    size_t slash = LastSeparator(path);
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    return ParseProject(text, name, dir, out, errors) && CheckCircuits(out.data, name, errors);
}

std::string SerializeProject(const ProjectFile& p) {
    json root = json::object();
    root["name"] = p.data.name;
    json units = json::object();
    for (const auto& u : p.data.units) units[std::to_string(u.first)] = u.second;
    root["units"] = units;
    json schematics = json::array();
    for (const auto& s : p.data.schematics) {
        json elements = json::array();
        for (const auto& e : s.elements) {
            json params = json::object();
            for (const auto& prm : e.parameters) params[prm.name] = ParameterValue(prm);
            json element = {{"name", e.name}, {"parameters", params}};
            if (e.hasCircuit) element["circuit"] = CircuitJson(e.circuit);
            elements.push_back(std::move(element));
        }
        schematics.push_back({{"name", s.name}, {"elements", elements}});
    }
    root["schematics"] = schematics;
    json graphs = json::array();
    for (const auto& g : p.data.graphs) {
        json ms = json::array();
        for (const auto& m : g.measurements) {
            json jm = {{"source", m.source}, {"name", m.name}};
            if (m.resultType == 1 || m.resultType == 2) {
                bool own = false;
                for (const auto& s : p.data.schematics) own = own || s.name == m.source;
                for (const auto& f : p.data.dataFiles) own = own || f.name == m.source;
                if (!own) {
                    json points = json::array();
                    for (size_t k = 0; k < m.points.size(); ++k)
                        points.push_back({k < m.xValues.size() ? m.xValues[k] : static_cast<double>(k + 1),
                                          m.points[k].first, m.points[k].second});
                    jm["values"] = {{"resultType", m.resultType}, {"points", points}};
                }
            }
            ms.push_back(std::move(jm));
        }
        graphs.push_back({{"name", g.name}, {"type", g.type}, {"measurements", ms}});
    }
    root["graphs"] = graphs;
    json files = json::array();
    for (const auto& f : p.data.dataFiles)
        files.push_back({{"name", f.name}, {"fileName", f.fileName}, {"type", f.type}, {"flag", f.flag},
                         {"path", f.path.empty() ? f.fileName : f.path}});
    root["dataFiles"] = files;
    json addins = json::object();
    for (const auto& a : p.addins) {
        json entry = json::object();
        if (a.second.hasName) entry["name"] = a.second.name;
        if (a.second.hasSettings) entry["settings"] = Base64Encode(a.second.settings);
        addins[a.first] = entry;
    }
    root["addins"] = addins;
    return root.dump(2) + "\n";
}

std::string Base64Encode(const std::vector<uint8_t>& bytes) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += t[(v >> 6) & 63];
        out += t[v & 63];
    }
    if (i < bytes.size()) {
        uint32_t v = bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= bytes[i + 1] << 8;
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? t[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool Base64Decode(const std::string& text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0) return false;
    auto value = [](char ch) -> int {
        if (ch >= 'A' && ch <= 'Z') return ch - 'A';
        if (ch >= 'a' && ch <= 'z') return ch - 'a' + 26;
        if (ch >= '0' && ch <= '9') return ch - '0' + 52;
        if (ch == '+') return 62;
        if (ch == '/') return 63;
        return -1;
    };
    for (size_t i = 0; i < text.size(); i += 4) {
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char ch = text[i + k];
            if (ch == '=' && i + 4 == text.size() && k >= 2) {
                v[k] = 0;
                ++pad;
            } else {
                if (pad) return false;
                v[k] = value(ch);
                if (v[k] < 0) return false;
            }
        }
        uint32_t n = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        bytes.push_back(static_cast<uint8_t>(n >> 16));
        if (pad < 2) bytes.push_back(static_cast<uint8_t>((n >> 8) & 255));
        if (pad < 1) bytes.push_back(static_cast<uint8_t>(n & 255));
    }
    return true;
}

}  // namespace vexasim
