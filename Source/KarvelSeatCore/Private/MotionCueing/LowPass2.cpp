#include "MotionCueing/LowPass2.h"

namespace KarvelCueing {

void LowPass2::SetFrequency(double Hz) {
    W = 2.0 * 3.141592653589793 * Hz;
}

double LowPass2::Step(double Dt, double Input) {
    // x = (y, y'), x' = A x + B u with A = [[0, 1], [-w^2, -2w]], B = (0, w^2).
    // Trapezoidal rule: (I - A h/2) x+ = (I + A h/2) x + B (h/2) (u + u+),
    // with the 2x2 system solved in closed form.
    const double h2 = 0.5 * Dt;
    const double w2 = W * W;
    const double r0 = Y + h2 * Dy;
    const double r1 = Dy + h2 * (w2 * (LastInput + Input - Y) - 2.0 * W * Dy);
    const double a11 = 1.0 + 2.0 * W * h2;
    const double det = a11 + h2 * h2 * w2;
    Y = (a11 * r0 + h2 * r1) / det;
    Dy = (r1 - h2 * w2 * r0) / det;
    LastInput = Input;
    return Y;
}

void LowPass2::Reset(double At) {
    Y = At;
    Dy = 0;
    LastInput = At;
}

} // namespace KarvelCueing
