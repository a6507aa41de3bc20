"""The settings, volume and About dialogs driven through the real program."""
import os
import re
import unittest

import harness
from harness import Program, at, poll, request_close

LANGS = (("C.UTF-8", "en"), ("ja_JP.UTF-8", "ja"))


SETTINGS = (319, 237)
VOLUME = (153, 93)
ABOUT = (165, 193)


class DialogsTest(unittest.TestCase):
    def new_window(self, app, known):
        return poll("a new window", lambda: next(
            (w for w in app.windows() if w.wid not in {k.wid for k in known}), None))

    def gone(self, app, window):
        # Generous: the About window's closing animation is slow in the sanitizer build.
        poll("the window to close", lambda: window.wid not in {w.wid for w in app.windows()}, 90)

    def open_settings(self, app):
        main = app.wait_window("TALVERN")
        main.key("alt+o", "Up", "Return")  # the last item: Setting...
        return main, self.new_window(app, [main])

    def data(self, app):
        return harness.profile_section(app.store(), "DATA")

    def fill(self, dlg, size, x, y, text):
        dlg.click(*at(dlg, size, x, y))
        dlg.enter_text(text)

    def change_settings(self, app, main, dlg, quality, interval):
        dlg.click(*at(dlg, SETTINGS, 281, 24))  # ...(&B)
        harness.enter_name(app, self.new_window(app, [main, dlg]), app.out_dir)
        self.fill(dlg, SETTINGS, 33, 65, quality)
        self.fill(dlg, SETTINGS, 179, 65, interval)

    def test_settings_are_stored_on_ok_only(self):
        with Program(self) as app:
            before = poll("the DATA section", lambda: self.data(app))
            leave = {"cancel": lambda d: d.click(*at(d, SETTINGS, 285, 221)),
                     "escape": lambda d: d.key("Escape"),
                     "close box": lambda d: request_close(d.wid)}
            for how, close in leave.items():
                with self.subTest(how):
                    main, dlg = self.open_settings(app)
                    self.change_settings(app, main, dlg, "55", "7")
                    close(dlg)
                    self.gone(app, dlg)
                    self.assertEqual(self.data(app), before)
            main, dlg = self.open_settings(app)
            self.change_settings(app, main, dlg, "55", "7")
            dlg.click(*at(dlg, SETTINGS, 225, 221))  # OK
            self.gone(app, dlg)
            data = poll("the new values", lambda: self.data(app).get("quality") == 55 and self.data(app))
            self.assertEqual((data["hozon"], data["perfile"]), (app.out_dir, 7))


    def test_volume_reaches_the_store_and_every_dialog_is_shown(self):
        for lang, tag in LANGS:
            with self.subTest(lang), Program(self, lang=lang) as app:
                main, dlg = self.open_settings(app)
                harness.keep_screenshot(dlg.stable_crop(), "dialog-settings-%s.png" % tag)
                dlg.click(*at(dlg, SETTINGS, 71, 107))  # Audio Setting Dlg...
                volume = self.new_window(app, [main, dlg])
                harness.keep_screenshot(volume.stable_crop(), "dialog-volume-%s.png" % tag)
                self.fill(volume, VOLUME, 82, 30, "37")
                volume.key("Return")
                self.gone(app, volume)
                dlg.click(*at(dlg, SETTINGS, 225, 221))  # OK
                self.gone(app, dlg)
                poll("the volume to be stored", lambda: self.data(app).get("vol") == 37)

    def test_about_is_shaped_moves_by_its_face_and_closes_on_return(self):
        for lang, tag in LANGS:
            with self.subTest(lang), Program(self, lang=lang) as app:
                main = app.wait_window("TALVERN")
                main.key("alt+h", "Up", "Return")  # the last item: About
                about = self.new_window(app, [main])
                shape = harness.run("xwininfo", "-shape", "-id", about.wid)
                self.assertRegex(shape, r"Window shape extents: ")  # "No window shape defined" otherwise
                harness.keep_screenshot(about.stable_crop(), "dialog-about-%s.png" % tag)
                x, y, _, _ = about.geometry()
                fx, fy = at(about, ABOUT, 82, 172)  # the face below the OK button
                harness.xdotool("mousemove", "--sync", x + fx, y + fy)
                harness.xdotool("mousedown", 1)
                for step in (10, 20, 30, 40):
                    harness.xdotool("mousemove", "--sync", x + fx + step, y + fy + step // 2)
                harness.xdotool("mouseup", 1)
                poll("the window to follow the drag", lambda: about.geometry()[:2] == (x + 40, y + 20))
                about.key("Return")
                self.gone(app, about)


if __name__ == "__main__":
    unittest.main()
