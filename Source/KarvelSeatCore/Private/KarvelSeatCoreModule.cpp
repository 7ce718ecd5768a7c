// The module's one engine-facing file: it registers the module. Everything in the folders beside it is plain
// C++ with no engine header.
#include "Modules/ModuleManager.h"

IMPLEMENT_MODULE(FDefaultModuleImpl, KarvelSeatCore)
