#pragma once

#include <cmath>

struct FQuat;

// Double precision, members in the engine's order.
struct FRotator
{
	double Pitch = 0.0;
	double Yaw = 0.0;
	double Roll = 0.0;

	FRotator() = default;
	FRotator(double InPitch, double InYaw, double InRoll) : Pitch(InPitch), Yaw(InYaw), Roll(InRoll) {}

	// Defined with FQuat (Math/Quat.h).
	FQuat Quaternion() const;

	// Maps any angle to (-180, 180]; -180 becomes 180.
	static double NormalizeAxis(double Angle)
	{
		Angle = std::fmod(Angle, 360.0);
		if (!(Angle >= 0.0))
		{
			Angle += 360.0;
		}
		if (Angle > 180.0)
		{
			Angle -= 360.0;
		}
		return Angle;
	}
};
