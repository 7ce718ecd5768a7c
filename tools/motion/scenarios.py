#!/usr/bin/env python3
"""The rides the cueing benchmark judges presets on (bench/), made like the
example telemetry from scripted trajectories (telemetry.py):

- urban: 70 s of stop-and-go in town: pulling away, stopping at lights, a
  right-angle turn, a roundabout, a lane change, a speed bump and an
  emergency stop, the body diving, squatting and leaning on its springs;
- race: an 80 s lap: 1.0-1.2 g braking, 1.2-1.4 g corners, a chicane, a
  hairpin, kerbs, the body diving, squatting and rolling on its springs;
- flight: 60 s: a coordinated 45-degree banked turn, a pull-up, a push-over,
  throttle changes, a rudder doublet, light turbulence;
- rough: 45 s at 60 km/h over a rough road with gentle curves: each wheel
  meets its own bumps, so the body heaves, pitches and rolls;
- coaster: 56 s: a chain lift, a 55-degree drop, a pull-out at 2.5 g,
  airtime hills, a 60-degree banked helix, a banked S-bend and the brakes.

Each is written as CSV at 100 rows a second with the columns
time,fx,fy,fz,roll_rate,pitch_rate,yaw_rate (specific force and body rates,
what `karvel cue` and `karvel tune` read first) and, for reference,
ax,ay,az,roll,pitch,heading,speed.

Usage: scenarios.py OUTDIR [NAME...]
"""
import math
import os
import sys

from telemetry import G, Trajectory, pulse, smoothstep

RATE = 100.0
HEADER = ["time", "fx", "fy", "fz", "roll_rate", "pitch_rate", "yaw_rate", "ax", "ay", "az", "roll", "pitch",
          "heading", "speed"]


def lcg(seed):
    """A fixed pseudo-random sequence in [0, 1): the rides are the same every time."""
    state = seed
    while True:
        state = (1103515245 * state + 12345) % (1 << 31)
        yield state / float(1 << 31)


def rough_surface(seed, lowest, highest, count, amplitude):
    """Road height (m) as a function of distance (m): a sum of waves whose
    amplitude falls with their spatial frequency, as measured road profiles do."""
    rand = lcg(seed)
    waves = []
    for k in range(count):
        f = lowest * (highest / lowest) ** (k / (count - 1.0))  # cycles per metre
        waves.append((f, amplitude * (lowest / f), 2.0 * math.pi * next(rand)))
    return lambda x: sum(a * math.sin(2.0 * math.pi * f * x + p) for f, a, p in waves)


def segments(t, pieces):
    """Sum of value * pulse over (start, end, value, ramp) pieces."""
    return sum(value * pulse(t, start, end, ramp) for start, end, value, ramp in pieces)


def urban():
    # (start, end, m/s^2, ramp s) along the road
    longitudinal = [(1.0, 6.5, 2.5, 0.5), (12.0, 16.0, -3.5, 0.6),  # pull away, stop at the lights
                    (19.0, 22.0, 2.2, 0.5), (22.5, 26.5, -1.5, 0.5),  # to the corner
                    (30.5, 36.0, 2.0, 0.5), (42.0, 44.0, -2.0, 0.4),  # away, slow for the roundabout
                    (50.0, 54.0, 2.0, 0.5), (58.0, 60.0, -1.0, 0.4),  # away, the speed bump
                    (60.5, 63.5, 1.8, 0.4), (65.0, 67.2, -7.0, 0.3)]  # away, an emergency stop
    # (start, end, heading rate deg/s, ramp): right turn, the roundabout (right, left, right), a lane change
    turns = [(26.0, 30.5, 21.0, 1.0), (44.0, 45.5, 25.0, 0.5), (45.5, 49.5, -30.0, 0.8),
             (49.5, 51.0, 25.0, 0.5), (62.0, 63.0, -6.0, 0.4), (63.0, 64.0, 6.0, 0.4)]

    def acceleration(t, speed):
        a = segments(t, longitudinal)
        return a if speed > 0.0 or a > 0.0 else 0.0

    def heading_rate(t, speed):
        return math.radians(segments(t, turns)) if speed > 0.5 else 0.0

    bump_at, bump_length, bump_height = 59.2, 0.5, 0.07

    def bump(t):
        x = (t - bump_at) / bump_length
        return bump_height * 0.5 * (1 - math.cos(2 * math.pi * x)) if 0.0 <= x <= 1.0 else 0.0

    # the body dives under braking and squats when pulling away, 0.25 deg per m/s^2, and leans out of
    # a turn, 0.5 deg per m/s^2 of the speed the path turns (the speed taken from a first run)
    def body_pitch(t):
        return math.radians(0.25) * segments(t, longitudinal)

    path = Trajectory(70.0, acceleration, heading_rate, lambda t: 0.0, lambda t: 0.0)

    def body_roll(t):
        speed = path.speed[path.index(t)]
        return -math.radians(0.5) * speed * heading_rate(t, speed)

    return Trajectory(70.0, acceleration, heading_rate, lambda t: 0.0, lambda t: 0.0, road=bump,
                      body_pitch=body_pitch, body_roll=body_roll)


def race():
    # (start, end, m/s^2 along the track, ramp s); throttle fades with speed
    braking = [(6.0, 8.5, -11.0, 0.25), (17.0, 18.6, -10.0, 0.25), (30.0, 33.0, -12.0, 0.25),
               (50.0, 52.0, -9.0, 0.25), (62.0, 64.5, -11.0, 0.25)]
    throttle = [(0.0, 6.0), (11.5, 17.0), (22.0, 30.0), (36.5, 44.0), (48.0, 50.0), (55.0, 62.0), (67.5, 80.0)]
    # (start, end, lateral m/s^2 + to the right, ramp s)
    corners = [(8.3, 11.8, 13.0, 0.5), (18.6, 19.8, -12.0, 0.3), (19.8, 21.0, 12.0, 0.3), (21.0, 22.2, -10.0, 0.3),
               (33.0, 37.0, -11.0, 0.5), (44.0, 49.5, 14.0, 0.7), (52.0, 55.0, -13.0, 0.5),
               (64.5, 68.0, 12.5, 0.5)]
    kerbs = [9.8, 19.3, 20.5, 35.0, 47.0, 53.5, 66.0]

    def acceleration(t, speed):
        push = sum(pulse(t, a, b, 0.3) for a, b in throttle)
        return 5.5 * push * max(0.0, 1.0 - speed / 88.0) + segments(t, braking)

    def lateral(t):
        return segments(t, corners)

    def heading_rate(t, speed):
        return lateral(t) / max(speed, 5.0)

    def road(t):
        # kerbs: a few centimetres of ripple for 0.3 s
        return sum(0.004 * math.sin(2 * math.pi * 8.0 * (t - k)) * pulse(t, k, k + 0.4, 0.05) for k in kerbs)

    # the body on its stiff springs: dive and squat 0.12 deg, roll 0.18 deg per m/s^2
    def body_pitch(t):
        return math.radians(0.12) * (5.5 * sum(pulse(t, a, b, 0.3) for a, b in throttle) * 0.5 +
                                     segments(t, braking))

    def body_roll(t):
        return -math.radians(0.18) * lateral(t)

    return Trajectory(80.0, acceleration, heading_rate, lambda t: 0.0, lambda t: 0.0, road=road, speed0=45.0,
                      body_pitch=body_pitch, body_roll=body_roll)


def flight():
    speed0 = 70.0
    banks = [(5.0, 25.0, 45.0, 3.0), (50.0, 57.0, -20.0, 2.0)]  # deg, + right wing down
    climbs = [(30.0, 40.0, 10.0, 3.0)]  # path pitch, deg

    def bank(t):
        return math.radians(segments(t, banks))

    def pitch(t):
        return math.radians(segments(t, climbs))

    def acceleration(t, speed):
        # throttle changes, and the climb trades speed for height
        return 2.0 * pulse(t, 44.0, 49.0, 0.8) - 1.5 * pulse(t, 52.0, 56.0, 0.8) - G * math.sin(pitch(t)) * 0.3

    def heading_rate(t, speed):
        coordinated = G * math.tan(bank(t)) / max(speed, 1.0)
        rudder = math.radians(3.0) * (pulse(t, 58.0, 59.0, 0.3) - pulse(t, 59.0, 60.0, 0.3))
        return coordinated + rudder

    def turbulence(t):
        return (0.12 * math.sin(2 * math.pi * 0.7 * t) * math.sin(2 * math.pi * 0.09 * t) +
                0.015 * math.sin(2 * math.pi * 1.9 * t + 1.0) * math.sin(2 * math.pi * 0.23 * t + 0.5))

    return Trajectory(60.0, acceleration, heading_rate, pitch, bank, road=turbulence, speed0=speed0)


def rough():
    speed = 16.7  # m/s, 60 km/h
    wheelbase, track = 2.7, 1.6
    left = rough_surface(7, 0.05, 0.4, 20, 0.006)
    right = rough_surface(11, 0.05, 0.4, 20, 0.006)
    curves = [(5.0, 12.0, 6.0, 2.0), (16.0, 24.0, -7.0, 2.0), (28.0, 38.0, 5.0, 2.0)]  # heading rate, deg/s

    def wheels(t):
        ahead, behind = speed * t, speed * t - wheelbase
        return left(ahead), right(ahead), left(behind), right(behind)

    def road(t):
        return sum(wheels(t)) / 4.0

    def body_pitch(t):
        fl, fr, rl, rr = wheels(t)
        return math.atan(((fl + fr) - (rl + rr)) / 2.0 / wheelbase)

    def body_roll(t):
        fl, fr, rl, rr = wheels(t)
        # the left side higher than the right: right side down, + roll
        return math.atan(((fl + rl) - (fr + rr)) / 2.0 / track)

    return Trajectory(45.0, lambda t, v: 0.0, lambda t, v: math.radians(segments(t, curves)), lambda t: 0.0,
                      lambda t: 0.0, road=road, speed0=speed, body_pitch=body_pitch, body_roll=body_roll)


def coaster():
    # path pitch (deg) as pieces that add up: lift, crest and drop, pull-out, airtime hills, bunny hops
    def pitch_deg(t):
        lift = 30.0 * smoothstep((t - 4.0) / 1.5) * (1.0 - smoothstep((t - 13.0) / 1.0))
        drop = -55.0 * smoothstep((t - 14.0) / 2.0) * (1.0 - smoothstep((t - 18.0) / 2.5))
        hills = 10.0 * math.sin(2 * math.pi * (t - 21.0) / 3.0) * pulse(t, 21.0, 27.0, 0.5)
        hops = 8.0 * math.sin(2 * math.pi * (t - 41.0) / 1.2) * pulse(t, 41.0, 44.6, 0.3)
        return lift + drop + hills + hops

    def pitch(t):
        return math.radians(pitch_deg(t))

    banks = [(27.5, 35.0, 60.0, 1.5), (36.0, 38.0, -45.0, 1.0), (38.0, 40.0, 45.0, 1.0)]

    def bank(t):
        return math.radians(segments(t, banks))

    def acceleration(t, speed):
        if t < 2.0:
            return 0.0
        if t < 13.5:  # dispatch, then the chain holds 2.5 m/s
            return max(-2.0, min(2.0, 2.5 - speed))
        if t > 47.0:  # the brake run, then the station
            return -5.0 if speed > 0.0 else 0.0
        # gravity along the track less rolling and air drag
        return -G * math.sin(pitch(t)) - 0.15 - 0.0015 * speed * speed

    def heading_rate(t, speed):
        return G * math.tan(bank(t)) / max(speed, 3.0) if speed > 0.5 else 0.0

    return Trajectory(56.0, acceleration, heading_rate, pitch, bank)


RIDES = {
    "urban": (urban, "70 s of stop-and-go in town"),
    "race": (race, "an 80 s race lap"),
    "flight": (flight, "60 s of flight with a coordinated banked turn"),
    "rough": (rough, "45 s at 60 km/h over a rough road"),
    "coaster": (coaster, "a 56 s roller-coaster ride"),
}


def write(path, trajectory, comment):
    with open(path, "w") as out:
        out.write("# %s\n# generated by scenarios.py: specific force fx,fy,fz and acceleration ax,ay,az in m/s^2 "
                  "(x forward, y right, z up), rates in deg/s, attitude roll,pitch in deg\n" % comment)
        out.write(",".join(HEADER) + "\n")
        for k in range(int(trajectory.seconds * RATE) + 1):
            t = k / RATE
            i = trajectory.index(t)
            ax, ay, az, p, q, r, heading, speed = trajectory.sample(i)
            fx, fy, fz = trajectory.specific_force(i)
            roll, pitch = trajectory.attitude(i)
            values = [fx, fy, fz, p, q, r, ax, ay, az, roll, pitch, heading, speed]
            out.write(",".join(["%.2f" % t] + ["%.4f" % v for v in values]) + "\n")


def main(argv):
    if len(argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    names = argv[2:] or list(RIDES)
    os.makedirs(argv[1], exist_ok=True)
    for name in names:
        make, comment = RIDES[name]
        write(os.path.join(argv[1], name + ".csv"), make(), comment)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
