"""Re-encoded AVI and WMV outputs made through the real settings dialogs: the compressor,
the audio treatment, the audio format and the WMV profile chosen by keyboard and mouse,
each written file decoded by ffprobe, and cancels that must leave earlier outputs alone."""
import json
from fractions import Fraction
import os
import subprocess
import unittest

import harness
from harness import Program, poll

FRAMES, FPS, RATE = 45, 30, 44100
TITLE = "tone"
CHOOSER = (257, 70)  # the audio format chooser's size in dialog units
LANGS = (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja"))


def fourcc(code):
    return sum(ord(c) << (8 * i) for i, c in enumerate(code))


def probe(path):
    out = harness.run("ffprobe", "-v", "error", "-count_frames", "-show_streams", "-of", "json", path, timeout=60)
    streams = json.loads(out)["streams"]
    return {s["codec_type"]: s for s in streams}


def decoded(path, *args):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", *args, "-f", "s16le", "-"],
                          check=True, capture_output=True, timeout=60).stdout


def decoded_samples(path):
    """Audio samples per channel that a decoder gets from the file."""
    return len(decoded(path, "-ac", "1")) // 2


def prx_text():
    """A profile file of a bit-rate-driven VBR video stream (two passes) and an audio stream."""
    return ("<profile version=\"589824\" storageformat=\"1\" name=\"Two pass\" description=\"\">\n"
            "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" streamnumber=\"1\" "
            "streamname=\"Audio Stream\" inputname=\"Audio409\" bitrate=\"32000\" bufferwindow=\"-1\">\n"
            "<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\">\n"
            "<waveformatex wformattag=\"353\" nchannels=\"1\" nsamplespersec=\"32000\"/>\n"
            "</wmmediatype>\n</streamconfig>\n"
            "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" streamnumber=\"2\" "
            "streamname=\"Video Stream\" inputname=\"Video409\" bitrate=\"200000\" bufferwindow=\"5000\" "
            "vbrenabled=\"1\" vbrquality=\"0\">\n<videomediaprops maxkeyframespacing=\"30000000\" quality=\"75\"/>\n"
            "<wmmediatype subtype=\"{31564D57-0000-0010-8000-00AA00389B71}\" btemporalcompression=\"1\">\n"
            "<videoinfoheader dwbitrate=\"200000\" avgtimeperframe=\"333333\">\n"
            "<rcsource left=\"0\" top=\"0\" right=\"160\" bottom=\"120\"/>\n"
            "<bitmapinfoheader biwidth=\"160\" biheight=\"120\" biplanes=\"1\" bibitcount=\"24\" "
            "bicompression=\"WMV1\"/>\n</videoinfoheader>\n</wmmediatype>\n</streamconfig>\n</profile>\n")


class CodecsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = harness.tempfile.mkdtemp(prefix="codecs-", dir=harness.TEST_TMP)
        cls.movie = harness.make_movie(os.path.join(cls.work, TITLE + ".avi"), [
            "-f", "lavfi", "-i", "testsrc=size=160x120:rate=%d:duration=%s" % (FPS, FRAMES / FPS),
            "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=%d:duration=%s" % (RATE, FRAMES / FPS), "-ac", "2",
            "-c:v", "rawvideo", "-pix_fmt", "bgr24", "-c:a", "pcm_s16le"])

    # ---- Driving the program ----

    def start(self, lang="C.UTF-8", overwrite=0, workdir=None):
        """The program on the movie, writing into its own output folder."""
        app = Program(self, args=[self.movie], lang=lang, workdir=workdir)
        store = os.path.join(app.config_dir, "registry.txt")
        if not os.path.exists(store):
            with open(store, "w", encoding="utf-8") as f:
                f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\nuwagaki=dword:%08x\n"
                        % (app.out_dir, overwrite))
        return app

    def main(self, app):
        return app.wait_window(TITLE + ".avi - TALVERN")

    def switch(self, main, *outputs):
        """Turns the AVI and/or WMV output on (the first two items of Output Setting)."""
        for item in outputs:
            main.key("alt+o", *["Down"] * ("avi", "wmv").index(item), "Return")

    def new_window(self, app, known, timeout=60):
        ids = {k.wid for k in known}
        return poll("a new window", lambda: next((w for w in app.windows() if w.wid not in ids), None), timeout)

    def gone(self, app, window):
        poll("the window to close", lambda: window.wid not in {w.wid for w in app.windows()}, 60)

    def dialog(self, app, main, name=None, shot=None):
        """The next dialog, named as given (English runs); kept as a screenshot once painted."""
        dlg = self.new_window(app, [main])
        if name:
            self.assertEqual(dlg.name(), name, app.output())
        if shot:
            harness.keep_screenshot(dlg.stable_crop(), shot)
        return dlg

    def choose(self, dlg, text):
        """Picks the item of the focused drop-down list that starts with text."""
        dlg.key("Home")
        dlg.type(text)

    def answer(self, app, dlg, keys=("Return",)):
        dlg.key(*keys)
        self.gone(app, dlg)

    def end_run(self, app, main, boxes=1):
        """Dismisses the "saved" boxes that end a run."""
        for _ in range(boxes):
            box = self.new_window(app, [main], timeout=120)
            self.assertEqual(box.name(), "TALVERN", app.output())
            box.key("Return")
            self.gone(app, box)

    def avi_run(self, app, main, codec, audio, audio_tag=None):
        main.key("ctrl+p")
        dlg = self.dialog(app, main, "Set AVI Codec")
        if codec:
            self.choose(dlg, codec)
        self.answer(app, dlg)
        choice = self.dialog(app, main, "Selection of Audio Stream processing")
        # Arrows check a radio button at once (a mnemonic's click comes a moment later).
        self.answer(app, choice, ["Down"] * "rcn".index(audio) + ["Return"])
        if audio_tag is not None:
            chooser = self.dialog(app, main, "Sound Selection")
            if audio_tag:
                self.choose(chooser, audio_tag)
            self.answer(app, chooser)
        self.end_run(app, main)

    def quit(self, app, main):
        main.key("alt+f", "x")
        self.assertEqual(app.wait_exit(), 0, app.output())

    # ---- Checking the files ----

    def check_movie(self, path, video, audio, frames=FRAMES):
        streams = probe(path)
        self.assertEqual(streams["video"]["codec_name"], video)
        self.assertEqual(int(streams["video"]["nb_read_frames"]), frames)
        a = streams["audio"]
        self.assertEqual(a["codec_name"], audio)
        rate, channels = int(a["sample_rate"]), int(a["channels"])
        samples, frame = decoded_samples(path), 1
        due = frames * rate // FPS
        if audio == "adpcm_ima_wav":
            # One block a tick of the stream's clock.
            frame = round(Fraction(a["time_base"]) * rate)
        elif audio == "wmav2":
            frame = 2048
        elif audio == "mp3":
            # The encoder's priming and its last frame come on top of any audio it is given:
            # the measure is the same codec given exactly the movie's length.
            frame = 1152
            same = os.path.join(self.work, "due-%d-%d-%d.avi" % (frames, rate, channels))
            due = decoded_samples(harness.make_movie(same, [
                "-f", "lavfi", "-i", "sine=sample_rate=%d:duration=%s" % (rate, frames / FPS),
                "-ac", str(channels), "-c:a", "libmp3lame", "-b:a", a["bit_rate"]]))
        self.assertLessEqual(abs(samples - due), frame, "%d samples at %d Hz for %d frames" % (samples, rate, frames))
        return streams

    def enc(self, app, ext):
        return os.path.join(app.out_dir, "Enc_%s.%s" % (TITLE, ext))

    # ---- Tests ----

    def test_avi_with_each_compressor_and_audio_treatment(self):
        with self.start() as app:
            main = self.main(app)
            self.switch(main, "avi")
            avi = self.enc(app, "avi")
            # A run starts at the frame shown; the copied audio is that of the frames played.
            main.key(*["Right"] * 15)
            self.avi_run(app, main, "Motion", "c")
            self.check_movie(avi, "mjpeg", "pcm_s16le", FRAMES - 15)
            self.assertEqual(decoded(avi), decoded(self.movie)[15 * RATE // FPS * 4:])
            self.avi_run(app, main, "Xvid", "r", "IMA")
            streams = self.check_movie(avi, "mpeg4", "adpcm_ima_wav")
            self.assertEqual(streams["video"]["codec_tag_string"], "XVID")
            self.avi_run(app, main, "H.", "r", "MPEG")
            self.check_movie(avi, "h264", "mp3")
            self.quit(app, main)
        stored = app.store()["hkey_current_user\\software\\zelt\\avivideosettings"]
        self.assertEqual(stored["handler"], fourcc("H264"))
        self.assertEqual(stored["audiocodec"][:2], b"\x55\x00")  # MPEG Layer-3
        # The next start opens on the stored compressor and audio format.
        os.unlink(avi)
        with self.start(workdir=app.workdir) as again:
            main = self.main(again)
            self.switch(main, "avi")
            self.avi_run(again, main, None, "r", "")
            self.check_movie(avi, "h264", "mp3")
            self.quit(again, main)

    def test_wmv_with_system_profiles_and_a_two_pass_profile_file(self):
        prx = os.path.join(self.work, "two pass.prx")
        with open(prx, "w", encoding="utf-8") as f:
            f.write(prx_text())
        with self.start() as app:
            main = self.main(app)
            self.switch(main, "wmv")
            wmv = self.enc(app, "wmv")
            for version, codec in (("V7", "wmv1"), ("V8", "wmv2"), ("PRX", "wmv1")):
                with self.subTest(version):
                    main.key("ctrl+p")
                    dlg = self.dialog(app, main, "Set WMV Encode")
                    self.choose(dlg, version)
                    if version == "PRX":
                        dlg.key("alt+c")  # 2pass-Enc
                        dlg.key("alt+b")
                        harness.enter_name(app, self.new_window(app, [main, dlg]), prx)
                    self.answer(app, dlg)
                    self.end_run(app, main)
                    streams = self.check_movie(wmv, codec, "wmav2")
                    if version == "PRX":
                        # The file's own audio stream, not a system profile's.
                        self.assertEqual((streams["audio"]["sample_rate"], streams["audio"]["channels"]), ("32000", 1))
            self.quit(app, main)
        data = harness.profile_section(app.store(), "DATA")
        self.assertEqual((data["wmv"], data["wmv2pass"], data["prx"]), (3, 1, prx))

    def test_a_cancel_at_any_dialog_leaves_earlier_outputs_alone(self):
        def plant(app):
            earlier = {}
            for ext in ("avi", "wmv"):
                earlier[ext] = os.urandom(4096)
                with open(self.enc(app, ext), "wb") as f:
                    f.write(earlier[ext])
            return earlier

        def unchanged(app, main, earlier):
            poll("the main window alone", lambda: [w.wid for w in app.windows()] == [main.wid])
            self.assertEqual(sorted(os.listdir(app.out_dir)), ["Enc_%s.%s" % (TITLE, e) for e in ("avi", "wmv")])
            for ext, data in earlier.items():
                with open(self.enc(app, ext), "rb") as f:
                    self.assertEqual(f.read(), data, ext)

        for lang, tag in LANGS:
            english = tag == "en"
            with self.subTest(lang), self.start(lang) as app:
                main = self.main(app)
                earlier = plant(app)
                self.switch(main, "avi", "wmv")

                def avi_dialog(shot=None):
                    main.key("ctrl+p")
                    return self.dialog(app, main, english and "Set AVI Codec", shot)

                def audio_choice():
                    self.answer(app, avi_dialog())
                    return self.dialog(app, main, english and "Selection of Audio Stream processing")

                def chooser(shot=None):
                    self.answer(app, audio_choice())  # recompress
                    return self.dialog(app, main, english and "Sound Selection", shot)

                dlg = avi_dialog("codec-avi-%s.png" % tag)
                self.answer(app, dlg, ("Escape",))
                unchanged(app, main, earlier)
                dlg = audio_choice()
                harness.request_close(dlg.wid)
                self.gone(app, dlg)
                unchanged(app, main, earlier)
                dlg = chooser("codec-chooser-%s.png" % tag)
                dlg.click(*harness.at(dlg, CHOOSER, 224, 55))  # Cancel
                self.gone(app, dlg)
                unchanged(app, main, earlier)
                self.answer(app, chooser())
                dlg = self.dialog(app, main, english and "Set WMV Encode", "codec-wmv-%s.png" % tag)
                harness.request_close(dlg.wid)
                self.gone(app, dlg)
                unchanged(app, main, earlier)
        # Asked where to save instead of overwriting: a cancel there too.
        with self.start(overwrite=2) as app:
            main = self.main(app)
            earlier = plant(app)
            self.switch(main, "avi")
            main.key("ctrl+p")
            dlg = self.dialog(app, main)
            self.answer(app, dlg, ("Escape",))
            unchanged(app, main, earlier)


if __name__ == "__main__":
    unittest.main()
