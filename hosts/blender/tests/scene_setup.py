"""The test scene, built by script in a factory-startup Blender: a cube and two linked
duplicates (one of them moving over frames 1..10), a monkey subdivided by a modifier, a
textured and a glass material, a camera, a point and an area light, nested collections."""

import json
import os
import subprocess
import sys

import bpy

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir))  # hosts/blender: the add-on's folder


def register_addon():
    import photara_export
    try:
        photara_export.register()
    except ValueError:
        pass  # registered already
    return photara_export


def build(folder):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    scene.frame_start, scene.frame_end = 1, 10

    props = bpy.data.collections.new("Props")
    cubes = bpy.data.collections.new("Cubes")
    scene.collection.children.link(props)
    props.children.link(cubes)

    texture = bpy.data.images.new("checker", 8, 8)
    texture.filepath_raw = os.path.join(folder, "checker.png")
    texture.file_format = "PNG"
    texture.save()
    textured = bpy.data.materials.new("Textured")
    textured.use_nodes = True
    nodes = textured.node_tree.nodes
    image = nodes.new("ShaderNodeTexImage")
    image.image = texture
    textured.node_tree.links.new(image.outputs["Color"],
                                 nodes["Principled BSDF"].inputs["Base Color"])
    glass = bpy.data.materials.new("Glass")
    glass.use_nodes = True
    glass.node_tree.nodes["Principled BSDF"].inputs["Transmission"].default_value = 1.0

    props_layer = bpy.context.view_layer.layer_collection.children["Props"]
    bpy.context.view_layer.active_layer_collection = props_layer.children["Cubes"]
    bpy.ops.mesh.primitive_cube_add(size=1)
    cube = bpy.context.object
    cube.name = "Cube"
    cube.data.materials.append(textured)
    for i, name in enumerate(("Cube copy", "Cube mover"), 1):
        copy = bpy.data.objects.new(name, cube.data)  # the same mesh data-block
        copy.location = (3 * i, 0, 0)
        cubes.objects.link(copy)
    mover = bpy.data.objects["Cube mover"]
    mover.keyframe_insert("location", frame=1)
    mover.location = (6, 4, 2)
    mover.keyframe_insert("location", frame=10)

    bpy.context.view_layer.active_layer_collection = props_layer
    bpy.ops.mesh.primitive_monkey_add()
    monkey = bpy.context.object
    monkey.name = "Monkey"
    monkey.location = (0, 4, 1)
    monkey.data.materials.append(glass)
    monkey.modifiers.new("Subdivision", "SUBSURF").levels = 1

    camera = bpy.data.objects.new("Camera", bpy.data.cameras.new("Camera"))
    camera.location = (0, -12, 4)
    camera.rotation_euler = (1.3, 0, 0)
    scene.collection.objects.link(camera)
    scene.camera = camera
    for kind, name, location in (("POINT", "Lamp", (2, -2, 5)), ("AREA", "Panel", (0, 0, 6))):
        data = bpy.data.lights.new(name, kind)
        data.energy = 100.0
        if kind == "AREA":
            data.shape, data.size, data.size_y = "RECTANGLE", 2.0, 1.0
        light = bpy.data.objects.new(name, data)
        light.location = location
        scene.collection.objects.link(light)
    scene.frame_set(1)
    bpy.context.view_layer.update()
    return scene


def info(path):
    """sceneapi-info --json on a Scene file: its exit status and its summary."""
    run = subprocess.run([os.environ["SCENEAPI_INFO"], "--json", path], capture_output=True,
                         text=True)
    return run.returncode, json.loads(run.stdout)


def run_tests(case):
    """Runs a unittest case inside Blender; a failure ends Blender with status 1."""
    import unittest
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(case)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    if not result.wasSuccessful():
        raise SystemExit(1)
