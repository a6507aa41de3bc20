"""The view under the real program: the frame on screen, zoom, the status strip, the
slider and the source-picture window, on a raw movie whose frames all differ."""
import os
import subprocess
import unittest

import harness
from harness import Program, poll

W, H, COUNT = 96, 72, 60
BACKGROUND = (128, 128, 128)
STOPPED = (0, 255, 255)
PICTURE_LEFT, PICTURE_TOP = 10, 25
VIEWER = "ZELT Viewer"


def make_movie(path):
    # Interlacing puts the fields of two moving frames together, so that the
    # deinterlaced picture cannot equal the frame read.
    return harness.make_movie(path, [
        "-f", "lavfi", "-i", "testsrc=size=92x68:rate=20:duration=6",
        "-vf", "interlace,pad=%d:%d:2:2:color=0xFF00FF,format=bgr24" % (W, H),
        "-c:v", "rawvideo", "-pix_fmt", "bgr24"])


def decode_frames(path):
    data = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                          check=True, capture_output=True, timeout=60).stdout
    size = W * H * 3
    return [data[i * size:(i + 1) * size] for i in range(len(data) // size)]


def find_picture(image, frame):
    """Top-left of frame shown at 100 % in image, or None."""
    raw = image.tobytes()
    stride = image.size[0] * 3
    row_bytes = W * 3
    first = frame[:row_bytes]
    for y in range(image.size[1] - H + 1):
        start = y * stride
        at = raw.find(first, start, start + stride)
        while at >= 0:
            x = (at - start) // 3
            if (at - start) % 3 == 0 and all(
                    raw[start + r * stride + x * 3:start + r * stride + x * 3 + row_bytes]
                    == frame[r * row_bytes:(r + 1) * row_bytes] for r in range(H)):
                return x, y
            at = raw.find(first, at + 1, start + stride)
    return None


def shows(image, at, frame):
    x, y = at
    return image.crop((x, y, x + W, y + H)).tobytes() == frame


class ViewTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="view-", dir=harness.TEST_TMP)
        cls.movie = make_movie(os.path.join(cls.work, "bars.avi"))
        cls.frames = decode_frames(cls.movie)
        assert len(cls.frames) == COUNT

    def start(self, lang="C.UTF-8"):
        return Program(self, args=[self.movie], lang=lang)

    def open_at_frame(self, app, n):
        """Steps to frame n; the main window and where the picture is on screen."""
        main = app.wait_window("bars.avi - TALVERN")
        poll("frame 0", lambda: find_picture(harness.screenshot(), self.frames[0]))
        if n:
            main.key(*["Right"] * n)
        at = poll("frame %d on screen" % n, lambda: find_picture(harness.screenshot(), self.frames[n]))
        return main, at

    def wait_frame(self, at, n):
        poll("frame %d at %s" % (n, at), lambda: shows(harness.screenshot(), at, self.frames[n]))

    def test_steps_zoom_and_status_strip(self):
        with self.start() as app:
            main, (x, y) = self.open_at_frame(app, 5)
            shot = harness.screenshot()
            # The state box says stopped; no range box outside range mode.
            self.assertEqual(shot.getpixel((x + 2, y - 20)), STOPPED)
            self.assertEqual(shot.getpixel((x + 432, y - 20)), BACKGROUND)

            def extent(image):
                """How many times the frame's size the picture is, told by its corners."""
                for scale in (2, 1):
                    right, bottom = x + scale * W - 1, y + scale * H - 1
                    if image.getpixel((right, y)) == pixel(5, W - 1, 0) \
                            and image.getpixel((x, bottom)) == pixel(5, 0, H - 1) \
                            and image.getpixel((right + 1, y)) == BACKGROUND \
                            and image.getpixel((x, bottom + 1)) == BACKGROUND:
                        return scale
                return None

            def pixel(n, px, py):
                at = (py * W + px) * 3
                return tuple(self.frames[n][at:at + 3])

            main.key("ctrl+Up")
            poll("the picture at 200 %", lambda: extent(harness.screenshot()) == 2)
            gx, gy, _, _ = main.geometry()
            main.click(x - gx + W, y - gy + H, button=5)
            poll("the picture back at 100 %", lambda: extent(harness.screenshot()) == 1)
            self.assertTrue(shows(harness.screenshot(), (x, y), self.frames[5]))

            main.key("alt+a", "Return")  # Range Setting > Play in Specifical range
            poll("the range box", lambda: harness.screenshot().getpixel((x + 432, y - 20)) == STOPPED)

    def test_slider_click_goes_to_the_frame_under_the_cursor(self):
        with self.start() as app:
            main, (x, y) = self.open_at_frame(app, 0)
            shot = harness.screenshot()
            left = x - PICTURE_LEFT
            right = next(i for i in range(x, shot.size[0]) if shot.getpixel((i, y - 1)) != BACKGROUND)
            slider_top = next(j for j in range(y + H, shot.size[1]) if shot.getpixel((x - 5, j)) != BACKGROUND)
            gx, gy, _, _ = main.geometry()
            shown = [0]
            for share in (0.25, 0.75):
                cx = left + int(share * (right - left))
                main.click(cx - gx, slider_top + 15 - gy)

                def moved():
                    image = harness.screenshot()
                    return next((n for n in range(COUNT) if n != shown[-1] and shows(image, (x, y), self.frames[n])), None)

                n = poll("a frame after the click", moved)
                expected = share * (COUNT - 1)
                self.assertLessEqual(abs(n - expected), 2.5, "clicked near frame %.1f, shows %d" % (expected, n))
                shown.append(n)
            self.assertLess(shown[1], shown[2])

    def test_source_picture_window_shows_the_frame_before_deinterlacing(self):
        with self.start() as app:
            main, at = self.open_at_frame(app, 3)
            main.key("ctrl+1")
            poll("the deinterlaced picture", lambda: not shows(harness.screenshot(), at, self.frames[3]))
            main.key("ctrl+v")
            viewer = app.wait_window(VIEWER)
            vx, vy, vw, vh = viewer.geometry()
            self.assertEqual((vw, vh), (W, H))
            poll("the source picture", lambda: shows(harness.screenshot(), (vx, vy), self.frames[3]))
            self.assertFalse(shows(harness.screenshot(), at, self.frames[3]))
            # It follows every step.
            main.key("Right")
            poll("the next source picture", lambda: shows(harness.screenshot(), (vx, vy), self.frames[4]))

            def viewer_gone():
                return not any(w.name() == VIEWER for w in app.windows())

            main.key("ctrl+v")
            poll("the viewer to close by command", viewer_gone)
            main.key("ctrl+v")
            app.wait_window(VIEWER)
            other = os.path.join(self.work, "other.avi")
            if not os.path.exists(other):
                os.link(self.movie, other)
            main.key("ctrl+o")
            dialog = app.wait_window("(?!.*TALVERN$|%s$).+" % VIEWER)
            harness.enter_name(app, dialog, other)
            app.wait_window("other.avi - TALVERN")
            poll("the viewer to close on a new open", viewer_gone)
            # Left open at the end, it goes with the program (a sanitizer build reports leaks here).
            main.key("ctrl+v")
            app.wait_window(VIEWER)
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())

    def test_screenshots_in_both_languages(self):
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            with self.subTest(lang=lang), Program(self, args=[self.movie], lang=lang) as app:
                main, _ = self.open_at_frame(app, 2)
                main.key("alt+a", "Return")
                harness.keep_screenshot(main.stable_crop(), "view-%s.png" % tag)


if __name__ == "__main__":
    unittest.main()
