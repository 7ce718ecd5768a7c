#pragma once

#include "UObject/Object.h"

// The pause switch as game code and Blueprints reach it.
class UGameplayStatics
{
public:
	// Pauses or unpauses the world of WorldContextObject (a world, an actor or a component); true when done.
	static bool SetGamePaused(const UObject* WorldContextObject, bool bPaused);
	static bool IsGamePaused(const UObject* WorldContextObject);
};
