"""Vehicle telemetry for `karvel cue`, made from a scripted trajectory.

A vehicle is described by its speed along its path and the path's attitude
(heading, pitch, bank) over time, plus a vertical displacement of the road
(a bump) and, optionally, the body's own pitch and roll on its suspension,
which turn the body but not its path. The script integrates that on a 1 kHz
grid and derives, by central differences, what a game would report each
frame: the vehicle's linear acceleration without gravity, its specific force
(the acceleration less gravity, what an accelerometer in the vehicle reads:
0, 0, +9.81 at rest and level), its attitude (roll and pitch) and its angular
rates, all in the body's own frame.

Axes and signs are those of the engine and of `karvel cue`: x forward, y
right, z up (m/s^2); roll + right side down, pitch + nose up (deg); roll rate
+ rolls the right side down, pitch rate + raises the nose, yaw rate + turns to
the right (deg/s). The sums are done in the right-handed frame x forward, y
right, z down, in which these three rates are simply the body rates about x,
y and z; z is turned up on output.
"""
import math

GRID = 1000.0  # Hz
G = 9.80665


def smoothstep(x):
    """0 before 0, 1 after 1, a cosine ramp between: no jerk spikes."""
    if x <= 0.0:
        return 0.0
    if x >= 1.0:
        return 1.0
    return 0.5 - 0.5 * math.cos(math.pi * x)


def pulse(t, start, end, ramp):
    """1 between start and end, with cosine ramps of `ramp` seconds inside."""
    return smoothstep((t - start) / ramp) * (1.0 - smoothstep((t - (end - ramp)) / ramp))


def rotation(heading, pitch, bank):
    """Vehicle-to-world rotation (yaw, then pitch, then roll), world x north, y east, z down."""
    cy, sy = math.cos(heading), math.sin(heading)
    cp, sp = math.cos(pitch), math.sin(pitch)
    cr, sr = math.cos(bank), math.sin(bank)
    return [
        [cy * cp, cy * sp * sr - sy * cr, cy * sp * cr + sy * sr],
        [sy * cp, sy * sp * sr + cy * cr, sy * sp * cr - cy * sr],
        [-sp, cp * sr, cp * cr],
    ]


def transpose_times(r, v):
    return [sum(r[k][i] * v[k] for k in range(3)) for i in range(3)]


class Trajectory:
    """Speed along the path (m/s), heading rate, path pitch and bank (rad) and
    road height (m, up) as functions of time; integrates speed and heading
    itself. `acceleration(t, speed)` is along the path. `body_pitch` and
    `body_roll` (rad, functions of time) turn the body on its path, as a car's
    suspension does: what is felt and reported is the body's."""

    def __init__(self, seconds, acceleration, heading_rate, pitch, bank, road=lambda t: 0.0,
                 speed0=0.0, heading0=0.0, body_pitch=lambda t: 0.0, body_roll=lambda t: 0.0):
        self.seconds = seconds
        n = int(seconds * GRID) + 3
        dt = 1.0 / GRID
        self.times = [(i - 1) * dt for i in range(n)]  # one step before 0 and after the end
        speed, heading = speed0, heading0
        self.speed, self.heading = [], []
        for t in self.times:
            self.speed.append(speed)
            self.heading.append(heading)
            speed = max(0.0, speed + acceleration(t, speed) * dt)
            heading += heading_rate(t, speed) * dt
        self.pitch = [pitch(t) for t in self.times]
        self.bank = [bank(t) for t in self.times]
        self.road = road
        self.body_pitch = [body_pitch(t) for t in self.times]
        self.body_roll = [body_roll(t) for t in self.times]

    def _velocity(self, i):
        # along the path's nose: the path's bank does not turn it
        r = rotation(self.heading[i], self.pitch[i], 0.0)
        v = [r[k][0] * self.speed[i] for k in range(3)]
        # the road lifts the vehicle (z down in these sums)
        t, h = self.times[i], 1.0 / GRID
        climb = (self.road(t + h) - self.road(t - h)) / (2.0 * h)
        v[2] -= climb
        return v

    def _body(self, i):
        return rotation(self.heading[i], self.pitch[i] + self.body_pitch[i], self.bank[i] + self.body_roll[i])

    def sample(self, i):
        """(ax, ay, az, roll_rate, pitch_rate, yaw_rate, heading deg, speed) at grid index i."""
        ax, ay, az_up = self.acceleration(i)
        p, q, rr = self.rates(i)
        heading = math.degrees(self.heading[i])
        heading = (heading + 180.0) % 360.0 - 180.0
        if heading == -180.0:
            heading = 180.0
        return (ax, ay, az_up, p, q, rr, heading, self.speed[i])

    def acceleration(self, i):
        """The body's acceleration without gravity (m/s^2, z up) at grid index i."""
        before, after = self._velocity(i - 1), self._velocity(i + 1)
        world = [(after[k] - before[k]) * GRID / 2.0 for k in range(3)]
        ax, ay, az_down = transpose_times(self._body(i), world)
        return (ax, ay, -az_down)

    def specific_force(self, i):
        """What an accelerometer in the body reads (m/s^2, z up): the
        acceleration less gravity, 0, 0, +g at rest and level."""
        ax, ay, az_up = self.acceleration(i)
        gx, gy, gz_down = transpose_times(self._body(i), [0.0, 0.0, G])
        return (ax - gx, ay - gy, az_up + gz_down)

    def attitude(self, i):
        """(roll, pitch) of the body in degrees: roll + right side down, pitch + nose up."""
        return (math.degrees(self.bank[i] + self.body_roll[i]), math.degrees(self.pitch[i] + self.body_pitch[i]))

    def rates(self, i):
        """Body rates (roll, pitch, yaw rate; deg/s) at grid index i."""
        r = self._body(i)
        r0, r1 = self._body(i - 1), self._body(i + 1)
        # body rates: the skew matrix R^T dR/dt
        d = [[(r1[a][b] - r0[a][b]) * GRID / 2.0 for b in range(3)] for a in range(3)]
        w = [[sum(r[k][a] * d[k][b] for k in range(3)) for b in range(3)] for a in range(3)]
        return (math.degrees(w[2][1]), math.degrees(w[0][2]), math.degrees(w[1][0]))

    def index(self, t):
        return min(max(int(round(t * GRID)) + 1, 1), len(self.times) - 2)

    def at(self, t):
        return self.sample(self.index(t))


def drive():
    """16 s: pull away, a bump, a long right-hand bend whose heading crosses
    +-180 degrees, then hard braking to a crawl."""
    def acceleration(t, speed):
        return 3.5 * pulse(t, 1.0, 5.0, 0.4) - 5.5 * pulse(t, 12.5, 14.6, 0.3)

    def heading_rate(t, speed):
        return math.radians(25.0) * pulse(t, 6.5, 12.0, 1.0)

    bump_start, bump_length, bump_height, wheelbase = 5.6, 0.3, 0.05, 2.7

    def bump(t):
        x = (t - bump_start) / bump_length
        return bump_height * 0.5 * (1 - math.cos(2 * math.pi * x)) if 0.0 <= x <= 1.0 else 0.0

    def pitch(t):
        # the front wheels meet the bump first; at ~14 m/s the rear ones follow 0.19 s later
        return math.atan((bump(t) - bump(t - wheelbase / 14.0)) / wheelbase)

    def bank(t):
        # the body leans out of the bend: left side down, about 2 degrees
        return -math.radians(2.0) * pulse(t, 6.5, 12.0, 1.0)

    return Trajectory(16.0, acceleration, heading_rate, pitch, bank, road=bump, heading0=math.radians(120.0))


def flight():
    """12 s at about 60 m/s: bank 30 degrees right into a coordinated turn
    through heading 180, roll out, then pull up with more throttle, through
    light turbulence."""
    speed0 = 60.0

    def acceleration(t, speed):
        return 2.0 * pulse(t, 9.0, 12.0, 0.5)

    def bank(t):
        return math.radians(30.0) * pulse(t, 1.0, 8.5, 1.8)

    def heading_rate(t, speed):
        # coordinated: the lift's horizontal part turns the flight path
        return G * math.tan(bank(t)) / max(speed, 1.0)

    def pitch(t):
        return math.radians(12.0) * smoothstep((t - 9.0) / 2.0)

    def turbulence(t):
        return 0.03 * math.sin(2 * math.pi * 1.3 * t) * math.sin(2 * math.pi * 0.21 * t)

    return Trajectory(12.0, acceleration, heading_rate, pitch, bank, road=turbulence, speed0=speed0,
                      heading0=math.radians(165.0))


def steady_times(seconds, rate):
    return [i / rate for i in range(int(seconds * rate) + 1)]


def game_frame_times(seconds, seed=13):
    """Row times as a game's frames come: mostly near 60 Hz, some slower, an
    occasional hitch. Deterministic (a fixed linear congruential sequence)."""
    times, t, state = [0.0], 0.0, seed
    while True:
        state = (1103515245 * state + 12345) % (1 << 31)
        u = state / float(1 << 31)
        step = 1 / 60.0 if u < 0.7 else (1 / 45.0 if u < 0.93 else (1 / 30.0 if u < 0.99 else 0.12))
        t += step
        if t > seconds:
            break
        times.append(t)
    return times
