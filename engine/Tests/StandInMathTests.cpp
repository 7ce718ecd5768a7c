// The stand-in's rotations against the engine's documented axes: a rotator's forward vector is
// (cos P cos Y, cos P sin Y, sin P), positive roll lowers the right (+Y) side. The motion component's signs
// rest on these.
#include "Components/SceneComponent.h"
#include "Engine/World.h"
#include "Kismet/GameplayStatics.h"
#include "TestSupport.h"

namespace
{
void ExpectNear(const FVector& Actual, const FVector& Expected)
{
	EXPECT_NEAR(Actual.X, Expected.X, 1e-9);
	EXPECT_NEAR(Actual.Y, Expected.Y, 1e-9);
	EXPECT_NEAR(Actual.Z, Expected.Z, 1e-9);
}

constexpr double Deg = 3.141592653589793 / 180.0;
}

TEST(StandInMath, RotatorsTurnTheAxesAsTheEngineDoes)
{
	const FVector Forward(1.0, 0.0, 0.0);
	const FVector Right(0.0, 1.0, 0.0);
	ExpectNear(FRotator(0.0, 90.0, 0.0).Quaternion().RotateVector(Forward), FVector(0.0, 1.0, 0.0));
	ExpectNear(FRotator(90.0, 0.0, 0.0).Quaternion().RotateVector(Forward), FVector(0.0, 0.0, 1.0));
	ExpectNear(FRotator(0.0, 0.0, 90.0).Quaternion().RotateVector(Right), FVector(0.0, 0.0, -1.0));
	const double P = 30.0, Y = 60.0;
	ExpectNear(FRotator(P, Y, 25.0).Quaternion().RotateVector(Forward),
		FVector(std::cos(P * Deg) * std::cos(Y * Deg), std::cos(P * Deg) * std::sin(Y * Deg), std::sin(P * Deg)));

	const FQuat Turn = FRotator(10.0, 70.0, -20.0).Quaternion();
	const FVector Any(3.0, -4.0, 12.0);
	ExpectNear(Turn.UnrotateVector(Turn.RotateVector(Any)), Any);
	EXPECT_NEAR((Turn * Turn.Inverse()).W, 1.0, 1e-12);

	const FQuat Small(FVector(0.0, 0.0, 1.0), 0.25);
	EXPECT_NEAR(Small.GetAngle(), 0.25, 1e-12);
	ExpectNear(Small.GetRotationAxis(), FVector(0.0, 0.0, 1.0));

	// A vehicle heading along +Y sees a world velocity along +Y as straight ahead.
	const FTransform Heading(FRotator(0.0, 90.0, 0.0).Quaternion(), FVector(5.0, 6.0, 7.0));
	ExpectNear(Heading.InverseTransformVectorNoScale(FVector(0.0, 100.0, 0.0)), FVector(100.0, 0.0, 0.0));
}

namespace
{
class UCountingComponent : public USceneComponent
{
public:
	void TickComponent(float DeltaTime, ELevelTick TickType, FActorComponentTickFunction*) override
	{
		++Ticks;
		LastDelta = DeltaTime;
		LastType = TickType;
	}
	int Ticks = 0;
	float LastDelta = 0.0f;
	ELevelTick LastType = LEVELTICK_TimeOnly;
};
}

// A paused world still ticks what ticks even when paused, with the real time step, and nothing else.
TEST(StandInWorld, PausedWorldsTickOnlyWhatTicksWhenPaused)
{
	UWorld* World = NewObject<UWorld>();
	World->AddToRoot();
	AActor* Actor = World->SpawnActor<AActor>();
	auto Make = [Actor](bool bWhenPaused) {
		auto Owned = std::make_unique<UCountingComponent>();
		UCountingComponent* Component = static_cast<UCountingComponent*>(
			UE::StandIn::AdoptNewObject(std::move(Owned), USceneComponent::StaticClass(), Actor));
		Component->PrimaryComponentTick.bCanEverTick = true;
		Component->PrimaryComponentTick.bTickEvenWhenPaused = bWhenPaused;
		Component->RegisterComponent();
		return Component;
	};
	UCountingComponent* Always = Make(true);
	UCountingComponent* Normal = Make(false);
	EXPECT_FALSE(Always->HasBegunPlay());
	World->BeginPlay();
	EXPECT_TRUE(Always->HasBegunPlay());

	World->Tick(LEVELTICK_All, 0.5f);
	EXPECT_EQ(Always->Ticks, 1);
	EXPECT_EQ(Normal->Ticks, 1);
	ASSERT_TRUE(UGameplayStatics::SetGamePaused(Actor, true));
	EXPECT_TRUE(World->IsPaused());
	World->Tick(LEVELTICK_All, 0.25f);
	EXPECT_EQ(Always->Ticks, 2);
	EXPECT_EQ(Always->LastDelta, 0.25f);
	EXPECT_EQ(Always->LastType, LEVELTICK_PauseTick);
	EXPECT_EQ(Normal->Ticks, 1);
	EXPECT_EQ(World->GetTimeSeconds(), 0.5);
	EXPECT_EQ(World->GetRealTimeSeconds(), 0.75);

	Actor->Destroy();
	EXPECT_FALSE(Always->HasBegunPlay()) << "ending play reaches the components";
	World->Tick(LEVELTICK_All, 0.25f);
	EXPECT_EQ(Always->Ticks, 2) << "a destroyed actor is no longer ticked";
	World->RemoveFromRoot();
	CollectGarbage();
}
