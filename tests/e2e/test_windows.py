"""The clipping and resize window and the two information windows under the real
program: typed margins and size decide the files a run writes, the values stay in the
store, stored nonsense is survived, and the information windows stand beside the main
window and close by their close box, their command and a failed open."""
import os
import subprocess
import unittest

from PIL import Image

import harness
from harness import Program, poll
from harness import at, request_close

W, H, COUNT = 160, 120, 30
RESIZE = (207, 223)  # the clipping window's template size
TITLE = "clip.avi - TALVERN"
DATA_KEY = "HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA"
# Template centres of the margin and size edits.
EDITS = {"top": (106, 25), "left": (59, 44), "right": (160, 44), "bottom": (106, 63),
         "width": (34, 131), "height": (97, 131)}


def decode(path, size):
    data = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          check=True, capture_output=True, timeout=60).stdout
    n = size[0] * size[1] * 3
    return [Image.frombytes("RGB", size, data[i * n:(i + 1) * n]) for i in range(len(data) // n)]


def probe_size(path):
    out = harness.run("ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "stream=width,height",
                      "-of", "csv=p=0", path)
    return tuple(int(v) for v in out.strip().split(","))


def distance(a, b):
    """Mean difference per channel of two pictures of one size."""
    hist = Image.eval(harness.ImageChops.difference(a, b), lambda v: v).convert("L").histogram()
    return sum(i * c for i, c in enumerate(hist)) / float(a.size[0] * a.size[1])


def seed_store(app, values):
    """Writes the profile section DATA before the program starts; values are store texts."""
    with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
        f.write("[%s]\n" % DATA_KEY)
        for name, value in values.items():
            f.write("%s=%s\n" % (name, value))


class WindowsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="windows-", dir=harness.TEST_TMP)
        # Every frame turns the colours further, so each one is told from its neighbours.
        cls.movie = harness.make_movie(os.path.join(cls.work, "clip.avi"), [
            "-f", "lavfi", "-i", "testsrc=size=%dx%d:rate=30:duration=1" % (W, H),
            "-vf", "hue=h=12*n,format=bgr24", "-c:v", "rawvideo", "-pix_fmt", "bgr24"])
        cls.frames = decode(cls.movie, (W, H))
        assert len(cls.frames) == COUNT

    def start(self, store=None, lang="C.UTF-8"):
        app = Program(self, args=[self.movie], lang=lang)
        seed_store(app, dict({"hozon": "sz:" + app.out_dir}, **(store or {})))
        return app

    def gone(self, app, window):
        poll("the window to close", lambda: window.wid not in {w.wid for w in app.windows()}, 60)

    def type_into(self, window, edit, text):
        x, y = at(window, RESIZE, *EDITS[edit])
        window.click(x, y)
        window.enter_text(text)

    def test_typed_clip_and_size_decide_the_files_of_a_run(self):
        with self.start() as app:
            main = app.wait_window(TITLE)
            main.key("ctrl+r")
            dialog = app.wait_window("Clipping\\+Resize")
            dialog.stable_crop()
            for edit, value in (("top", "10"), ("left", "20"), ("right", "30"), ("bottom", "6"),
                                ("width", "88"), ("height", "52")):
                self.type_into(dialog, edit, value)
            harness.keep_screenshot(dialog.stable_crop(), "clip-resize-en.png")
            request_close(dialog.wid)
            self.gone(app, dialog)
            data = harness.profile_section(app.store(), "DATA")
            self.assertEqual([data.get(k) for k in ("clip_top", "clip_left", "clip_right", "clip_bottom",
                                                     "dst_width", "dst_height")], [10, 20, 30, 6, 88, 52])

            main.key("alt+o", "Down", "Down", "Return")  # Output JPG, when playing
            main.key("ctrl+p")
            names = ["clip %07d.jpg" % (n + 1) for n in range(COUNT)]
            poll("every frame's file", lambda: all(os.path.exists(os.path.join(app.out_dir, n)) for n in names), 60)
            for n in (0, 14, COUNT - 1):
                path = os.path.join(app.out_dir, names[n])
                poll("a complete file", lambda: probe_size(path) == (88, 52), 20)
                got = Image.open(path).convert("RGB")
                # The clipped region of each frame, scaled to the output size; the file
                # must be nearest to its own frame.
                wanted = [f.crop((20, 10, W - 30, H - 6)).resize((88, 52), Image.BILINEAR) for f in self.frames]
                distances = [distance(got, w) for w in wanted]
                self.assertEqual(distances.index(min(distances)), n, "file %d" % (n + 1))
                self.assertLess(distances[n], 8)

    def test_stored_nonsense_opens_a_usable_window(self):
        hostile = {"CLIP_LEFT": "dword:ffffff9c", "CLIP_RIGHT": "dword:7fffffff", "CLIP_TOP": "dword:80000000",
                   "CLIP_BOTTOM": "sz:lots", "DST_WIDTH": "dword:ffffffff", "DST_HEIGHT": "dword:3b9aca00"}
        with self.start(hostile) as app:
            main = app.wait_window(TITLE)
            main.key("ctrl+r")
            dialog = app.wait_window("Clipping\\+Resize")
            dialog.stable_crop()
            request_close(dialog.wid)
            self.gone(app, dialog)
            data = harness.profile_section(app.store(), "DATA")
            # Kept inside the frame with a pixel left, the size within 1..10000.
            self.assertEqual([data.get(k) for k in ("clip_left", "clip_right", "clip_top", "clip_bottom",
                                                     "dst_width", "dst_height")], [0, W - 1, 0, 0, 1, 10000])
            main.key("alt+f", "x")
            app.wait_exit()

    def test_information_windows_stand_beside_the_main_window_and_close(self):
        with self.start() as app:
            main = app.wait_window(TITLE)
            mx, my, mw, _ = main.geometry()
            main.key("ctrl+i")
            info = app.wait_window("AVI Info")
            main.key("ctrl+m")
            bmp = app.wait_window("BMP Info")
            ix, iy, iw, _ = info.geometry()
            bx, by, bw, _ = bmp.geometry()
            self.assertLessEqual(abs(ix - (mx + mw - iw // 2)), 2)
            self.assertLessEqual(abs(bx - (mx - bw // 2)), 2)
            self.assertEqual((iy, by), (my, my))
            harness.keep_screenshot(info.stable_crop(), "movie-info-en.png")
            harness.keep_screenshot(bmp.stable_crop(), "frame-header-en.png")
            # Close box, then the command.
            request_close(info.wid)
            self.gone(app, info)
            main.key("ctrl+m")
            self.gone(app, bmp)
            # A failed open closes the frame header window; the information window stays
            # and its command still closes it without a movie.
            main.key("ctrl+i")
            info = app.wait_window("AVI Info")
            main.key("ctrl+m")
            bmp = app.wait_window("BMP Info")
            bad = os.path.join(self.work, "broken.avi")
            with open(bad, "wb") as f:
                f.write(b"RIFF\x10\x00\x00\x00AVI LIST")
            main.key("ctrl+o")
            known = {w.wid for w in (main, info, bmp)}
            chooser = poll("the open dialog", lambda: next((w for w in app.windows() if w.wid not in known), None))
            harness.enter_name(app, chooser, bad)
            self.gone(app, bmp)
            box = poll("the message", lambda: next((w for w in app.windows() if w.name() == "TALVERN" and
                                                     w.wid != main.wid), None))
            box.key("Return")
            self.gone(app, box)
            self.assertIn(info.wid, {w.wid for w in app.windows()})
            main.key("ctrl+i")
            self.gone(app, info)

    def test_windows_in_japanese(self):
        with self.start(lang="ja_JP.UTF-8") as app:
            main = app.wait_window("clip.avi - TALVERN")
            for key, title, name in (("ctrl+i", "AVI情報", "movie-info-ja.png"),
                                     ("ctrl+m", "BMP情報", "frame-header-ja.png"),
                                     ("ctrl+r", "クリッピング\\+リサイズ", "clip-resize-ja.png")):
                main.key(key)
                window = app.wait_window(title)
                harness.keep_screenshot(window.stable_crop(), name)


if __name__ == "__main__":
    unittest.main()
