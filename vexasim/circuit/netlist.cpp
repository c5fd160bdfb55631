#include "vexasim/circuit/netlist.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

namespace circuit {
namespace {

std::string Number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    std::string t;
    for (char ch : line) {
        if (std::isspace(static_cast<unsigned char>(ch)) || ch == '(' || ch == ')' || ch == ',' || ch == '=') {
            if (!t.empty()) out.push_back(Lower(t));
            t.clear();
        } else {
            t += ch;
        }
    }
    if (!t.empty()) out.push_back(Lower(t));
    return out;
}

bool IsComment(const std::string& line) {
    size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '*';
}

// The netlist's element lines with their 1-based line numbers, continuation lines
// joined to the line they continue.
std::vector<std::pair<int, std::string>> Statements(const vexasim::CircuitData& circuit) {
    std::vector<std::pair<int, std::string>> out;
    std::vector<std::string> lines = NetlistLines(circuit.netlist);
    for (size_t k = 0; k < lines.size(); ++k) {
        if (IsComment(lines[k])) continue;
        size_t first = lines[k].find_first_not_of(" \t");
        if (lines[k][first] == '+' && !out.empty()) {
            out.back().second += " " + lines[k].substr(first + 1);
            continue;
        }
        out.emplace_back(static_cast<int>(k + 1), lines[k].substr(first));
    }
    return out;
}

bool IsGround(const std::string& node) { return node == "0" || node == "gnd"; }

}  // namespace

std::string Lower(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::vector<std::string> NetlistLines(const std::string& netlist) {
    std::vector<std::string> lines;
    std::istringstream in(netlist);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Deck BuildDeck(const vexasim::CircuitData& c, const Params& params, double periods) {
    Deck d;
    const double period = 1.0 / c.frequency;
    d.lines.push_back("* vexasim circuit");
    for (const auto& p : params) d.lines.push_back(".param " + p.first + "=" + Number(p.second));
    d.lines.push_back(".param f0=" + Number(c.frequency));
    d.firstNetlistLine = static_cast<int>(d.lines.size()) + 1;
    for (const std::string& line : NetlistLines(c.netlist)) d.lines.push_back(line);
    // The termination: 50 ohm in series with a source whose voltage the engine
    // computes at every time point (the supply plus the harmonics that make the
    // load's reflection). The library takes an external source only in this form,
    // without a value before the keyword.
    d.lines.push_back(std::string("rlptuner_term ") + c.output + " lptuner_term 50");
    d.lines.push_back(std::string(kTerminationSource) + " lptuner_term 0 external");
    // The input port: the same form, a generator of 50 ohm whose voltage also
    // makes the source's reflection, behind a DC block so that the netlist biases
    // its input undisturbed. The operating point charges the block to that bias
    // (it is open there), and a farad neither passes a period's charge nor shows
    // a reactance at any frequency of interest.
    if (!c.input.empty()) {
        d.lines.push_back(std::string("rlptuner_src ") + c.input + " lptuner_srcb 50");
        d.lines.push_back("clptuner_src lptuner_srcb lptuner_src 1");
        d.lines.push_back(std::string(kInputSource) + " lptuner_src 0 external");
    }
    // A triangle wave whose corners put a time point on every half period, so that
    // each period begins and ends on a time point.
    const std::string half = Number(period / 2.0);
    d.lines.push_back(std::string(kClockSource) + " lptuner_clock 0 pulse(0 1 0 " + half + " " + half + " 0 " +
                      Number(period) + ")");
    d.lines.push_back("rlptuner_clock lptuner_clock 0 1k");
    if (periods > 0.0) {
        // "none": every vector goes to the engine at each time point, and ngspice
        // keeps only the last value of each, whatever the length of the transient.
        d.lines.push_back(".save none");
        const std::string step = Number(period / c.stepsPerPeriod);
        d.lines.push_back(".tran " + step + " " + Number(period * (periods + 1.0)) + " 0 " + step);
    }
    d.lines.push_back(".end");
    return d;
}

bool SourceNodes(const vexasim::CircuitData& c, const std::string& name, std::string& positive,
                 std::string& negative) {
    const std::string source = Lower(name);
    for (const auto& s : Statements(c)) {
        std::vector<std::string> t = Tokens(s.second);
        if (t.size() >= 3 && t[0] == source) {
            positive = t[1];
            negative = t[2];
            return true;
        }
    }
    return false;
}

bool DriveNodes(const vexasim::CircuitData& c, std::string& positive, std::string& negative) {
    return SourceNodes(c, c.drive, positive, negative);
}

bool OutputHasDcPath(const vexasim::CircuitData& c) { return NodeHasDcPath(c, c.output); }

bool NodeHasDcPath(const vexasim::CircuitData& c, const std::string& target) {
    // Nodes joined by every element that conducts at DC. An element whose nodes
    // are not known by its letter joins every name on its line: a model or value
    // taken for a node can only add a path, never hide one, and a path too many
    // leaves the DC load as it always was.
    std::map<std::string, std::string> parent;
    std::function<std::string(const std::string&)> find = [&](const std::string& n) -> std::string {
        auto it = parent.find(n);
        if (it == parent.end() || it->second == n) return n;
        return it->second = find(it->second);
    };
    auto node = [](const std::string& n) { return IsGround(n) ? std::string("0") : n; };
    int depth = 0;  // inside a subcircuit's definition: its nodes are its own
    for (const auto& s : Statements(c)) {
        std::vector<std::string> t = Tokens(s.second);
        if (t.empty()) continue;
        if (t[0] == ".subckt") ++depth;
        if (t[0] == ".ends" && depth > 0) --depth;
        if (t[0][0] == '.' || depth > 0) continue;
        const char kind = t[0][0];
        if (kind == 'c' || kind == 'k') continue;  // a capacitor blocks DC; a coupling has no nodes
        const bool twoNodes = std::string("rlvidbfhw").find(kind) != std::string::npos;
        const size_t last = twoNodes ? std::min<size_t>(2, t.size() - 1) : t.size() - 1;
        if (last < 1) continue;
        const std::string root = find(node(t[1]));
        for (size_t k = 2; k <= last; ++k) {
            const std::string other = find(node(t[k]));
            if (other != root) parent[other] = root;
        }
        if (!parent.count(root)) parent[root] = root;
    }
    return find(node(Lower(target))) == find("0");
}

std::vector<std::string> NetlistProblems(const vexasim::CircuitData& c) {
    std::vector<std::string> problems;
    const std::string output = Lower(c.output), input = Lower(c.input);
    const std::string drive = Lower(c.drive);
    bool outputFound = false, driveFound = false, inputFound = false;
    std::vector<bool> supplyFound(c.supply.size(), false);
    for (const auto& s : Statements(c)) {
        std::vector<std::string> t = Tokens(s.second);
        if (t.empty()) continue;
        const std::string& first = t[0];
        if (first[0] == '.') {
            for (const char* own : {".tran", ".end", ".control", ".endc", ".op", ".ac", ".dc", ".save"})
                if (first == own)
                    problems.push_back("netlist line " + std::to_string(s.first) + ": " + own +
                                       " is written by the engine; leave it out");
            continue;
        }
        if (first == drive) {
            driveFound = true;
            if (first[0] != 'v') problems.push_back("drive: \"" + c.drive + "\" is not a voltage source");
        }
        for (size_t k = 0; k < c.supply.size(); ++k) {
            if (first != Lower(c.supply[k])) continue;
            supplyFound[k] = true;
            if (first[0] != 'v') problems.push_back("supply: \"" + c.supply[k] + "\" is not a voltage source");
        }
        // Nodes are among the first tokens of an element line; a model or value
        // named like the node would only hide a missing node, never invent one.
        for (size_t k = 1; k < t.size() && k <= 4; ++k) {
            outputFound = outputFound || t[k] == output;
            inputFound = inputFound || t[k] == input;
        }
    }
    if (IsGround(output)) problems.push_back("output: the tuner cannot load the ground node");
    else if (!outputFound) problems.push_back("output: no element of the netlist connects to node \"" + c.output + "\"");
    if (!c.input.empty()) {
        if (IsGround(input)) problems.push_back("input: the source cannot drive the ground node");
        else if (input == output) problems.push_back("input: the input port cannot be the output node");
        else if (!inputFound) problems.push_back("input: no element of the netlist connects to node \"" + c.input + "\"");
    }
    if (!c.drive.empty() && !driveFound)
        problems.push_back("drive: the netlist has no source named \"" + c.drive + "\"");
    for (size_t k = 0; k < c.supply.size(); ++k)
        if (!supplyFound[k]) problems.push_back("supply: the netlist has no source named \"" + c.supply[k] + "\"");
    return problems;
}

std::string NetlistLineOf(const std::string& message, const Deck& deck, const vexasim::CircuitData& c) {
    // ngspice says "Error on line 7 ..." or "Netlist line no. 7:".
    size_t at = std::string::npos;
    for (const char* key : {"on line ", "line no. "}) {
        at = message.find(key);
        if (at != std::string::npos) {
            at += std::string(key).size();
            break;
        }
    }
    if (at == std::string::npos) return message;
    const int deckLine = std::atoi(message.c_str() + at);
    const int line = deckLine - deck.firstNetlistLine + 1;
    std::vector<std::string> lines = NetlistLines(c.netlist);
    if (line < 1 || line > static_cast<int>(lines.size())) return message;
    return message + " (netlist line " + std::to_string(line) + ": " + lines[static_cast<size_t>(line - 1)] + ")";
}

std::string LoadWarning(const std::vector<std::string>& messages, const Deck& deck, const vexasim::CircuitData& c) {
    auto warns = [](const std::string& m) {
        const std::string l = Lower(m);
        if (l.find("has no value") != std::string::npos) return true;  // "Note: v1: has no value, DC 0 assumed"
        if (l.find("warning") == std::string::npos) return false;
        for (const char* help : {"gmin", "source stepping", "singular matrix"})
            if (l.find(help) != std::string::npos) return false;
        return true;
    };
    size_t first = 0;
    while (first < messages.size() && !warns(messages[first])) ++first;
    if (first == messages.size()) return "";
    // The warning and the lines that explain it, up to the next message of another kind.
    std::string text = messages[first];
    for (size_t k = first + 1; k < messages.size(); ++k) {
        const std::string l = Lower(messages[k]);
        if (l.find("note:") == 0 || l.find("error") != std::string::npos || warns(messages[k])) break;
        text += " " + messages[k];
    }
    const std::string located = NetlistLineOf(text, deck, c);
    if (located != text) return located;
    // Without a line number: the element the warning names ("rg: resistance ...") or quotes.
    const std::string lower = Lower(text);
    const std::vector<std::string> lines = NetlistLines(c.netlist);
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::vector<std::string> t = Tokens(lines[k]);
        if (t.empty() || IsComment(lines[k]) || t[0][0] == '.' || t[0][0] == '+') continue;
        if (lower.find(" " + t[0] + ":") != std::string::npos ||
            lower.find(" " + Lower(lines[k].substr(lines[k].find_first_not_of(" \t")))) != std::string::npos)
            return text + " (netlist line " + std::to_string(k + 1) + ": " + lines[k] + ")";
    }
    return text;
}

}  // namespace circuit
