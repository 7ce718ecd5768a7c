"""Checks of the telemetry generator against physics worked by hand, and that
the shipped example files are what generate.py writes."""
import filecmp
import math
import os
import subprocess
import sys
import tempfile
import unittest

import telemetry

HERE = os.path.dirname(os.path.abspath(__file__))
G = 9.80665


def still(t, speed=None):
    return 0.0


class Physics(unittest.TestCase):
    def test_straight_acceleration_is_surge_only(self):
        # 2 m/s^2 along the nose from rest, heading 70 degrees.
        run = telemetry.Trajectory(3.0, lambda t, v: 2.0, lambda t, v: 0.0, still, still, heading0=math.radians(70))
        ax, ay, az, roll, pitch, yaw, heading, speed = run.at(2.0)
        self.assertAlmostEqual(ax, 2.0, places=6)
        for value in (ay, az, roll, pitch, yaw):
            self.assertAlmostEqual(value, 0.0, places=6)
        self.assertAlmostEqual(heading, 70.0, places=6)
        self.assertAlmostEqual(speed, 4.0, delta=0.01)

    def test_flat_right_turn_pushes_to_the_right(self):
        # 10 m/s turning right at 20 deg/s: centripetal v * omega = 3.4907 m/s^2 towards +y.
        run = telemetry.Trajectory(2.0, still, lambda t, v: math.radians(20.0), still, still, speed0=10.0)
        ax, ay, az, roll, pitch, yaw, heading, speed = run.at(1.0)
        self.assertAlmostEqual(ay, 3.4907, places=3)
        self.assertAlmostEqual(ax, 0.0, places=6)
        self.assertAlmostEqual(yaw, 20.0, places=6)
        self.assertAlmostEqual(heading, 20.0, delta=0.05)

    def test_coordinated_turn_at_thirty_degrees_of_bank(self):
        # omega = g tan(30) / 60 = 0.0943645 rad/s = 5.40669 deg/s; in the banked
        # frame: ay = g sin 30 = 4.90333, az = g tan 30 sin 30 = 2.83094,
        # pitch rate = omega sin 30 = 2.70335, yaw rate = omega cos 30 = 4.68233.
        bank = math.radians(30.0)
        run = telemetry.Trajectory(3.0, still, lambda t, v: G * math.tan(bank) / v, still, lambda t: bank,
                                   speed0=60.0)
        ax, ay, az, roll, pitch, yaw, heading, speed = run.at(2.0)
        self.assertAlmostEqual(ax, 0.0, places=4)
        self.assertAlmostEqual(ay, 4.90333, places=3)
        self.assertAlmostEqual(az, 2.83094, places=3)
        self.assertAlmostEqual(roll, 0.0, places=4)
        self.assertAlmostEqual(pitch, 2.70335, places=3)
        self.assertAlmostEqual(yaw, 4.68233, places=3)

    def test_specific_force_at_rest_is_gravity_turned_by_the_attitude(self):
        level = telemetry.Trajectory(1.0, still, lambda t, v: 0.0, still, still)
        i = level.index(0.5)
        for value, expected in zip(level.specific_force(i), (0.0, 0.0, G)):
            self.assertAlmostEqual(value, expected, places=9)
        # parked nose up 10 degrees, right side down 20 degrees: gravity pulls
        # the body back and to the right, so the seat pushes it forward and left
        tilted = telemetry.Trajectory(1.0, still, lambda t, v: 0.0, lambda t: math.radians(10.0),
                                      lambda t: math.radians(20.0))
        fx, fy, fz = tilted.specific_force(i)
        self.assertAlmostEqual(fx, G * math.sin(math.radians(10.0)), places=9)
        self.assertAlmostEqual(fy, -G * math.sin(math.radians(20.0)) * math.cos(math.radians(10.0)), places=9)
        self.assertAlmostEqual(fz, G * math.cos(math.radians(20.0)) * math.cos(math.radians(10.0)), places=9)
        self.assertEqual(tilted.attitude(i), (20.0, 10.0))

    def test_coordinated_turn_is_felt_straight_down_through_the_seat(self):
        # the same turn as above: no sideways force, g / cos 30 = 11.3237 m/s^2 down
        bank = math.radians(30.0)
        run = telemetry.Trajectory(3.0, still, lambda t, v: G * math.tan(bank) / v, still, lambda t: bank,
                                   speed0=60.0)
        fx, fy, fz = run.specific_force(run.index(2.0))
        self.assertAlmostEqual(fx, 0.0, places=4)
        self.assertAlmostEqual(fy, 0.0, places=3)
        self.assertAlmostEqual(fz, G / math.cos(bank), places=3)

    def test_body_pitch_on_its_suspension_leaves_the_path_level(self):
        # a car braking at 5 m/s^2 with its nose dipped 1.5 degrees: the path
        # stays level, so no climb; the body feels the braking and the tilt
        dive = math.radians(-1.5)
        run = telemetry.Trajectory(2.0, lambda t, v: -5.0, lambda t, v: 0.0, still, still, speed0=20.0,
                                   body_pitch=lambda t: dive)
        i = run.index(1.0)
        ax, ay, az = run.acceleration(i)
        self.assertAlmostEqual(ax, -5.0 * math.cos(dive), places=6)
        self.assertAlmostEqual(az, 5.0 * math.sin(dive), places=6)  # the braking, partly along the tilted body z
        fx, fy, fz = run.specific_force(i)
        self.assertAlmostEqual(fx, -5.0 * math.cos(dive) + G * math.sin(dive), places=6)
        self.assertAlmostEqual(run.rates(i)[1], 0.0, places=6)

    def test_rolling_right_and_pulling_up_read_positive(self):
        roll_in = telemetry.Trajectory(2.0, still, lambda t, v: 0.0, still, lambda t: math.radians(10.0) * t,
                                       speed0=1.0)
        self.assertAlmostEqual(roll_in.at(1.0)[3], 10.0, places=4)
        pull_up = telemetry.Trajectory(2.0, still, lambda t, v: 0.0, lambda t: math.radians(5.0) * t, still,
                                       speed0=50.0)
        ax, ay, az, roll, pitch, yaw, heading, speed = pull_up.at(1.0)
        self.assertAlmostEqual(pitch, 5.0, places=4)
        # the path curves upwards: v * q = 50 * 0.0872665 = 4.3633 m/s^2 up
        self.assertAlmostEqual(az, 4.3633, places=3)

    def test_example_headings_cross_180(self):
        for trajectory, times in ((telemetry.drive(), (6.0, 12.0)), (telemetry.flight(), (1.0, 9.0))):
            before, after = trajectory.at(times[0])[6], trajectory.at(times[1])[6]
            self.assertGreater(before, 90.0)
            self.assertLess(after, -90.0)


class ShippedFiles(unittest.TestCase):
    def test_generator_writes_the_shipped_files(self):
        names = ["country-road.csv", "axis-sweep.csv", "drive-telemetry.csv", "flight-telemetry.csv"]
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, "-B", os.path.join(HERE, "generate.py"), out], check=True)
            for name in names:
                self.assertTrue(filecmp.cmp(os.path.join(HERE, name), os.path.join(out, name), shallow=False), name)


if __name__ == "__main__":
    unittest.main()
