"""Tests of the Python binding: the Scene file it writes against the C interface's for the
same calls, bulk arrays handed over in place, failures raised with the library's text, and
the declared exports against the header.

Environment (set by CTest): SCENEAPI_LIBRARY (the shared library), SCENEAPI_SCENE_HOST (the C
reference host, tests/windows/scene_host.c), SCENEAPI_HEADER (include/sceneapi_cs_wrapper.h)."""

import array
import os
import re
import subprocess
import sys
import tempfile
import tracemalloc
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
import sceneapi  # noqa: E402

try:
    import numpy
except ImportError:
    numpy = None

MOVED = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 2.5, -1, 0.125, 1]
TURNED = [[0, 1, 0, 0], [-1, 0, 0, 0], [0, 0, 1, 0], [0, 0, 0, 1]]


def python_scene(path):
    """The calls of tests/windows/scene_host.c through the session API."""
    with sceneapi.open_file(path, up_axis="z", meter_scale=0.01) as scene:
        scene.set_progress("meshes", 0.25)
        scene.set_flags(3)
        scene.define_diffuse(1, "matte", 0.5, 0.5, 0.5)
        scene.define_plastic(2, 'red "shiny"', 1.5, -0.2, 0.5)
        scene.define_metal(3, "steel", 0.6, 0.6, 0.65)
        scene.define_glass(4, "glass", 0.9, 1, 0.9)
        scene.define_emissive(5, "lamp")
        scene.define_generic(6, "wood", "textures/wood.png", "textures/wood_bump.png",
                             colour=(1, 1, 1), blend_colour=True)
        scene.define_metal(3, "ignored", 0, 0, 0)
        with scene.group("Collection"):
            quad = scene.add_mesh(
                "quad", array.array("f", [0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5]),
                array.array("i", [0, 1, 2, 0, 2, 3]),
                normals=[(0, 0, 1), (0, 0, 1), (0, 0, 1), (0, 0.6, 0.8)],
                uvs=memoryview(array.array("f", [0, 0, 1, 0, 1, 1, 0, 0.25])),
                material=6, place=False)
            with scene.group("copy 1", MOVED):
                scene.add_instance("quad", quad, material=2)
            with scene.group("Ünïcode", TURNED):
                scene.add_instance("quad", quad)
                with scene.animation("Ünïcode", 0.0416667, 0.416667, folder="motion") as a:
                    a.add_frame(1, TURNED)
                    a.add_frame(2, MOVED)
        uk = vk = [0, 0, 1, 1]
        scene.add_nurbs("patch", (2, 2), (0, 1, 0, 1), uk, vk,
                        [(0, 0, 0, 1), (1, 0, 0, 1), (0, 1, 0, 1), (1, 1, 0.5, 1)],
                        trim_loops=[(False, [{"domain": (0, 1), "order": 2, "knots": uk,
                                              "uvw": [(0, 0, 1), (1, 1, 1)]}])],
                        material=3)
        scene.set_camera((0, -5, 1), (0, 1, 0), (0, 0, 1), fov4=(-0.5, 0.5, -0.375, 0.375))
        scene.set_camera((0, 0, 10), (0, 0, -1), (0, 1, 0))
        scene.set_progress("lights", 0.75)
        scene.add_point_light("bulb", 99.9, (1, 0.9, 0.7))
        scene.add_ies_light("spot", "profiles/spot.ies")
        scene.add_line_light("panel", 100, 2, 1)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Scratch(unittest.TestCase):
    def setUp(self):
        self._dir = tempfile.TemporaryDirectory(prefix="sceneapi-py-")
        self.dir = self._dir.name

    def tearDown(self):
        self._dir.cleanup()

    def path(self, name):
        return os.path.join(self.dir, name)


class SceneFileTest(Scratch):
    def test_session_writes_what_the_c_interface_writes(self):
        c_host = os.environ.get("SCENEAPI_SCENE_HOST")
        if not c_host:
            self.skipTest("SCENEAPI_SCENE_HOST names no C reference host")
        expected = subprocess.run([c_host, "-"], check=True, capture_output=True).stdout
        python_scene(self.path("py.scene"))
        got = read(self.path("py.scene"))
        self.assertIn(b'"diffuse" 1 0 0.5', expected)  # the reference holds the scene at all
        self.assertEqual(got, expected)

    def test_converted_sequences_write_the_same_numbers_as_buffers(self):
        vertices = [0.1, 0.2, 0.3, 1e-7, 123456.7, -2, 3, 4, 5]
        for name, v, t in [
                ("buffer", array.array("f", vertices), array.array("i", [0, 1, 2])),
                ("doubles", array.array("d", vertices), array.array("q", [0, 1, 2])),
                ("lists", [vertices[i:i + 3] for i in (0, 3, 6)], [(0, 1, 2)])]:
            with sceneapi.open_file(self.path(name)) as scene:
                scene.add_mesh("m", v, t)
        reference = read(self.path("buffer"))
        self.assertIn(b"1e-07 123457 -2", reference)
        self.assertEqual(read(self.path("doubles")), reference)
        self.assertEqual(read(self.path("lists")), reference)

    def test_sessions_replace_each_other_like_the_library(self):
        first = sceneapi.open_file(self.path("1.scene"))
        second = sceneapi.open_file(self.path("2.scene"))
        self.assertTrue(first.closed)
        with self.assertRaises(ValueError):
            first.add_point_light("late", 1)
        first.close()  # nothing left to end
        second.add_point_light("lamp", 1)
        second.close()
        self.assertNotIn(b"lamp", read(self.path("1.scene")))
        self.assertIn(b'object "lamp"', read(self.path("2.scene")))
        self.assertEqual(sceneapi.version(), "1.7")


class ZeroCopyTest(Scratch):
    TRIANGLES = 200_000

    def assert_handed_over_in_place(self, vertices, triangles, normals=None):
        size = sum(memoryview(b).nbytes for b in (vertices, triangles, normals) if b is not None)
        with sceneapi.open_file(os.devnull) as scene:
            tracemalloc.start()
            try:
                scene.add_mesh("grid", vertices, triangles, normals=normals)
                _, peak = tracemalloc.get_traced_memory()
            finally:
                tracemalloc.stop()
        # A copy of any one array would show as megabytes of Python memory.
        self.assertLess(peak, 64 * 1024, "%d bytes traced for %d bytes of arrays" % (peak, size))

    def test_buffers_are_handed_over_in_place(self):
        vertices = array.array("f", bytes(4 * 9 * self.TRIANGLES))
        triangles = array.array("i", range(3 * self.TRIANGLES))
        cases = [(vertices, triangles, memoryview(vertices)),
                 (memoryview(bytes(vertices)).cast("f"), memoryview(triangles).toreadonly(), None),
                 (memoryview(bytearray(vertices)).cast("B").cast("f"), triangles, None)]
        if numpy is not None:
            cases.append((numpy.zeros((self.TRIANGLES * 3, 3), dtype=numpy.float32),
                          numpy.arange(self.TRIANGLES * 3, dtype=numpy.int32).reshape(-1, 3),
                          None))
        for v, t, normals in cases:
            with self.subTest(vertices=type(v).__name__):
                self.assert_handed_over_in_place(v, t, normals)

    def test_the_library_reads_the_callers_memory(self):
        # The same arrays changed between two meshes: each mesh has the values of its call.
        vertices = array.array("f", [0, 0, 0, 1, 0, 0, 0, 1, 0])
        with sceneapi.open_file(self.path("two.scene")) as scene:
            scene.add_mesh("a", vertices, [0, 1, 2])
            vertices[3] = 7
            scene.add_mesh("b", vertices, [0, 1, 2])
        text = read(self.path("two.scene"))
        self.assertIn(b"[ 0 0 0,1 0 0,0 1 0 ]", text)
        self.assertIn(b"[ 0 0 0,7 0 0,0 1 0 ]", text)


class FailureTest(Scratch):
    def test_unopenable_path(self):
        path = self.path("missing/folder/out.scene")
        with self.assertRaises(sceneapi.SceneExportError) as caught:
            sceneapi.open_file(path)
        self.assertIn(path, str(caught.exception))
        self.assertIn("No such file or directory", str(caught.exception))

    @unittest.skipUnless(os.path.exists("/dev/full"), "no /dev/full")
    def test_full_device_fails_on_close(self):
        vertices = array.array("f", bytes(4 * 3 * 100_000))
        with self.assertRaisesRegex(sceneapi.SceneExportError,
                                    '"/dev/full".*No space left on device'):
            with sceneapi.open_file("/dev/full") as scene:
                scene.add_mesh("big", vertices, [0, 1, 2])
        # Closed by hand: the same report from close(), once.
        scene = sceneapi.open_file("/dev/full")
        scene.add_mesh("big", vertices, [0, 1, 2])
        self.assertRaisesRegex(sceneapi.SceneExportError, "No space left", scene.close)
        scene.close()
        # An exception in the with block is not hidden by the close report.
        with self.assertRaises(KeyError):
            with sceneapi.open_file("/dev/full") as scene:
                scene.add_mesh("big", vertices, [0, 1, 2])
                raise KeyError("host")

    def test_bad_arguments_raise_and_leave_the_file_whole(self):
        path = self.path("bad.scene")
        with sceneapi.open_file(path) as scene:
            cases = [
                (ValueError, lambda: scene.add_mesh("m", [0, 0, 0, 1], [0, 1, 2])),
                (ValueError, lambda: scene.add_mesh("m", [0] * 9, [0, 1])),
                (TypeError, lambda: scene.add_mesh("m", ["x"] * 9, [0, 1, 2])),
                (TypeError, lambda: scene.add_mesh("m", None and [], object())),
                (ValueError, lambda: scene.add_mesh("m", [0] * 9, [2 ** 31, 0, 0])),
                (ValueError, lambda: scene.add_mesh("a\0b", [0] * 9, [0, 1, 2])),
                (TypeError, lambda: scene.add_point_light(3, 1)),
                (ValueError, lambda: scene.add_point_light("l", 1, (1, 1))),
                (ValueError, lambda: scene.transform([1, 0, 0])),
                (ValueError, lambda: scene.set_camera((0, 0), (0, 0, 1), (0, 1, 0))),
                (ValueError, lambda: scene.add_instance("i", 2 ** 40)),
                (ValueError, lambda: sceneapi.open_file(path, up_axis="w")),
            ]
            for error, call in cases:
                with self.subTest(error=error.__name__):
                    self.assertRaises(error, call)
            # Indices past the vertices and non-finite numbers are the file's matter, not a crash.
            scene.add_mesh("odd", [float("nan")] * 9, [0, 1, 99], normals=[])
            scene.add_instance("nothing", -5)
        text = read(path)
        self.assertIn(b'#define object "odd"', text)
        self.assertNotIn(b'"m"', text)

    def test_library_search(self):
        script = ("import sceneapi\ntry:\n    sceneapi.load_library()\n"
                  "except sceneapi.SceneExportError as e:\n    print('ERROR', e)\n"
                  "else:\n    print('LOADED')\n")
        here = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir)
        env = dict(os.environ, PYTHONPATH=here, SCENEAPI_LIBRARY=self.path("nothing.so"))
        out = subprocess.run([sys.executable, "-c", script], env=env, cwd=self.dir,
                             capture_output=True, text=True).stdout
        self.assertTrue(out.startswith("ERROR"), out)  # no fallback past a named library
        self.assertIn("nothing.so", out)
        if os.environ.get("SCENEAPI_LIBRARY"):
            # Beside the module: a copy of the library in the module's folder is found.
            os.symlink(os.path.abspath(os.environ["SCENEAPI_LIBRARY"]),
                       self.path("libsceneapi_cs_wrapper.so.1"))
            os.symlink(os.path.join(here, "sceneapi.py"), self.path("sceneapi.py"))
            env = {k: v for k, v in env.items() if k != "SCENEAPI_LIBRARY"}
            env["PYTHONPATH"] = self.dir
            out = subprocess.run([sys.executable, "-c", script], env=env, cwd=self.dir,
                                 capture_output=True, text=True).stdout
            self.assertEqual(out.strip(), "LOADED")


class DeclarationsTest(unittest.TestCase):
    C_TYPES = {"int": "c_int", "float": "c_float", "double": "c_double", "unsigned": "c_uint",
               "bool": "c_bool", "const char*": "c_char_p", "char*": "c_char_p",
               "const void*": "c_void_p", "int*": "LP_c_int", "bool*": "LP_c_bool",
               "const float*": "LP_c_float", "const double*": "LP_c_double",
               "const int*": "c_void_p"}

    def test_every_export_of_the_header_is_declared_alike(self):
        header = os.environ.get("SCENEAPI_HEADER")
        if not header:
            self.skipTest("SCENEAPI_HEADER names no header")
        with open(header) as f:
            text = re.sub(r"/\*.*?\*/", "", f.read(), flags=re.S)
        found = {}
        for result, name, params in re.findall(
                r"SCENEAPI_EXPORT\s+(\w+)\s+(\w+)\s*\(([^)]*)\)", text):
            types = []
            for p in params.split(","):
                p = " ".join(p.replace("*", "* ").split())
                if p and p != "void":
                    types.append(" ".join(p.split()[:-1]).replace(" *", "*").replace("* ", "*"))
            found[name] = (result, types)
        self.assertEqual(len(found), 55)
        self.assertEqual(sorted(found), sorted(sceneapi.EXPORTS))
        for name, (result, types) in found.items():
            restype, argtypes = sceneapi.EXPORTS[name]
            with self.subTest(export=name):
                self.assertEqual(restype and restype.__name__,
                                 None if result == "void" else self.C_TYPES[result])
                # Bulk arrays are passed as addresses of buffers (c_void_p).
                wanted = ["c_void_p" if name in ("addVertices", "addNormals", "addUVs")
                          and t == "const float*" else self.C_TYPES[t] for t in types]
                self.assertEqual([a.__name__ for a in argtypes], wanted)


if __name__ == "__main__":
    unittest.main()
