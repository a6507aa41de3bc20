"""AVI files as other programs write them (the shapes corpus of tests/data), opened one
after another through File > Open in one run of the real program: each one that reads
plays to its end into an AVI file holding every frame; each other one is refused with the
program's box, and the program stays open throughout."""
import os
import re
import shutil
import subprocess
import unittest

import harness
from harness import Program, poll

NOT_ACQUIRED = "TALVERN"  # the refusal's box, titled as the program


def frame_count(path):
    """Frames a player shows: up to the last picture's time stamp."""
    out = harness.run("ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "frame=pts",
                      "-of", "csv=p=0", path, timeout=60)
    return max(int(t) for t in out.split() if t.lstrip("-").isdigit()) + 1


def frame_counts(path):
    """Frame counts a player may show: up to the last picture's time stamp, or, where
    frames after it hold no picture of their own (not coded, empty chunks), the stream's
    length in the header."""
    out = harness.run("ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                      "stream=nb_frames", "-of", "csv=p=0", path, timeout=60).strip()
    pictures = frame_count(path)
    return {pictures, int(out)} if out.isdigit() and int(out) > pictures else {pictures}


class ShapesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="shapes-", dir=harness.TEST_TMP)
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        maker = os.environ.get("TALVERN_MAKE_AVI_SHAPES", "")
        listing = subprocess.run([maker, cls.work], check=True, capture_output=True, text=True, timeout=300).stdout
        cls.shapes = [(name, reads == "1", audio != "none")
                      for name, reads, audio in (line.split() for line in listing.splitlines())]

    def new_window(self, app, known):
        ids = {w.wid for w in known}
        return poll("a new window", lambda: next((w for w in app.windows() if w.wid not in ids), None), 60)

    def gone(self, app, window):
        poll("the window to close", lambda: window.wid not in {w.wid for w in app.windows()}, 60)

    def answer(self, app, main, title):
        dialog = self.new_window(app, [main])
        self.assertEqual(dialog.name(), title, app.output())
        dialog.key("Return")
        self.gone(app, dialog)

    def play_to_the_end(self, app, main, name, audio):
        main.key("alt+o", "Return")  # Output Setting > AVI
        main.key("ctrl+p")
        self.answer(app, main, "Set AVI Codec")
        if audio:
            self.answer(app, main, "Selection of Audio Stream processing")  # recompressed
            self.answer(app, main, "Sound Selection")
        self.answer(app, main, "TALVERN")  # saved
        out = os.path.join(app.out_dir, "Enc_" + name)
        self.assertIn(frame_count(out), frame_counts(os.path.join(self.work, name)), name)

    def open(self, app, path):
        app.wait_window(".*TALVERN").key("ctrl+o")
        dialog = app.wait_window("(?!.*TALVERN$).+")
        dialog.stable_crop(timeout=60)  # a loaded machine may take long between two shots
        dialog.type(path)
        dialog.key("Return")
        self.gone(app, dialog)

    def test_each_shape_plays_to_its_end_or_is_refused(self):
        app = Program(self)
        self.addCleanup(shutil.rmtree, app.workdir, ignore_errors=True)
        with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
            f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % app.out_dir)
        with app:
            main = app.wait_window("TALVERN")
            for name, reads, audio in self.shapes:
                with self.subTest(name):
                    self.open(app, os.path.join(self.work, name))
                    if reads:
                        app.wait_window(re.escape(name) + " - TALVERN")
                        self.play_to_the_end(app, main, name, audio)
                    else:
                        self.answer(app, main, NOT_ACQUIRED)
                        self.assertEqual(main.name(), "TALVERN")
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())


if __name__ == "__main__":
    unittest.main()
