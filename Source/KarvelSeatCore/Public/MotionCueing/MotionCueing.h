// The engine-free motion cueing core: include this one header.
#pragma once

#include "AxisEnvelope.h"
#include "CueRecorder.h"
#include "CueingProfile.h"
#include "CueingTypes.h"
#include "HighPass2.h"
#include "LeakyIntegrator.h"
#include "LowPass2.h"
#include "MotionCueingCore.h"
#include "PlatformEnvelope.h"
#include "PlatformGeometry.h"
#include "PlatformLimits.h"
#include "ProfileText.h"
#include "RateLimiter.h"
#include "SeatHome.h"
