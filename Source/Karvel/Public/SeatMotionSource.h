#pragma once

#include "CoreMinimal.h"

// Something that streams postures through USeatDeviceManager and can bring the seat home softly. The manager
// asks its sources to park before it homes the seat, so that the home command never causes a jump.
class KARVEL_API ISeatMotionSource
{
public:
	virtual ~ISeatMotionSource() = default;

	// Starts a ramp to the seat model's home within the source's limits.
	virtual void BeginPark() = 0;
	// Sends the next posture of the ramp through the manager; false once the seat rests at home.
	virtual bool StepPark(float DeltaSeconds) = 0;
	// The longest a ramp may take.
	virtual float GetParkSeconds() const = 0;
};
