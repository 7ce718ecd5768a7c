#pragma once

#include "UObject/Object.h"

class UDataAsset : public UObject
{
	UE_STANDIN_ENGINE_CLASS(UDataAsset, UObject)
};
