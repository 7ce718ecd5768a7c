"""The generated sources compile on their own, as the engine's build compiles them: there the module's private
types are unknown, so a class that holds one through a smart pointer must define its constructors itself."""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.path.join(HERE, "..", "..", "HeaderTool", "karvel_header_tool.py")
UNMENDED_DIR = os.path.join(HERE, "Unmended")
PLUGIN_HEADERS_DIR = os.path.join(HERE, "..", "..", "..", "Source", "Karvel", "Public")
# The public headers of the module Karvel depends on, as the engine's build puts them on the include path.
SEAT_CORE_HEADERS_DIR = os.path.join(HERE, "..", "..", "..", "Source", "KarvelSeatCore", "Public")
COMPILER = os.environ.get("KARVEL_CXX")
ENGINE_INCLUDE = os.environ.get("KARVEL_ENGINE_INCLUDE")


@unittest.skipUnless(COMPILER and ENGINE_INCLUDE, "needs KARVEL_CXX and KARVEL_ENGINE_INCLUDE (the test command sets them)")
class GeneratedBuildTest(unittest.TestCase):
    def compile_generated(self, header_dir, stem):
        """Runs the header tool over the plugin's two headers in header_dir and compiles <stem>.gen.cpp."""
        with tempfile.TemporaryDirectory() as output:
            headers = [os.path.join(header_dir, name) for name in ("SeatDeviceConfig.h", "SeatDeviceManager.h")]
            subprocess.run([sys.executable, TOOL, "--module", "Karvel", "--module-dir", os.path.dirname(header_dir),
                            "--package", "/Script/Karvel", "--output-dir", output] + headers, check=True)
            return subprocess.run([COMPILER, "-std=c++17", "-fsyntax-only", "-I", ENGINE_INCLUDE, "-I", output, "-I", header_dir,
                                   "-I", SEAT_CORE_HEADERS_DIR, "-DKARVEL_API=", os.path.join(output, stem + ".gen.cpp")],
                                  capture_output=True, text=True)

    def test_unmended_manager_cannot_be_built(self):
        result = self.compile_generated(UNMENDED_DIR, "SeatDeviceManager")
        self.assertNotEqual(result.returncode, 0)
        self.assertRegex(result.stderr, r"incomplete type .ISeatDeviceBackend.")
        self.assertIn("SeatDeviceManager.gen.cpp", result.stderr, "the generated vtable-helper constructor is what fails")

    def test_plugin_manager_builds(self):
        result = self.compile_generated(PLUGIN_HEADERS_DIR, "SeatDeviceManager")
        self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
