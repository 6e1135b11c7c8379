"""Send to Photara from headless Blender: the test scene goes over the live link to the
stand-in application (photara-sim), which the library finds through an installation record
in a private record file and launches; what the stand-in received must hold what the Scene
file export of the same scene holds.

Environment: SCENEAPI_LIBRARY, SCENEAPI_INFO, SCENEAPI_SCRATCH, PHOTARA_SIM (the stand-in)."""

import json
import os
import re
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scene_setup  # noqa: E402

import bpy  # noqa: E402

COMPARED = ("objects", "instances", "definitions", "triangles", "vertices", "materials",
            "lights", "cameras", "animations", "keyframes", "groups", "findings")


def summary(path):
    """What sceneapi-info says of the scene, without the line numbers of the file."""
    status, data = scene_setup.info(path)
    text = re.sub(r'"line": \d+, ', "", json.dumps({k: data.get(k) for k in COMPARED}))
    return status, json.loads(text)


class LiveTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = os.path.join(os.environ["SCENEAPI_SCRATCH"], "live")
        shutil.rmtree(cls.folder, ignore_errors=True)
        os.makedirs(os.path.join(cls.folder, "instances"))
        cls.sim = os.environ["PHOTARA_SIM"]
        cls.received = os.path.join(cls.folder, "received.scene")
        records = os.path.join(cls.folder, "user.reg")
        open(os.path.join(cls.folder, "machine.reg"), "w").close()
        # The library reads the private records; the stand-in it launches inherits the rest.
        os.environ.update(SCENEAPI_HKCU_REG=records,
                          SCENEAPI_HKLM_REG=os.path.join(cls.folder, "machine.reg"),
                          PHOTARA_SIM_INSTANCES=os.path.join(cls.folder, "instances"),
                          PHOTARA_SIM_OUTPUT=cls.received,
                          XDG_STATE_HOME=os.path.join(cls.folder, "state"))
        subprocess.run([cls.sim, "register", "--records", records], check=True,
                       stdout=subprocess.DEVNULL)
        scene_setup.register_addon()

    @classmethod
    def tearDownClass(cls):
        subprocess.run([cls.sim, "stop", "--instances", os.path.join(cls.folder, "instances")],
                       stdout=subprocess.DEVNULL)

    def setUp(self):
        scene_setup.build(os.environ["SCENEAPI_SCRATCH"])

    def test_live_link_delivers_what_the_file_holds(self):
        path = os.path.join(self.folder, "file.scene")
        self.assertEqual(bpy.ops.export_scene.photara_scene(filepath=path), {"FINISHED"})
        self.assertEqual(bpy.ops.export_scene.photara_send(selector="", version_min=7,
                                                           version_max=20, prefer_any=True),
                         {"FINISHED"})
        # The stand-in writes what it received when the link has ended.
        for _ in range(600):
            if os.path.exists(self.received) and os.path.getsize(self.received) > 0:
                break
            time.sleep(0.05)
        status, received = summary(self.received)
        self.assertEqual(status, 0, received)
        file_status, expected = summary(path)
        self.assertEqual(file_status, 0, expected)
        self.assertEqual(received, expected)
        self.assertEqual(received["animations"], 1)

    def test_no_installation_in_range_is_reported(self):
        with self.assertRaises(RuntimeError) as caught:
            bpy.ops.export_scene.photara_send(version_min=30, version_max=40)
        self.assertIn("Failed to connect", str(caught.exception))


scene_setup.run_tests(LiveTest)
