"""The video stream copy and the audio extraction from the Extraction menu of the real
program, on a generated movie; the files written are checked with ffprobe and ffmpeg."""
import os
import resource
import signal
import struct
import subprocess
import unittest

import harness
from harness import Program, poll

RATE, SAMPLE_RATE = 25, 22050
AUDIO_CHOICE = (171, 97)  # the audio choice dialog's template size
COPY_RADIO, OK_BUTTON = (30, 34), (86, 79)
# The Extraction menu, reached from its left neighbour: its mnemonic is also Other's.
EXTRACTION = ("alt+a", "Right")
# The state box's colours.
STOPPED, PAUSED, MAKING = (0, 255, 255), (255, 0, 255), (255, 0, 0)


def output(*args):
    return subprocess.run(args, check=True, capture_output=True, timeout=120).stdout


def packets(path, first=0, last=None):
    """(key flag, size, checksum) of each video packet, as ffmpeg reads them."""
    sums = [line.split(b",") for line in output("ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-c", "copy",
                                                 "-f", "framemd5", "-").splitlines() if not line.startswith(b"#")]
    flags = output("ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=flags",
                   "-of", "csv=p=0", path).split()
    rows = [(f[:1], s[-2].strip(), s[-1].strip()) for f, s in zip(flags, sums)]
    return rows[first:None if last is None else last + 1]


def pcm(path):
    return output("ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-")


def stream_bytes(path):
    return output("ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-c", "copy", "-f", "data", "-")


def not_coded_vop(n):
    """A P picture header with vop_coded 0 for frame n of a 25 frames a second stream."""
    bits = "01" + "1" * (n // RATE - (n - 1) // RATE) + "0" + "1" + format(n % RATE, "05b") + "1" + "0" + "0"
    bits += "1" * (-len(bits) % 8)
    return b"\0\0\1\xb6" + int(bits, 2).to_bytes(len(bits) // 8, "big")


def with_not_coded_frames(path, frames):
    """Turns the given frames of an ffmpeg-made MPEG-4 AVI into not-coded pictures in place:
    each chunk shrinks to the picture header, a JUNK chunk fills the rest."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    movi, idx1 = data.find(b"movi"), data.find(b"idx1")
    entries = [idx1 + 8 + 16 * i for i in range(struct.unpack_from("<I", data, idx1 + 4)[0] // 16)]
    video = [e for e in entries if data[e + 2:e + 4] == b"dc"]
    for n in frames:
        offset, size = struct.unpack_from("<II", data, video[n] + 8)
        at, vop = movi + offset, not_coded_vop(n)
        used = 8 + len(vop) + len(vop) % 2
        data[at + 4:at + used] = struct.pack("<I", len(vop)) + vop + b"\0" * (len(vop) % 2)
        data[at + used:at + used + 8] = b"JUNK" + struct.pack("<I", 8 + ((size + 1) & ~1) - used - 8)
        struct.pack_into("<I", data, video[n] + 12, len(vop))
    with open(path, "wb") as f:
        f.write(data)
    return path


class ExtractTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="extract-", dir=harness.TEST_TMP)
        cls.short = harness.make_movie(os.path.join(cls.work, "short.avi"), [
            "-f", "lavfi", "-i", "testsrc=size=160x120:rate=%d:duration=2" % RATE,
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=%d:duration=2" % SAMPLE_RATE,
            "-c:v", "mpeg4", "-g", "10", "-bf", "0", "-c:a", "pcm_s16le", "-shortest"])
        # Long enough that a Pause pressed as the copy starts always meets it running.
        cls.long = harness.make_movie(os.path.join(cls.work, "long.avi"), [
            "-f", "lavfi", "-i", "testsrc=size=160x120:rate=%d:duration=120" % RATE,
            "-c:v", "mpeg4", "-g", "25", "-bf", "0", "-q:v", "31"])

    def start(self, movie, preexec=None):
        app = Program(self, args=[movie], preexec=preexec)
        # The outputs go to the program's own output folder.
        with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
            f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % app.out_dir)
        return app

    def choose_copy(self, app, title="Selection of Audio Stream processing"):
        """Answers the audio choice dialog with "copy the stream"."""
        dialog = app.wait_window(title)
        _, _, w, h = dialog.stable_crop() and dialog.geometry()
        for x, y in (COPY_RADIO, OK_BUTTON):
            dialog.click(round(x * w / AUDIO_CHOICE[0]), round(y * h / AUDIO_CHOICE[1]))
        poll("the dialog to close", lambda: dialog.wid not in {x.wid for x in app.windows()})

    def wait_file(self, path):
        """The output once the extraction is over and the file closed."""
        def finished():
            try:
                output("ffprobe", "-v", "error", path)
                return True
            except (subprocess.CalledProcessError, FileNotFoundError):
                return False
        poll("a finished %s" % os.path.basename(path), finished, timeout=60)

    def test_both_commands_copy_the_streams(self):
        with self.start(self.short) as app:
            main = app.wait_window("short.avi - TALVERN")
            main.key(*EXTRACTION, "Return")  # Extract Video-Stream
            self.choose_copy(app)
            copy = os.path.join(app.out_dir, "Copy_short.avi")
            self.wait_file(copy)
            poll("the whole movie", lambda: packets(copy) == packets(self.short))
            self.assertEqual(pcm(copy), pcm(self.short))

            main.key(*EXTRACTION, "Down", "Return")  # Extract Audio-Stream
            self.choose_copy(app)
            wav = os.path.join(app.out_dir, "short_audio.wav")
            self.wait_file(wav)
            poll("the whole audio", lambda: stream_bytes(wav) == stream_bytes(self.short))
            self.assertEqual(output("ffprobe", "-v", "error", "-show_entries", "stream=codec_name,sample_rate",
                                    "-of", "csv=p=0", wav).strip(), b"pcm_s16le,%d" % SAMPLE_RATE)

    def test_an_audio_extraction_that_cannot_write_says_so(self):
        # A name that is the open movie fails for root too; a read-only folder only for others.
        cases = ["hard link"] + ([] if os.geteuid() == 0 else ["read-only folder"])
        with open(self.short, "rb") as f:
            movie = f.read()
        for case in cases:
            with self.subTest(case):
                app = self.start(self.short)
                if case == "hard link":
                    os.link(self.short, os.path.join(app.out_dir, "short_audio.wav"))
                else:
                    os.chmod(app.out_dir, 0o555)
                    self.addCleanup(os.chmod, app.out_dir, 0o755)
                with app:
                    main = app.wait_window("short.avi - TALVERN")
                    main.key(*EXTRACTION, "Down", "Return")  # Extract Audio-Stream
                    self.choose_copy(app)
                    box = app.wait_window("Error No.0502")
                    box.key("Return")
                    poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})
                self.assertEqual(sorted(os.listdir(app.out_dir)), ["short_audio.wav"] if case == "hard link" else [])
                with open(self.short, "rb") as f:
                    self.assertTrue(f.read() == movie, "the movie was written over")

    def test_on_a_full_disk_the_copy_goes_and_the_wav_file_keeps_its_whole_samples(self):
        def small_disk():
            # Writes past 40 kB fail: less than either output of the short movie.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (40 << 10, 40 << 10))

        with self.start(self.short, preexec=small_disk) as app:
            main = app.wait_window("short.avi - TALVERN")
            main.key(*EXTRACTION, "Return")  # Extract Video-Stream
            self.choose_copy(app)
            self.close_box(app, app.wait_window(r"Error No\.\d+", timeout=60))
            self.assertEqual(os.listdir(app.out_dir), [])
        # Started again at its first frame: where the copy stopped depends on when the
        # disk said no, and the audio extraction starts at the frame shown.
        with self.start(self.short, preexec=small_disk) as app:
            main = app.wait_window("short.avi - TALVERN")
            main.key(*EXTRACTION, "Down", "Return")  # Extract Audio-Stream
            self.choose_copy(app)
            # The box names the file, which holds the audio up to where the disk was full.
            self.close_box(app, app.wait_window("TALVERN", timeout=60))
            self.assertEqual(os.listdir(app.out_dir), ["short_audio.wav"])
        kept = pcm(os.path.join(app.out_dir, "short_audio.wav"))
        self.assertGreater(len(kept), 0)
        self.assertEqual(len(kept) % 2, 0)
        self.assertTrue(kept == pcm(self.short)[:len(kept)], "the WAV file is not the start of the audio")

    def close_box(self, app, box):
        box.key("Return")
        poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})

    def test_pause_holds_and_stop_leaves_a_valid_file(self):
        with self.start(self.long) as app:
            main = app.wait_window("long.avi - TALVERN")
            box = poll("the state box", lambda: self.state_box(main))
            main.key(*EXTRACTION, "Return")  # no audio: no question
            poll("the copy to run", lambda: harness.screenshot().getpixel(box) == MAKING)
            main.key("space")
            poll("the paused state box", lambda: harness.screenshot().getpixel(box) == PAUSED, 60)
            copy = os.path.join(app.out_dir, "Copy_long.avi")
            held, size = main.stable_crop(), os.path.getsize(copy)
            # Paused, nothing moves: the strip and the file stay as they are.
            self.assertEqual(harness.differs(main.stable_crop(), held), 0)
            self.assertEqual(os.path.getsize(copy), size)
            main.key("ctrl+s")
            poll("the stopped state box", lambda: harness.screenshot().getpixel(box) == STOPPED, 60)
            self.wait_file(copy)
            got = packets(copy)
            self.assertGreater(len(got), 0)
            self.assertLess(len(got), RATE * 120)
            self.assertEqual(got, packets(self.long, 0, len(got) - 1))

    def test_not_coded_frames_copy_and_play_to_the_last_frame(self):
        movie = with_not_coded_frames(harness.make_movie(os.path.join(self.work, "still.avi"), [
            "-f", "lavfi", "-i", "testsrc=size=160x120:rate=%d:duration=2" % RATE,
            "-c:v", "mpeg4", "-g", "10", "-bf", "0"]), [23, 24, 25, 37, 49])
        with self.start(movie) as app:
            main = app.wait_window("still.avi - TALVERN")
            main.key(*EXTRACTION, "Return")  # no audio: no question
            copy = os.path.join(app.out_dir, "Copy_still.avi")
            self.wait_file(copy)
            poll("the whole movie", lambda: packets(copy) == packets(movie))
            main.key("alt+o", "Return")  # AVI output
            main.key("ctrl+p")
            codec = app.wait_window("Set AVI Codec")
            codec.key("Return")
            box = poll("the box that ends the run",
                       lambda: next((w for w in app.windows() if w.wid not in (main.wid, codec.wid)), None), 60)
            self.assertEqual(box.name(), "TALVERN", app.output())  # saved, not an error number
            box.key("Return")
        played = output("ffprobe", "-v", "error", "-count_frames", "-show_entries", "stream=nb_read_frames",
                        "-of", "csv=p=0", os.path.join(app.out_dir, "Enc_still.avi"))
        self.assertEqual(played.strip(), b"50")

    def state_box(self, main):
        """A screen point inside the state box: the highest one of its colour at its left edge."""
        shot = harness.screenshot()
        x, y, _, h = main.geometry()
        return next(((x + 14, j + 2) for j in range(y, y + h) if shot.getpixel((x + 14, j)) == STOPPED), None)

if __name__ == "__main__":
    unittest.main()
