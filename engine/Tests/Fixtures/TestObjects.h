#pragma once

#include "CoreMinimal.h"
#include "Subsystems/GameInstanceSubsystem.h"

#include <vector>
#include "TestObjects.generated.h"

// Records the lifecycle calls the game instance makes.
UCLASS()
class KARVELTESTFIXTURES_API UTestRecordingSubsystem : public UGameInstanceSubsystem
{
	GENERATED_BODY()

public:
	virtual void Initialize(FSubsystemCollectionBase& Collection) override;
	virtual void Deinitialize() override;

	static std::vector<FString>& Calls();
};

// Counts what an async node reports, as the Blueprint wired to its pins would see it.
UCLASS()
class KARVELTESTFIXTURES_API UTestAsyncListener : public UObject
{
	GENERATED_BODY()

public:
	UFUNCTION()
	void OnSucceeded() { ++Succeeded; }
	UFUNCTION()
	void OnFailed() { ++Failed; }

	int32 Succeeded = 0;
	int32 Failed = 0;
};

// Holds another object the way the seat device manager holds its configuration.
UCLASS()
class KARVELTESTFIXTURES_API UTestHolder : public UObject
{
	GENERATED_BODY()

public:
	UPROPERTY()
	TObjectPtr<UObject> Held;
};
