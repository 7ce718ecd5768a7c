/* Karvel seat-control library: the C interface.
 *
 * One process-wide seat controller stands behind every function. Strings are
 * NUL-terminated UTF-8 (dotted-quad IPv4 text for addresses) and are copied
 * before the call returns; booleans are one byte, 1 = true. No function
 * throws. Posture and effect calls never wait for a device; configuration,
 * the effects endpoint switch and release wait for the effects devices only
 * within the bounds stated below. A true result means the request was
 * validated and the local socket and workers were set up, not that the
 * hardware moved. */
#ifndef KARVEL_H
#define KARVEL_H

#include <stdbool.h>

#if defined(_WIN32)
#define KARVEL_EXPORT __declspec(dllexport)
#else
#define KARVEL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Log levels handed to the callback. */
enum { KARVEL_LOG_DEBUG = 0, KARVEL_LOG_INFO = 1, KARVEL_LOG_ERROR = 2 };

/* Receives every library log line (at most 1023 characters, no line end).
 * It may be called from any library thread, also from several at once. */
typedef void (*LogCallback)(int level, const char* message);

KARVEL_EXPORT bool Ridova_SetConfiguration(int seatType, const char* udpIp, int udpPort, int enableEffects,
                                           const char* relayIp, int relayPort, const char* speedIp, int speedPort);
KARVEL_EXPORT bool Ridova_SetUdpEndpoint(const char* ip, int port);
KARVEL_EXPORT void Ridova_Release(void);
KARVEL_EXPORT void Ridova_SendSeatPosture(float pitch, float roll, float yaw, float height);
KARVEL_EXPORT void Ridova_SendPostureCommand(float x, float y, float z, float angle);
KARVEL_EXPORT void Ridova_ResetPosition(void);
KARVEL_EXPORT const char* Ridova_GetVersion(void);
KARVEL_EXPORT void Ridova_SetLogCallback(LogCallback callback);

/* Effects (a seat configured with enableEffects). The relay board (water
 * mist, scent, heater) and the fan speed controller (wind) are served
 * independently, each by a worker of its own: a device that hangs or is down
 * never delays the other. An effect call hands the new level to its device's
 * queue and returns at once; a change not yet sent is replaced by the next
 * change of the same effect, and each device gets its requests in call order
 * (Ridova_TurnOffAllEffects: water mist, scent and heater off on the relay
 * board, speed 0 on the fan speed controller). While a device does not
 * answer, the latest level of each of its effects is kept and sent once it
 * answers; it is tried again once a second.
 * Waiting, per device and both devices at once: Ridova_SetConfiguration
 * turns the effects devices of the previous configuration off (at most 2 s)
 * and connects the new ones (at most 2 s); Ridova_Release sends what each
 * device still has queued (at most 2 s). Ridova_SetEffectsEndpoints connects
 * the devices whose endpoint changes, the relay board first (at most 2 s
 * each); the workers turn the old ones off afterwards. */
KARVEL_EXPORT bool Ridova_SetEffectsEndpoints(const char* relayIp, int relayPort, const char* speedIp, int speedPort);
KARVEL_EXPORT void Ridova_SetWindSpeed(int level);
KARVEL_EXPORT void Ridova_SetWaterMist(int level);
KARVEL_EXPORT void Ridova_SetScent(int level);
KARVEL_EXPORT void Ridova_SetHeater(int on);
KARVEL_EXPORT void Ridova_TurnOffAllEffects(void);

#ifdef __cplusplus
}
#endif

#endif
