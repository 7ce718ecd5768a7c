// The virtual seat's state as JSON (for the web view, the SSE stream and the
// tests) and as the short text summary the demo prints.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "SimState.h"

namespace karvel::sim {

nlohmann::json toJson(const SimSnapshot& snapshot);
std::string summaryText(const SimSnapshot& snapshot);

} // namespace karvel::sim
