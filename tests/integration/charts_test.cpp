// The charts as a person reads them: the README's runs rendered to PNG by an SVG
// renderer and their text measured with the font the renderer uses (its own
// advance widths, read from the font file), and the interactive page opened in a
// real browser, its marker readout checked against the data file and the samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "vexasim/report/label_placer.h"
#include "vexasim/project_file/project_file.h"
#include "tests/integration/read_file.h"

namespace {

int Shell(const std::string& cmd) {
    int s = std::system(cmd.c_str());
    return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
}

bool HaveProgram(const std::string& name) { return Shell("command -v " + name + " >/dev/null 2>&1") == 0; }

std::string Capture(const std::string& cmd) {
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Advance widths and line extent of a TrueType font, from its hmtx, hhea, head
// and cmap (format 4) tables.
class FontMetrics {
public:
    bool Load(const std::string& path) {
        data_ = ReadFile(path);
        if (data_.size() < 12) return false;
        std::map<std::string, uint32_t> tables;
        for (unsigned i = 0, n = U16(4); i < n; ++i) tables[data_.substr(12 + 16 * i, 4)] = U32(12 + 16 * i + 8);
        for (const char* t : {"head", "hhea", "hmtx", "cmap"})
            if (!tables.count(t)) return false;
        unitsPerEm_ = U16(tables["head"] + 18);
        ascender_ = static_cast<int16_t>(U16(tables["hhea"] + 4));
        descender_ = static_cast<int16_t>(U16(tables["hhea"] + 6));
        metrics_ = U16(tables["hhea"] + 34);
        hmtx_ = tables["hmtx"];
        const uint32_t cmap = tables["cmap"];
        for (unsigned i = 0, n = U16(cmap + 2); i < n; ++i) {
            const unsigned platform = U16(cmap + 4 + 8 * i), encoding = U16(cmap + 6 + 8 * i);
            const uint32_t at = cmap + U32(cmap + 8 + 8 * i);
            if (((platform == 3 && encoding == 1) || platform == 0) && U16(at) == 4) cmap4_ = at;
        }
        return cmap4_ != 0 && unitsPerEm_ > 0;
    }
    double Width(const std::u32string& text, double size) const {
        double units = 0;
        for (char32_t c : text) units += Advance(Glyph(c));
        return units * size / unitsPerEm_;
    }
    double Ascent(double size) const { return ascender_ * size / unitsPerEm_; }
    double Descent(double size) const { return -descender_ * size / unitsPerEm_; }

private:
    unsigned U16(size_t at) const {
        return (static_cast<unsigned char>(data_[at]) << 8) | static_cast<unsigned char>(data_[at + 1]);
    }
    uint32_t U32(size_t at) const { return (U16(at) << 16) | U16(at + 2); }
    unsigned Advance(unsigned glyph) const { return U16(hmtx_ + 4 * (glyph < metrics_ ? glyph : metrics_ - 1)); }
    unsigned Glyph(char32_t c) const {
        const unsigned segs = U16(cmap4_ + 6) / 2;
        const size_t ends = cmap4_ + 14, starts = ends + 2 * segs + 2, deltas = starts + 2 * segs,
                     ranges = deltas + 2 * segs;
        for (unsigned s = 0; s < segs; ++s) {
            if (c > U16(ends + 2 * s)) continue;
            if (c < U16(starts + 2 * s)) return 0;
            const unsigned range = U16(ranges + 2 * s);
            if (range == 0) return (c + U16(deltas + 2 * s)) & 0xFFFF;
            const unsigned g = U16(ranges + 2 * s + range + 2 * (c - U16(starts + 2 * s)));
            return g ? (g + U16(deltas + 2 * s)) & 0xFFFF : 0;
        }
        return 0;
    }
    std::string data_;
    unsigned unitsPerEm_ = 0, metrics_ = 0;
    int ascender_ = 0, descender_ = 0;
    size_t hmtx_ = 0, cmap4_ = 0;
};

std::u32string Utf32(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t v = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + k < s.size(); ++k) v = (v << 6) | (s[i + k] & 0x3F);
        out += v;
        i += n;
    }
    return out;
}

std::string Unescape(std::string s) {
    for (auto [from, to] : {std::pair<const char*, const char*>{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1)) s.replace(at, std::strlen(from), to);
    return s;
}

struct Text {
    std::string content, cls, group;
    double x = 0, y = 0, size = 0;
    std::string anchor;
    bool bold = false;
    double angle = 0, px = 0, py = 0;  // transform="rotate(angle px py)"
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // its box
};

// The attributes name="value" of one tag.
std::map<std::string, std::string> Attributes(const std::string& tag) {
    std::map<std::string, std::string> out;
    for (size_t eq = tag.find("=\""); eq != std::string::npos; eq = tag.find("=\"", eq + 2)) {
        const size_t name = tag.find_last_of(" \t\n", eq) + 1, close = tag.find('"', eq + 2);
        if (close == std::string::npos) break;
        out[tag.substr(name, eq - name)] = tag.substr(eq + 2, close - eq - 2);
        eq = close - 1;
    }
    return out;
}

// Every text element of the SVG with the attributes it inherits from its groups.
std::vector<Text> Texts(const std::string& svg) {
    std::vector<Text> out;
    std::vector<std::map<std::string, std::string>> stack(1);
    for (size_t i = svg.find('<'); i != std::string::npos; i = svg.find('<', i + 1)) {
        const size_t end = svg.find('>', i);
        const std::string tag = svg.substr(i + 1, end - i - 1);
        if (tag.compare(0, 2, "g ") == 0 || tag == "g") {
            auto a = stack.back();
            for (auto& kv : Attributes(tag)) a[kv.first] = kv.second;
            stack.push_back(a);
        } else if (tag == "/g") {
            stack.pop_back();
        } else if (tag.compare(0, 5, "text ") == 0) {
            auto a = stack.back();
            const auto own = Attributes(tag);
            for (auto& kv : own) a[kv.first] = kv.second;
            Text t;
            const size_t close = svg.find("</text>", end);
            t.content = Unescape(svg.substr(end + 1, close - end - 1));
            t.cls = own.count("class") ? own.at("class") : "";
            t.group = stack.back().count("class") ? stack.back().at("class") : "";
            t.x = std::atof(a["x"].c_str());
            t.y = std::atof(a["y"].c_str());
            t.size = std::atof(a["font-size"].c_str());
            t.anchor = a["text-anchor"];
            t.bold = a["font-weight"] == "bold";
            if (own.count("transform")) {
                EXPECT_EQ(std::sscanf(own.at("transform").c_str(), "rotate(%lf %lf %lf)", &t.angle, &t.px, &t.py), 3)
                    << own.at("transform");
            }
            out.push_back(t);
        }
    }
    return out;
}

bool PngSize(const std::string& path, unsigned& w, unsigned& h) {
    const std::string png = ReadFile(path);
    if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return false;
    auto u32 = [&](size_t at) {
        return (unsigned(static_cast<unsigned char>(png[at])) << 24) | (unsigned(static_cast<unsigned char>(png[at + 1])) << 16) |
               (unsigned(static_cast<unsigned char>(png[at + 2])) << 8) | unsigned(static_cast<unsigned char>(png[at + 3]));
    };
    w = u32(16);
    h = u32(20);
    return true;
}

// With LPT_CHART_PICTURES set to a folder (scripts/chart-pictures), the pictures the
// tests look at are kept there: the README shows them.
void KeepPicture(const std::string& png) {
    const char* keep = std::getenv("LPT_CHART_PICTURES");
    if (keep && *keep) {
        EXPECT_EQ(Shell("cp '" + png + "' '" + keep + "/'"), 0) << png;
    }
}

const char* const kChromium =
    "chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking "
    "--disable-component-update --disable-sync";

class Charts : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vexasim-charts-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        ASSERT_EQ(Vexasim({"register", WIZARD_MODULE}), 0);
    }
    void TearDown() override { EXPECT_EQ(Shell("rm -rf '" + dir_ + "'"), 0); }

    int Vexasim(const std::vector<std::string>& args) {
        std::string cmd = "PLATFORM_REGISTRY='" + dir_ + "/registry.txt' '" VEXASIM_BIN "'";
        for (const auto& a : args) cmd += " '" + a + "'";
        return Shell(cmd + " >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr'");
    }
    std::string Err() { return ReadFile(dir_ + "/stderr"); }

    std::string dir_;
};

// The README's runs: the demo, the 2nd harmonic, the measured points; then the demo
// again on a smaller disc, whose levels differ from the demo's.
TEST_F(Charts, TheReadmeChartsRenderWithEveryLabelApartInsideAndEveryLegendWithItsUnit) {
    if (!HaveProgram("rsvg-convert"))
        FAIL() << "rsvg-convert is not installed: run scripts/bootstrap (it installs librsvg2-bin)";
    FontMetrics regular, bold;
    ASSERT_TRUE(regular.Load(Capture("fc-match -f '%{file}' sans-serif"))) << "no sans-serif font file";
    ASSERT_TRUE(bold.Load(Capture("fc-match -f '%{file}' sans-serif:bold"))) << "no bold sans-serif font file";

    const std::string demo = dir_ + "/demo", h2 = dir_ + "/h2", measured = dir_ + "/measured", narrow = dir_ + "/narrow",
                      latest = dir_ + "/latest";
    ASSERT_EQ(Vexasim({"run", EXAMPLES_DIR "/amplifier.json", "-o", demo, "--grid", "medium", "--measure",
                       "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate", "--quiet"}),
              0)
        << Err();
    ASSERT_EQ(Vexasim({"run", EXAMPLES_DIR "/harmonic.json", "-o", h2, "--harmonic", "2", "--grid", "medium",
                       "--measure", "PA_H2:DE=de_h2", "--simulate", "--quiet"}),
              0)
        << Err();
    ASSERT_EQ(Vexasim({"run", EXAMPLES_DIR "/harmonic.json", "-o", measured, "--measured-data",
                       "measured_points:LPGPM_loads", "--measure", "PA_H2:Pout=pout_m", "--simulate", "--quiet"}),
              0)
        << Err();
    ASSERT_EQ(Vexasim({"run", demo + "/amplifier.json", "-o", narrow, "--grid", "coarse", "--center", "0.3@180", "--radius", "0.5",
                       "--earlier-contours", "--simulate", "--quiet"}),
              0)
        << Err();
    ASSERT_EQ(Vexasim({"render", narrow + "/amplifier.json", "-o", latest + ".svg"}), 0) << Err();
    ASSERT_EQ(Vexasim({"render", narrow + "/amplifier.json", "--earlier-contours", "-o", latest + ".html"}), 0) << Err();

    struct Chart {
        std::string svg;
        std::vector<std::string> legend;  // what the legend must say
        const char* title;
    };
    const std::string contours = "/Load_Pull_Data_Contour_Graph.svg";
    const Chart charts[] = {
        {demo + contours, {"PA:Pout (dBm)", "PA:PAE (%)"}, "schematic PA, tuner LTUNER1, harmonic 1 (fundamental)"},
        {h2 + contours, {"PA_H2:DE (%)"}, "schematic PA_H2, tuner HBTUNER1, harmonic 2"},
        {h2 + "/Gamma_Sources.svg", {"measured_points:LPGPM_loads"}, ""},
        {measured + contours, {"PA_H2:Pout (dBm)"}, "harmonic 1"},
        {latest + ".svg", {"PA:Pout (dBm)", "PA:PAE (%)"}, "harmonic 1"},
        {narrow + contours, {"PA:Pout (dBm)", "PA:PAE (%)", "PA:Pout (dBm), earlier run", "PA:PAE (%), earlier run"},
         "harmonic 1"},
    };
    const double cx = 320, cy = 365, radius = 280, width = 940, height = 690;
    for (const Chart& chart : charts) {
        SCOPED_TRACE(chart.svg);
        const std::string svg = ReadFile(chart.svg);
        ASSERT_FALSE(svg.empty());
        const std::string png = chart.svg + ".png";
        ASSERT_EQ(Shell("rsvg-convert '" + chart.svg + "' -o '" + png + "'"), 0);
        if (chart.svg == demo + contours) {
            ASSERT_EQ(Shell("cp '" + png + "' '" + dir_ + "/demo-contours.png'"), 0);
            KeepPicture(dir_ + "/demo-contours.png");
        }
        unsigned w = 0, h = 0;
        ASSERT_TRUE(PngSize(png, w, h));
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);

        std::vector<Text> texts = Texts(svg);
        ASSERT_GT(texts.size(), 12u);
        std::string legend, title;
        int levelLabels = 0;
        for (Text& t : texts) {
            const FontMetrics& f = t.bold ? bold : regular;
            const double tw = f.Width(Utf32(t.content), t.size);
            t.x0 = t.anchor == "middle" ? t.x - tw / 2 : t.anchor == "end" ? t.x - tw : t.x;
            t.x1 = t.x0 + tw;
            t.y0 = t.y - f.Ascent(t.size);
            t.y1 = t.y + f.Descent(t.size);
            if (t.angle != 0) {  // the box that holds the turned one
                const double c = std::cos(t.angle * M_PI / 180), s = std::sin(t.angle * M_PI / 180);
                double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
                for (double x : {t.x0, t.x1})
                    for (double y : {t.y0, t.y1}) {
                        const double rx = t.px + (x - t.px) * c - (y - t.py) * s, ry = t.py + (x - t.px) * s + (y - t.py) * c;
                        x0 = std::min(x0, rx), x1 = std::max(x1, rx), y0 = std::min(y0, ry), y1 = std::max(y1, ry);
                    }
                t.x0 = x0, t.y0 = y0, t.x1 = x1, t.y1 = y1;
            }
            if (t.group == "legend") legend += t.content + "\n";
            if (t.cls == "title") title += t.content + "\n";
            levelLabels += t.cls == "level-label";
            // Every label within the picture; those on the chart within its circle.
            EXPECT_GE(t.x0, 0) << t.content;
            EXPECT_LE(t.x1, width) << t.content;
            EXPECT_GE(t.y0, 0) << t.content;
            EXPECT_LE(t.y1, height) << t.content;
            // The chart's own estimate of a label's width holds the font's (labels are
            // placed by it).
            if (t.cls == "level-label" || t.cls == "max-label") {
                EXPECT_GE(vexasim::LabelWidth(t.content, t.size, t.bold), tw) << t.content;
                for (double x : {t.x0, t.x1})
                    for (double y : {t.y0, t.y1}) EXPECT_LT(std::hypot(x - cx, y - cy), radius) << t.content;
            }
        }
        // Each maximum's label just beside its dot, as the font sets it.
        for (const Text& t : texts) {
            if (t.cls != "max-label") continue;
            const size_t at = svg.rfind("<circle cx=\"", svg.find(">" + t.content + "</text>"));
            ASSERT_NE(at, std::string::npos);
            double dx = 0, dy = 0;
            ASSERT_EQ(std::sscanf(svg.c_str() + at, "<circle cx=\"%lf\" cy=\"%lf\"", &dx, &dy), 2);
            EXPECT_LT(std::hypot(std::max({0.0, t.x0 - dx, dx - t.x1}), std::max({0.0, t.y0 - dy, dy - t.y1})), 24.0)
                << t.content;
        }
        for (size_t a = 0; a < texts.size(); ++a)
            for (size_t b = a + 1; b < texts.size(); ++b) {
                const Text &p = texts[a], &q = texts[b];
                const bool apart = p.x1 <= q.x0 || q.x1 <= p.x0 || p.y1 <= q.y0 || q.y1 <= p.y0;
                EXPECT_TRUE(apart) << "\"" << p.content << "\" at " << p.x << "," << p.y << " and \"" << q.content
                                   << "\" at " << q.x << "," << q.y;
            }
        for (const std::string& entry : chart.legend) EXPECT_NE(legend.find(entry + "\n"), std::string::npos) << entry << "\n" << legend;
        EXPECT_NE(title.find(chart.title), std::string::npos) << title;
        // A chart of gamma sources has no contours, so nothing extrapolated to explain.
        const bool hasContours = chart.legend.front().find(':') != std::string::npos &&
                                 chart.legend.front().find("LPGPM") == std::string::npos;
        EXPECT_EQ(legend.find("extrapolated") != std::string::npos, hasContours) << legend;
        if (hasContours) {
            EXPECT_GT(levelLabels, 3);
        }
    }
    // The re-run on a smaller disc draws its own levels only, unless asked for the
    // earlier ones; render makes the same page as the run did.
    const std::string own = ReadFile(latest + ".svg"), all = ReadFile(narrow + contours);
    auto count = [](const std::string& s, const std::string& what) {
        size_t n = 0;
        for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(own, "class=\"contour\""), 2u);
    EXPECT_EQ(count(all, "class=\"contour\""), 4u);
    EXPECT_EQ(count(own, "earlier run"), 0u);
    EXPECT_EQ(ReadFile(latest + ".html"), ReadFile(narrow + "/Load_Pull_Data_Contour_Graph.html"));
}

struct Row {
    std::map<std::string, std::string> text, value, error;  // by cell class
};

// The marker rows of the dumped DOM, by label.
std::map<std::string, Row> MarkerRows(const std::string& dom) {
    std::map<std::string, Row> rows;
    const std::string open = "<tr class=\"marker\"";
    for (size_t at = dom.find(open); at != std::string::npos; at = dom.find(open, at + 1)) {
        const size_t tagEnd = dom.find('>', at), end = dom.find("</tr>", at);
        if (tagEnd == std::string::npos || end == std::string::npos) break;
        Row& r = rows[Attributes(dom.substr(at, tagEnd - at))["data-label"]];
        for (size_t td = dom.find("<td ", tagEnd); td < end; td = dom.find("<td ", td + 1)) {
            const size_t close = dom.find('>', td), stop = dom.find("</td>", td);
            auto a = Attributes(dom.substr(td, close - td));
            const std::string cls = a["class"];
            r.text[cls] = dom.substr(close + 1, stop - close - 1);
            if (a.count("data-value")) r.value[cls] = a["data-value"];
            if (a.count("data-error")) r.error[cls] = a["data-error"];
        }
    }
    return rows;
}

std::string Fixed(double v, int digits) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

// The demo's page in the browser, with three markers set through its address:
// gamma and Z as printed, each measurement's spline value at the marker (bilinear
// on the data file's grid, computed here), and the nearest swept point's value and
// leave-one-out error from samples.csv.
TEST_F(Charts, TheInteractivePageReadsOutMarkersInARealBrowser) {
    if (!HaveProgram("chromium")) FAIL() << "chromium is not installed: run scripts/bootstrap (it installs chromium)";
    const std::string demo = dir_ + "/demo";
    ASSERT_EQ(Vexasim({"run", EXAMPLES_DIR "/amplifier.json", "-o", demo, "--grid", "medium", "--measure",
                       "PA:Pout=pout_lp", "--measure", "PA:PAE=pae_lp", "--simulate", "--quiet"}),
              0)
        << Err();
    const std::string page = demo + "/Load_Pull_Data_Contour_Graph.html";
    const std::string html = ReadFile(page);
    // Self-contained: nothing loaded from anywhere.
    EXPECT_EQ(html.find(" src="), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos);
    EXPECT_EQ(html.find("https:"), std::string::npos);

    // One browser start: the page's DOM once its script has set the markers, and a
    // picture of it.
    // A load off the chart between them is refused, and takes no number.
    // The second lies in the grid's outermost column.
    const std::vector<std::pair<double, double>> loads = {{0.5, 30}, {0.97, 175.5}};
    const std::string hash = "#marker=0.50@30.0;1.2@0;0.97@175.5";
    const std::string profile = dir_ + "/browser", shot = dir_ + "/demo-markers.png";
    const std::string dom = Capture(std::string(kChromium) + " --user-data-dir='" + profile +
                                    "' --hide-scrollbars --window-size=1400,860 --screenshot='" + shot +
                                    "' --dump-dom 'file://" + page + hash + "' 2>/dev/null");
    ASSERT_NE(dom.find("id=\"markers\""), std::string::npos) << dom.substr(0, 400);
    unsigned w = 0, h = 0;
    ASSERT_TRUE(PngSize(shot, w, h));
    EXPECT_EQ(w, 1400u);
    EXPECT_EQ(h, 860u);
    KeepPicture(shot);
    const std::map<std::string, Row> rows = MarkerRows(dom);
    EXPECT_EQ(rows.size(), loads.size() + 2);  // and the two maxima
    EXPECT_TRUE(rows.count("max PA:Pout") && rows.count("max PA:PAE"));

    vexasim::ProjectFile project;
    std::vector<std::string> errors;
    ASSERT_TRUE(vexasim::LoadProjectFile(demo + "/amplifier.json", project, errors));
    std::vector<std::vector<double>> grids;
    for (const char* name : {"pout_lp", "pae_lp"})
        for (const auto& f : project.data.dataFiles)
            if (f.name == name) {
                std::istringstream in(f.text);
                grids.emplace_back();
                double v;
                while (in >> v) grids.back().push_back(v);
                ASSERT_EQ(grids.back().size(), 41u * 41u);
            }
    ASSERT_EQ(grids.size(), 2u);
    // samples.csv: index,|gamma|,angle_deg,re,im,PA:Pout,PA:PAE,PA:Pout LOO,PA:PAE LOO
    std::vector<std::vector<double>> samples;
    std::istringstream csv(ReadFile(demo + "/samples.csv"));
    std::string line;
    std::getline(csv, line);
    while (std::getline(csv, line)) {
        samples.emplace_back();
        std::istringstream cells(line);
        std::string c;
        while (std::getline(cells, c, ',')) samples.back().push_back(std::strtod(c.c_str(), nullptr));
    }
    ASSERT_EQ(samples.size(), 127u);

    for (size_t i = 0; i < loads.size(); ++i) {
        SCOPED_TRACE("marker " + std::to_string(i + 1));
        auto it = rows.find(std::to_string(i + 1));
        ASSERT_NE(it, rows.end());
        const Row& row = it->second;
        const double mag = loads[i].first, ang = loads[i].second * M_PI / 180;
        const std::complex<double> g = std::polar(mag, ang), z = 50.0 * (1.0 + g) / (1.0 - g);
        EXPECT_EQ(row.text.at("g-mag"), Fixed(mag, 3));
        EXPECT_EQ(row.text.at("g-ang"), Fixed(loads[i].second, 1));
        EXPECT_EQ(row.text.at("z-r"), Fixed(z.real(), 2));
        EXPECT_EQ(row.text.at("z-x"), Fixed(z.imag(), 2));
        // The nearest swept point.
        size_t nearest = 0;
        for (size_t k = 0; k < samples.size(); ++k)
            if (std::norm(std::complex<double>(samples[k][3], samples[k][4]) - g) <
                std::norm(std::complex<double>(samples[nearest][3], samples[nearest][4]) - g))
                nearest = k;
        for (int m = 0; m < 2; ++m) {
            const std::vector<double>& grid = grids[static_cast<size_t>(m)];
            const double fx = (g.real() + 1) / 0.05, fy = (g.imag() + 1) / 0.05;
            const int q = static_cast<int>(std::floor(fx)), r = static_cast<int>(std::floor(fy));
            const double tx = fx - q, ty = fy - r;
            auto at = [&](int rr, int qq) { return grid[static_cast<size_t>(rr * 41 + qq)]; };
            const double spline = at(r, q) * (1 - tx) * (1 - ty) + at(r, q + 1) * tx * (1 - ty) +
                                  at(r + 1, q) * (1 - tx) * ty + at(r + 1, q + 1) * tx * ty;
            const std::string cls = "m" + std::to_string(m);
            ASSERT_TRUE(row.value.count("spline " + cls));
            EXPECT_NEAR(std::strtod(row.value.at("spline " + cls).c_str(), nullptr), spline, 1e-6);
            EXPECT_EQ(row.text.at("spline " + cls), Fixed(spline, 2));
            ASSERT_TRUE(row.value.count("simulated " + cls));
            EXPECT_EQ(std::strtod(row.value.at("simulated " + cls).c_str(), nullptr), samples[nearest][5 + m]);
            EXPECT_EQ(std::strtod(row.error.at("simulated " + cls).c_str(), nullptr), samples[nearest][7 + m]);
        }
    }
    // The maxima as markers: where the chart's summary puts them.
    EXPECT_EQ(rows.at("max PA:Pout").text.at("g-mag"), "0.350");
    EXPECT_EQ(rows.at("max PA:Pout").text.at("g-ang"), "180.0");
    EXPECT_EQ(rows.at("max PA:PAE").text.at("z-r"), "30.00");
    // Each measurement's switch carries its colour.
    size_t swatches = 0;
    for (size_t at = dom.find("class=\"swatch\" style=\"background: rgb("); at != std::string::npos;
         at = dom.find("class=\"swatch\" style=\"background: rgb(", at + 1))
        ++swatches;
    EXPECT_EQ(swatches, 2u);
    // Each marker is drawn where it reads: a cross centred on its load.
    const size_t layer = dom.find("id=\"marker-layer\"");
    ASSERT_NE(layer, std::string::npos);
    std::vector<std::pair<double, double>> crosses;
    for (size_t at = dom.find("<path d=\"M", layer); at != std::string::npos && at < dom.find("</g>", layer);
         at = dom.find("<path d=\"M", at + 1)) {
        double x = 0, y = 0, cx = 0, cy = 0;
        ASSERT_EQ(std::sscanf(dom.c_str() + at, "<path d=\"M%lf %lfh12M%lf %lfv12\"", &x, &y, &cx, &cy), 4)
            << dom.substr(at, 80);
        EXPECT_DOUBLE_EQ(x + 6, cx);
        EXPECT_DOUBLE_EQ(y, cy + 6);
        crosses.push_back({cx, y});
    }
    ASSERT_EQ(crosses.size(), loads.size());
    for (size_t i = 0; i < loads.size(); ++i) {
        const std::complex<double> g = std::polar(loads[i].first, loads[i].second * M_PI / 180);
        EXPECT_NEAR(crosses[i].first, 320 + 280 * g.real(), 1e-6) << i;
        EXPECT_NEAR(crosses[i].second, 365 - 280 * g.imag(), 1e-6) << i;
    }
    // The readout shows the last marker set, gamma and Z as the table prints them.
    const size_t readout = dom.find("id=\"readout\"");
    ASSERT_NE(readout, std::string::npos);
    const std::string said = dom.substr(readout, dom.find("</div>", readout) - readout);
    EXPECT_NE(said.find("marker 2: \u0393 = 0.970 \u2220 175.5\u00b0,  Z = 0.76 + j1.96 \u03a9"), std::string::npos) << said;
    EXPECT_NE(said.find("PA:Pout: " + rows.at("2").text.at("spline m0") + "&nbsp;dBm (spline), nearest simulated "), std::string::npos)
        << said;

}

}  // namespace
