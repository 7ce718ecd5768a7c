/* Karvel seat-control library: the C interface.
 *
 * One process-wide seat controller stands behind every function. Strings are
 * NUL-terminated UTF-8 (dotted-quad IPv4 text for addresses) and are copied
 * before the call returns; booleans are one byte, 1 = true. No function
 * throws. Posture and effect calls never wait for a device; configuration,
 * the effects endpoint switch and release wait for the effects devices only
 * within the bounds stated below. A true result means the request was
 * validated and the local socket and workers were set up, not that the
 * hardware moved. Addresses that cannot name a device (0.0.0.0/8, multicast,
 * reserved and broadcast) are refused wherever an address is taken. The host
 * calls the functions one at a time: no posture call overlaps
 * Ridova_SetConfiguration or Ridova_Release. docs/c-interface.md has a
 * section per function. */
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

/* Receives every library log line: "[Ridova][LEVEL] " and the text, at most
 * 1023 characters, no line end. Host text in a line (an address, say) is
 * escaped, so a line never holds a line end or a control character: line
 * feed, carriage return and tab as \n, \r and \t; every other byte of a
 * control character (C0, DEL, C1 and U+2028/U+2029 in UTF-8) and every byte
 * that is not well-formed UTF-8 as \xNN; a backslash stands for itself.
 * The message lives only for the duration of the call.
 *
 * The rules of the callback:
 * - Threads: it is called on the caller's thread during the library's
 *   functions and on the library's own worker threads (motion and effects),
 *   also from several at once, so it must be thread-safe.
 * - Replacing it (Ridova_SetLogCallback from outside the callback) returns
 *   only once no thread is inside, or about to enter, the callback it
 *   replaced: from then on the old callback's code and data may go. Do not
 *   hold, while replacing it, a lock that the old callback takes.
 *   Replacing it from inside the callback only stores the new one and never
 *   waits (other threads may still be inside the old one).
 * - From inside the callback: Ridova_SetConfiguration, Ridova_SetUdpEndpoint,
 *   Ridova_SetEffectsEndpoints and Ridova_Release are refused (false, and the
 *   ERROR line "<function> refused: called from inside the log callback"):
 *   they wait for locks or threads that the calling thread may hold or be.
 *   Postures, Ridova_ResetPosition, effect levels, Ridova_TurnOffAllEffects,
 *   Ridova_GetVersion and Ridova_SetLogCallback only queue or store and are
 *   served. A line such a call writes enters the callback again on the same
 *   thread, but never more than two callbacks deep: deeper lines go to the
 *   fallback output below.
 * - Null (the start) sends lines to the fallback output: standard error, or
 *   the debugger output (OutputDebugStringA) on Windows.
 * - At the end: the library's unload (and its release when the process
 *   ends) never enters the callback; lines written from then on go to the
 *   fallback output. On POSIX systems the library registers an exit handler
 *   when a callback is first installed and again when it first returns; once
 *   it has run, nothing enters the callback. Exit handlers and static
 *   destructors run in the reverse order of their registration, so it runs
 *   before the destructors of the host's static objects made until then (a
 *   logger made on the callback's first line included), and waits up to one
 *   second for threads still inside the callback. A static object made only
 *   after the callback's first line is destroyed before it and is not
 *   covered. On Windows the host's static objects are destroyed before the
 *   system stops the library's threads and tells the library: a host that
 *   ends without Ridova_Release must keep what its callback uses alive to
 *   the end, or set the callback to null first. */
typedef void (*LogCallback)(int level, const char* message);

/* Registers a seat: seatType 1 = Orvida, anything else = Tamsel; the motion
 * controller at udpIp:udpPort. Closes any previous transport and turns the
 * previous effects devices off, then binds 0.0.0.0:8410 and starts the
 * sender. With enableEffects non-zero it also connects the relay board and the
 * fan speed controller; their failure is logged, not returned. True: the
 * socket is bound and the sender runs; false: nothing is configured. */
KARVEL_EXPORT bool Ridova_SetConfiguration(int seatType, const char* udpIp, int udpPort, int enableEffects,
                                           const char* relayIp, int relayPort, const char* speedIp, int speedPort);
/* Points the motion stream at another address, keeping the socket; frames
 * queued for the old one are dropped. False leaves the old target. */
KARVEL_EXPORT bool Ridova_SetUdpEndpoint(const char* ip, int port);
/* Sends what each effects device still has queued (at most 2 s), then the
 * queued frames (at most four), closes the socket and frees port 8410. Safe
 * to call twice or unconfigured; the log callback stays. */
KARVEL_EXPORT void Ridova_Release(void);
/* Pitch and roll in degrees (beyond +-15 limited), yaw in degrees, height
 * 0..1, through the seat model's crank kinematics into one queued frame;
 * returns at once. Non-finite input sends nothing (an ERROR line). At most
 * four frames wait: when the sender falls behind, the oldest gives way. */
KARVEL_EXPORT void Ridova_SendSeatPosture(float pitch, float roll, float yaw, float height);
/* Axis positions 0..1 (outside: 0 pulses) and a rotation angle in degrees
 * (half the pulses per degree of the posture call). */
KARVEL_EXPORT void Ridova_SendPostureCommand(float x, float y, float z, float angle);
/* Sends the seat model's home targets in one frame. */
KARVEL_EXPORT void Ridova_ResetPosition(void);
/* "Karvel-PC v0.6.0": static text, neither copied nor freed by the caller. */
KARVEL_EXPORT const char* Ridova_GetVersion(void);
/* Installs the log callback (null: the fallback output); see LogCallback for its rules. */
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
/* Moves the devices whose endpoint changes to new ones (distinct endpoints);
 * true once switched, or at once when nothing changes; false leaves the old
 * devices and their queued calls in force. */
KARVEL_EXPORT bool Ridova_SetEffectsEndpoints(const char* relayIp, int relayPort, const char* speedIp, int speedPort);
/* Fan speed controller, holding register 3: 1 -> 50, 2 -> 70, 3 -> 100, else 0. */
KARVEL_EXPORT void Ridova_SetWindSpeed(int level);
/* Relay board coils 4..7: pump (any non-zero level), mist 1, small water 2, big water 3. */
KARVEL_EXPORT void Ridova_SetWaterMist(int level);
/* Relay board coils 8..10: channel 1, channel 2, the scent fan (any non-zero level). */
KARVEL_EXPORT void Ridova_SetScent(int level);
/* Relay board coil 15, on for any non-zero value. */
KARVEL_EXPORT void Ridova_SetHeater(int on);
/* Water mist, scent and heater off on the relay board, speed 0 on the fan;
 * never dropped, supersedes the changes queued before it. */
KARVEL_EXPORT void Ridova_TurnOffAllEffects(void);

#ifdef __cplusplus
}
#endif

#endif
