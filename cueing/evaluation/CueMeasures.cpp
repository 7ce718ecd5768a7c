#include "CueMeasures.h"

#include <algorithm>
#include <cmath>

namespace KarvelCueEvaluation {

namespace {

constexpr double kLagMinimumCorrelation = 0.3;

double Rms(const std::vector<double>& Values) {
    double sum = 0;
    for (const double v : Values) sum += v * v;
    return Values.empty() ? 0 : std::sqrt(sum / static_cast<double>(Values.size()));
}

double Pearson(const std::vector<double>& A, const std::vector<double>& B) {
    const std::size_t n = std::min(A.size(), B.size());
    if (n == 0) return 0;
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < n; ++i) ma += A[i], mb += B[i];
    ma /= static_cast<double>(n);
    mb /= static_cast<double>(n);
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = A[i] - ma, y = B[i] - mb;
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// The delay (in steps, Seat behind Vehicle) of the best match and how well
// the two match there (normalised cross-correlation).
void BestLag(const std::vector<double>& Vehicle, const std::vector<double>& Seat, double Dt, long& Best,
             double& Match) {
    const long n = static_cast<long>(std::min(Vehicle.size(), Seat.size()));
    double vv = 0, ss = 0;
    for (long i = 0; i < n; ++i) vv += Vehicle[i] * Vehicle[i], ss += Seat[i] * Seat[i];
    Best = 0;
    Match = 0;
    if (vv <= 0 || ss <= 0) return;
    const long from = -static_cast<long>(std::lround(kLagSearchBefore / Dt));
    const long to = static_cast<long>(std::lround(kLagSearchAfter / Dt));
    const double norm = std::sqrt(vv * ss);
    Match = -2;
    for (long k = from; k <= to; ++k) {
        double sum = 0;
        for (long i = std::max(0L, -k); i < n && i + k < n; ++i) sum += Vehicle[i] * Seat[i + k];
        const double c = sum / norm;
        if (c > Match) Match = c, Best = k;
    }
}

} // namespace

bool IsFalseCue(double Vehicle, double Seat, double Threshold) {
    return std::abs(Seat) > Threshold && Seat * Vehicle < 0;
}

ChannelMeasures MeasureChannel(const std::vector<double>& Vehicle, const std::vector<double>& Seat, double Threshold,
                               double Dt) {
    ChannelMeasures m;
    const std::size_t n = std::min(Vehicle.size(), Seat.size());
    std::vector<double> error(n);
    for (std::size_t i = 0; i < n; ++i) {
        error[i] = Seat[i] - Vehicle[i];
        if (IsFalseCue(Vehicle[i], Seat[i], Threshold)) m.FalseCueSeconds += Dt;
    }
    m.VehicleRms = Rms(Vehicle);
    m.SeatRms = Rms(Seat);
    m.Nrmse = Rms(error) / std::max(m.VehicleRms, Threshold);
    m.Correlation = Pearson(Vehicle, Seat);
    long best = 0;
    double match = 0;
    BestLag(Vehicle, Seat, Dt, best, match);
    m.HasLag = match >= kLagMinimumCorrelation;
    m.LagSeconds = m.HasLag ? static_cast<double>(best) * Dt : 0;
    return m;
}

} // namespace KarvelCueEvaluation
