#pragma once

// What the header tool's generated code needs to register its types.

#include "UObject/Class.h"
#include "UObject/Object.h"
#include "UObject/Package.h"
#include "UObject/UnrealType.h"

#include <memory>

struct FRegisterCompiledInInfo
{
	FRegisterCompiledInInfo(const char* PackageName, UE::StandIn::FPackageBuilder Builder)
	{
		UE::StandIn::RegisterCompiledInTypes(PackageName, Builder);
	}
};
