"""Movies and folders named in Japanese, with accents, and with bytes that are not UTF-8:
the real program opens them from the command line, the open dialog and the recent list,
copies the video stream, extracts the audio, plays them in the movie player, writes every
output of a run and a saved image, shows the information windows and takes a WMV profile
from a Japanese folder, in both languages; the files written are checked with ffprobe."""
import os
import re
import subprocess
import unittest

import harness
from harness import Program, poll
from test_codecs import probe, prx_text
import test_extract  # not its test class by name: the loader would run its tests here again
from test_extract import EXTRACTION, output, packets, stream_bytes

PLAYER = "ZELT PLAYER!!"
# Another window than the main one and the player: the audio choice dialog.
DIALOG = "(?!.*TALVERN$|%s$).+" % re.escape(PLAYER)
OUTPUTS = ("avi", "wmv", "jpg", "bmp", "tif", "png")  # the items of Output Setting, in order
FRAMES = 25
SAVE_IMAGE_ITEM = 2  # places below the first item of File


class NamesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="names-", dir=harness.TEST_TMP)
        folder = os.path.join(cls.work, "映像フォルダ")
        os.makedirs(folder)
        cls.source = harness.make_movie(os.path.join(folder, "source.avi"), [
            "-f", "lavfi", "-i", "testsrc=size=160x120:rate=25:duration=1",
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=22050:duration=1",
            "-c:v", "mpeg4", "-g", "10", "-bf", "0", "-c:a", "pcm_s16le", "-shortest"])

    def movie(self, name):
        """A copy of the source movie under name (bytes or text) beside it."""
        folder = os.path.dirname(self.source).encode()
        path = os.path.join(folder, name if isinstance(name, bytes) else name.encode())
        with open(self.source, "rb") as src, open(path, "wb") as dst:
            dst.write(src.read())
        return path

    def start(self, movie, lang, workdir=None):
        """The program, on movie if given, writing into 出力; a workdir given keeps its settings."""
        app = Program(self, args=[movie] if movie else [], lang=lang, workdir=workdir)
        app.out_dir = os.path.join(app.workdir, "出力")
        if not workdir:
            os.makedirs(app.out_dir)
            with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
                f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % app.out_dir)
        return app

    def new_window(self, app, known):
        ids = {k.wid for k in known}
        return poll("a new window", lambda: next((w for w in app.windows() if w.wid not in ids), None), 60)

    def gone(self, app, window):
        poll("the window to close", lambda: window.wid not in {w.wid for w in app.windows()}, 60)

    def answer(self, app, window, *keys):
        window.key(*keys)
        self.gone(app, window)

    def type_path(self, app, window, path):
        """Types path into a file dialog and accepts it; a Return the name's completion
        list took is given again."""
        harness.enter_name(app, window, path)

    def extract_both(self, app, main, title):
        """Extract Video-Stream and Extract Audio-Stream, each copying; returns the files."""
        out = os.fsencode(app.out_dir)
        written = []
        for keys, name in (((), b"Copy_" + title + b".avi"), (("Down",), title + b"_audio.wav")):
            main.key(*EXTRACTION, *keys, "Return")
            test_extract.ExtractTest.choose_copy(self, app, DIALOG)
            path = os.path.join(out, name)
            test_extract.ExtractTest.wait_file(self, path)
            written.append(path)
        return written

    def test_every_path_command_with_names_beyond_ascii(self):
        cases = [("C.UTF-8", "テスト"), ("ja_JP.UTF-8", "テスト"), ("C.UTF-8", "café"),
                 ("C.UTF-8", b"caf\xe9")]  # Latin-1: bytes that are not UTF-8
        for lang, title in cases:
            with self.subTest(lang=lang, title=title):
                title = title if isinstance(title, bytes) else title.encode()
                movie = self.movie(title + b".avi")
                with self.start(movie, lang) as app:
                    main = app.wait_window(".+ - TALVERN$")
                    copy, wav = self.extract_both(app, main, title)
                    poll("the whole movie", lambda: packets(copy) == packets(movie))
                    poll("the whole audio", lambda: stream_bytes(wav) == stream_bytes(movie))
                    main.key("alt+o", *["Down"] * OUTPUTS.index("png"), "Return")
                    main.key("ctrl+p")
                    names = [title + b" %07d.png" % (n + 1) for n in range(FRAMES)]
                    poll("every picture", lambda: sorted(n for n in os.listdir(os.fsencode(app.out_dir))
                                                         if n.endswith(b".png")) == names)
                    main.key("F5")
                    app.wait_window(re.escape(PLAYER))
                    self.assertIsNone(app.proc.poll(), app.output())
                # The recent list holds the name as the file system does.
                with self.start(None, lang, app.workdir) as app:
                    app.wait_window("TALVERN").key("alt+f", "1")
                    app.wait_window(".+ - TALVERN$")

    def play_every_output(self, app, main, prx):
        """A run with every output on: the AVI copying the audio, the WMV on a profile file."""
        for item in range(len(OUTPUTS)):
            main.key("alt+o", *["Down"] * item, "Return")
        main.key("ctrl+p")
        self.answer(app, self.new_window(app, [main]), "Return")  # the AVI compressor
        self.answer(app, self.new_window(app, [main]), "Down", "Return")  # copy the audio
        wmv = self.new_window(app, [main])
        wmv.key("Home")
        wmv.type("PRX")
        wmv.key("alt+c")  # two passes: the profile's bit rate is met by an analysis pass
        wmv.key("alt+b")
        self.type_path(app, self.new_window(app, [main, wmv]), prx)
        self.answer(app, wmv, "Return")
        for _ in range(2):  # a box for each movie written
            self.answer(app, self.new_window(app, [main]), "Return")

    def check_outputs(self, app, title, movie):
        for ext in OUTPUTS[2:]:
            names = ["%s %07d.%s" % (title, n + 1, ext) for n in range(FRAMES)]
            self.assertEqual(sorted(n for n in os.listdir(app.out_dir) if n.endswith(ext)), names)
            self.assertIn(b"160,120", output("ffprobe", "-v", "error", "-show_entries", "stream=width,height",
                                            "-of", "csv=p=0", os.path.join(app.out_dir, names[-1])))
        avi = probe(os.path.join(app.out_dir, "Enc_%s.avi" % title))
        self.assertEqual(int(avi["video"]["nb_read_frames"]), FRAMES)
        self.assertEqual(stream_bytes(os.path.join(app.out_dir, "Enc_%s.avi" % title)), stream_bytes(movie))
        wmv = probe(os.path.join(app.out_dir, "Enc_%s.wmv" % title))
        self.assertEqual((wmv["video"]["codec_name"], int(wmv["video"]["nb_read_frames"])), ("wmv1", FRAMES))
        self.assertEqual((wmv["audio"]["sample_rate"], wmv["audio"]["channels"]), ("32000", 1))

    def test_open_play_save_and_windows_in_japanese_folders(self):
        title = "テスト"
        movie = self.movie((title + ".avi").encode()).decode()
        prx = os.path.join(self.work, "プロファイル", "二段.prx")
        os.makedirs(os.path.dirname(prx), exist_ok=True)
        with open(prx, "w", encoding="utf-8") as f:
            f.write(prx_text())
        for lang in ("C.UTF-8", "ja_JP.UTF-8"):
            with self.subTest(lang=lang):
                with self.start(None, lang) as app:
                    main = app.wait_window("TALVERN")
                    main.key("ctrl+o")
                    self.type_path(app, self.new_window(app, [main]), movie)
                    main = app.wait_window(re.escape(title) + ".avi - TALVERN")
                    main.key("alt+f", "x")
                    self.assertEqual(app.wait_exit(), 0, app.output())
                with self.start(None, lang, app.workdir) as app:
                    main = app.wait_window("TALVERN")
                    main.key("alt+f", "1")  # the recent list
                    main = app.wait_window(re.escape(title) + ".avi - TALVERN")
                    self.play_every_output(app, main, prx)
                    self.check_outputs(app, title, movie)
                    tag = "en" if lang.startswith("C") else "ja"
                    harness.keep_screenshot(main.stable_crop(), "names-main-after-run-%s.png" % tag)
                    main.key("alt+f", *["Down"] * SAVE_IMAGE_ITEM, "Return")
                    still = os.path.join(app.out_dir, "静止画.png")
                    self.type_path(app, self.new_window(app, [main]), still)
                    poll("the saved image", lambda: os.path.exists(still))
                    self.assertIn(b"png,160,120", output("ffprobe", "-v", "error", "-show_entries",
                                                        "stream=codec_name,width,height", "-of", "csv=p=0", still))
                    main.key("ctrl+i")
                    info = self.new_window(app, [main])
                    main.key("ctrl+m")
                    header = self.new_window(app, [main, info])
                    harness.keep_screenshot(info.stable_crop(), "names-info-%s.png" % tag)
                    harness.keep_screenshot(header.stable_crop(), "names-header-%s.png" % tag)
                    main.key("alt+f", "x")
                    self.assertEqual(app.wait_exit(), 0, app.output())
                data = harness.profile_section(app.store(), "DATA")
                self.assertEqual(data["prx"], prx)


if __name__ == "__main__":
    unittest.main()
