#pragma once

#include "CoreTypes.h"
#include "Containers/UnrealString.h"
#include "Containers/StringConv.h"
#include "Math/Rotator.h"
#include "Templates/SharedPointer.h"
#include "Templates/UniquePtr.h"
#include "Logging/LogMacros.h"
#include "CoreGlobals.h"
#include "UObject/ObjectMacros.h"
