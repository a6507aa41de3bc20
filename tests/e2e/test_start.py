"""Starting the program, opening movies, visual styles and leaving it."""
import os
import unittest

import harness
from harness import Program, poll

DATA_KEYS = ["fps", "interlaced", "quality", "perfile", "hozon", "wmv", "wmv4", "wmv7", "wmv8",
             "wmv2pass", "prx", "vol", "uwagaki"]


def small_movie(path):
    return harness.make_movie(path, ["-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=1",
                                     "-c:v", "mjpeg", "-q:v", "3"])


class StartTest(unittest.TestCase):
    def setUp(self):
        self.work = harness.tempfile.mkdtemp(prefix="start-", dir=harness.TEST_TMP)

    def start(self, *args, lang="C.UTF-8"):
        return Program(self, args=args, lang=lang, workdir=self.work)

    def test_first_start_window_and_store(self):
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            with self.subTest(lang=lang):
                self.work = harness.tempfile.mkdtemp(prefix="first-" + tag + "-", dir=harness.TEST_TMP)
                with self.start(lang=lang) as app:
                    main = app.wait_window("TALVERN")
                    x, y, w, h = main.geometry()
                    sw, sh = harness.screen_size()
                    self.assertEqual((w, h), (760, 675))
                    self.assertLessEqual(abs(x - (sw - w) // 2), 2)
                    self.assertLessEqual(abs(y - (sh - h) // 2), 2)
                    data = poll("the DATA section", lambda: harness.profile_section(app.store(), "DATA"))
                    for key in DATA_KEYS:
                        self.assertIn(key, data)
                    look = harness.profile_section(app.store(), "Workspace")
                    self.assertEqual(look.get("applicationlook"), 40006)
                    shot = harness.screenshot()
                    harness.keep_screenshot(main.crop(shot), "start-%s.png" % tag)
                    # Open the File menu for the record, then leave by Exit.
                    main.key("alt+f")
                    harness.keep_screenshot(harness.screenshot(), "start-%s-file-menu.png" % tag)
                    main.key("x")
                    self.assertEqual(app.wait_exit(), 0)

    def test_movie_from_command_line_and_recent_list(self):
        name = "テスト 動画 100%.avi"
        movie = small_movie(os.path.join(self.work, name))
        with self.start(movie) as app:
            app.wait_window(harness.re.escape(name) + " - TALVERN")
            recent = poll("the recent list", lambda: harness.profile_section(app.store(), "Recent File List"))
            self.assertEqual(recent.get("file1"), movie)
            app.wait_window(".* - TALVERN").key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0)

    def test_relative_path_is_made_absolute(self):
        movie = small_movie(os.path.join(self.work, "relative.avi"))
        with self.start(os.path.basename(movie)) as app:
            app.wait_window("relative.avi - TALVERN")
            recent = poll("the recent list", lambda: harness.profile_section(app.store(), "Recent File List"))
            self.assertEqual(recent.get("file1"), movie)

    def test_open_through_the_file_dialog(self):
        movie = small_movie(os.path.join(self.work, "dialog.avi"))
        with self.start() as app:
            main = app.wait_window("TALVERN")
            main.key("ctrl+o")
            dialog = app.wait_window("(?!TALVERN$).+")
            harness.enter_name(app, dialog, movie)
            app.wait_window("dialog.avi - TALVERN")

    def test_fifo_is_refused_without_hanging(self):
        fifo = os.path.join(self.work, "pipe.avi")
        os.mkfifo(fifo)
        with self.start(fifo) as app:
            box = app.wait_window(".+")
            self.assertEqual(len(app.windows()), 1)
            box.key("Return")
            self.assertNotEqual(app.wait_exit(), 0)

    def test_a_store_too_large_to_read_is_told_and_left_as_it_was(self):
        movie = small_movie(os.path.join(self.work, "large.avi"))
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            app = self.start(movie, lang=lang)
            store = os.path.join(app.config_dir, "registry.txt")
            # Real settings, then more than the 16 MiB a store may have.
            with open(store, "w", encoding="utf-8") as f:
                f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nquality=dword:00000005\n")
                f.write((";" + "x" * 1023 + "\n") * (17 * 1024))
            with open(store, "rb") as f:
                before = f.read()
            with self.subTest(lang=lang), app:
                main = app.wait_window("large.avi - TALVERN")
                box = app.wait_window("TALVERN")
                harness.keep_screenshot(box.stable_crop(), "settings-unreadable-%s.png" % tag)
                box.key("Return")
                poll("the message to close", lambda: box.wid not in {w.wid for w in app.windows()})
                main.key("alt+v", "a", "2")  # View > Skin > Windows 2000: a setting changed
                main.key("alt+f", "x")
                self.assertEqual(app.wait_exit(), 0, app.output())
                with open(store, "rb") as f:
                    self.assertTrue(f.read() == before, "the store was written over")

    def test_an_output_folder_not_there_is_kept_and_told_once(self):
        movie = small_movie(os.path.join(self.work, "away.avi"))
        disk = os.path.join(self.work, "disk")  # a folder on a disk that is not connected
        settings = (319, 237)  # the settings dialog's template size
        data = lambda app: harness.profile_section(app.store(), "DATA")
        for lang, tag in (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja")):
            app = self.start(movie, lang=lang)
            with open(os.path.join(app.config_dir, "registry.txt"), "w", encoding="utf-8") as f:
                f.write("[HKEY_CURRENT_USER\\Software\\ZELT\\TALVERN\\DATA]\nhozon=sz:%s\n" % disk)
            with self.subTest(lang=lang), app:
                main = app.wait_window("away.avi - TALVERN")
                box = app.wait_window("TALVERN")
                harness.keep_screenshot(box.stable_crop(), "output-folder-missing-%s.png" % tag)
                box.key("Return")
                poll("the box to close", lambda: box.wid not in {w.wid for w in app.windows()})
                # Another setting saved from the settings dialog leaves the folder stored.
                main.key("alt+o", "Up", "Return")
                dialog = poll("the settings dialog", lambda: next(
                    (w for w in app.windows() if w.wid not in (main.wid, box.wid)), None))
                dialog.click(*harness.at(dialog, settings, 33, 65))
                dialog.key("ctrl+a")
                dialog.type("55")
                dialog.click(*harness.at(dialog, settings, 225, 221))  # OK
                poll("the quality to be stored", lambda: data(app).get("quality") == 55)
                self.assertEqual(data(app).get("hozon"), disk)
                main.key("alt+f", "x")  # refused while a second box held the program
                self.assertEqual(app.wait_exit(), 0, app.output())
                self.assertEqual(data(app).get("hozon"), disk)
        # With the disk back the stored folder is the output folder again, without a word.
        os.mkdir(disk)
        with self.start(movie) as app:
            app.wait_window("away.avi - TALVERN").key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0, app.output())
            self.assertEqual(data(app).get("hozon"), disk)

    def test_visual_style_changes_the_bars_and_survives_a_restart(self):
        def bars(app):
            main = app.wait_window("TALVERN")
            return main, main.stable_crop((0, 0, 760, 60))

        with self.start() as app:
            main, before = bars(app)
            main.key("alt+v", "a", "2")  # View > Skin > Windows 2000
            poll("the style to be stored",
                 lambda: harness.profile_section(app.store(), "Workspace").get("applicationlook") == 40001)
            after = main.stable_crop((0, 0, 760, 60))
            self.assertGreater(harness.differs(before, after), 0.05)
            harness.keep_screenshot(after, "style-40001.png")
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0)
        with self.start() as app:
            _, again = bars(app)
            self.assertLess(harness.differs(after, again), 0.01)
            self.assertGreater(harness.differs(before, again), 0.05)


if __name__ == "__main__":
    unittest.main()
