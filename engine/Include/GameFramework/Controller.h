#pragma once

#include "GameFramework/Actor.h"
#include "StandIn/StandInControl.h"

class APawn;

// Possesses a pawn for a player (APlayerController) or an AI.
class AController : public AActor
{
	UE_STANDIN_ENGINE_CLASS(AController, AActor)

	APawn* GetPawn() const { return Pawn; }
	// Takes InPawn from whatever controller had it.
	virtual void Possess(APawn* InPawn) final;
	virtual void UnPossess() final;

	bool IsPlayerController() const { return bIsPlayerController; }
	bool IsLocalPlayerController() const { return IsPlayerController() && IsLocalController(); }
	// A controller of this process; in the stand-in, any but one set as remote (UE::StandIn::SetRemoteController).
	virtual bool IsLocalController() const { return !bRemote; }

protected:
	bool bIsPlayerController = false;

private:
	friend void UE::StandIn::SetRemoteController(AController&, bool);

	APawn* Pawn = nullptr;
	bool bRemote = false;
};
