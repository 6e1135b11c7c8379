"""Photara exporter for Blender: File > Export > Photara Scene (.scene), and Send to Photara
over the live link. Scripts call bpy.ops.export_scene.photara_scene(filepath=...) and
bpy.ops.export_scene.photara_send().

The add-on drives the sceneapi_cs_wrapper library through its Python binding (sceneapi.py,
bundled in the add-on's zip, else found in the checkout's bindings/python). The library is
the path in the add-on's preferences, else what the binding's search finds
($SCENEAPI_LIBRARY, beside the binding, the system's search).
"""

bl_info = {
    "name": "Photara Scene exporter",
    "author": "sceneapi_cs_wrapper developers",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Export > Photara Scene (.scene); File > Export > Send to Photara",
    "description": "Export the scene to a Photara Scene file or send it to a running Photara",
    "category": "Import-Export",
}

import os
import sys

import bpy
from bpy.props import BoolProperty, EnumProperty, FloatProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper

try:
    from . import sceneapi  # bundled by build_zip.py
except ImportError:
    _checkout = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, os.pardir,
                             os.pardir, "bindings", "python")
    if os.path.isfile(os.path.join(_checkout, "sceneapi.py")) and _checkout not in sys.path:
        sys.path.append(os.path.normpath(_checkout))
    import sceneapi

from . import exporter


class PhotaraPreferences(bpy.types.AddonPreferences):
    bl_idname = __name__

    library_path: StringProperty(
        name="Library",
        description="The sceneapi_cs_wrapper shared library (empty: the binding's search)",
        subtype="FILE_PATH", default="")

    def draw(self, context):
        self.layout.prop(self, "library_path")


def _load_library(context):
    addon = context.preferences.addons.get(__name__)
    path = addon.preferences.library_path if addon else ""
    return sceneapi.load_library(bpy.path.abspath(path) if path else None)


class _ExportOptions:
    use_selection: BoolProperty(name="Selection Only", default=False,
                                description="Export only the selected objects")
    use_modifiers: BoolProperty(name="Apply Modifiers", default=True,
                                description="Export meshes with their modifiers applied")
    up_axis: EnumProperty(name="Up", default="Z",
                          items=[("Z", "Z Up", "Blender's own axes"),
                                 ("Y", "Y Up", "Turn the scene so that Y is up"),
                                 ("X", "X Up", "Turn the scene so that X is up")])
    meter_scale: FloatProperty(name="Metres per Unit", default=1.0, min=1e-6, max=1e6,
                               description="Length of one Blender unit in metres (times the "
                                           "scene's unit scale)")
    use_animation: BoolProperty(name="Animation", default=True,
                                description="Object motion over the frame range as keyframes")

    def export_options(self, context):
        return exporter.Options(self.use_selection, self.use_modifiers, self.up_axis,
                                self.meter_scale * context.scene.unit_settings.scale_length,
                                self.use_animation)

    def export(self, context, opener):
        """Opens the destination with opener(options), exports, reports; the operator result."""
        options = self.export_options(context)
        wm = context.window_manager
        status = context.workspace.status_text_set if (context.workspace and
                                                       not bpy.app.background) else None
        try:
            _load_library(context)
            wm.progress_begin(0, 100)
            with opener(options) as scene:
                def progress(text, fraction):
                    wm.progress_update(int(100 * fraction))
                    scene.set_progress(text, fraction)
                    if status:
                        status("Photara: %s (%d%%)" % (text, 100 * fraction))
                summary = exporter.Exporter(context, scene, options, progress).run()
        except sceneapi.SceneExportError as e:
            self.report({"ERROR"}, "Photara export failed: %s" % e)
            return {"CANCELLED"}
        finally:
            wm.progress_end()
            if status:
                status(None)
        for note in summary.notes:
            self.report({"WARNING"}, note)
        self.report({"INFO"}, "Photara: " + summary.text())
        return {"FINISHED"}


class EXPORT_SCENE_OT_photara_scene(bpy.types.Operator, ExportHelper, _ExportOptions):
    """Export the scene to a Photara Scene file"""
    bl_idname = "export_scene.photara_scene"
    bl_label = "Export Photara Scene"
    bl_options = {"PRESET"}
    filename_ext = ".scene"
    filter_glob: StringProperty(default="*.scene", options={"HIDDEN"})

    def execute(self, context):
        axis = exporter.UP_AXIS_INDEX[self.up_axis]
        return self.export(context, lambda o: sceneapi.open_file(
            self.filepath, up_axis=axis, meter_scale=o.meter_scale))


class EXPORT_SCENE_OT_photara_send(bpy.types.Operator, _ExportOptions):
    """Send the scene to a running Photara over the live link (started when none runs)"""
    bl_idname = "export_scene.photara_send"
    bl_label = "Send to Photara"
    selector: StringProperty(name="Selector", default="",
                             description="Prefer the instance whose scene holds this name")
    version_min: IntProperty(name="Lowest Version", default=7, min=1, max=99)
    version_max: IntProperty(name="Highest Version", default=20, min=1, max=99)
    prefer_any: BoolProperty(name="Any Instance", default=True,
                             description="Any instance in the version range may be chosen, "
                                         "not only one with an empty scene")

    def invoke(self, context, event):
        return context.window_manager.invoke_props_dialog(self)

    def execute(self, context):
        axis = exporter.UP_AXIS_INDEX[self.up_axis]
        return self.export(context, lambda o: sceneapi.connect(
            self.selector, (self.version_min, self.version_max), self.prefer_any,
            up_axis=axis, meter_scale=o.meter_scale))


def _menu(self, context):
    self.layout.operator(EXPORT_SCENE_OT_photara_scene.bl_idname, text="Photara Scene (.scene)")
    self.layout.operator(EXPORT_SCENE_OT_photara_send.bl_idname, text="Send to Photara")


_classes = (PhotaraPreferences, EXPORT_SCENE_OT_photara_scene, EXPORT_SCENE_OT_photara_send)


def register():
    for cls in _classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_export.append(_menu)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(_menu)
    for cls in reversed(_classes):
        bpy.utils.unregister_class(cls)
