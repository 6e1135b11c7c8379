"""Speed of the add-on on a large mesh: triangles per second from Blender into a Scene file.

blender -b --factory-startup --python hosts/blender/bench_export.py -- [OUT.scene]
(with SCENEAPI_LIBRARY naming the library when it is not found otherwise). Prints one line
per case: a smooth 1M-triangle grid without a UV map (the mesh's own vertices, arrays read
with foreach_get and handed over in bulk), and the same grid with its UV map (one vertex per
triangle corner, gathered in Python, or with numpy when Blender has it). Best of 3 runs."""

import os
import sys
import tempfile
import time

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import photara_export  # noqa: E402
from photara_export import exporter  # noqa: E402

args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
out = args[0] if args else os.path.join(tempfile.gettempdir(), "photara_bench.scene")
photara_export.register()
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.mesh.primitive_grid_add(x_subdivisions=708, y_subdivisions=708, size=10)
grid = bpy.context.object
grid.data.polygons.foreach_set("use_smooth", [True] * len(grid.data.polygons))
grid.data.update()
bpy.context.scene.frame_end = bpy.context.scene.frame_start  # no animation to sample
triangles = 2 * len(grid.data.polygons)

for case in ("with UV map", "without UV map"):
    if case == "without UV map":
        grid.data.uv_layers.remove(grid.data.uv_layers[0])
    best = None
    for _ in range(3):
        start = time.perf_counter()
        bpy.ops.export_scene.photara_scene(filepath=out, use_animation=False)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print("photara_export bench: %d triangles %s (%s): %.3f s, %.2f M triangles/s, %.1f MB"
          % (triangles, case, "numpy" if exporter.numpy is not None else "no numpy", best,
             triangles / best / 1e6, os.path.getsize(out) / 1e6))
os.remove(out)
