#pragma once

#include "GameFramework/Controller.h"

// The controller of a human player.
class APlayerController : public AController
{
	UE_STANDIN_ENGINE_CLASS(APlayerController, AController)

	APlayerController() { bIsPlayerController = true; }
};
