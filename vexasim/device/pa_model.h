// A small power-amplifier model for the stand-in host: a transistor with a
// reduced-conduction-angle drain current, a knee voltage and a maximum current,
// driving the load that the schematic's tuner presents. Its outputs make load-pull
// contours with a current-limited and a voltage-limited side, like a real device.
// The equations and their sources are in docs/device-model.md.
#pragma once
#include <complex>

#include "vexasim/analysis.h"

namespace pa {

struct Device {
    double vdd = 28.0;            // supply voltage, V
    double vknee = 3.0;           // knee voltage, V
    double imax = 2.0;            // maximum (peak) drain current, A
    double conductionDeg = 360.0; // conduction angle: 360 class A ... 180 class B
    double drive = 1.0;           // input drive relative to saturation, 0..1
    double gainDb = 15.0;         // small-signal gain, dB
    double z0 = vexasim::kZ0;     // reference impedance, ohm
};

// The loads presented at the fundamental and the 2nd and 3rd harmonics (the
// device has no input port: the source and its power are not used).
using Loads = vexasim::Loads;

// The device's outputs: the fundamental output power, drain efficiency,
// power-added efficiency, operating gain, DC drain current and input power.
struct Outputs : vexasim::Outputs {
    double driveUsed = 0;    // drive after the knee-voltage limit, 0..1
    std::complex<double> loadGamma;  // the fundamental load as presented
};

// Largest |gamma| the model accepts; loads on or beyond the unit circle are pulled in
// to this magnitude so that no output becomes infinite or not a number.
constexpr double kMaxGamma = 0.999;
// Output power floor (W), so that dB values stay finite.
constexpr double kPowerFloor = 1e-12;

// Fourier component n (0 = DC) of the reduced-conduction-angle current with unit
// peak current and conduction angle alpha (radians, 0 < alpha <= 2 pi).
double CurrentHarmonic(int n, double alphaRad);

// The load impedance of a reflection coefficient (clamped to kMaxGamma).
std::complex<double> Impedance(std::complex<double> gamma, double z0);

Outputs Evaluate(const Device& device, const Loads& loads);

}  // namespace pa
