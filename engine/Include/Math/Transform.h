#pragma once

#include "Math/Quat.h"
#include "Math/Vector.h"

// Rotation, translation and scale; only what moving actors need.
struct FTransform
{
	FTransform() = default;
	FTransform(const FQuat& InRotation, const FVector& InTranslation) : Rotation(InRotation), Translation(InTranslation) {}

	const FQuat& GetRotation() const { return Rotation; }
	const FVector& GetLocation() const { return Translation; }
	const FVector& GetScale3D() const { return Scale3D; }

	// A direction from world space into this transform's frame, ignoring scale.
	FVector InverseTransformVectorNoScale(const FVector& V) const { return Rotation.UnrotateVector(V); }
	FVector TransformVectorNoScale(const FVector& V) const { return Rotation.RotateVector(V); }

private:
	FQuat Rotation;
	FVector Translation;
	FVector Scale3D = FVector(1.0, 1.0, 1.0);
};
