#pragma once

#include "CoreMinimal.h"

// Something that may drive the seat's motion stream (USeatMotionComponent). It registers with the manager, which
// tells it when a seat becomes ready, so that a source that rests while no seat is registered can wake up.
class KARVEL_API ISeatMotionSource
{
public:
	virtual ~ISeatMotionSource() = default;

	// A registration completed: the seat is ready.
	virtual void OnSeatReady() = 0;
};
