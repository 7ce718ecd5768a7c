#include "GuardSpawn.h"

namespace karvel::guard {

GuardCommand guardCommand(const std::string& program, const std::string& library, const std::string& stateDir) {
    GuardCommand command{program, {"--library", library}};
    if (!stateDir.empty()) command.words.insert(command.words.end(), {"--state-dir", stateDir});
    return command;
}

} // namespace karvel::guard
