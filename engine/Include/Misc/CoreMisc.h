#pragma once

// True in a process started as a dedicated server (in the stand-in: as a test set it with
// UE::StandIn::SetRunningDedicatedServer).
bool IsRunningDedicatedServer();
