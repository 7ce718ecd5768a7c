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

// Holds another object the way the seat device manager holds its configuration.
UCLASS()
class KARVELTESTFIXTURES_API UTestHolder : public UObject
{
	GENERATED_BODY()

public:
	UPROPERTY()
	TObjectPtr<UObject> Held;
};
