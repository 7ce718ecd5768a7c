#include "Engine/GameInstance.h"
#include "SeatDeviceManager.h"
#include "TestObjects.h"
#include "TestSupport.h"
#include "UObject/WeakObjectPtr.h"

TEST(EngineObjects, NewObjectSetsClassAndOuter)
{
	UTestHolder* Holder = NewObject<UTestHolder>();
	USeatDeviceConfig* Config = NewObject<USeatDeviceConfig>(Holder);
	EXPECT_EQ(Config->GetClass(), USeatDeviceConfig::StaticClass());
	EXPECT_EQ(Config->GetOuter(), Holder);
	EXPECT_TRUE(Config->IsA(UDataAsset::StaticClass()));
	EXPECT_EQ(Cast<USeatDeviceManager>(Config), nullptr);
	EXPECT_NE(Config->GetUniqueID(), Holder->GetUniqueID());
}

// What keeps the manager's configuration alive: a reflected object property of a reachable object.
TEST(EngineObjects, GarbageCollectorKeepsOnlyWhatRootsReach)
{
	UTestHolder* Holder = NewObject<UTestHolder>();
	Holder->AddToRoot();
	Holder->Held = NewObject<USeatDeviceConfig>();
	const TWeakObjectPtr<UObject> Held = Holder->Held.Get();
	const TWeakObjectPtr<UObject> Unreferenced = NewObject<USeatDeviceConfig>();
	const TWeakObjectPtr<UObject> Inner = NewObject<USeatDeviceConfig>(NewObject<UTestHolder>());

	CollectGarbage();
	EXPECT_TRUE(Held.IsValid());
	EXPECT_FALSE(Unreferenced.IsValid());
	EXPECT_FALSE(Inner.IsValid()) << "an outer does not keep its inner objects";

	Holder->Held = nullptr;
	CollectGarbage();
	EXPECT_FALSE(Held.IsValid());

	const TWeakObjectPtr<UTestHolder> WeakHolder = Holder;
	Holder->RemoveFromRoot();
	CollectGarbage();
	EXPECT_FALSE(WeakHolder.IsValid());
}

TEST(EngineGameInstance, CreatesInitialisesAndDeinitialisesEverySubsystem)
{
	UTestRecordingSubsystem::Calls().clear();
	UGameInstance* GameInstance = NewObject<UGameInstance>();
	GameInstance->AddToRoot();
	GameInstance->Init();

	USeatDeviceManager* Manager = GameInstance->GetSubsystem<USeatDeviceManager>();
	ASSERT_NE(Manager, nullptr);
	EXPECT_EQ(Manager->GetGameInstance(), GameInstance);
	ASSERT_NE(GameInstance->GetSubsystem<UTestRecordingSubsystem>(), nullptr);
	EXPECT_EQ(UTestRecordingSubsystem::Calls(), std::vector<FString>{TEXT("Initialize in game instance")});

	const TWeakObjectPtr<USeatDeviceManager> WeakManager = Manager;
	CollectGarbage();
	EXPECT_TRUE(WeakManager.IsValid()) << "the game instance keeps its subsystems";

	GameInstance->Shutdown();
	EXPECT_EQ(UTestRecordingSubsystem::Calls(), (std::vector<FString>{TEXT("Initialize in game instance"), TEXT("Deinitialize")}));
	EXPECT_EQ(GameInstance->GetSubsystem<USeatDeviceManager>(), nullptr);

	GameInstance->RemoveFromRoot();
	CollectGarbage();
	EXPECT_FALSE(WeakManager.IsValid());
}
