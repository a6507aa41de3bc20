"""The movie player window under the real program: where it stands, the frames it shows
as it plays, pauses and seeks, the sound it hands SDL's disk driver, and every way it
closes (close box, command, a new open, the end of the program)."""
import array
import os
import re
import subprocess
import tempfile
import time
import unittest

import harness
from harness import Program, poll
from harness import request_close

W, H, FPS, COUNT = 160, 120, 20, 80
RATE = 8000  # mono 16-bit sound; no sample of it is zero
PER_FRAME = RATE // FPS
START = 10
PLAYER = "ZELT PLAYER!!"


def make_movie(path):
    return harness.make_movie(path, [
        "-f", "lavfi", "-i", "testsrc=size=%dx%d:rate=%d:duration=%g" % (W, H, FPS, COUNT / FPS),
        "-f", "lavfi", "-i", "aevalsrc=0.3+0.2*sin(2*PI*440*t):s=%d:d=%g" % (RATE, COUNT / FPS),
        "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-c:a", "pcm_s16le", "-ac", "1"])


def decode(path, *args):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, *args, "-"],
                          check=True, capture_output=True, timeout=60).stdout


def samples(data):
    s = array.array("h")
    s.frombytes(data[:len(data) // 2 * 2])
    return s


class PlayerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="player-", dir=harness.TEST_TMP)
        cls.movie = make_movie(os.path.join(cls.work, "player.avi"))
        raw = decode(cls.movie, "-f", "rawvideo", "-pix_fmt", "rgb24")
        size = W * H * 3
        cls.frames = {raw[i * size:(i + 1) * size]: i for i in range(len(raw) // size)}
        assert len(cls.frames) == COUNT, "frames must all differ"
        cls.pcm = samples(decode(cls.movie, "-f", "s16le"))
        assert len(cls.pcm) == COUNT * PER_FRAME and 0 not in cls.pcm

    def start(self, lang="C.UTF-8"):
        workdir = tempfile.mkdtemp(prefix="e2e-", dir=harness.TEST_TMP)
        self.sound = os.path.join(workdir, "played.raw")
        env = {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.sound}
        return Program(self, args=[self.movie], lang=lang, workdir=workdir, env=env)

    @staticmethod
    def main_window(app):
        return app.wait_window(re.escape("player.avi - TALVERN"))

    def shown(self, player):
        """The frame the player window shows (None while it shows none), when, and
        how long the grab took (the frame belongs to some moment within it)."""
        fd, tmp = tempfile.mkstemp(suffix=".png", dir=harness.TEST_TMP)
        os.close(fd)
        try:
            before = time.monotonic()
            harness.run("import", "-window", player.wid, tmp)
            after = time.monotonic()
            image = harness.Image.open(tmp).convert("RGB")
            return self.frames.get(image.crop((0, 0, W, H)).tobytes()), (before + after) / 2, after - before
        finally:
            os.unlink(tmp)

    def wait_shown(self, player, what, test):
        """The first frame shown that passes test (frame 0 included)."""
        def passing():
            f = self.shown(player)[0]
            return (f,) if f is not None and test(f) else None
        return poll(what, passing)[0]

    @staticmethod
    def open_other_menu(app, main):
        """Help, then two to the left: the Other menu, each popup waited for."""
        ids = {w.wid for w in app.windows()}
        for key in ("alt+h", "Left", "Left"):
            main.key(key)
            ids = poll("the menu after " + key, lambda: (lambda now: now if now != ids else None)(
                {w.wid for w in app.windows()}))

    def gone(self, app):
        return poll("the player to close", lambda: not any(w.name() == PLAYER for w in app.windows()))

    def played(self):
        with open(self.sound, "rb") as f:
            return samples(f.read())

    def test_plays_pauses_seeks_and_closes_every_way(self):
        with self.start() as app:
            main = self.main_window(app)
            main.key(*["Right"] * START)
            opened = time.monotonic()
            main.key("F5")
            player = app.wait_window(re.escape(PLAYER))
            sw, _ = harness.screen_size()
            self.assertEqual(player.geometry(), (sw - W - 6, 0, W, H))

            # Half a second apart, the pictures have moved on by the movie's rate.
            first = self.wait_shown(player, "the first picture", lambda f: f >= START)
            f1, t1, d1 = self.shown(player)
            while time.monotonic() < t1 + 0.5:
                time.sleep(0.02)
            f2, t2, d2 = self.shown(player)
            self.assertGreaterEqual(f1, first)
            slack = 3 + (d1 + d2) / 2 * FPS
            if f2 < COUNT - 1:
                self.assertLessEqual(abs((f2 - f1) - (t2 - t1) * FPS), slack, (f1, t1, d1, f2, t2, d2))
            else:  # a slow machine's grabs took it to the end: it got there no faster than the rate
                self.assertLessEqual((f2 - f1) - (t2 - t1) * FPS, slack, (f1, t1, d1, f2, t2, d2))

            main.key("F6")  # pause: the picture holds
            held = poll("the picture to hold", lambda: (lambda a, b: a if a == b else None)(
                self.shown(player)[0], self.shown(player)[0]))
            time.sleep(0.4)
            self.assertEqual(self.shown(player)[0], held)
            main.key("F6")  # resume, then on to the last frame, which stays
            self.wait_shown(player, "the last frame", lambda f: f == COUNT - 1)

            # The sound written is the movie's from the start frame's sample on, with
            # silence where it paused, and it ends when the window closes.
            expected = self.pcm[START * PER_FRAME:]
            poll("the whole sound", lambda: sum(1 for s in self.played() if s) >= len(expected))
            request_close(player.wid)
            self.gone(app)
            closed = time.monotonic()
            # The driver writes no faster than real time: had the sound gone on past the
            # close, the file would hold more than the time the device was open.
            sizes = [os.path.getsize(self.sound)]
            poll("the sound file to be complete", lambda: sizes.append(os.path.getsize(self.sound)) or
                 sizes[-1] == sizes[-2], interval=0.3)
            played = self.played()
            self.assertLessEqual(len(played) / RATE, closed - opened + 0.15)
            self.assertEqual(array.array("h", (s for s in played if s)), expected)
            body = played.tobytes().strip(b"\0")
            self.assertIn(b"\0" * 2 * (RATE // 5), body, "no silence where it paused")

            # Seeks show the last and the first frame; the command closes it.
            main.key("F5")
            player = app.wait_window(re.escape(PLAYER))
            main.key("F8")
            self.wait_shown(player, "the last frame after a seek", lambda f: f == COUNT - 1)
            main.key("F7")
            self.wait_shown(player, "the first frame after a seek", lambda f: f == 0)
            time.sleep(0.3)
            self.assertEqual(self.shown(player)[0], 0)
            main.key("F5")
            self.gone(app)

            # From the Other menu; a new open closes it.
            self.open_other_menu(app, main)
            main.key("m")  # Movie Player(&M)
            app.wait_window(re.escape(PLAYER))
            other = os.path.join(self.work, "other.avi")
            if not os.path.exists(other):
                os.link(self.movie, other)
            main.key("ctrl+o")
            dialog = app.wait_window("(?!.*TALVERN$|%s$).+" % re.escape(PLAYER))
            harness.enter_name(app, dialog, other)
            app.wait_window(re.escape("other.avi - TALVERN"))
            self.gone(app)

            # Left playing at the end, it goes with the program.
            main.key("F5")
            app.wait_window(re.escape(PLAYER))
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())

    def test_screenshots_in_both_languages(self):
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            with self.subTest(lang=lang):
                with self.start(lang) as app:
                    main = self.main_window(app)
                    self.open_other_menu(app, main)
                    # The popup may stand out past the window's right edge.
                    x, y, w, h = main.geometry()
                    harness.keep_screenshot(main.stable_crop((0, 0, w + 200, h)), "player-menu-%s.png" % tag)
                    main.key("Escape", "Escape", "F5")
                    player = app.wait_window(re.escape(PLAYER))
                    self.wait_shown(player, "a picture", lambda f: True)
                    main.key("F6")  # held, so that the picture settles
                    harness.keep_screenshot(player.stable_crop(), "player-%s.png" % tag)


if __name__ == "__main__":
    unittest.main()
