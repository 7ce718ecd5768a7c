#pragma once

// Why an actor or component stops playing.
namespace EEndPlayReason
{
enum Type : int
{
	Destroyed,
	LevelTransition,
	EndPlayInEditor,
	RemovedFromWorld,
	Quit,
};
}
