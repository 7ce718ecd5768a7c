#pragma once

#include "GameFramework/Actor.h"

class AController;

// An actor a controller possesses: a player's or an AI's vehicle or character.
class APawn : public AActor
{
	UE_STANDIN_ENGINE_CLASS(APawn, AActor)

	AController* GetController() const { return Controller; }
	// Controlled by a controller of this process: a local player, or an AI on a server.
	virtual bool IsLocallyControlled() const;
	// Possessed by a player's controller, local or remote.
	virtual bool IsPlayerControlled() const;

	// A pawn that leaves play leaves its controller.
	void EndPlay(const EEndPlayReason::Type EndPlayReason) override;

private:
	friend class AController;

	AController* Controller = nullptr;
};
