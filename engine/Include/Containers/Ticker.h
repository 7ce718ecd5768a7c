#pragma once

#include "CoreTypes.h"
#include "Templates/Function.h"
#include "Templates/SharedPointer.h"

#include <mutex>
#include <vector>

// Calls functions on the thread that ticks it (the game thread, once an engine frame, for the core ticker) after
// a delay; a function that returns true is called again after the same delay.
class FTSTicker
{
private:
	struct FElement;

public:
	using FDelegateHandle = TWeakPtr<FElement>;

	static FTSTicker& GetCoreTicker();

	// Can be called from any thread; InDelay 0 means the next tick.
	FDelegateHandle AddTicker(const TCHAR* InName, float InDelay, TUniqueFunction<bool(float)>&& InFunction);
	// After it returns the function is not called again.
	static void RemoveTicker(FDelegateHandle Handle);
	// Fires what is due; DeltaTime is the time since the last tick.
	void Tick(float DeltaTime);
	// Forgets every function (the stand-in's tests start afresh).
	void Reset();

private:
	struct FElement
	{
		double FireTime = 0.0;
		float DelayTime = 0.0f;
		TUniqueFunction<bool(float)> Function;
		bool bRemoved = false;
	};

	std::mutex Mutex;
	std::vector<TSharedPtr<FElement>> Added;
	std::vector<TSharedPtr<FElement>> Elements;
	double CurrentTime = 0.0;
};
