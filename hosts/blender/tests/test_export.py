"""The add-on in headless Blender: the test scene exported with
bpy.ops.export_scene.photara_scene, then read back by sceneapi-info --json.

blender -b --factory-startup --python-exit-code 1 --python test_export.py
Environment: SCENEAPI_LIBRARY, SCENEAPI_INFO (sceneapi-info), SCENEAPI_SCRATCH (a folder)."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scene_setup  # noqa: E402

import bpy  # noqa: E402


class ExportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = os.environ["SCENEAPI_SCRATCH"]
        os.makedirs(cls.folder, exist_ok=True)
        scene_setup.register_addon()

    def setUp(self):
        scene_setup.build(self.folder)

    def export(self, name, **options):
        path = os.path.join(self.folder, name)
        result = bpy.ops.export_scene.photara_scene(filepath=path, **options)
        self.assertEqual(result, {"FINISHED"})
        return path

    def test_scene_counts(self):
        status, summary = scene_setup.info(self.export("test.scene"))
        self.assertEqual(status, 0, summary)
        self.assertEqual(summary["findings"], [])
        self.assertEqual(summary["definitions"], 2)  # the cube's data-block once, the monkey
        self.assertEqual(summary["instances"], 4)
        self.assertEqual(summary["objects"], 4)
        # The modifier is applied: the monkey's 468 quads and 32 triangles become 1968 quads.
        self.assertEqual(summary["triangles"], 12 + 2 * 1968)
        # The textured material is the generic kind: a diffuse surface over a texture shader.
        self.assertEqual(summary["materials"], {"vtl_diffuse": 1, "vtl_window_glass": 1})
        self.assertEqual(summary["lights"], {"vtl_point_light": 1, "vtl_mesh_light": 1})
        self.assertEqual(summary["cameras"], 1)
        self.assertEqual((summary["animations"], summary["keyframes"]), (1, 10))
        self.assertEqual(summary["import_options"]["import_up_vector"], 2)
        groups = {g["name"]: g for g in summary["groups"]}
        self.assertEqual(sorted(groups), ["Lamp", "Panel", "Props"])
        self.assertIn("Cubes", [g["name"] for g in groups["Props"]["groups"]])
        with open(os.path.join(self.folder, "test.scene"), encoding="utf-8") as f:
            text = f.read()
        self.assertIn('"texture" "%s"' % os.path.join(self.folder, "checker.png"), text)

    def test_options(self):
        for o in bpy.data.objects:
            o.select_set(o.name == "Monkey")
        status, summary = scene_setup.info(self.export(
            "selected.scene", use_selection=True, use_modifiers=False, use_animation=False,
            up_axis="Y", meter_scale=0.01))
        self.assertEqual(status, 0, summary)
        self.assertEqual((summary["definitions"], summary["objects"]), (1, 1))
        self.assertEqual(summary["triangles"], 968)  # without the modifier
        self.assertEqual((summary["animations"], summary["lights"], summary["cameras"]),
                         (0, {}, 0))
        self.assertEqual(summary["import_options"]["import_up_vector"], 1)
        self.assertAlmostEqual(summary["import_options"]["meter_scale"], 0.01, places=6)
        # Y up: the monkey at Blender (0, 4, 1) stands 1 up and 4 towards the viewer (-z).
        low, high = summary["bounds"]["min"], summary["bounds"]["max"]
        self.assertAlmostEqual((low[1] + high[1]) / 2, 1, delta=0.5)
        self.assertAlmostEqual((low[2] + high[2]) / 2, -4, delta=0.5)

    def test_unwritable_destination_reports_the_library_text(self):
        path = os.path.join(self.folder, "no", "such", "folder.scene")
        with self.assertRaises(RuntimeError) as caught:
            bpy.ops.export_scene.photara_scene(filepath=path)
        self.assertIn("No such file or directory", str(caught.exception))
        with self.assertRaises(RuntimeError) as caught:
            bpy.ops.export_scene.photara_scene(filepath="/dev/full")
        self.assertIn("No space left on device", str(caught.exception))


scene_setup.run_tests(ExportTest)
