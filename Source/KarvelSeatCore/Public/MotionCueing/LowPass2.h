// Second-order low-pass, critically damped, break frequency in Hz:
// y'' = w^2 (u - y) - 2 w y'. Integrated with the trapezoidal rule, which
// stays stable for any step and keeps the unit gain at rest, so steps of
// varying length are fine.
#pragma once

#include "SeatCoreApi.h"

namespace KarvelCueing {

class KARVELSEATCORE_API LowPass2 {
public:
    void SetFrequency(double Hz);
    double Step(double Dt, double Input); // returns the filtered value
    void Reset(double At = 0);            // at rest at At

    double Value() const { return Y; }
    double Rate() const { return Dy; }    // dY/dt
    double Omega() const { return W; }    // rad/s

private:
    double W = 1;
    double Y = 0, Dy = 0, LastInput = 0;
};

} // namespace KarvelCueing
