#!/usr/bin/env python3
"""Builds the installable add-on: photara_export.zip with the add-on's folder and the Python
binding inside it (and, with --library, the shared library beside the binding, where the
binding looks for it).

    hosts/blender/build_zip.py [-o photara_export.zip] [--library build/cs_wrapper/libsceneapi_cs_wrapper.so.1]

Install it in Blender with Edit > Preferences > Add-ons > Install..., then enable
"Import-Export: Photara Scene exporter"."""

import argparse
import os
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, os.pardir, os.pardir))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", default="photara_export.zip")
    parser.add_argument("--library", help="the shared library to put into the add-on")
    options = parser.parse_args()
    addon = os.path.join(HERE, "photara_export")
    files = [(os.path.join(addon, n), "photara_export/" + n)
             for n in sorted(os.listdir(addon)) if n.endswith(".py")]
    files.append((os.path.join(ROOT, "bindings", "python", "sceneapi.py"),
                  "photara_export/sceneapi.py"))
    if options.library:
        if not os.path.isfile(options.library):
            sys.exit("build_zip: %s: no such library" % options.library)
        files.append((os.path.realpath(options.library),
                      "photara_export/libsceneapi_cs_wrapper.so.1"))
    with zipfile.ZipFile(options.output, "w", zipfile.ZIP_DEFLATED) as z:
        for source, name in files:
            z.write(source, name)
    print("build_zip: %s (%d files)" % (options.output, len(files)))


if __name__ == "__main__":
    main()
