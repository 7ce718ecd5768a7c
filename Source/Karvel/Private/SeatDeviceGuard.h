#pragma once

#include "CoreMinimal.h"
#include "Templates/SharedPointer.h"

namespace KarvelSeat
{
class GuardLink;
}

// The guard (karvel-guard.exe, beside Karvel.dll) that parks the seat and turns every effect off should the game end
// without releasing it: a crash, the debugger stopping it, Task Manager. One for the process, as the library keeps
// one seat for the process: every game instance's binding shares it while it has the library bound. The guard itself
// is started at the first registration. Game thread only.
TSharedPtr<KarvelSeat::GuardLink> AcquireSeatGuard(const FString& LibraryPath);
