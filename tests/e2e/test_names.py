"""Movies and folders named in Japanese, with accents, and with bytes that are not UTF-8:
the real program opens them, copies the video stream, extracts the audio and plays
them in the movie player, in both languages; the files written are checked with ffprobe."""
import os
import re
import subprocess
import unittest

import harness
from harness import Program, poll
from test_extract import EXTRACTION, ExtractTest, output, packets, stream_bytes

PLAYER = "ZELT PLAYER!!"
# Another window than the main one and the player: the audio choice dialog.
DIALOG = "(?!.*TALVERN$|%s$).+" % re.escape(PLAYER)


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

    def start(self, movie, lang):
        app = Program(self, args=[movie], lang=lang)
        app.out_dir = os.path.join(app.workdir, "出力")
        os.makedirs(app.out_dir)
        with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
            f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % app.out_dir)
        return app

    def extract_both(self, app, main, title):
        """Extract Video-Stream and Extract Audio-Stream, each copying; returns the files."""
        out = os.fsencode(app.out_dir)
        written = []
        for keys, name in (((), b"Copy_" + title + b".avi"), (("Down",), title + b"_audio.wav")):
            main.key(*EXTRACTION, *keys, "Return")
            ExtractTest.choose_copy(self, app, DIALOG)
            path = os.path.join(out, name)
            ExtractTest.wait_file(self, path)
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
                    main.key("F5")
                    app.wait_window(re.escape(PLAYER))
                    self.assertIsNone(app.proc.poll(), app.output())


if __name__ == "__main__":
    unittest.main()
