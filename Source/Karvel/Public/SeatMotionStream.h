#pragma once

#include "CoreMinimal.h"
#include "MotionCueing/CueRecorder.h"
#include "MotionCueing/CueingProfile.h"
#include "SeatRuntime/RuntimeTypes.h"

#include <memory>

class USeatDeviceManager;

// The seat's motion stream, as the one source that holds it sees it (USeatDeviceManager::BeginMotionStream). What
// the source posts goes to the manager's motion runtime, which cues it and sends the seat's frames on its own
// thread; none of these calls waits. Letting go of the handle ends the stream: the seat parks softly and rests.
// Once the seat is unregistered or the manager is gone the handle is no longer live and does nothing.
class KARVEL_API FSeatMotionStream
{
public:
	// Only the manager grants a stream (BeginMotionStream).
	class FGrant
	{
		friend class USeatDeviceManager;
		FGrant() = default;
	};
	FSeatMotionStream(FGrant, USeatDeviceManager& InManager) : Manager(&InManager) {}
	~FSeatMotionStream();
	FSeatMotionStream(const FSeatMotionStream&) = delete;
	FSeatMotionStream& operator=(const FSeatMotionStream&) = delete;

	bool IsLive() const { return Manager != nullptr; }
	// The newest sample: the vehicle's motion, a posture of the game's own, or park. Once a frame.
	void Post(const KarvelSeat::MotionSample& Sample);
	// A valid profile (KarvelCueing::ValidateProfile).
	void SetProfile(const KarvelCueing::CueingProfile& Profile);
	void Recentre();
	// Each frame's input and output go to Recorder (open) from now on.
	void Record(std::unique_ptr<KarvelCueing::CueRecorder> Recorder);
	void StopRecording();
	// The seat rests at home (or nothing streams).
	bool IsParked() const;

private:
	friend class USeatDeviceManager;

	USeatDeviceManager* Manager;
};
