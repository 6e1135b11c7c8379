"""What the add-on exports: Blender's scene turned into sceneapi session calls.

Independent of the operators so that File > Export and Send to Photara share it. Mesh arrays
are read with foreach_get into array.array buffers (numpy when Blender has it) and handed to
the library's bulk exports in place.
"""

import array
import math
import time

import bpy

try:
    import numpy
except ImportError:  # Blender without numpy: the gathers run in Python
    numpy = None

# Blender's light power is radiant (watts); the library takes lumens.
LUMENS_PER_WATT = 683.0 / (4.0 * math.pi)

# Blender is Z-up; the turn that makes another axis up (row-vector form, as the library reads
# matrices: a point is a row, translation in the last row).
_UP_TURNS = {
    "Z": None,
    "Y": ((1, 0, 0, 0), (0, 0, -1, 0), (0, 1, 0, 0), (0, 0, 0, 1)),   # (x, y, z) -> (x, z, -y)
    "X": ((0, 1, 0, 0), (0, 0, 1, 0), (1, 0, 0, 0), (0, 0, 0, 1)),    # (x, y, z) -> (z, x, y)
}
UP_AXIS_INDEX = {"X": 0, "Y": 1, "Z": 2}


class Options:
    def __init__(self, use_selection=False, use_modifiers=True, up_axis="Z", meter_scale=1.0,
                 use_animation=True):
        self.use_selection = use_selection
        self.use_modifiers = use_modifiers
        self.up_axis = up_axis
        self.meter_scale = meter_scale
        self.use_animation = use_animation


class Summary:
    def __init__(self):
        self.definitions = 0
        self.placements = 0
        self.triangles = 0
        self.materials = {}
        self.lights = 0
        self.cameras = 0
        self.animations = 0
        self.groups = 0
        self.notes = []  # one line per approximation
        self.seconds = 0.0

    def text(self):
        kinds = ", ".join("%d %s" % (n, k) for k, n in sorted(self.materials.items()))
        return ("%d definitions, %d placements, %d triangles, %d groups; materials: %s; "
                "%d camera(s), %d lights, %d animations; %.2f s"
                % (self.definitions, self.placements, self.triangles, self.groups,
                   kinds or "none", self.cameras, self.lights, self.animations, self.seconds))


def _rows(matrix, turn):
    """A Blender (column-vector) matrix as the library's 16 numbers, row after row."""
    m = [[matrix[r][c] for c in range(4)] for r in range(4)]
    rows = [[m[c][r] for c in range(4)] for r in range(4)]  # transposed: translation last row
    if turn is not None:
        rows = [[sum(rows[i][k] * turn[k][j] for k in range(4)) for j in range(4)]
                for i in range(4)]
    return rows


# ---- materials ----

def _input(node, name, default=None):
    socket = node.inputs.get(name)
    if socket is None:
        return default, None
    link = socket.links[0].from_node if socket.is_linked and socket.links else None
    return getattr(socket, "default_value", default), link


def _image_path(node):
    """The file of an image texture node reached through the link (or None)."""
    seen = 0
    while node is not None and seen < 8:
        seen += 1
        if node.type == "TEX_IMAGE" and node.image is not None:
            path = node.image.filepath_from_user() or node.image.filepath
            return bpy.path.abspath(path) if path else node.image.name
        # Through normal-map and bump nodes to their colour/height input.
        nxt = None
        for name in ("Color", "Height", "Normal"):
            socket = node.inputs.get(name)
            if socket is not None and socket.is_linked and socket.links:
                nxt = socket.links[0].from_node
                break
        node = nxt
    return None


def material_kind(material):
    """(kind, colour, extra) for a Blender material: kind is one of diffuse, plastic, metal,
    glass, emissive, generic; extra holds the generic kind's texture paths."""
    colour = tuple(material.diffuse_color[:3])
    if not material.use_nodes or material.node_tree is None:
        return "diffuse", colour, None
    bsdf = next((n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED"), None)
    if bsdf is None:
        return "diffuse", colour, None
    base, base_link = _input(bsdf, "Base Color", (0.8, 0.8, 0.8, 1))
    colour = tuple(base[:3])
    _, normal_link = _input(bsdf, "Normal")
    texture = _image_path(base_link) if base_link is not None else None
    bump = _image_path(normal_link) if normal_link is not None else None
    if texture or bump:
        return "generic", colour, (texture or "", bump or "")
    emission, _ = _input(bsdf, "Emission", (0, 0, 0, 1))
    strength, _ = _input(bsdf, "Emission Strength", 1.0)
    if max(emission[:3]) * strength > 0:
        return "emissive", colour, None
    if _input(bsdf, "Transmission", 0.0)[0] > 0.5:
        return "glass", colour, None
    if _input(bsdf, "Metallic", 0.0)[0] > 0.5:
        return "metal", colour, None
    roughness = _input(bsdf, "Roughness", 0.5)[0]
    specular = _input(bsdf, "Specular", 0.5)[0]
    if specular > 0.0 and roughness < 0.6:
        return "plastic", colour, None
    return "diffuse", colour, None


def define_material(scene, material_id, material, summary):
    kind, colour, extra = material_kind(material)
    name = material.name
    if kind == "generic":
        scene.define_generic(material_id, name, extra[0], extra[1], colour=colour,
                             blend_colour=False)
    elif kind == "emissive":
        scene.define_emissive(material_id, name)
    else:
        define = {"diffuse": scene.define_diffuse, "plastic": scene.define_plastic,
                  "metal": scene.define_metal, "glass": scene.define_glass}[kind]
        define(material_id, name, *colour)
    summary.materials[kind] = summary.materials.get(kind, 0) + 1


# ---- meshes ----

def _get(collection, attribute, count, code):
    values = array.array(code, bytes(count * array.array(code).itemsize))
    if count:
        collection.foreach_get(attribute, values)
    return values


def _gather(values, per, indices):
    """values[i*per:(i+1)*per] for each index, as one array of the same type."""
    if numpy is not None:
        source = numpy.frombuffer(values, dtype=numpy.float32).reshape(-1, per)
        return source[numpy.frombuffer(indices, dtype=numpy.int32)].reshape(-1)
    out = array.array(values.typecode)
    if per == 3:
        xs, ys, zs = values[0::3], values[1::3], values[2::3]
        flat = [c for i in indices for c in (xs[i], ys[i], zs[i])]
    else:
        us, vs = values[0::2], values[1::2]
        flat = [c for i in indices for c in (us[i], vs[i])]
    out.fromlist(flat)
    return out


def mesh_arrays(mesh):
    """Triangulated arrays of a mesh: vertices, normals, uvs (or None), and for each material
    slot index the triangles that use it (vertex indices). Smooth meshes without a UV map keep
    their own vertices; others get one vertex per triangle corner (split normals, UVs)."""
    mesh.calc_loop_triangles()
    tris = mesh.loop_triangles
    count = len(tris)
    uv_layer = mesh.uv_layers.active
    material_index = _get(tris, "material_index", count, "i")
    smooth = all(_get(tris, "use_smooth", count, "b")) if count else True
    per_vertex = uv_layer is None and smooth and not mesh.has_custom_normals
    if per_vertex:
        vertices = _get(mesh.vertices, "co", 3 * len(mesh.vertices), "f")
        normals = _get(mesh.vertices, "normal", 3 * len(mesh.vertices), "f")
        corners = _get(tris, "vertices", 3 * count, "i")
        uvs = None
    else:
        if hasattr(mesh, "calc_normals_split"):
            mesh.calc_normals_split()
        co = _get(mesh.vertices, "co", 3 * len(mesh.vertices), "f")
        vertices = _gather(co, 3, _get(tris, "vertices", 3 * count, "i"))
        normals = _get(tris, "split_normals", 9 * count, "f")
        uvs = None
        if uv_layer is not None:
            uv = _get(uv_layer.data, "uv", 2 * len(mesh.loops), "f")
            uvs = _gather(uv, 2, _get(tris, "loops", 3 * count, "i"))
        corners = array.array("i", range(3 * count))
    parts = {}
    if count and (min(material_index) != max(material_index)):
        for t in range(count):
            parts.setdefault(material_index[t], array.array("i")).extend(
                corners[3 * t:3 * t + 3])
    else:
        parts[material_index[0] if count else 0] = corners
    return vertices, normals, uvs, parts


# ---- the walk ----

class Exporter:
    def __init__(self, context, scene, options, progress=None):
        self.context = context
        self.bl_scene = context.scene
        self.scene = scene  # the sceneapi session
        self.options = options
        self.turn = _UP_TURNS[options.up_axis]
        self.summary = Summary()
        self.progress = progress or (lambda text, fraction: None)
        self.material_ids = {}
        self.definitions = {}   # key -> [(object id, material slot index)]
        self.tracks = {}        # object name -> list of (frame, rows)

    def included(self, obj):
        if not obj.visible_get():
            return False
        if self.options.use_selection and not obj.select_get():
            return False
        return obj.type in ("MESH", "CAMERA", "LIGHT")

    def run(self):
        start = time.perf_counter()
        objects = [o for o in self.bl_scene.objects if self.included(o)]
        if self.options.use_animation:
            self.sample_animation(objects)
        depsgraph = self.context.evaluated_depsgraph_get()
        meshes = [o for o in objects if o.type == "MESH"]
        self.define_materials(meshes)
        self.define_shared_meshes(meshes, depsgraph)
        self.done = set()
        self.total = max(1, len(objects))
        self.walk(self.context.view_layer.layer_collection, depsgraph, objects, top=True)
        camera = self.bl_scene.camera
        if camera is not None and camera in objects:
            self.camera(camera)
        self.summary.seconds = time.perf_counter() - start
        return self.summary

    def sample_animation(self, objects):
        scene = self.bl_scene
        first, last = scene.frame_start, scene.frame_end
        if last <= first:
            return
        current = scene.frame_current
        tracks = {o.name: [] for o in objects if o.type in ("MESH", "LIGHT")}
        try:
            for frame in range(first, last + 1):
                scene.frame_set(frame)
                for o in objects:
                    if o.name in tracks:
                        tracks[o.name].append((frame, _rows(o.matrix_world, self.turn)))
        finally:
            scene.frame_set(current)
        for name, frames in tracks.items():
            if any(rows != frames[0][1] for _, rows in frames[1:]):
                self.tracks[name] = frames

    def define_materials(self, meshes):
        for obj in meshes:
            for slot in obj.material_slots:
                material = slot.material
                if material is not None and material.name not in self.material_ids:
                    material_id = len(self.material_ids) + 1
                    self.material_ids[material.name] = material_id
                    define_material(self.scene, material_id, material, self.summary)

    def mesh_key(self, obj):
        """Objects with the same key share one definition."""
        modified = self.options.use_modifiers and len(obj.modifiers) > 0
        return ("object", obj.name) if modified else ("data", obj.data.name)

    def material_of(self, obj, slot_index):
        if slot_index < len(obj.material_slots):
            material = obj.material_slots[slot_index].material
            if material is not None:
                return self.material_ids.get(material.name)
        return None

    def define_mesh(self, obj, depsgraph):
        """Writes the definitions of obj's mesh (one per material used); returns their ids."""
        if self.options.use_modifiers:
            evaluated = obj.evaluated_get(depsgraph)
            mesh = evaluated.to_mesh()
            owner = evaluated
        else:
            mesh, owner = obj.data, None
        try:
            vertices, normals, uvs, parts = mesh_arrays(mesh)
        finally:
            if owner is not None:
                owner.to_mesh_clear()
        ids = []
        name = obj.data.name if self.mesh_key(obj)[0] == "data" else obj.name
        for slot_index, triangles in sorted(parts.items()):
            part = name if len(parts) == 1 else "%s.%d" % (name, slot_index)
            object_id = self.scene.add_mesh(part, vertices, triangles, normals=normals,
                                            uvs=uvs, material=self.material_of(obj, slot_index),
                                            place=False)
            ids.append((object_id, slot_index))
            self.summary.definitions += 1
            self.summary.triangles += len(triangles) // 3
        return ids

    def define_shared_meshes(self, meshes, depsgraph):
        """Meshes that several objects share are defined before the scene's groups."""
        users = {}
        for obj in meshes:
            users.setdefault(self.mesh_key(obj), []).append(obj)
        for key, objs in users.items():
            if len(objs) > 1:
                self.definitions[key] = self.define_mesh(objs[0], depsgraph)

    def walk(self, layer_collection, depsgraph, objects, top=False):
        if layer_collection.exclude or layer_collection.hide_viewport:
            return
        collection = layer_collection.collection
        mine = [o for o in collection.objects if o in objects and o.name not in self.done]
        if not mine and not self._holds(layer_collection, objects):
            return
        if not top:
            self.scene.begin_group(collection.name)
            self.summary.groups += 1
        for obj in mine:
            self.done.add(obj.name)
            self.progress("%s" % obj.name, len(self.done) / self.total)
            if obj.type == "MESH":
                self.place_mesh(obj, depsgraph)
            elif obj.type == "LIGHT":
                self.light(obj)
        for child in layer_collection.children:
            self.walk(child, depsgraph, objects)
        if not top:
            self.scene.end_group()

    def _holds(self, layer_collection, objects):
        if layer_collection.exclude:
            return False
        if any(o in objects and o.name not in self.done and o.type != "CAMERA"
               for o in layer_collection.collection.objects):
            return True
        return any(self._holds(c, objects) for c in layer_collection.children)

    def placed(self, obj):
        """A group named after the object, moved by its matrix, animated when it moves."""
        group = self.scene.group(obj.name, _rows(obj.matrix_world, self.turn))
        self.summary.groups += 1
        return group

    def animate(self, obj):
        frames = self.tracks.get(obj.name)
        if not frames:
            return
        fps = self.bl_scene.render.fps / self.bl_scene.render.fps_base
        first, last = frames[0][0], frames[-1][0]
        with self.scene.animation(obj.name, first / fps, (last - first) / fps, True) as a:
            for frame, rows in frames:
                a.add_frame(frame, rows)
        self.summary.animations += 1

    def place_mesh(self, obj, depsgraph):
        key = self.mesh_key(obj)
        with self.placed(obj):
            self.animate(obj)
            ids = self.definitions.get(key)
            if ids is None:
                ids = self.define_mesh(obj, depsgraph)
            for object_id, slot_index in ids:
                self.scene.add_instance(obj.name, object_id,
                                        material=self.material_of(obj, slot_index))
                self.summary.placements += 1

    def light(self, obj):
        data = obj.data
        power = data.energy * LUMENS_PER_WATT
        colour = tuple(data.color)
        with self.placed(obj):
            self.animate(obj)
            if data.type == "AREA":
                if data.shape in ("RECTANGLE", "ELLIPSE"):
                    length, width = data.size, data.size_y
                else:
                    length = width = data.size
                if data.shape in ("DISK", "ELLIPSE"):
                    self.summary.notes.append(
                        "area light %r: its %s written as a rectangle of the same size"
                        % (obj.name, data.shape.lower()))
                self.scene.add_line_light(obj.name, power, length, width)
            else:
                if data.type == "SPOT":
                    self.summary.notes.append(
                        "spot light %r written as a point light (the cone is dropped)"
                        % obj.name)
                elif data.type == "SUN":
                    power = data.energy * 1000.0  # lux over a square kilometre, roughly
                    self.summary.notes.append(
                        "sun %r written as a point light at the sun object's place" % obj.name)
                self.scene.add_point_light(obj.name, power, colour)
        self.summary.lights += 1

    def camera(self, obj):
        rows = _rows(obj.matrix_world, self.turn)
        position = rows[3][:3]
        direction = [-v for v in rows[2][:3]]  # the camera looks along its -Z
        up = rows[1][:3]
        data = obj.data
        render = self.bl_scene.render
        if data.type == "ORTHO":
            self.scene.set_camera(position, direction, up, None)
            self.summary.notes.append("camera %r: orthographic scale %g not carried"
                                      % (obj.name, data.ortho_scale))
        else:
            width = render.resolution_x * render.pixel_aspect_x
            height = render.resolution_y * render.pixel_aspect_y
            aspect = width / height if height else 1.0
            fit = data.sensor_fit
            horizontal = fit == "HORIZONTAL" or (fit == "AUTO" and aspect >= 1.0)
            half = math.tan(data.angle / 2.0)
            across, upward = (half, half / aspect) if horizontal else (half * aspect, half)
            self.scene.set_camera(position, direction, up,
                                  (-across, across, -upward, upward))
            if data.type == "PANO":
                self.summary.notes.append("camera %r: panoramic written as perspective"
                                          % obj.name)
        self.summary.cameras += 1
