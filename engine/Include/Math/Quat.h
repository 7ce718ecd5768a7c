#pragma once

#include "Math/Rotator.h"
#include "Math/Vector.h"

#include <algorithm>
#include <cmath>

// A rotation as a unit quaternion (X, Y, Z, W). A * B rotates by B first, then by A, as in the engine.
struct FQuat
{
	double X = 0.0;
	double Y = 0.0;
	double Z = 0.0;
	double W = 1.0;

	static const FQuat Identity;

	FQuat() = default;
	FQuat(double InX, double InY, double InZ, double InW) : X(InX), Y(InY), Z(InZ), W(InW) {}
	// Rotation by AngleRad radians about the unit vector Axis.
	FQuat(const FVector& Axis, double AngleRad)
	{
		const double S = std::sin(AngleRad * 0.5);
		X = Axis.X * S;
		Y = Axis.Y * S;
		Z = Axis.Z * S;
		W = std::cos(AngleRad * 0.5);
	}
	explicit FQuat(const FRotator& R) { *this = R.Quaternion(); }

	FQuat operator*(const FQuat& Q) const
	{
		return FQuat(W * Q.X + X * Q.W + Y * Q.Z - Z * Q.Y,
			W * Q.Y - X * Q.Z + Y * Q.W + Z * Q.X,
			W * Q.Z + X * Q.Y - Y * Q.X + Z * Q.W,
			W * Q.W - X * Q.X - Y * Q.Y - Z * Q.Z);
	}

	FQuat Inverse() const { return FQuat(-X, -Y, -Z, W); }

	FVector RotateVector(const FVector& V) const
	{
		const FVector Q(X, Y, Z);
		const FVector T = FVector::CrossProduct(Q, V) * 2.0;
		return V + T * W + FVector::CrossProduct(Q, T);
	}
	FVector UnrotateVector(const FVector& V) const { return Inverse().RotateVector(V); }

	// Radians in [0, 2 pi].
	double GetAngle() const { return 2.0 * std::acos(std::clamp(W, -1.0, 1.0)); }
	FVector GetRotationAxis() const
	{
		const double SquareSum = X * X + Y * Y + Z * Z;
		if (SquareSum < 1e-8)
		{
			return FVector(1.0, 0.0, 0.0);
		}
		const double Scale = 1.0 / std::sqrt(SquareSum);
		return FVector(X * Scale, Y * Scale, Z * Scale);
	}
};

inline const FQuat FQuat::Identity(0.0, 0.0, 0.0, 1.0);

// Positive pitch raises the nose, positive yaw turns toward +Y, positive roll lowers the +Y side.
inline FQuat FRotator::Quaternion() const
{
	constexpr double HalfDegToRad = 3.141592653589793 / 360.0;
	const double SP = std::sin(Pitch * HalfDegToRad), CP = std::cos(Pitch * HalfDegToRad);
	const double SY = std::sin(Yaw * HalfDegToRad), CY = std::cos(Yaw * HalfDegToRad);
	const double SR = std::sin(Roll * HalfDegToRad), CR = std::cos(Roll * HalfDegToRad);
	return FQuat(CR * SP * SY - SR * CP * CY,
		-CR * SP * CY - SR * CP * SY,
		CR * CP * SY - SR * SP * CY,
		CR * CP * CY + SR * SP * SY);
}
