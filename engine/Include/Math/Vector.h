#pragma once

#include <cmath>

// Double precision, as in the engine since large world coordinates: centimetres for positions.
struct FVector
{
	double X = 0.0;
	double Y = 0.0;
	double Z = 0.0;

	static const FVector ZeroVector;

	FVector() = default;
	FVector(double InX, double InY, double InZ) : X(InX), Y(InY), Z(InZ) {}

	FVector operator+(const FVector& V) const { return FVector(X + V.X, Y + V.Y, Z + V.Z); }
	FVector operator-(const FVector& V) const { return FVector(X - V.X, Y - V.Y, Z - V.Z); }
	FVector operator-() const { return FVector(-X, -Y, -Z); }
	FVector operator*(double Scale) const { return FVector(X * Scale, Y * Scale, Z * Scale); }
	FVector operator/(double Scale) const { return FVector(X / Scale, Y / Scale, Z / Scale); }
	FVector& operator+=(const FVector& V)
	{
		X += V.X;
		Y += V.Y;
		Z += V.Z;
		return *this;
	}
	bool operator==(const FVector& V) const { return X == V.X && Y == V.Y && Z == V.Z; }
	bool operator!=(const FVector& V) const { return !(*this == V); }

	double Size() const { return std::sqrt(X * X + Y * Y + Z * Z); }
	double SizeSquared() const { return X * X + Y * Y + Z * Z; }
	bool IsZero() const { return X == 0.0 && Y == 0.0 && Z == 0.0; }
	bool ContainsNaN() const { return !std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z); }

	static FVector CrossProduct(const FVector& A, const FVector& B)
	{
		return FVector(A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X);
	}
};

inline const FVector FVector::ZeroVector(0.0, 0.0, 0.0);
