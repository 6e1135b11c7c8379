"""The viewer in a real browser: sceneapi-view and photara-sim --view opened in headless Chromium.

Run by CTest (viewer_browser) with the programs' paths in the environment. WebGL is drawn by
SwiftShader, so no GPU is needed. Screenshots go to $SCENEAPI_VIEW_ARTIFACTS.
"""

import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

VIEW = os.environ["SCENEAPI_VIEW"]
INFO = os.environ["SCENEAPI_INFO"]
EXPORT = os.environ["SCENEAPI_EXPORT"]
CONVERT = os.environ["SCENEAPI_CONVERT"]
SIM = os.environ["PHOTARA_SIM"]
MODELS = os.environ["SCENEAPI_MODELS"]
ARTIFACTS = os.environ.get("SCENEAPI_VIEW_ARTIFACTS", tempfile.gettempdir())

READY_SECONDS = 60  # generous: two shared cores, software WebGL
URL_PATTERN = re.compile(r"http://127\.0\.0\.1:\d+/\?token=[0-9a-f]+")

# Counts the canvas's pixels that differ from the background and the distinct colours among
# them (in steps of 16 per channel), from a copy of the WebGL canvas.
CANVAS_COVERAGE = """
const source = document.querySelector('#view canvas');
const copy = document.createElement('canvas');
copy.width = source.width; copy.height = source.height;
const context = copy.getContext('2d');
context.drawImage(source, 0, 0);
const data = context.getImageData(0, 0, copy.width, copy.height).data;
const background = [0x3a, 0x3f, 0x47];
let covered = 0;
const colours = new Set();
for (let i = 0; i < data.length; i += 4) {
  const d = Math.abs(data[i] - background[0]) + Math.abs(data[i + 1] - background[1]) +
            Math.abs(data[i + 2] - background[2]);
  if (d > 12) {
    covered += 1;
    colours.add((data[i] >> 4) + '/' + (data[i + 1] >> 4) + '/' + (data[i + 2] >> 4));
  }
}
return {share: covered / (data.length / 4), colours: colours.size,
        width: copy.width, height: copy.height};
"""


def summary_of(path):
    """What sceneapi-info --json says of a Scene file."""
    out = subprocess.run([INFO, "--json", path], capture_output=True, text=True, timeout=60)
    return json.loads(out.stdout)


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--headless=new", "--no-sandbox", "--use-gl=swiftshader",
                     "--enable-unsafe-swiftshader", "--disable-dev-shm-usage",
                     "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--disable-quic", "--no-proxy-server",
                     "--window-size=1280,800",
                     "--user-data-dir=" + tempfile.mkdtemp(prefix="viewer-chromium-")]:
        options.add_argument(argument)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


class Program:
    """A program that prints a viewer URL; stopped with SIGINT."""

    def __init__(self, arguments, env=None):
        self.output = tempfile.TemporaryFile(mode="w+")
        self.process = subprocess.Popen(arguments, stdout=self.output, stderr=subprocess.STDOUT,
                                        env=env, start_new_session=True)

    def text(self):
        self.output.seek(0)
        return self.output.read()

    def url(self, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            found = URL_PATTERN.search(self.text())
            if found:
                return found.group(0)
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        raise AssertionError("no viewer URL printed: " + self.text())

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                return self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                raise AssertionError("did not stop on SIGINT: " + self.text())
        return self.process.returncode


class ViewerBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.browser = start_browser()
        os.makedirs(ARTIFACTS, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="viewer-test-")
        self.programs = []

    def tearDown(self):
        for p in self.programs:
            p.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def start(self, arguments, env=None):
        program = Program(arguments, env)
        self.programs.append(program)
        return program

    def state(self):
        return self.browser.execute_script("return window.sceneViewer || null")

    def wait_for_version(self, version):
        """Waits until the page has drawn that version; returns window.sceneViewer."""
        deadline = time.monotonic() + READY_SECONDS
        state = None
        while time.monotonic() < deadline:
            state = self.state()
            if state and state.get("ready") and state.get("version") == version:
                return state
            time.sleep(0.2)
        self.fail("the page did not draw version %d: %r" % (version, state))

    def check_counts(self, state, summary):
        self.assertIsNone(state["error"])
        self.assertEqual(state["meshes"], summary["objects"])
        self.assertEqual(state["triangles"], summary["triangles"])
        self.assertEqual(state["materials"] > 0, sum(summary["materials"].values()) > 0)

    def check_drawn(self, name):
        """The canvas shows the scene; the page's screenshot is kept as name.png."""
        coverage = self.browser.execute_script(CANVAS_COVERAGE)
        path = os.path.join(ARTIFACTS, name + ".png")
        self.assertTrue(self.browser.save_screenshot(path))
        self.assertGreater(coverage["width"], 100)
        self.assertGreater(coverage["share"], 0.05, coverage)
        self.assertGreater(coverage["colours"], 1, coverage)
        return coverage

    def frame_all(self):
        """Frames the whole scene (a file's camera may see it small) and waits for the frame."""
        renders = self.state()["renders"]
        self.browser.find_element("id", "frame-all").click()
        deadline = time.monotonic() + READY_SECONDS
        while self.state()["renders"] == renders or self.state()["camera"] != "framed":
            self.assertLess(time.monotonic(), deadline, "no frame drawn after Frame all")
            time.sleep(0.2)

    def test_sample_scene_through_its_own_camera(self):
        scene = os.path.join(self.folder, "sample.scene")
        subprocess.run([EXPORT, "-o", scene], check=True, capture_output=True, timeout=60)
        program = self.start([VIEW, "--no-browser", scene])
        self.browser.get(program.url())
        state = self.wait_for_version(1)
        summary = summary_of(scene)
        self.check_counts(state, summary)
        self.assertEqual(state["camera"], "scene")
        self.assertEqual(state["name"], "sample.scene")
        self.assertGreater(state["tessellatedTriangles"], 0)  # the NURBS patch is drawn
        self.assertIn("table", state["groups"])
        self.check_drawn("sample-scene")

        # Selecting a list entry marks it.
        self.browser.execute_script("document.querySelector('#objects li').click()")
        self.assertEqual(self.state()["selected"]["kind"], "object")

        # The file written anew is shown again under the next version.
        converted = os.path.join(self.folder, "table.scene")
        subprocess.run([CONVERT, os.path.join(MODELS, "table.gltf"), "-o", converted],
                       check=True, capture_output=True, timeout=60)
        time.sleep(1.1)  # a later modification time than the first file's
        shutil.copyfile(converted, scene)
        state = self.wait_for_version(2)
        summary = summary_of(scene)
        self.check_counts(state, summary)
        self.assertEqual(state["camera"], "scene" if summary["cameras"] else "framed")
        self.frame_all()
        self.check_drawn("converted-table")

        self.assertEqual(program.stop(), 0)
        self.assertIn("stopped", program.text())

    def test_live_view_follows_each_export_to_the_stand_in(self):
        env = dict(os.environ)
        env["SCENEAPI_HKCU_REG"] = os.path.join(self.folder, "user.reg")
        env["SCENEAPI_HKLM_REG"] = os.path.join(self.folder, "machine.reg")
        env["PHOTARA_SIM_INSTANCES"] = os.path.join(self.folder, "instances")
        open(env["SCENEAPI_HKLM_REG"], "w").close()
        subprocess.run([SIM, "register", "--records", env["SCENEAPI_HKCU_REG"]], env=env,
                       check=True, capture_output=True, timeout=60)
        received = os.path.join(self.folder, "received.scene")
        sim = self.start([SIM, "--view", "--no-browser", "--port", "0", "--output", received],
                         env=env)
        url = sim.url()
        self.browser.get(url)
        deadline = time.monotonic() + READY_SECONDS
        while "Waiting" not in self.browser.find_element("id", "status").text:
            self.assertLess(time.monotonic(), deadline, "the page did not wait for a scene")
            time.sleep(0.2)
        self.assertFalse(self.state()["ready"])

        subprocess.run([EXPORT, "--live"], env=env, check=True, capture_output=True, timeout=120)
        state = self.wait_for_version(1)
        first = summary_of(received)
        self.check_counts(state, first)
        self.check_drawn("live-first")

        subprocess.run([CONVERT, os.path.join(MODELS, "table.gltf"), "--live"], env=env,
                       check=True, capture_output=True, timeout=120)
        state = self.wait_for_version(2)
        second = summary_of(received)
        self.assertNotEqual(first["triangles"], second["triangles"])
        self.check_counts(state, second)
        self.frame_all()
        self.check_drawn("live-second")
        self.assertEqual(sim.stop(), 0)


    def test_refuses_bad_files_and_arguments(self):
        not_scene = os.path.join(self.folder, "notes.txt")
        with open(not_scene, "w") as f:
            f.write("just some words\n")
        for arguments, status, printed in [
                (["--no-browser", os.path.join(self.folder, "none.scene")], 1, ""),
                (["--no-browser", not_scene], 1, "not a Scene file"),
                ([], 2, ""), (["--port"], 2, ""), (["--port", "70000", "x"], 2, ""),
                (["--bogus", "x"], 2, ""), (["a", "b"], 2, "")]:
            run = subprocess.run([VIEW] + arguments, capture_output=True, text=True, timeout=30)
            self.assertEqual(run.returncode, status, arguments)
            self.assertIn(printed, run.stderr)


if __name__ == "__main__":
    unittest.main()
