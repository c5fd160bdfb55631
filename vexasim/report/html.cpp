#include "vexasim/report/html.h"

#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

#include "vexasim/report/chart_contours.h"
#include "vexasim/report/outputs.h"
#include "vexasim/report/run_results.h"

namespace vexasim {
namespace {

// A JSON string, safe inside a script element ("<" never appears as itself).
std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonNumber(double v) { return std::isfinite(v) ? ExactNumber(v) : "null"; }

std::string HtmlText(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
    return out;
}

const char* const kStyle = R"CSS(
body { font-family: sans-serif; margin: 12px; color: #222; }
h1 { font-size: 17px; margin: 0 0 8px; }
#layout { display: flex; flex-wrap: wrap; gap: 14px; align-items: flex-start; }
#chart { outline: none; line-height: 0; }
#chart:focus-visible { box-shadow: 0 0 0 2px #1f77b4; }
#chart svg { width: 940px; max-width: 100%; height: auto; cursor: crosshair; }
#panel { flex: 1; min-width: 380px; max-width: 520px; font-size: 13px; }
#panel h2 { font-size: 14px; margin: 10px 0 4px; }
#readout { min-height: 4.5em; background: #f6f8fb; border: 1px solid #dde3ea; padding: 6px 8px; }
#readout p { margin: 1px 0; }
fieldset { border: 1px solid #dde3ea; margin: 8px 0; padding: 4px 8px; }
fieldset label { margin-right: 12px; white-space: nowrap; }
.swatch { display: inline-block; width: 12px; height: 3px; vertical-align: middle; margin-right: 4px; }
table { border-collapse: collapse; margin-top: 10px; font-size: 13px; }
caption { text-align: left; font-weight: bold; padding-bottom: 4px; }
th, td { border-bottom: 1px solid #e3e3e3; padding: 3px 6px; text-align: right; white-space: nowrap; }
th { font-weight: 600; background: #f6f8fb; }
td.name { text-align: left; }
.hint { color: #666; font-size: 12px; }
button.remove { font-size: 11px; }
)CSS";

const char* const kScript = R"JS(
(function () {
  'use strict';
  var D = JSON.parse(document.getElementById('chart-data').textContent);
  var svg = document.querySelector('#chart svg');
  var NS = 'http://www.w3.org/2000/svg';
  var shown = D.measurements.map(function () { return true; });
  var markers = [];
  var next = 1;
  var cursor = null;

  function fixed(v, digits) { return isFinite(v) ? v.toFixed(digits) : '\u221e'; }
  function unitText(v, unit, digits) {
    var t = fixed(v, digits);
    return unit === '' ? t : unit === '%' ? t + '%' : t + '\u00a0' + unit;
  }
  function signed(v, unit, digits) { return (v >= 0 ? '+' : '\u2212') + unitText(Math.abs(v), unit, digits); }
  function differenceUnit(unit) { return unit === 'dBm' || unit === 'dBW' ? 'dB' : unit; }

  // The spline's value between the grid points: bilinear in the cell around
  // (re, im); row r of the grid has Im = -1 + 0.05 r, column q has Re = -1 + 0.05 q.
  function splineAt(grid, re, im) {
    var fx = (re + 1) / 0.05, fy = (im + 1) / 0.05;
    var q = Math.min(39, Math.max(0, Math.floor(fx))), r = Math.min(39, Math.max(0, Math.floor(fy)));
    var tx = fx - q, ty = fy - r;
    var a = grid[r * 41 + q], b = grid[r * 41 + q + 1], c = grid[(r + 1) * 41 + q], d = grid[(r + 1) * 41 + q + 1];
    return (1 - ty) * ((1 - tx) * a + tx * b) + ty * ((1 - tx) * c + tx * d);
  }

  function nearestSwept(re, im) {
    var best = -1, bestD = Infinity;
    for (var i = 0; i < D.swept.length; ++i) {
      var dx = D.swept[i][0] - re, dy = D.swept[i][1] - im, d = dx * dx + dy * dy;
      if (d < bestD) { bestD = d; best = i; }
    }
    return best;
  }

  // Everything the chart says at a point given by magnitude and angle (degrees).
  function readAt(mag, ang) {
    var a = ang * Math.PI / 180, re = mag * Math.cos(a), im = mag * Math.sin(a);
    var den = (1 - re) * (1 - re) + im * im;
    var R = D.z0 * (1 - re * re - im * im) / den, X = D.z0 * 2 * im / den;
    var near = nearestSwept(re, im);
    return {
      mag: mag, ang: ang, re: re, im: im, R: R, X: X, near: near,
      values: D.measurements.map(function (m) {
        return {
          spline: splineAt(m.grid, re, im),
          simulated: near >= 0 && m.values.length ? m.values[near] : null,
          error: near >= 0 && m.errors.length ? m.errors[near] : null
        };
      })
    };
  }
  function fromPlane(re, im) {
    var mag = Math.hypot(re, im), ang = Math.atan2(im, re) * 180 / Math.PI;
    return readAt(mag, ang);
  }

  function zText(r) { return fixed(r.R, 2) + (r.X < 0 ? ' \u2212 j' : ' + j') + fixed(Math.abs(r.X), 2) + ' \u03a9'; }
  function simulatedText(m, v, brief) {
    if (v.simulated === null || v.simulated === undefined) return '';
    var t = brief ? fixed(v.simulated, 2) : unitText(v.simulated, m.unit, 2);
    if (v.error !== null && v.error !== undefined && isFinite(v.error))
      t += brief ? ' (' + signed(v.error, '', 2) + ')' : ' (LOO ' + signed(v.error, differenceUnit(m.unit), 2) + ')';
    return t;
  }

  // The point of a line with values (the trade-off line) within 7 pixels, or null.
  function linePointAt(re, im) {
    var best = null, bestD = 7 / D.r;
    (D.lines || []).forEach(function (l, n) {
      l.points.forEach(function (p, i) {
        var d = Math.hypot(p[0] - re, p[1] - im);
        if (d <= bestD) { bestD = d; best = { line: n, index: i }; }
      });
    });
    return best;
  }

  function showReadout(r, where) {
    var box = document.getElementById('readout');
    box.textContent = '';
    function line(text, cls) { var p = document.createElement('p'); p.textContent = text; if (cls) p.className = cls; box.appendChild(p); }
    if (r.linePoint) {
      var l = D.lines[r.linePoint.line], p = l.points[r.linePoint.index];
      line(where + ': ' + l.name + ', point ' + (r.linePoint.index + 1) + ' of ' + l.points.length + ': \u0393 = ' +
           fixed(r.mag, 3) + ' \u2220 ' + fixed(r.ang, 1) + '\u00b0,  Z = ' + zText(r), 'trade-off');
      l.names.forEach(function (name, k) { line(name + ': ' + unitText(p[2 + k], l.units[k], 3)); });
      return;
    }
    line(where + ': \u0393 = ' + fixed(r.mag, 3) + ' \u2220 ' + fixed(r.ang, 1) + '\u00b0,  Z = ' + zText(r));
    if (r.mag > 1) { line('outside the chart'); return; }
    D.measurements.forEach(function (m, n) {
      if (!shown[n]) return;
      var v = r.values[n];
      var text = m.name + ': ' + unitText(v.spline, m.unit, 2) + ' (spline)';
      var s = simulatedText(m, v);
      if (s) text += ', nearest simulated ' + s;
      line(text, 'm' + n);
    });
    if (r.near >= 0) {
      var p = D.swept[r.near];
      line('nearest swept point: \u0393 = ' + fixed(Math.hypot(p[0], p[1]), 3) + ' \u2220 ' +
           fixed(Math.atan2(p[1], p[0]) * 180 / Math.PI, 1) + '\u00b0', 'hint');
    }
  }

  function toPlane(evt) {
    var pt = svg.createSVGPoint();
    pt.x = evt.clientX; pt.y = evt.clientY;
    var p = pt.matrixTransform(svg.getScreenCTM().inverse());
    return [(p.x - D.cx) / D.r, (D.cy - p.y) / D.r];
  }
  function svgX(re) { return D.cx + D.r * re; }
  function svgY(im) { return D.cy - D.r * im; }

  var layer = document.createElementNS(NS, 'g');
  layer.setAttribute('id', 'marker-layer');
  svg.appendChild(layer);
  var ring = document.createElementNS(NS, 'circle');
  ring.setAttribute('r', '5');
  ring.setAttribute('fill', 'none');
  ring.setAttribute('stroke', '#000');
  ring.setAttribute('stroke-width', '1.2');
  ring.setAttribute('visibility', 'hidden');
  ring.setAttribute('pointer-events', 'none');
  svg.appendChild(ring);

  function drawMarkers() {
    layer.textContent = '';
    markers.forEach(function (k) {
      if (k.maximum) return;  // the chart marks its maxima already
      var x = svgX(k.r.re), y = svgY(k.r.im);
      var c = document.createElementNS(NS, 'path');
      c.setAttribute('d', 'M' + (x - 6) + ' ' + y + 'h12M' + x + ' ' + (y - 6) + 'v12');
      c.setAttribute('stroke', '#000');
      c.setAttribute('stroke-width', '2');
      layer.appendChild(c);
      var t = document.createElementNS(NS, 'text');
      t.setAttribute('x', x + 7);
      t.setAttribute('y', y - 6);
      t.setAttribute('font-family', 'sans-serif');
      t.setAttribute('font-size', '12');
      t.setAttribute('font-weight', 'bold');
      t.setAttribute('stroke', 'white');
      t.setAttribute('stroke-width', '3');
      t.setAttribute('paint-order', 'stroke');
      t.textContent = k.label;
      layer.appendChild(t);
    });
  }

  function cell(tr, text, cls, value) {
    var td = document.createElement('td');
    td.textContent = text;
    if (cls) td.className = cls;
    if (value !== undefined && value !== null) td.setAttribute('data-value', String(value));
    tr.appendChild(td);
    return td;
  }

  function drawTable() {
    var head = document.querySelector('#markers thead tr');
    head.textContent = '';
    var titles = ['marker', '|\u0393|', '\u2220\u0393 (\u00b0)', 'R (\u03a9)', 'X (\u03a9)'];
    D.measurements.forEach(function (m, n) {
      if (!shown[n]) return;
      titles.push(m.name + (m.unit ? ' (' + m.unit + ')' : ''));
      titles.push('simulated (LOO)');
    });
    titles.push('');
    titles.forEach(function (t) { var th = document.createElement('th'); th.scope = 'col'; th.textContent = t; head.appendChild(th); });
    var body = document.querySelector('#markers tbody');
    body.textContent = '';
    markers.forEach(function (k, i) {
      var tr = document.createElement('tr');
      tr.className = 'marker';
      tr.setAttribute('data-label', k.label);
      cell(tr, k.label + (k.note ? ' ' + k.note : ''), 'name');
      cell(tr, fixed(k.r.mag, 3), 'g-mag');
      cell(tr, fixed(k.r.ang, 1), 'g-ang');
      cell(tr, fixed(k.r.R, 2), 'z-r');
      cell(tr, fixed(k.r.X, 2), 'z-x');
      D.measurements.forEach(function (m, n) {
        if (!shown[n]) return;
        var v = k.r.values[n];
        cell(tr, fixed(v.spline, 2), 'spline m' + n, v.spline);
        var s = cell(tr, simulatedText(m, v, true), 'simulated m' + n, v.simulated);
        if (v.error !== null && v.error !== undefined) s.setAttribute('data-error', String(v.error));
      });
      var td = document.createElement('td');
      var b = document.createElement('button');
      b.type = 'button';
      b.className = 'remove';
      b.textContent = 'remove';
      b.setAttribute('aria-label', 'remove marker ' + k.label);
      b.addEventListener('click', function () { markers.splice(i, 1); refresh(); });
      td.appendChild(b);
      tr.appendChild(td);
      body.appendChild(tr);
    });
    document.getElementById('marker-count').textContent = String(markers.length);
  }

  function refresh() { drawMarkers(); drawTable(); }

  function addMarker(r, label, note) {
    if (!(r.mag <= 1)) return false;
    markers.push({ r: r, label: label || String(next++), note: note || '' });
    refresh();
    return true;
  }

  // Moving over the chart reads it out; a click pins a marker.
  // A trade-off point under the pointer is read out as itself: its own load and values.
  function atPointer(g) {
    var hit = linePointAt(g[0], g[1]);
    if (!hit) return fromPlane(g[0], g[1]);
    var p = D.lines[hit.line].points[hit.index];
    var r = fromPlane(p[0], p[1]);
    r.linePoint = hit;
    return r;
  }
  svg.addEventListener('pointermove', function (evt) {
    var g = toPlane(evt);
    var r = atPointer(g);
    showReadout(r, 'pointer');
    ring.setAttribute('cx', svgX(r.re));
    ring.setAttribute('cy', svgY(r.im));
    ring.setAttribute('visibility', r.mag <= 1 ? 'visible' : 'hidden');
  });
  svg.addEventListener('pointerleave', function () { ring.setAttribute('visibility', 'hidden'); });
  svg.addEventListener('click', function (evt) {
    var g = toPlane(evt);
    var r = atPointer(g);
    if (r.linePoint) {
      if (addMarker(r, 'T' + (r.linePoint.index + 1))) showReadout(r, 'marker T' + (r.linePoint.index + 1));
    } else {
      addMarker(r);
    }
  });

  // The keyboard: arrows move a cursor (Shift: five times farther), Enter or
  // Space pins a marker there.
  var chart = document.getElementById('chart');
  chart.addEventListener('keydown', function (evt) {
    var step = evt.shiftKey ? 0.05 : 0.01;
    var moves = { ArrowLeft: [-step, 0], ArrowRight: [step, 0], ArrowUp: [0, step], ArrowDown: [0, -step] };
    if (!cursor) cursor = [0, 0];
    if (moves[evt.key]) {
      var re = cursor[0] + moves[evt.key][0], im = cursor[1] + moves[evt.key][1];
      if (Math.hypot(re, im) <= 1) cursor = [re, im];
    } else if (evt.key === 'Enter' || evt.key === ' ') {
      addMarker(fromPlane(cursor[0], cursor[1]));
    } else {
      return;
    }
    evt.preventDefault();
    var r = fromPlane(cursor[0], cursor[1]);
    showReadout(r, 'cursor');
    ring.setAttribute('cx', svgX(r.re));
    ring.setAttribute('cy', svgY(r.im));
    ring.setAttribute('visibility', 'visible');
  });

  document.getElementById('add').addEventListener('submit', function (evt) {
    evt.preventDefault();
    var mag = parseFloat(document.getElementById('add-mag').value);
    var ang = parseFloat(document.getElementById('add-ang').value);
    var ok = isFinite(mag) && isFinite(ang) && mag >= 0 && addMarker(readAt(mag, ang));
    document.getElementById('add-status').textContent = ok ? '' : 'give |\u0393| from 0 to 1 and an angle in degrees';
  });

  // Measurements on and off: their lines, labels, maxima and columns.
  var toggles = document.getElementById('toggles');
  D.measurements.forEach(function (m, n) {
    var label = document.createElement('label');
    var box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = true;
    box.id = 'show-' + n;
    box.addEventListener('change', function () {
      shown[n] = box.checked;
      svg.querySelectorAll('[data-m="' + m.index + '"]').forEach(function (e) {
        e.style.display = box.checked ? '' : 'none';
      });
      drawTable();
    });
    var swatch = document.createElement('span');
    swatch.className = 'swatch';
    swatch.style.background = m.colour;
    label.appendChild(box);
    label.appendChild(swatch);
    label.appendChild(document.createTextNode(m.name + (m.unit ? ' (' + m.unit + ')' : '')));
    toggles.appendChild(label);
  });

  // The maxima are the first markers; the address adds more: #marker=0.5@30;0.2@-90
  D.maxima.forEach(function (x) {
    var m = D.measurements[x.measurement];
    markers.push({ r: fromPlane(x.re, x.im), label: 'max ' + m.name, note: '', maximum: true });
  });
  var hash = decodeURIComponent(location.hash.replace(/^#/, ''));
  hash.split('&').forEach(function (part) {
    if (part.indexOf('marker=') !== 0) return;
    part.substring(7).split(';').forEach(function (spec) {
      var at = spec.split('@');
      var mag = parseFloat(at[0]), ang = parseFloat(at[1]);
      if (at.length !== 2 || !isFinite(mag) || !isFinite(ang) || mag < 0) return;
      // A load on a trade-off point is that point, read out with its values.
      var r = readAt(mag, ang), hit = linePointAt(r.re, r.im);
      if (hit) { r = atPointer([r.re, r.im]); addMarker(r, 'T' + (hit.index + 1)); } else addMarker(r);
    });
  });
  refresh();
  if (markers.length) showReadout(markers[markers.length - 1].r, 'marker ' + markers[markers.length - 1].label);
})();
)JS";

}  // namespace

std::string HtmlFileName(const std::string& graphName) {
    std::string svg = SvgFileName(graphName);
    return svg.substr(0, svg.size() - 4) + ".html";
}

std::string RenderInteractiveChart(const ProjectData& project, const GraphData& graph, const ChartOptions& options) {
    ChartOptions embedded = options;
    embedded.embedded = true;
    const std::string svg = RenderSmithChart(project, graph, nullptr, embedded);
    const std::vector<ChartContour> contours = ChartContours(project, graph, options);
    const RunResults* results = options.results;

    std::ostringstream data;
    const ChartView view = ViewOf(options);
    data << "{\"cx\":" << JsonNumber(view.cx) << ",\"cy\":" << JsonNumber(view.cy) << ",\"r\":" << JsonNumber(view.r)
         << ",\"z0\":50,\"swept\":[";
    if (results)
        for (size_t i = 0; i < results->swept.size(); ++i)
            data << (i ? "," : "") << "[" << JsonNumber(results->swept[i].re) << "," << JsonNumber(results->swept[i].im)
                 << "]";
    data << "],\"measurements\":[";
    std::string maxima;
    std::set<std::string> files;
    int count = 0;
    for (size_t n = 0; n < contours.size(); ++n) {
        const ChartContour& k = contours[n];
        if (k.earlier || k.grid.values.empty()) continue;
        const ContourResult* r = results ? results->ForDataFile(k.m->source) : nullptr;
        data << (count ? "," : "") << "{\"index\":" << n
             << ",\"name\":" << JsonString(k.measurement.empty() ? k.m->source : k.measurement)
             << ",\"unit\":" << JsonString(k.unit) << ",\"colour\":" << JsonString(k.colour) << ",\"grid\":[";
        for (size_t i = 0; i < k.grid.values.size(); ++i) data << (i ? "," : "") << JsonNumber(k.grid.values[i]);
        data << "],\"values\":[";
        if (r)
            for (size_t i = 0; i < r->values.size(); ++i) data << (i ? "," : "") << JsonNumber(r->values[i]);
        data << "],\"errors\":[";
        if (r)
            for (size_t i = 0; i < r->errors.size(); ++i) data << (i ? "," : "") << JsonNumber(r->errors[i]);
        data << "]}";
        if (k.max.found && files.insert(k.m->source).second)
            maxima += std::string(maxima.empty() ? "" : ",") + "{\"measurement\":" + std::to_string(count) +
                      ",\"re\":" + JsonNumber(k.max.re) + ",\"im\":" + JsonNumber(k.max.im) + "}";
        ++count;
    }
    data << "],\"maxima\":[" << maxima << "],\"lines\":[";
    // The lines drawn over the chart whose points carry values (the trade-off line):
    // each point is read out as the chart's own points are.
    bool firstLine = true;
    for (const Overlay& v : options.overlays) {
        if (v.valueNames.empty() || v.values.size() != v.points.size()) continue;
        data << (firstLine ? "" : ",") << "{\"name\":" << JsonString(v.name) << ",\"names\":[";
        for (size_t i = 0; i < v.valueNames.size(); ++i) data << (i ? "," : "") << JsonString(v.valueNames[i]);
        data << "],\"units\":[";
        for (size_t i = 0; i < v.valueNames.size(); ++i)
            data << (i ? "," : "") << JsonString(i < v.valueUnits.size() ? v.valueUnits[i] : "");
        data << "],\"points\":[";
        for (size_t i = 0; i < v.points.size(); ++i) {
            data << (i ? "," : "") << "[" << JsonNumber(v.points[i].re) << "," << JsonNumber(v.points[i].im);
            for (size_t k = 0; k < v.valueNames.size(); ++k)
                data << "," << JsonNumber(k < v.values[i].size() ? v.values[i][k] : NAN);
            data << "]";
        }
        data << "]}";
        firstLine = false;
    }
    data << "]}";

    std::ostringstream o;
    o << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" << HtmlText(graph.name)
      << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<div id=\"layout\">\n"
      << "<div id=\"chart\" tabindex=\"0\" role=\"application\" aria-label=\"Smith chart. Arrow keys move a cursor, "
         "Enter pins a marker there.\">\n"
      << svg << "</div>\n<div id=\"panel\">\n<h1>" << HtmlText(graph.name) << "</h1>\n<h2>Readout</h2>\n<div id=\"readout\" aria-live=\"polite\"><p>Move the "
         "pointer over the chart; click to pin a marker.</p></div>\n"
      << "<fieldset id=\"toggles\"><legend>Measurements</legend></fieldset>\n"
      << "<form id=\"add\"><label>|&Gamma;| <input id=\"add-mag\" size=\"6\" inputmode=\"decimal\"></label> "
         "<label>angle (&deg;) <input id=\"add-ang\" size=\"6\" inputmode=\"decimal\"></label> "
         "<button type=\"submit\">add marker</button> <span id=\"add-status\" class=\"hint\"></span></form>\n"
      << "<p class=\"hint\">Spline values are interpolated between the points of the 41 &times; 41 grid; "
         "\"nearest simulated\" is the swept point nearest the marker, with the spline's leave-one-out error "
         "there (LOO). The address takes markers too: #marker=0.5@30;0.2@-90.</p>\n"
      << "</div>\n</div>\n"
      << "<table id=\"markers\"><caption>Markers (<span id=\"marker-count\">0</span>)</caption>"
         "<thead><tr></tr></thead><tbody></tbody></table>\n"
      << "<script type=\"application/json\" id=\"chart-data\">" << data.str() << "</script>\n<script>"
      << kScript << "</script>\n</body>\n</html>\n";
    return o.str();
}

}  // namespace vexasim
