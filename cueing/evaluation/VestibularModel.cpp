#include "VestibularModel.h"

#include "CueingTypes.h"

namespace KarvelCueEvaluation {

namespace {

// Otolith (Telban and Cardullo, 2005).
constexpr double kOtolithGain = 0.4;
constexpr double kOtolithLead = 13.2;  // s
constexpr double kOtolithLong = 5.33;  // s
constexpr double kOtolithShort = 0.66; // s
// Semicircular canals (Telban and Cardullo, 2005).
constexpr double kCanalAdaptation = 80.0; // s
constexpr double kCanalLong = 5.73;       // s
constexpr double kCanalLead = 0.06;       // s
constexpr double kCanalShort = 0.005;     // s

} // namespace

const char* ChannelName(int C) {
    static const char* const names[] = {"surge", "sway", "heave", "roll", "pitch", "yaw"};
    return C >= 0 && C < ChannelCount ? names[C] : "?";
}

const char* ChannelUnit(int C) {
    return C < Roll ? "m/s^2" : "deg/s";
}

const Channels& PerceptionThresholds() {
    static const Channels thresholds = {0.06, 0.06, 0.15, 3.0, 3.6, 2.6};
    return thresholds;
}

FirstOrderSection::FirstOrderSection(double B1, double B0, double A1, double A0, double Dt) {
    // s = (2 / h) (z - 1) / (z + 1): (B1 c + B0) x[k] + (B0 - B1 c) x[k-1]
    //   = (A1 c + A0) y[k] + (A0 - A1 c) y[k-1], with c = 2 / h.
    const double c = 2.0 / Dt;
    const double a = A1 * c + A0;
    N0 = (B1 * c + B0) / a;
    N1 = (B0 - B1 * c) / a;
    D1 = (A0 - A1 * c) / a;
    DcGain = B0 / A0;
}

double FirstOrderSection::Step(double Input) {
    const double out = N0 * Input + N1 * LastIn - D1 * LastOut;
    LastIn = Input;
    LastOut = out;
    return out;
}

void FirstOrderSection::Settle(double Input) {
    LastIn = Input;
    LastOut = DcGain * Input;
}

OtolithModel::OtolithModel(double Dt)
    : LeadLag(kOtolithGain * kOtolithLead, kOtolithGain, kOtolithLong, 1.0, Dt),
      Smoothing(0.0, 1.0, kOtolithShort, 1.0, Dt) {}

double OtolithModel::Step(double SpecificForce) {
    return Smoothing.Step(LeadLag.Step(SpecificForce));
}

void OtolithModel::Settle(double SpecificForce) {
    LeadLag.Settle(SpecificForce);
    Smoothing.Settle(kOtolithGain * SpecificForce);
}

CanalModel::CanalModel(double Dt)
    : Adaptation(kCanalAdaptation, 0.0, kCanalAdaptation, 1.0, Dt), Cupula(kCanalLong, 0.0, kCanalLong, 1.0, Dt),
      Lead(kCanalLead, 1.0, kCanalShort, 1.0, Dt) {}

double CanalModel::Step(double Rate) {
    return Lead.Step(Cupula.Step(Adaptation.Step(Rate)));
}

void CanalModel::Settle(double Rate) {
    // A rotation held for ever is no longer felt.
    Adaptation.Settle(Rate);
    Cupula.Settle(0.0);
    Lead.Settle(0.0);
}

Vestibular::Vestibular(double Dt)
    : Otoliths{OtolithModel(Dt), OtolithModel(Dt), OtolithModel(Dt)},
      Canals{CanalModel(Dt), CanalModel(Dt), CanalModel(Dt)} {}

Channels Vestibular::Step(const std::array<double, 3>& F, const std::array<double, 3>& W) {
    return {Otoliths[0].Step(F[0]),
            Otoliths[1].Step(F[1]),
            Otoliths[2].Step(F[2] - KarvelCueing::StandardGravity),
            Canals[0].Step(W[0]),
            Canals[1].Step(W[1]),
            Canals[2].Step(W[2])};
}

void Vestibular::Settle(const std::array<double, 3>& F, const std::array<double, 3>& W) {
    Otoliths[0].Settle(F[0]);
    Otoliths[1].Settle(F[1]);
    Otoliths[2].Settle(F[2] - KarvelCueing::StandardGravity);
    for (int i = 0; i < 3; ++i) Canals[i].Settle(W[i]);
}

} // namespace KarvelCueEvaluation
