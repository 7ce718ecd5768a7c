#include "SeatMotionProfile.h"

namespace
{
using KarvelCueing::CueingProfile;

// Each custom value and the core's field it sets; the names are the same on both sides.
struct FProfileFieldPair
{
	double USeatMotionProfile::*Asset;
	double CueingProfile::*Core;
};

#define KARVEL_PROFILE_FIELD(Name) FProfileFieldPair{&USeatMotionProfile::Name, &CueingProfile::Name}
const FProfileFieldPair ProfileFieldPairs[] = {
	KARVEL_PROFILE_FIELD(TiltGain),
	KARVEL_PROFILE_FIELD(TiltFrequency),
	KARVEL_PROFILE_FIELD(TiltLimit),
	KARVEL_PROFILE_FIELD(TiltRate),
	KARVEL_PROFILE_FIELD(RollRateGain),
	KARVEL_PROFILE_FIELD(PitchRateGain),
	KARVEL_PROFILE_FIELD(YawRateGain),
	KARVEL_PROFILE_FIELD(RollWashout),
	KARVEL_PROFILE_FIELD(PitchWashout),
	KARVEL_PROFILE_FIELD(YawWashout),
	KARVEL_PROFILE_FIELD(HeaveGain),
	KARVEL_PROFILE_FIELD(HeaveWashout),
	KARVEL_PROFILE_FIELD(HeaveReturn),
	KARVEL_PROFILE_FIELD(NeutralHeight),
	KARVEL_PROFILE_FIELD(PitchLimit),
	KARVEL_PROFILE_FIELD(PitchVelocity),
	KARVEL_PROFILE_FIELD(PitchAcceleration),
	KARVEL_PROFILE_FIELD(RollLimit),
	KARVEL_PROFILE_FIELD(RollVelocity),
	KARVEL_PROFILE_FIELD(RollAcceleration),
	KARVEL_PROFILE_FIELD(YawLimit),
	KARVEL_PROFILE_FIELD(YawVelocity),
	KARVEL_PROFILE_FIELD(YawAcceleration),
	KARVEL_PROFILE_FIELD(HeightMin),
	KARVEL_PROFILE_FIELD(HeightMax),
	KARVEL_PROFILE_FIELD(HeightVelocity),
	KARVEL_PROFILE_FIELD(HeightAcceleration),
	KARVEL_PROFILE_FIELD(ParkSeconds),
};
#undef KARVEL_PROFILE_FIELD

const CueingProfile& PresetProfile(ESeatMotionPreset Preset)
{
	switch (Preset)
	{
	case ESeatMotionPreset::Flight: return KarvelCueing::FlightProfile();
	case ESeatMotionPreset::Gentle: return KarvelCueing::GentleProfile();
	case ESeatMotionPreset::Race: return KarvelCueing::RaceProfile();
	case ESeatMotionPreset::RoadVehicle: break;
	}
	return KarvelCueing::RoadVehicleProfile();
}
}

USeatMotionProfile::USeatMotionProfile()
{
	// The custom values start as the default preset's, wherever the core puts them.
	CopyPresetValues();
}

void USeatMotionProfile::LoadPresetValues()
{
#if WITH_EDITOR
	// The editor's button: undoable, and the asset is marked as changed so that it gets saved.
	Modify();
#endif
	CopyPresetValues();
}

void USeatMotionProfile::CopyPresetValues()
{
	const CueingProfile& Values = PresetProfile(Preset);
	for (const FProfileFieldPair& Pair : ProfileFieldPairs)
	{
		this->*Pair.Asset = Values.*Pair.Core;
	}
}

FString USeatMotionProfile::Validate() const
{
	return FString(UTF8_TO_TCHAR(KarvelCueing::ValidateProfile(ToCueingProfile()).c_str()));
}

KarvelCueing::CueingProfile USeatMotionProfile::ToCueingProfile() const
{
	CueingProfile Values = PresetProfile(Preset);
	if (bCustomValues)
	{
		for (const FProfileFieldPair& Pair : ProfileFieldPairs)
		{
			Values.*Pair.Core = this->*Pair.Asset;
		}
	}
	return Values;
}
