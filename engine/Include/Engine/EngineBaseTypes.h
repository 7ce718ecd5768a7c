#pragma once

#include "CoreTypes.h"

class UActorComponent;

// What a world is in a networked game: every mode below NM_Client is a kind of server.
enum ENetMode
{
	NM_Standalone,
	NM_DedicatedServer,
	NM_ListenServer,
	NM_Client,
	NM_MAX,
};

// What kind of frame the world is ticking.
enum ELevelTick
{
	LEVELTICK_TimeOnly = 0,
	LEVELTICK_ViewportsOnly = 1,
	LEVELTICK_All = 2,
	LEVELTICK_PauseTick = 3,
};

struct FTickFunction
{
	// Set in the constructor: whether this function ever ticks.
	uint8 bCanEverTick : 1;
	// Whether it ticks while the game is paused.
	uint8 bTickEvenWhenPaused : 1;
	uint8 bStartWithTickEnabled : 1;

	FTickFunction() : bCanEverTick(false), bTickEvenWhenPaused(false), bStartWithTickEnabled(true) {}
	virtual ~FTickFunction() = default;

	bool IsTickFunctionEnabled() const { return bEnabled; }
	void SetTickFunctionEnable(bool bInEnabled) { bEnabled = bInEnabled; }

private:
	bool bEnabled = true;
};

struct FActorTickFunction : public FTickFunction
{
};

struct FActorComponentTickFunction : public FTickFunction
{
	UActorComponent* Target = nullptr;
};
