#include "CliFixture.h"

namespace karvel::tools::test {

std::string cliPath() { return KARVEL_CLI_PATH; }
std::string motionFile(const std::string& name) { return std::string(KARVEL_MOTION_DIR) + "/" + name; }

} // namespace karvel::tools::test
