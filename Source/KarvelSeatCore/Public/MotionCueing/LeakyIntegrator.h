// Integrator with an optional leak back to zero: y' = u - w y (w = 2 pi Hz;
// 0 Hz integrates plainly). Trapezoidal rule, so a high-passed input whose
// integral is zero integrates back to zero.
#pragma once

#include "SeatCoreApi.h"

namespace KarvelCueing {

class KARVELSEATCORE_API LeakyIntegrator {
public:
    void SetLeakFrequency(double Hz);
    double Step(double Dt, double Input);
    void Reset() { Y = 0; LastInput = 0; }
    // Holds the value within Lo..Hi (an integrator whose output cannot go
    // further must not wind up beyond it).
    void Limit(double Lo, double Hi);
    double Value() const { return Y; }

private:
    double W = 0;
    double Y = 0, LastInput = 0;
};

} // namespace KarvelCueing
