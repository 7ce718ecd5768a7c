// Any float the host sends, finite or not, gives defined pulse targets.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Karvel.h"
#include "SeatAlgorithm.h"

namespace {

void quiet(int, const char*) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    float values[4] = {};
    std::memcpy(values, data, size < sizeof values ? size : sizeof values);
    const std::int32_t model = size > sizeof values ? data[sizeof values] % 3 : 0;
    Ridova_SetLogCallback(&quiet);
    karvel::SeatAlgorithm::postureTargets(values[0], values[1], values[2], values[3], model);
    karvel::SeatAlgorithm::commandTargets(values[0], values[1], values[2], values[3], model);
    karvel::SeatAlgorithm::calculateRotationPulse(values[0], model);
    karvel::SeatAlgorithm::lengthToPulse(static_cast<double>(values[1]) * 1e-3, values[2], values[3], values[0]);
    return 0;
}
