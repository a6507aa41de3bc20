"""Tool-bar customisation under the real program: a command dragged with the mouse
onto the tool bar, kept over a restart and working there, then dragged off again; a
tool bar of the user's own made, renamed, shown and hidden from the tool bar list of
the View menu."""
import struct
import time
import unittest

import harness
from harness import Program, poll

BAR = (0, 18, 760, 42)  # the tool bar's row in the main window
USER_BAR = (550, 18, 760, 42)  # where the row has room for the next bar


def stored_bars(app):
    return harness.profile_section(app.store(), "Workspace").get("toolbars", b"")


def changed(what, grab, reference, share):
    """The first grab that differs from reference in more than share of its pixels."""
    return poll(what, lambda: (lambda shot: shot if harness.differs(reference, shot) > share else None)(grab()))


def changed_lines(a, b, across):
    """Rows (or, across, columns) in which image b differs from image a."""
    w, h = a.size
    boxes = [(x, 0, x + 1, h) for x in range(w)] if across else [(0, y, w, y + 1) for y in range(h)]
    return [box[0] if across else box[1] for box in boxes
            if harness.differs(a.crop(box), b.crop(box), 20) > 0]


class CustomizeTest(unittest.TestCase):
    def setUp(self):
        self.work = harness.tempfile.mkdtemp(prefix="customize-", dir=harness.TEST_TMP)

    def start(self, lang="C.UTF-8"):
        return Program(self, lang=lang, workdir=self.work)

    def open_customize(self, app, main):
        """Through the menu of a right click on the bars, whose last item is " Customize"."""
        known = {w.wid for w in app.windows()}
        main.click(300, 28, button=3)
        poll("the bars' menu", lambda: {w.wid for w in app.windows()} - known)
        harness.xdotool("key", "Up", "Return")
        return app.wait_window("Customize|カスタマイズ")

    def drag(self, start, end, steps=12):
        harness.xdotool("mousemove", "--sync", *start)
        harness.xdotool("mousedown", 1)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            harness.xdotool("mousemove", "--sync", x, y)
            time.sleep(0.03)
        time.sleep(0.2)
        harness.xdotool("mouseup", 1)

    def test_dragged_command_stays_on_the_bar_and_works_after_a_restart(self):
        with self.start() as app:
            main = app.wait_window("TALVERN")
            before = main.stable_crop(BAR)
            dialog = self.open_customize(app, main)
            harness.keep_screenshot(dialog.stable_crop(), "customize-en.png")
            # File is the first category; "Exit" is found by typing in the commands list.
            dialog.click(60, 72)
            dialog.click(260, 72)
            commands = (220, 0, 480, dialog.geometry()[3])
            plain = dialog.stable_crop(commands)
            dialog.type("Exit")
            rows = changed_lines(plain, dialog.stable_crop(commands), across=False)
            self.assertTrue(rows)
            exit_y = max(rows) - 5  # the lowest row lit up is the one chosen
            dx, dy, _, _ = dialog.geometry()
            mx, my, _, _ = main.geometry()
            self.drag((dx + 260, dy + exit_y), (mx + 540, my + 28))
            after = changed("the button on the bar", lambda: main.stable_crop(BAR), before, 0.005)
            harness.keep_screenshot(after, "customize-bar-en.png")
            dialog.key("Escape")
            poll("the layout stored", lambda: struct.pack(">I", 57665) in stored_bars(app))
            main.key("alt+f", "x")
            self.assertEqual(app.wait_exit(), 0)
        button_x = min(changed_lines(before, after, across=True)) + 10
        with self.start() as app:
            main = app.wait_window("TALVERN")
            again = main.stable_crop(BAR)
            self.assertLess(harness.differs(after, again), 0.01)
            main.click(button_x, 28)
            self.assertEqual(app.wait_exit(), 0)
        # Dragged off the bar onto the picture, the button is gone, also from the store.
        with self.start() as app:
            main = app.wait_window("TALVERN")
            dialog = self.open_customize(app, main)
            mx, my, _, _ = main.geometry()
            self.drag((mx + button_x, my + 28), (mx + 300, my + 400))
            poll("the bar as it was", lambda: harness.differs(before, main.stable_crop(BAR)) < 0.005)
            dialog.key("Escape")
            poll("the button gone from the store", lambda: struct.pack(">I", 57665) not in stored_bars(app))

    def test_user_bar_made_renamed_shown_and_hidden_from_the_list(self):
        def bar_row():
            return main.stable_crop(USER_BAR)

        def toggle_user_bar():
            # View > Toolbar & Docking Windows: the default bar, then the user's bar (Home:
            # the list may open with its first item chosen or with none).
            main.key("alt+v", "t")
            x, y, _, _ = main.geometry()
            beside = (x + 760, y, x + 1000, y + 100)  # where the list opens
            changed("the list of bars", lambda: harness.screenshot().crop(beside), no_menu.crop(beside), 0.05)
            shot = harness.screenshot()
            main.key("Home", "Down", "Return")
            return shot.crop((x, y, x + 1000, y + 200))

        with self.start(lang="ja_JP.UTF-8") as app:
            main = app.wait_window("TALVERN")
            harness.xdotool("mousemove", "--sync", 0, 0)  # no button lit up by the mouse
            plain = bar_row()
            dialog = self.open_customize(app, main)
            dialog.key("ctrl+Tab")
            dialog.key("alt+n")
            ask = app.wait_window("ツール バー名")
            harness.enter_name(app, ask, "Mine")
            shown = changed("the new bar", bar_row, plain, 0.01)
            dialog.key("alt+m")
            ask = app.wait_window("ツール バー名")
            harness.enter_name(app, ask, "Renamed")
            harness.keep_screenshot(dialog.stable_crop(), "customize-bars-ja.png")
            dialog.key("Escape")
            poll("the renamed bar stored", lambda: "Renamed".encode("utf-16-be") in stored_bars(app))
            self.assertNotIn("Mine".encode("utf-16-be"), stored_bars(app))
            no_menu = harness.screenshot()
            harness.keep_screenshot(toggle_user_bar(), "customize-list-ja.png")
            poll("the bar hidden", lambda: harness.differs(plain, bar_row()) < 0.002)
            toggle_user_bar()
            poll("the bar shown again", lambda: harness.differs(shown, bar_row()) < 0.002)
            harness.keep_screenshot(main.stable_crop(), "customize-main-ja.png")


if __name__ == "__main__":
    unittest.main()
