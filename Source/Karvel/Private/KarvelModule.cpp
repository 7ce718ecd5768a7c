#include "Modules/ModuleManager.h"

// The library is loaded by the seat device manager's backend, not by the module, so the hooks stay empty.
class FKarvelModule : public IModuleInterface
{
public:
	virtual void StartupModule() override {}
	virtual void ShutdownModule() override {}
};

IMPLEMENT_MODULE(FKarvelModule, Karvel)
