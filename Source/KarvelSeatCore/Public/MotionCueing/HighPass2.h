// Second-order high-pass, critically damped, break frequency in Hz:
// s^2 / (s + w)^2. A step passes at once and decays back to zero; a constant
// input gives zero. Built on LowPass2: u - y - (2 / w) y'.
#pragma once

#include "SeatCoreApi.h"

#include "LowPass2.h"

namespace KarvelCueing {

class KARVELSEATCORE_API HighPass2 {
public:
    void SetFrequency(double Hz) { Low.SetFrequency(Hz); }
    double Step(double Dt, double Input);
    void Reset() { Low.Reset(); }

private:
    LowPass2 Low;
};

} // namespace KarvelCueing
