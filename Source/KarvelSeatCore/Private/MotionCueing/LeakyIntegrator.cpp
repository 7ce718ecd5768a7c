#include "MotionCueing/LeakyIntegrator.h"

#include <algorithm>

namespace KarvelCueing {

void LeakyIntegrator::SetLeakFrequency(double Hz) {
    W = 2.0 * 3.141592653589793 * Hz;
}

double LeakyIntegrator::Step(double Dt, double Input) {
    // Trapezoidal rule on y' = u - w y.
    const double h2 = 0.5 * Dt;
    Y = ((1.0 - W * h2) * Y + h2 * (LastInput + Input)) / (1.0 + W * h2);
    LastInput = Input;
    return Y;
}

void LeakyIntegrator::Limit(double Lo, double Hi) {
    Y = std::clamp(Y, Lo, Hi);
}

} // namespace KarvelCueing
