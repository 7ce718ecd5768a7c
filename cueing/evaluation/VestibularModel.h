// What a person perceives of a motion: the otolith organs sense specific
// force, the semicircular canals angular velocity. Linear models from
//
//   R. J. Telban, F. M. Cardullo, "Motion Cueing Algorithm Development:
//   Human-Centered Linear and Nonlinear Approaches", NASA CR-2005-213747
//   (2005), chapter on the vestibular system:
//
//   otolith, per axis (after Young and Meiry, 1968):
//     f^/f = K (tA s + 1) / ((tL s + 1)(tS s + 1)),
//     K = 0.4, tA = 13.2 s, tL = 5.33 s, tS = 0.66 s
//     (a gain near 0.9 for changes over some seconds to half a minute, 0.4
//     for a force held for minutes, falling off above 0.25 Hz);
//   semicircular canals, per axis (after Fernandez and Goldberg, 1971, with
//     the adaptation of Young and Oman, 1969):
//     w^/w = (tA s / (tA s + 1)) (tL s (tN s + 1)) / ((tL s + 1)(tS s + 1)),
//     tA = 80 s, tL = 5.73 s, tN = 0.06 s, tS = 0.005 s
//     (a rotation held is felt fading over some seconds).
//
// Perception thresholds (the smallest motion noticed), used to judge cues:
// specific force 0.06 m/s^2 fore-aft and sideways, 0.15 m/s^2 vertical
// (Benson, Spencer and Stott, 1986; Benson et al., 1989), angular velocity
// 3.0 deg/s roll, 3.6 deg/s pitch, 2.6 deg/s yaw (as Telban and Cardullo use).
//
// Each model is stepped at one fixed time step, discretised with the bilinear
// (trapezoidal) rule section by section.
#pragma once

#include <array>

namespace KarvelCueEvaluation {

// The six channels a rider perceives, in the vehicle's (or the seat's) own
// frame, with the cueing core's axes and signs (CueingTypes.h):
//   Surge, Sway: specific force x, y (m/s^2);
//   Heave: specific force z less standard gravity (m/s^2), so that level and
//     at rest every channel reads zero;
//   Roll, Pitch, Yaw: angular velocity (deg/s).
enum Channel { Surge, Sway, Heave, Roll, Pitch, Yaw, ChannelCount };
using Channels = std::array<double, ChannelCount>;

const char* ChannelName(int Channel); // "surge", ...
const char* ChannelUnit(int Channel); // "m/s^2" or "deg/s"
// The perception thresholds above, per channel.
const Channels& PerceptionThresholds();

// (B1 s + B0) / (A1 s + A0), bilinear at a fixed step.
class FirstOrderSection {
public:
    FirstOrderSection(double B1, double B0, double A1, double A0, double Dt);
    double Step(double Input);
    // At rest with this input held for ever (the output is the DC gain times it).
    void Settle(double Input);

private:
    double N0 = 0, N1 = 0, D1 = 0; // y[k] = N0 x[k] + N1 x[k-1] - D1 y[k-1]
    double DcGain = 0;
    double LastIn = 0, LastOut = 0;
};

class OtolithModel {
public:
    explicit OtolithModel(double Dt);
    double Step(double SpecificForce); // m/s^2 in, perceived m/s^2 out
    void Settle(double SpecificForce);

private:
    FirstOrderSection LeadLag;   // K (tA s + 1) / (tL s + 1)
    FirstOrderSection Smoothing; // 1 / (tS s + 1)
};

class CanalModel {
public:
    explicit CanalModel(double Dt);
    double Step(double Rate); // deg/s in, perceived deg/s out
    void Settle(double Rate);

private:
    FirstOrderSection Adaptation; // tA s / (tA s + 1)
    FirstOrderSection Cupula;     // tL s / (tL s + 1)
    FirstOrderSection Lead;       // (tN s + 1) / (tS s + 1)
};

// All six channels of one person.
class Vestibular {
public:
    explicit Vestibular(double Dt);
    // Specific force (m/s^2, z including gravity) and angular velocity
    // (deg/s: roll, pitch, yaw rate); returns the perceived channels.
    Channels Step(const std::array<double, 3>& SpecificForce, const std::array<double, 3>& AngularVelocity);
    // At rest in this state held for ever: a ride that starts mid-motion
    // (a recording, say) does not begin with a jolt the person never felt.
    void Settle(const std::array<double, 3>& SpecificForce, const std::array<double, 3>& AngularVelocity);

private:
    std::array<OtolithModel, 3> Otoliths;
    std::array<CanalModel, 3> Canals;
};

} // namespace KarvelCueEvaluation
