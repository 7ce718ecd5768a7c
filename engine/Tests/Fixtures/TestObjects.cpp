#include "TestObjects.h"

std::vector<FString>& UTestRecordingSubsystem::Calls()
{
	static std::vector<FString> Recorded;
	return Recorded;
}

void UTestRecordingSubsystem::Initialize(FSubsystemCollectionBase&)
{
	Calls().push_back(GetGameInstance() ? TEXT("Initialize in game instance") : TEXT("Initialize without game instance"));
}

void UTestRecordingSubsystem::Deinitialize()
{
	Calls().push_back(TEXT("Deinitialize"));
}
