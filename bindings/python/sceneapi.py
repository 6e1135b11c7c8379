"""Python binding of sceneapi_cs_wrapper: hand a 3D scene to Photara from Python.

A session is opened like a file and ends like one::

    import sceneapi
    with sceneapi.open_file("out.scene", up_axis="z", meter_scale=0.01) as scene:
        scene.define_plastic(1, "red", 0.8, 0.1, 0.1)
        part = scene.add_mesh("part", vertices, triangles, material=1)
        with scene.group("copies"):
            scene.add_instance("copy", part)

``sceneapi.connect(...)`` sends the same calls over the live link to a running instance.
Mesh arrays are any objects with the buffer protocol (``array.array``, ``memoryview``,
``bytearray``, numpy arrays): C-contiguous 32-bit floats (format ``f``) and 32-bit ints
(``i``) are handed to the library's bulk exports in place, without a copy; other sequences of
numbers are converted once. Failures of the destination raise ``SceneExportError`` carrying
the library's own report (``getLastError``), also when the session ends.

The library holds one destination per process, and so does this module: opening a session
ends the one before it. The exports are not thread-safe; use one thread. Standard library
only (``ctypes``).
"""

import array
import ctypes
import ctypes.util
import os
import sys

__all__ = ["SceneExportError", "Scene", "open_file", "connect", "probe", "version",
           "load_library", "library", "UP_AXES"]

UP_AXES = {"x": 0, "y": 1, "z": 2}
DEFAULT_VERSION_RANGE = (7, 20)
_ERROR_SIZE = 4096
_LIBRARY_NAMES = ("libsceneapi_cs_wrapper.so.1", "libsceneapi_cs_wrapper.so",
                  "sceneapi_cs_wrapper.dll", "libsceneapi_cs_wrapper.dylib")


class SceneExportError(OSError):
    """The destination could not be opened or did not receive the whole scene."""


# ---- The shared library and its exports ----

_c_float_p = ctypes.POINTER(ctypes.c_float)
_c_int_p = ctypes.POINTER(ctypes.c_int)
_c_double_p = ctypes.POINTER(ctypes.c_double)
_c_bool_p = ctypes.POINTER(ctypes.c_bool)
_F, _D, _I, _U, _B, _S = (ctypes.c_float, ctypes.c_double, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_bool, ctypes.c_char_p)

# Every export of include/sceneapi_cs_wrapper.h: name, result type, argument types.
EXPORTS = {
    "openFile": (_I, [_S, ctypes.c_void_p, _I, _F]),
    "closeFile": (None, []),
    "connectToPhotara": (_I, [_S, ctypes.c_char_p, _I, _I, _F, _I, _I, _B]),
    "disconnect": (None, []),
    "probePhotara": (_I, [_S, _I, _I, _B, _c_bool_p]),
    "getLastError": (_I, [ctypes.c_char_p, _I]),
    "getVersion": (None, [ctypes.c_char_p, _I]),
    "setProgress": (None, [_S, _F]),
    "setFlags": (None, [_U]),
    "transform": (None, [_c_double_p]),
    "beginTriangleObject": (None, [_S]),
    "addVertex": (None, [_F, _F, _F]),
    "addNormal": (None, [_F, _F, _F]),
    "addUV": (None, [_F, _F]),
    "addTriangle": (None, [_I, _I, _I]),
    "addVertices": (None, [ctypes.c_void_p, _I]),
    "addNormals": (None, [ctypes.c_void_p, _I]),
    "addUVs": (None, [ctypes.c_void_p, _I]),
    "addTriangles": (None, [ctypes.c_void_p, _I]),
    "endTriangleObject": (None, [_c_int_p, _B]),
    "beginInstanceObject": (None, [_S]),
    "setInstanceId": (None, [_I]),
    "endInstanceObject": (None, []),
    "beginNURBSObject": (None, [_S]),
    "setKnotDomain": (None, [_D, _D, _D, _D]),
    "setOrderUV": (None, [_I, _I]),
    "addUKnot": (None, [_D]),
    "addVKnot": (None, [_D]),
    "addControlPoint": (None, [_D, _D, _D, _D]),
    "endNURBSObject": (None, [_c_int_p, _B]),
    "beginTrim": (None, []),
    "addTrimCurve": (None, [_I, _I]),
    "setTrimDomain": (None, [_D, _D]),
    "setTrimOrder": (None, [_I]),
    "addTrimNumKnots": (None, [_I]),
    "addTrimKnot": (None, [_D]),
    "addTrimControlPoint": (None, [_D, _D, _D]),
    "endTrim": (None, []),
    "beginGroup": (None, [_S]),
    "endGroup": (None, []),
    "setDiffuse": (None, [_I, _S, _F, _F, _F]),
    "setPlastic": (None, [_I, _S, _F, _F, _F]),
    "setMetal": (None, [_I, _S, _F, _F, _F]),
    "setGlass": (None, [_I, _S, _F, _F, _F]),
    "setEmissive": (None, [_I, _S]),
    "setGeneric": (None, [_I, _S, _S, _B, _S, _F, _F, _F]),
    "setMaterial": (None, [_I]),
    "setCamera": (None, [_F, _F, _F, _F, _F, _F, _F, _F, _F, _B, _c_float_p]),
    "addPointLight": (None, [_S, _F, _c_float_p]),
    "addIesLight": (None, [_S, _S]),
    "addLineLight": (None, [_S, _F, _F, _F]),
    "beginAnimation": (None, [_S, _F, _F, _B]),
    "addFrame": (None, [_I, _c_double_p]),
    "setFolder": (None, [_S]),
    "endAnimation": (None, []),
}

_library = None


def _candidates(path):
    if path:
        yield path
    env = os.environ.get("SCENEAPI_LIBRARY")
    if env:
        yield env
    here = os.path.dirname(os.path.abspath(__file__))
    for name in _LIBRARY_NAMES:
        yield os.path.join(here, name)
    found = ctypes.util.find_library("sceneapi_cs_wrapper")
    if found:
        yield found
    for name in _LIBRARY_NAMES:
        yield name  # the system's search (LD_LIBRARY_PATH, the cache, the run path)


def load_library(path=None):
    """Loads the shared library and declares its exports; returns the ctypes library.

    Looks at path, then $SCENEAPI_LIBRARY, then beside this module, then the system's
    search. An explicit path or $SCENEAPI_LIBRARY that cannot be loaded is an error (no
    silent fallback to another copy). Loading again with the same outcome is free.
    """
    global _library
    if _library is not None and path is None:
        return _library
    tried = []
    for candidate in _candidates(path):
        explicit = candidate in (path, os.environ.get("SCENEAPI_LIBRARY"))
        if os.sep in candidate and not os.path.exists(candidate) and not explicit:
            continue
        try:
            lib = ctypes.CDLL(candidate)
        except OSError as e:
            tried.append("%s (%s)" % (candidate, e))
            if explicit:
                break
            continue
        missing = [name for name in EXPORTS if not hasattr(lib, name)]
        if missing:
            tried.append("%s (lacks %s)" % (candidate, ", ".join(missing)))
            if explicit:
                break
            continue
        for name, (restype, argtypes) in EXPORTS.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        _library = lib
        return lib
    raise SceneExportError("cannot load the sceneapi_cs_wrapper library; tried: " +
                           "; ".join(tried or ["nothing"]))


def library():
    """The loaded ctypes library (loading it by the default search first)."""
    return load_library()


def _last_error():
    buffer = ctypes.create_string_buffer(_ERROR_SIZE)
    if library().getLastError(buffer, _ERROR_SIZE - 1) == 0:
        return None
    return buffer.value.decode("utf-8", "replace")


def version():
    """The interface version of the library, e.g. "1.7"."""
    buffer = ctypes.create_string_buffer(16)
    library().getVersion(buffer, len(buffer))
    return buffer.value.decode("ascii", "replace")


# ---- Arguments ----

def _text(value, what="name"):
    if value is None:
        return None
    if isinstance(value, bytes):
        data = value
    elif isinstance(value, str):
        data = value.encode("utf-8", "surrogateescape")
    elif isinstance(value, os.PathLike):
        data = os.fsencode(value)
    else:
        raise TypeError("%s must be a str, not %s" % (what, type(value).__name__))
    if b"\0" in data:
        raise ValueError("%s holds a zero byte" % what)
    return data


def _up_axis(value):
    if isinstance(value, str) and value.lower() in UP_AXES:
        return UP_AXES[value.lower()]
    if isinstance(value, int) and not isinstance(value, bool) and value in (0, 1, 2):
        return value
    raise ValueError("up_axis must be 'x', 'y' or 'z' (or 0, 1, 2), not %r" % (value,))


def _int32(value, what):
    value = int(value)
    if not -2 ** 31 <= value < 2 ** 31:
        raise ValueError("%s does not fit a 32-bit int: %d" % (what, value))
    return value


def _floats(values, count, what):
    values = [float(v) for v in values]
    if len(values) != count:
        raise ValueError("%s takes %d numbers, not %d" % (what, count, len(values)))
    return (ctypes.c_float * count)(*values)


def _matrix(matrix):
    """16 doubles, row after row, from a flat sequence or four rows of four."""
    flat = []
    for item in matrix:
        if isinstance(item, (int, float)):
            flat.append(float(item))
        else:
            flat.extend(float(v) for v in item)
    if len(flat) != 16:
        raise ValueError("a matrix takes 16 numbers (4 rows of 4), not %d" % len(flat))
    return (ctypes.c_double * 16)(*flat)


class _PyBuffer(ctypes.Structure):
    _fields_ = [("buf", ctypes.c_void_p), ("obj", ctypes.py_object), ("len", ctypes.c_ssize_t),
                ("itemsize", ctypes.c_ssize_t), ("readonly", ctypes.c_int),
                ("ndim", ctypes.c_int), ("format", ctypes.c_char_p),
                ("shape", ctypes.c_void_p), ("strides", ctypes.c_void_p),
                ("suboffsets", ctypes.c_void_p), ("internal", ctypes.c_void_p)]


_PYBUF_C_CONTIGUOUS_FORMAT = 0x0038 | 0x0004  # PyBUF_C_CONTIGUOUS | PyBUF_FORMAT
_get_buffer = ctypes.pythonapi.PyObject_GetBuffer
_get_buffer.argtypes = [ctypes.py_object, ctypes.POINTER(_PyBuffer), ctypes.c_int]
_get_buffer.restype = ctypes.c_int
_release_buffer = ctypes.pythonapi.PyBuffer_Release
_release_buffer.argtypes = [ctypes.POINTER(_PyBuffer)]
_release_buffer.restype = None


class _Values:
    """The memory of a numeric array for one bulk call: the object's own buffer when it is
    C-contiguous with 4-byte items of the wanted kind, else one converted copy."""

    def __init__(self, values, kind, per, what):
        self.view = None
        self.keep = None
        self.address = None
        self.count = 0
        if values is None:
            return
        code = "f" if kind == "float" else "i"
        try:
            memoryview(values).release()
            view = _PyBuffer()
            _get_buffer(values, ctypes.byref(view), _PYBUF_C_CONTIGUOUS_FORMAT)
        except (TypeError, ValueError, BufferError):
            view = None
        if view is not None:
            fmt = (view.format or b"B").decode("ascii", "replace").lstrip("@=<")
            native = sys.byteorder == "little" or not (view.format or b"").startswith(b"<")
            if fmt == code and view.itemsize == 4 and native:
                self.view = view
                self.address = view.buf
                items = view.len // 4
            else:
                _release_buffer(ctypes.byref(view))
        if self.view is None:
            try:
                if kind == "float":
                    self.keep = array.array("f", (float(v) for v in _flat(values)))
                else:
                    numbers = [int(v) for v in _flat(values)]
            except (TypeError, ValueError) as e:
                raise TypeError("%s must be numbers (a buffer of %s or a sequence): %s"
                                % (what, "32-bit floats" if kind == "float" else
                                   "32-bit ints", e)) from None
            if kind != "float":
                self.keep = array.array("i", (_int32(v, what) for v in numbers))
            self.address, length = self.keep.buffer_info()
            items = length
        if items % per:
            self.release()
            raise ValueError("%s take %d numbers each; %d is not a multiple of %d"
                             % (what, per, items, per))
        self.count = items // per
        if self.count >= 2 ** 31:
            self.release()
            raise ValueError("%s: %d is more than one call can take" % (what, self.count))

    def release(self):
        if self.view is not None:
            _release_buffer(ctypes.byref(self.view))
            self.view = None
        self.keep = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.release()


def _flat(values):
    for item in values:
        if isinstance(item, (int, float)):
            yield item
        elif hasattr(item, "__iter__"):
            for v in item:
                yield v
        else:
            yield item


# ---- Sessions ----

_current = None


def _open(opener):
    global _current
    if _current is not None:
        _current._open = False  # the library ends the previous destination itself
        _current = None
    status = opener()
    if status != 0:
        return None
    _current = Scene()
    return _current


def open_file(path, up_axis="y", meter_scale=1.0):
    """Opens a Scene file at path ("-": standard output); returns the Scene session."""
    encoded = _text(path, "path")
    axis = _up_axis(up_axis)
    scene = _open(lambda: library().openFile(encoded, None, axis, float(meter_scale)))
    if scene is None:
        raise SceneExportError(_last_error() or "cannot open the Scene file %s" % (path,))
    return scene


def connect(selector="", version_range=DEFAULT_VERSION_RANGE, prefer_any=True, up_axis="y",
            meter_scale=1.0):
    """Opens a live link to a running Photara of a major version in version_range (lowest,
    highest), launching it through its installation records when none runs. An instance
    holding an element named selector is preferred; with prefer_any any instance in range may
    be chosen, else only one with an empty scene. Returns the Scene session."""
    encoded = _text(selector, "selector") or b""
    low, high = (_int32(v, "version") for v in version_range)
    axis = _up_axis(up_axis)
    error = ctypes.create_string_buffer(_ERROR_SIZE)
    scene = _open(lambda: library().connectToPhotara(encoded, error, _ERROR_SIZE - 1, axis,
                                                     float(meter_scale), low, high,
                                                     bool(prefer_any)))
    if scene is None:
        raise SceneExportError(_last_error() or error.value.decode("utf-8", "replace") or
                               "cannot connect to Photara")
    return scene


def probe(selector="", version_range=DEFAULT_VERSION_RANGE, prefer_any=True):
    """Asks, without connecting, whether connect() would find a running instance; returns
    (would_connect, holds_selector)."""
    low, high = (_int32(v, "version") for v in version_range)
    found = ctypes.c_bool(False)
    status = library().probePhotara(_text(selector, "selector") or b"", low, high,
                                    bool(prefer_any), ctypes.byref(found))
    return status == 0, bool(found.value)


class Scene:
    """One destination: a Scene file or a live link. Use it in a with statement, or call
    close(); close() raises SceneExportError when the destination did not receive the whole
    scene."""

    def __init__(self):
        self._open = True
        self._lib = library()

    # -- lifecycle --

    @property
    def closed(self):
        return not self._open

    def close(self):
        """Ends the destination; raises SceneExportError with the library's report when it
        did not receive everything. Closing twice does nothing."""
        global _current
        if not self._open:
            return
        self._open = False
        if _current is self:
            _current = None
        self._lib.closeFile()
        failure = _last_error()
        if failure is not None:
            raise SceneExportError(failure)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is None:
            self.close()
        else:
            try:
                self.close()
            except SceneExportError:
                pass  # the exception in flight tells more
        return False

    def _check(self):
        if not self._open:
            raise ValueError("operation on a closed Scene session")

    def last_error(self):
        """The library's report of the first failure since the session opened, or None."""
        return _last_error()

    def set_progress(self, text, fraction):
        self._check()
        self._lib.setProgress(_text(text, "text"), float(fraction))

    def set_flags(self, flags):
        self._check()
        self._lib.setFlags(int(flags) & 0xFFFFFFFF)

    def transform(self, matrix):
        """Multiplies a 4x4 matrix (rows of four; translation in the last row) onto the
        current transform: inside a group, it moves what the group holds."""
        self._check()
        self._lib.transform(_matrix(matrix))

    # -- geometry --

    def add_mesh(self, name, vertices, triangles, normals=None, uvs=None, material=None,
                 place=True):
        """Hands a whole mesh over: vertices as x, y, z floats, triangles as a, b, c vertex
        indices, optional normals (x, y, z per vertex) and uvs (u, v per vertex), and a
        material id defined before. Places it unless place is False; returns its object id,
        which add_instance places again."""
        self._check()
        encoded = _text(name)
        with _Values(vertices, "float", 3, "vertices") as v, \
                _Values(triangles, "int", 3, "triangles") as t, \
                _Values(normals, "float", 3, "normals") as n, \
                _Values(uvs, "float", 2, "uvs") as uv:
            material = None if material is None else _int32(material, "material")
            lib = self._lib
            lib.beginTriangleObject(encoded)
            if v.count:
                lib.addVertices(v.address, v.count)
            if n.count:
                lib.addNormals(n.address, n.count)
            if uv.count:
                lib.addUVs(uv.address, uv.count)
            if t.count:
                lib.addTriangles(t.address, t.count)
            if material is not None:
                lib.setMaterial(material)
            object_id = ctypes.c_int(0)
            lib.endTriangleObject(ctypes.byref(object_id), bool(place))
        return object_id.value

    def add_instance(self, name, object_id, material=None):
        """Places an object defined before (an id from add_mesh or add_nurbs)."""
        self._check()
        lib = self._lib
        lib.beginInstanceObject(_text(name))
        lib.setInstanceId(_int32(object_id, "object id"))
        if material is not None:
            lib.setMaterial(_int32(material, "material"))
        lib.endInstanceObject()

    def add_nurbs(self, name, order, knot_domain, uknots, vknots, control_points,
                  trim_loops=(), material=None, place=True):
        """A NURBS surface: order (u, v), knot_domain (umin, umax, vmin, vmax), the knots,
        control points as (x, y, z, w), and trim loops as (hole, edges) with each edge a
        dict of domain (min, max), order, knots and uvw points. Returns its object id."""
        self._check()
        lib = self._lib
        encoded = _text(name)
        domain = [float(v) for v in knot_domain]
        if len(domain) != 4:
            raise ValueError("knot_domain takes 4 numbers")
        lib.beginNURBSObject(encoded)
        lib.setKnotDomain(*domain)
        lib.setOrderUV(_int32(order[0], "order"), _int32(order[1], "order"))
        for k in uknots:
            lib.addUKnot(float(k))
        for k in vknots:
            lib.addVKnot(float(k))
        for p in control_points:
            x, y, z, w = (float(c) for c in p)
            lib.addControlPoint(x, y, z, w)
        if trim_loops:
            lib.beginTrim()
            for hole, edges in trim_loops:
                lib.addTrimCurve(len(edges), 1 if hole else 0)
                for edge in edges:
                    lib.setTrimDomain(float(edge["domain"][0]), float(edge["domain"][1]))
                    lib.setTrimOrder(_int32(edge["order"], "order"))
                    lib.addTrimNumKnots(len(edge["knots"]))
                    for k in edge["knots"]:
                        lib.addTrimKnot(float(k))
                    for u, v, w in edge["uvw"]:
                        lib.addTrimControlPoint(float(u), float(v), float(w))
            lib.endTrim()
        if material is not None:
            lib.setMaterial(_int32(material, "material"))
        object_id = ctypes.c_int(0)
        lib.endNURBSObject(ctypes.byref(object_id), bool(place))
        return object_id.value

    def group(self, name, matrix=None):
        """A named group around what the with block adds; matrix (optional) moves it."""
        self._check()
        return _Group(self, _text(name), None if matrix is None else _matrix(matrix))

    def begin_group(self, name):
        self._check()
        self._lib.beginGroup(_text(name))

    def end_group(self):
        self._check()
        self._lib.endGroup()

    # -- materials --

    def _colour_material(self, export, material_id, name, colour):
        self._check()
        r, g, b = (float(c) for c in colour)
        export(_int32(material_id, "material id"), _text(name), r, g, b)

    def define_diffuse(self, material_id, name, r, g, b):
        self._colour_material(self._lib.setDiffuse, material_id, name, (r, g, b))

    def define_plastic(self, material_id, name, r, g, b):
        self._colour_material(self._lib.setPlastic, material_id, name, (r, g, b))

    def define_metal(self, material_id, name, r, g, b):
        self._colour_material(self._lib.setMetal, material_id, name, (r, g, b))

    def define_glass(self, material_id, name, r, g, b):
        self._colour_material(self._lib.setGlass, material_id, name, (r, g, b))

    def define_emissive(self, material_id, name):
        self._check()
        self._lib.setEmissive(_int32(material_id, "material id"), _text(name))

    def define_generic(self, material_id, name, diffuse_texture=None, bump_texture=None,
                       colour=(1.0, 1.0, 1.0), blend_colour=False):
        """A material with an optional diffuse texture and bump texture (paths)."""
        self._check()
        r, g, b = (float(c) for c in colour)
        self._lib.setGeneric(_int32(material_id, "material id"), _text(name),
                             _text(diffuse_texture, "texture") or b"", bool(blend_colour),
                             _text(bump_texture, "texture") or b"", r, g, b)

    # -- camera and lights --

    def set_camera(self, position, direction, up, fov4=None):
        """The camera: perspective with fov4 (four numbers: -tan, +tan of the half angles
        across and up: left, right, bottom, top), orthographic when fov4 is None."""
        self._check()
        p = [float(v) for v in position]
        d = [float(v) for v in direction]
        u = [float(v) for v in up]
        if len(p) != 3 or len(d) != 3 or len(u) != 3:
            raise ValueError("camera vectors take 3 numbers")
        fov = None if fov4 is None else _floats(fov4, 4, "fov4")
        self._lib.setCamera(*p, *d, *u, fov is None, fov)

    def add_point_light(self, name, power, colour=(1.0, 1.0, 1.0)):
        """A point light at the origin of the current transform; power in lumens."""
        self._check()
        self._lib.addPointLight(_text(name), float(power), _floats(colour, 3, "colour"))

    def add_ies_light(self, name, profile):
        self._check()
        self._lib.addIesLight(_text(name), _text(profile, "profile"))

    def add_line_light(self, name, power, length, width):
        """A rectangular light, length along x and width along y; power in lumens."""
        self._check()
        self._lib.addLineLight(_text(name), float(power), float(length), float(width))

    # -- animation --

    def animation(self, name, start_time, duration, interpolate=True, folder=None):
        """A keyframed animation, written when the with block ends:

            with scene.animation("spin", 0, 1.0) as a:
                a.add_frame(0, matrix)
        """
        self._check()
        return _Animation(self, _text(name), float(start_time), float(duration),
                          bool(interpolate), folder)


class _Group:
    def __init__(self, scene, name, matrix):
        self._scene = scene
        scene._lib.beginGroup(name)
        if matrix is not None:
            scene._lib.transform(matrix)

    def __enter__(self):
        return self._scene

    def __exit__(self, *exc):
        if self._scene._open:
            self._scene._lib.endGroup()
        return False


class _Animation:
    def __init__(self, scene, name, start_time, duration, interpolate, folder):
        self._scene = scene
        self.frames = 0
        scene._lib.beginAnimation(name, start_time, duration, interpolate)
        if folder is not None:
            scene._lib.setFolder(_text(folder, "folder"))

    def add_frame(self, time, matrix):
        """A keyframe: an integer time and a 4x4 matrix (rows of four)."""
        self._scene._check()
        self._scene._lib.addFrame(_int32(time, "time"), _matrix(matrix))
        self.frames += 1

    def set_folder(self, folder):
        self._scene._check()
        self._scene._lib.setFolder(_text(folder, "folder"))

    def __enter__(self):
        return self

    def __exit__(self, exc_type, *exc):
        if self._scene._open:
            if exc_type is None:
                self._scene._lib.endAnimation()
            # else: left unwritten; the next animation begun replaces it
        return False

