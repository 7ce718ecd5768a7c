#pragma once

#include "Windows/WindowsPlatformProcess.h"

using FPlatformProcess = FWindowsPlatformProcess;
