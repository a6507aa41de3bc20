"""The list, kind, luminance and audio encoder dialogs on a real X server, each
opened by the test program with an owner that prints what it is asked."""
import os
import re
import unittest

import harness
from harness import Program, poll, xdotool

EVEN_ROW = (0xDC, 0xEA, 0xF5)
ODD_ROW = (0xFF, 0xFF, 0xFF)
SELECTED_ROW = (0x00, 0xFF, 0x00)

# Dialog: its title in English and in Japanese.
DIALOGS = {
    "batch": ("Please put the project file in the list.", "プロジェクトファイルをリストに入れてください。"),
    "vob": ("Please put division VOB file in the list.", "分割VOBファイルをリストに入れてください。"),
    "stream": ("Kind of stream", "ストリームの種類"),
    "extract": ("Kind of extraction", "抽出の種類"),
    "luminance": ("Luminance Filter", "輝度フィルター"),
    "mp3": ("Setting Gogo(MP3/Layer-3 WAV)", "Gogo設定(MP3/Layer-3 WAV)"),
    "wma": ("Setting WMA(MS-AUDIO)", "WMA(MS-AUDIO)設定"),
}


def lines(app, prefix):
    return [l[len(prefix):] for l in app.output().splitlines() if l.startswith(prefix)]


def wait_list(app, items):
    """Waits until the list's last reported contents are items."""
    want = "|".join(items)
    try:
        poll("the list to hold " + want, lambda: (lines(app, "list ") or [None])[-1] == want)
    except harness.Timeout as e:
        raise harness.Timeout("%s; the program said:\n%s" % (e, app.output()))


class ListView:
    """Where the list's rows are on the screen, as the program reports it."""

    def __init__(self, app):
        line = poll("the list's place", lambda: (lines(app, "list-view ") or [None])[-1])
        self.x, self.y, self.w, self.h, self.row, self.top = map(int, line.split())

    def point(self, row, frac=0.5, right=True):
        x = self.x + self.w - 12 if right else self.x + self.w // 2
        return x, self.y + self.top + row * self.row + int(self.row * frac)


def drag(start, end, steps=8):
    """Presses at start, moves to end in steps with real pointer events, releases."""
    xdotool("mousemove", "--sync", *start)
    xdotool("mousedown", 1)
    for i in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * i // steps
        y = start[1] + (end[1] - start[1]) * i // steps
        xdotool("mousemove", "--sync", x, y)
    xdotool("mouseup", 1)


class DormantDialogsTest(unittest.TestCase):
    def setUp(self):
        self.work = harness.tempfile.mkdtemp(prefix="dormant-", dir=harness.TEST_TMP)

    def files(self, *names):
        paths = []
        for name in names:
            path = os.path.join(self.work, name)
            with open(path, "w") as f:
                f.write("x")
            paths.append(path)
        return paths

    def start(self, *args, lang="C.UTF-8", workdir=None):
        return Program(self, args=list(args), lang=lang, workdir=workdir or self.work)

    def wait_rows(self, app, what, colours):
        """Waits until the rows at the place the program reported last show colours."""
        seen = [None]

        def shown():
            view = ListView(app)
            shot = harness.screenshot()
            # A row's first pixel line: clear of its text, however long the path is.
            seen[0] = [shot.getpixel(view.point(i, 0.0)) for i in range(len(colours))]
            return seen[0] == colours

        try:
            poll(what, shown)
        except harness.Timeout as e:
            harness.keep_screenshot(harness.screenshot(), "dormant-rows-failed.png")
            raise harness.Timeout("%s; the rows showed %s; the program said:\n%s" % (e, seen[0], app.output()))

    def test_rows_drag_and_drop(self):
        names = ["a.vob", "b.vob", "c.vob", "d.vob"]
        paths = self.files(*names)
        with self.start("vob", *paths) as app:
            app.wait_window(re.escape(DIALOGS["vob"][0]))
            view = ListView(app)
            stripes = [EVEN_ROW, ODD_ROW, EVEN_ROW, ODD_ROW]
            self.wait_rows(app, "striped rows", stripes)
            view = ListView(app)

            xdotool("mousemove", "--sync", *view.point(3))
            xdotool("click", 1)
            self.wait_rows(app, "the selected row", stripes[:3] + [SELECTED_ROW])
            harness.keep_screenshot(harness.screenshot(), "dormant-list-rows.png")

            # Row 0 dragged into the lower half of row 2 lands after it.
            drag(view.point(0, right=False), view.point(2, 0.8, right=False))
            wait_list(app, [paths[1], paths[2], paths[0], paths[3]])
            self.wait_rows(app, "the moved row selected", [EVEN_ROW, ODD_ROW, SELECTED_ROW, ODD_ROW])

            # Two files dragged in from another program are appended in drop order.
            dropped = self.files("x.vob", "y.vob")
            # A release that reaches the X server before the list's answer to the last
            # position drops nothing (the source says "none"): a user drags again.
            want = [paths[1], paths[2], paths[0], paths[3]] + dropped
            self.assertTrue(any(self.drag_in(app, view, dropped, want) for _ in range(3)), app.output())

            app.wait_window(re.escape(DIALOGS["vob"][0])).key("Return")
            poll("the dialog to end", lambda: lines(app, "paths "))
            self.assertEqual(lines(app, "paths ")[-1].split(" "), [paths[1], paths[2], paths[0], paths[3]] + dropped)
            self.assertEqual(app.wait_exit(), 0, app.output())

    def drag_in(self, app, view, files, want):
        """Drags files from another program onto the list; whether the list then holds want."""
        source_dir = harness.tempfile.mkdtemp(prefix="source-", dir=self.work)
        with self.start("--drag-source", *files, workdir=source_dir) as source:
            window = source.wait_window("drag source")
            sx, sy, _, _ = window.geometry()
            xdotool("mousemove", "--sync", sx + 50, sy + 50)
            xdotool("mousedown", 1)
            poll("the drag to start", lambda: lines(source, "drag start"))
            # Straight onto the list, then along it: whichever position the drop
            # is told last lies on the list.
            # On a busy machine the list's answer comes late: once it has taken the
            # drag, the pointer stays where it is and is released there.
            taken = lambda: (lines(source, "drag answer ") or [None])[-1] == "copy"
            x, y = view.point(1, right=False)
            for dy in range(0, 5 * view.row, view.row):
                xdotool("mousemove", "--sync", x, y + dy)
                if taken():
                    break
            try:
                poll("the list to take the drag", taken, 5)
            except harness.Timeout:
                pass
            xdotool("mouseup", 1)
            # The source serves the files' names until the list has taken them.
            held = lambda: (lines(app, "list ") or [None])[-1] == "|".join(want)
            poll("the drop to end", lambda: held() or lines(source, "drag done ") == ["none"])
            return held()

    def test_every_button_of_the_vob_list_answers_its_own_letter(self):
        for lang, title in (("C.UTF-8", DIALOGS["vob"][0]), ("ja_JP.UTF-8", DIALOGS["vob"][1])):
            with self.subTest(lang):
                paths = self.files("a.vob", "b.vob", "c.vob")
                with self.start("vob", *paths, lang=lang) as app:
                    window = app.wait_window(re.escape(title))
                    wait_list(app, paths)
                    xdotool("mousemove", "--sync", *ListView(app).point(0))
                    xdotool("click", 1)
                    window.key("alt+n")  # Down
                    wait_list(app, [paths[1], paths[0], paths[2]])
                    window.key("alt+d")  # File Delete
                    wait_list(app, [paths[1], paths[2]])

    def test_batch_runs_and_stops(self):
        paths = self.files("one.ini", "two.ini", "three.ini")
        with self.start("batch", *paths) as app:
            window = app.wait_window(re.escape(DIALOGS["batch"][0]))
            wait_list(app, paths)
            window.key("alt+b")
            poll("the first file to run", lambda: lines(app, "owner run "))
            window.key("alt+s")
            poll("the stop", lambda: lines(app, "owner stop"))
            wait_list(app, paths[1:])
            self.assertEqual(lines(app, "owner run "), [paths[0]])

    def test_every_dialog_in_both_languages(self):
        for name, titles in DIALOGS.items():
            for lang, title, tag in (("C.UTF-8", titles[0], "en"), ("ja_JP.UTF-8", titles[1], "ja")):
                with self.subTest(dialog=name, lang=tag):
                    args = [name] + (self.files("part1.vob", "part2.vob") if name in ("batch", "vob") else [])
                    with self.start(*args, lang=lang) as app:
                        window = app.wait_window(re.escape(title))
                        harness.keep_screenshot(window.stable_crop(), "dormant-%s-%s.png" % (name, tag))


if __name__ == "__main__":
    unittest.main()
