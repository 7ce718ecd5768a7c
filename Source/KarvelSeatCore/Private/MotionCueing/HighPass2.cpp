#include "MotionCueing/HighPass2.h"

namespace KarvelCueing {

double HighPass2::Step(double Dt, double Input) {
    // s^2 / (s + w)^2 = 1 - (2 w s + w^2) / (s + w)^2: the input less the
    // low-pass and its rate scaled by 2 / w.
    Low.Step(Dt, Input);
    return Input - Low.Value() - 2.0 / Low.Omega() * Low.Rate();
}

} // namespace KarvelCueing
