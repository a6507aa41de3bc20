"""The conversion run under the real program: numbered image files from a frame range,
Pause, Stop, a refused exit, and the single-frame outputs Save Image and Copy, on a raw
movie whose frames carry their index in a band of bits at the top."""
import os
import re
import resource
import shutil
import signal
import subprocess
import time
import unittest

from PIL import Image, ImageChops

import harness
from harness import Program, poll
from harness import request_close

# Large enough frames that a run lasts long enough to be paused and stopped.
W, H, COUNT = 640, 480, 300
TITLE = "count"
BAND, BIT_WIDTH, BITS = 48, 64, 10
STOPPED, PAUSED, MAKING = (0, 255, 255), (255, 0, 255), (255, 0, 0)
EXTENSIONS = ("bmp", "jpg", "tif", "png")
OUTPUT_ITEM = {"jpg": 2, "bmp": 3, "tif": 4, "png": 5}  # places below the first item of Output Setting
SAVE_IMAGE_ITEM = 2  # places below the first item of File


def make_movie(path):
    # Bit k of the frame index is a white box in the k-th slot of a black band.
    boxes = "".join(",drawbox=x=%d:y=0:w=%d:h=%d:color=white:t=fill:enable='mod(floor(n/%d),2)'"
                    % (k * BIT_WIDTH, BIT_WIDTH, BAND, 1 << k) for k in range(BITS))
    return harness.make_movie(path, [
        "-f", "lavfi", "-i", "testsrc2=size=%dx%d:rate=25" % (W, H), "-frames:v", str(COUNT),
        "-vf", "drawbox=x=0:y=0:w=%d:h=%d:color=black:t=fill%s,format=bgr24" % (W, BAND, boxes),
        "-c:v", "rawvideo", "-pix_fmt", "bgr24"])


def decode_frames(path, first, last):
    """Frames first..last of the movie as RGB bytes, decoded by ffmpeg."""
    data = subprocess.run(
        ["ffmpeg", "-v", "error", "-i", path, "-vf", "select='between(n,%d,%d)'" % (first, last),
         "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
        check=True, capture_output=True, timeout=60).stdout
    size = W * H * 3
    return {first + i: data[i * size:(i + 1) * size] for i in range(len(data) // size)}


def index_of(image):
    """The frame index a picture carries in its band."""
    return sum(1 << k for k in range(BITS) if sum(image.getpixel((k * BIT_WIDTH + BIT_WIDTH // 2, BAND // 2))) > 384)


def locate(image, frame):
    """Top-left of frame shown at 100 % in image, or None."""
    raw, stride, row = image.tobytes(), image.size[0] * 3, W * 3
    key = frame[BAND * row:(BAND + 1) * row]  # the first row under the band
    at = raw.find(key)
    while at >= 0:
        y, x3 = divmod(at, stride)
        x, top = x3 // 3, y - BAND
        if x3 % 3 == 0 and top >= 0 and image.crop((x, top, x + W, top + H)).tobytes() == frame:
            return x, top
        at = raw.find(key, at + 1)
    return None


def number_of(name):
    return int(re.fullmatch(re.escape(TITLE) + r" (\d{7})\.\w+", name).group(1))


def file_names(folder):
    return sorted(os.listdir(folder))


def seed_store(app):
    """The output folder, as the settings dialog would have left it."""
    with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
        f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % app.out_dir)


def read_rgb(path):
    with Image.open(path) as image:
        image.load()
        return image.convert("RGB")


def readable(path):
    """The image once a whole file is there, else None."""
    try:
        with Image.open(path) as image:
            image.load()
            return image
    except (OSError, SyntaxError):
        return None


def mean_difference(image, frame):
    other = Image.frombytes("RGB", (W, H), frame)
    histogram = ImageChops.difference(image, other).convert("L").histogram()
    return sum(i * n for i, n in enumerate(histogram)) / float(W * H)


def steady(what, fn, seconds):
    """Polls fn for the given time and asserts that its value never changes."""
    first = fn()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        now = fn()
        if now != first:
            raise AssertionError("%s changed from %r to %r" % (what, first, now))
        time.sleep(0.05)
    return first


class RunTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="run-", dir=harness.TEST_TMP)
        # The movie and the files of a run take hundreds of megabytes; none is kept.
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        cls.movie = make_movie(os.path.join(cls.work, TITLE + ".avi"))
        cls.first_frame = decode_frames(cls.movie, 0, 0)[0]

    def start(self, lang="C.UTF-8", preexec=None):
        app = Program(self, args=[self.movie], lang=lang, preexec=preexec)
        self.addCleanup(shutil.rmtree, app.workdir, ignore_errors=True)
        seed_store(app)
        return app

    def open(self, app):
        """The main window and where its picture is on screen."""
        main = app.wait_window(TITLE + ".avi - TALVERN")
        at = poll("frame 0 on screen", lambda: locate(harness.screenshot(), self.first_frame))
        return main, at

    def state(self, at):
        """Colour of the state box of the status strip."""
        return harness.screenshot().getpixel((at[0] + 2, at[1] - 20))

    def wait_state(self, at, colour, timeout=60):
        poll("the state box in %s" % (colour,), lambda: self.state(at) == colour, timeout)

    def switch_on(self, main, *extensions):
        for ext in extensions:
            main.key("alt+o", *["Down"] * OUTPUT_ITEM[ext], "Return")

    def count(self, app):
        return len(os.listdir(app.out_dir))

    def answer_stop_question_no(self, app, main):
        box = app.wait_window("TALVERN")
        box.key("Escape")
        poll("the question to close", lambda: box.wid not in {w.wid for w in app.windows()})
        main.focus()

    def assert_holds_frame(self, path, frames, lossless):
        image = read_rgb(path)
        self.assertEqual(image.size, (W, H), path)
        n = number_of(os.path.basename(path)) - 1
        self.assertEqual(index_of(image), n, path)
        if lossless:
            self.assertTrue(image.tobytes() == frames[n], "%s differs from frame %d" % (path, n))
        else:
            self.assertLess(mean_difference(image, frames[n]), 3.0, path)

    def test_range_writes_every_format_with_its_frame(self):
        start, end = 3, 12
        with self.start() as app:
            main, at = self.open(app)
            main.key("alt+a", "Return")  # Range Setting > Play in Specifical range
            main.key(*["Right"] * start)
            main.key("alt+a", "Down", "Return")  # This frame is set to the start frame
            main.key(*["Right"] * (end - start))
            main.key("alt+a", "Down", "Down", "Return")  # ... the end frame
            self.switch_on(main, *EXTENSIONS)
            # The run starts at the range start, wherever the current frame is.
            main.key("Left", "Left")
            main.key("ctrl+p")
            expected = ["%s %07d.%s" % (TITLE, n + 1, ext) for n in range(start, end + 1) for ext in EXTENSIONS]
            poll("every file", lambda: self.count(app) >= len(expected), 60)
            self.wait_state(at, STOPPED)
            self.assertEqual(file_names(app.out_dir), sorted(expected))
        frames = decode_frames(self.movie, start, end)
        for name in expected:
            self.assert_holds_frame(os.path.join(app.out_dir, name), frames, not name.endswith(".jpg"))
        for ext, codec in zip(EXTENSIONS, ("bmp", "mjpeg", "tiff", "png")):
            probe = harness.run("ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width,height",
                                "-of", "csv=p=0", os.path.join(app.out_dir, "%s %07d.%s" % (TITLE, end + 1, ext)))
            self.assertEqual(probe.strip(), "%s,%d,%d" % (codec, W, H))

    def test_pause_holds_stop_ends_and_exit_is_refused(self):
        # On one core the run lasts long enough for every step below before its end.
        one_core = lambda: os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
        with self.start(preexec=one_core) as app:
            main, at = self.open(app)
            self.switch_on(main, "bmp", "png")
            main.key("ctrl+p")
            poll("the run to write", lambda: self.count(app) >= 10, 30)
            harness.keep_screenshot(main.crop(harness.screenshot()), "run-playing-en.png")
            self.assertEqual(self.state(at), MAKING)

            main.key("space")
            self.wait_state(at, PAUSED)
            paused = steady("the file count while paused", lambda: self.count(app), 1.0)
            main.key("space")
            poll("the run to go on", lambda: self.count(app) > paused)

            # Exit, from the menu and by the close box, asks whether to stop; No goes on.
            for request in (lambda: main.key("alt+f", "x"), lambda: request_close(main.wid)):
                request()
                self.answer_stop_question_no(app, main)
                before = self.count(app)
                poll("the run to go on after a refused exit", lambda: self.count(app) > before)
                self.assertEqual(self.state(at), MAKING)

            main.key("ctrl+s")
            self.wait_state(at, STOPPED)
            written = steady("the file count after Stop", lambda: file_names(app.out_dir), 0.5)
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())
        numbers = sorted({number_of(name) for name in written})
        self.assertLess(len(numbers), COUNT, "the run was not stopped early")
        self.assertEqual(numbers, list(range(1, len(numbers) + 1)))
        self.assertEqual(len(written), 2 * len(numbers))  # both formats of every frame
        for name in written:
            image = read_rgb(os.path.join(app.out_dir, name))
            self.assertEqual(image.size, (W, H), name)
        last = numbers[-1] - 1
        frames = decode_frames(self.movie, last, last)
        for ext in ("bmp", "png"):
            self.assert_holds_frame(os.path.join(app.out_dir, "%s %07d.%s" % (TITLE, last + 1, ext)), frames, True)

    def test_save_image_and_copy_give_the_processed_frame_of_a_paused_run(self):
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            with self.subTest(lang=lang), self.start(lang) as app:
                main, (x, y) = self.open(app)
                # Deinterlacing makes the processed frame differ from the frame read.
                main.key("ctrl+1")
                poll("the deinterlaced picture",
                     lambda: harness.screenshot().crop((x, y, x + W, y + H)).tobytes() != self.first_frame)
                self.switch_on(main, "png")
                main.key("ctrl+p")
                poll("the run to write", lambda: self.count(app) >= 5, 30)
                main.key("space")
                self.wait_state((x, y), PAUSED)
                written = steady("the file count while paused", lambda: file_names(app.out_dir), 0.5)
                harness.keep_screenshot(main.stable_crop(), "run-paused-%s.png" % tag)
                shown = harness.screenshot().crop((x, y, x + W, y + H))
                last_written = read_rgb(os.path.join(app.out_dir, written[-1]))
                self.assertTrue(shown.tobytes() == last_written.tobytes(), "the paused frame is not the last written")

                main.key("alt+f", *["Down"] * SAVE_IMAGE_ITEM, "Return")
                dialog = poll("the save dialog", lambda: self.dialog_of(app, main))
                harness.keep_screenshot(dialog.stable_crop(), "save-image-%s.png" % tag)
                still = os.path.join(app.workdir, "still.png")
                harness.enter_name(app, dialog, still)
                saved = poll("the saved image", lambda: readable(still))
                self.assertEqual(saved.format, "PNG")
                self.assertTrue(saved.convert("RGB").tobytes() == shown.tobytes(), "the saved image is not the frame")
                self.assertEqual(self.state((x, y)), PAUSED)
                self.assertEqual(file_names(app.out_dir), written)

                main.key("ctrl+c")
                clipped = poll("an image on the clipboard", lambda: self.clipboard_png(app))
                self.assertTrue(clipped.tobytes() == shown.tobytes(), "the clipboard does not hold the frame")
                main.key("ctrl+s")
                self.wait_state((x, y), STOPPED)

    def test_save_image_under_an_unknown_extension_is_an_output_error(self):
        with self.start() as app:
            main, _ = self.open(app)
            main.key("alt+f", *["Down"] * SAVE_IMAGE_ITEM, "Return")
            dialog = poll("the save dialog", lambda: self.dialog_of(app, main))
            harness.enter_name(app, dialog, os.path.join(app.workdir, "still.xyz"))
            box = app.wait_window("Error No.0502")
            box.key("Return")
            poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})
            self.assertEqual([n for n in os.listdir(app.workdir) if n.startswith("still")], [])

    def test_a_full_disk_during_avi_output_is_told_once(self):
        def small_disk():
            # Writes past 2 MB fail with EFBIG instead of ending the program.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (2 << 20, 2 << 20))

        app = Program(self, args=[self.movie], preexec=small_disk)
        self.addCleanup(shutil.rmtree, app.workdir, ignore_errors=True)
        seed_store(app)
        with app:
            main, _ = self.open(app)
            main.key("alt+o", "Return")  # Output Setting > AVI
            main.key("ctrl+p")
            codec = app.wait_window("Set AVI Codec")
            codec.key("Return")
            box = app.wait_window(r"Error No\.2006", timeout=60)
            box.key("Return")
            poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})
            # Help > About opens only once no other box holds the program.
            main.key("alt+h", "Up", "Return")
            after = poll("the next window", lambda: next(
                (w for w in app.windows() if w.wid != main.wid and w.name() != ""), None))
            self.assertNotRegex(after.name(), r"Error No", app.output())

    def test_image_files_the_disk_cannot_take_whole_are_taken_away(self):
        def small_disk():
            # Writes past 600 kB fail: a BMP file of a frame (900 kB) does, a JPEG file fits.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (600 << 10, 600 << 10))

        with self.start(preexec=small_disk) as app:
            main, _ = self.open(app)
            main.key("alt+f", *["Down"] * SAVE_IMAGE_ITEM, "Return")
            dialog = poll("the save dialog", lambda: self.dialog_of(app, main))
            dialog.key("ctrl+a")
            dialog.type(os.path.join(app.workdir, "still.bmp"))
            dialog.key("Return")
            self.close_box(app, app.wait_window("Error No.0502"))
            self.switch_on(main, "jpg", "bmp")
            main.key("ctrl+p")
            self.close_box(app, app.wait_window("Error No.0502", timeout=60))
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())
        self.assertEqual([n for n in os.listdir(app.workdir) if n.startswith("still")], [])
        written = file_names(app.out_dir)
        self.assertEqual([n for n in written if not n.endswith(".jpg")], [])
        for name in written:
            self.assertEqual(read_rgb(os.path.join(app.out_dir, name)).size, (W, H), name)

    def test_a_wmv_file_that_cannot_be_made_is_an_output_error(self):
        app = self.start()
        # A folder under the name: no file can be made there, whoever runs the program.
        os.mkdir(os.path.join(app.out_dir, "Enc_%s.wmv" % TITLE))
        with app:
            main, _ = self.open(app)
            main.key("alt+o", "Down", "Return")  # Output Setting > WMV
            main.key("ctrl+p")
            app.wait_window("Set WMV Encode").key("Return")
            closed = self.close_box(app, app.wait_window(r"Error No\.\d+", timeout=60))
            self.assertEqual(closed, "Error No.0502")

    def close_box(self, app, box):
        """Answers a message box and returns its caption once it has closed."""
        caption = box.name()
        box.key("Return")
        poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})
        return caption

    def test_a_killed_avi_run_leaves_a_file_read_to_its_last_whole_frame(self):
        app = self.start()
        with app:
            main, _ = self.open(app)
            main.key("alt+o", "Return")  # Output Setting > AVI
            main.key("ctrl+p")
            app.wait_window("Set AVI Codec").key("Return")

            killed = self.kill_once_written(app, "avi", 4 << 20)
        frames = self.assert_read_to_last_frame(killed)

        reopened = Program(self, args=[killed])
        with reopened:
            main = reopened.wait_window(re.escape(os.path.basename(killed)) + " - TALVERN")
            at = poll("frame 0 on screen", lambda: locate(harness.screenshot(), self.first_frame))
            shown = lambda: index_of(harness.screenshot().crop((at[0], at[1], at[0] + W, at[1] + H)))
            for frame in range(1, frames + 1):  # one step more than there are frames
                main.key("Right")
                poll("frame %d on screen" % min(frame, frames - 1), lambda: shown() == min(frame, frames - 1))

    def test_a_killed_run_keeps_its_avi_within_a_second_of_its_images(self):
        # Motion JPEG frames are small: many seconds of them would fit in a write buffer.
        for images in (10, 90):
            with self.subTest(images=images):
                app = self.start()
                with app:
                    main, _ = self.open(app)
                    self.switch_on(main, *EXTENSIONS)
                    main.key("alt+o", "Return")  # Output Setting > AVI
                    main.key("ctrl+p")
                    codec = app.wait_window("Set AVI Codec")
                    codec.key("Home")
                    codec.type("Motion")
                    codec.key("Return")
                    bmps = lambda: [n for n in os.listdir(app.out_dir) if n.endswith(".bmp")]
                    poll("%d BMP files" % images, lambda: len(bmps()) >= images, 60)
                    app.proc.kill()
                    app.proc.wait(10)
                written = len(bmps())
                avi = [os.path.join(app.out_dir, n) for n in os.listdir(app.out_dir) if n.endswith(".avi")][0]
                probe = subprocess.run(
                    ["ffprobe", "-v", "error", "-count_packets", "-select_streams", "v:0", "-show_entries",
                     "stream=codec_name,nb_read_packets", "-of", "csv=p=0", avi],
                    capture_output=True, text=True, timeout=60)
                self.assertEqual(probe.returncode, 0, probe.stderr)
                codec_name, packets = probe.stdout.strip().split(",")
                self.assertEqual(codec_name, "mjpeg")
                # One second of this movie is 25 frames.
                self.assertGreaterEqual(int(packets), max(1, written - 25), "%d images written" % written)

    def test_a_killed_wmv_run_leaves_a_file_read_to_its_last_whole_frame(self):
        app = self.start()
        with app:
            main, _ = self.open(app)
            main.key("alt+o", "Down", "Return")  # Output Setting > WMV
            main.key("ctrl+p")
            app.wait_window("Set WMV Encode").key("Return")
            killed = self.kill_once_written(app, "wmv", 256 << 10)
        self.assert_read_to_last_frame(killed)

    def kill_once_written(self, app, ext, size):
        """Kills the program once its output file passes size bytes; returns the file."""
        def written():
            names = [n for n in os.listdir(app.out_dir) if n.endswith("." + ext)]
            path = os.path.join(app.out_dir, names[0]) if names else None
            return path if path and os.path.getsize(path) > size else None
        killed = poll("%d bytes of output" % size, written, timeout=60)
        app.proc.kill()
        app.proc.wait(10)
        return killed

    def assert_read_to_last_frame(self, path):
        """ffmpeg reads the file of a killed run to a last frame that carries its index, short
        of the whole movie; returns how many frames it read."""
        frames = int(subprocess.run(
            ["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=nb_read_frames", "-of", "csv=p=0", path], check=True, capture_output=True,
            timeout=60).stdout)
        self.assertGreater(frames, 2)
        self.assertLess(frames, COUNT, "the run ended before it was killed")
        last = decode_frames(path, frames - 1, frames - 1)
        self.assertEqual(index_of(Image.frombytes("RGB", (W, H), last[frames - 1])), frames - 1)
        return frames

    def dialog_of(self, app, main):
        """A dialog-sized window other than the main one (menus closing are smaller)."""
        for window in app.windows():
            try:
                _, _, w, h = window.geometry()
            except subprocess.CalledProcessError:  # gone since it was listed
                continue
            if window.wid != main.wid and w >= 400 and h >= 300:
                return window
        return None

    def clipboard_png(self, app):
        targets = subprocess.run(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"],
                                 capture_output=True, text=True, timeout=10).stdout.split()
        if "image/png" not in targets:
            return None
        path = os.path.join(app.workdir, "clipboard.png")
        with open(path, "wb") as f:
            subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], stdout=f,
                           check=True, timeout=10)
        return read_rgb(path)


if __name__ == "__main__":
    unittest.main()
