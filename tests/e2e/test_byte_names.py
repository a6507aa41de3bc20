"""A movie whose name was written on Windows in Shift-JIS (no UTF-8): the real program
opens it from a name typed in the open dialog, from the dialog's list and from a drop on
the window, and writes its pictures and a saved image under the name's own bytes."""
import os
import re
import unittest

import harness
from harness import poll
import test_names  # not its test class by name: the loader would run its tests here again
from test_names import FRAMES, OUTPUTS, SAVE_IMAGE_ITEM
from test_extract import output


class ByteNamesTest(unittest.TestCase):
    setUpClass = classmethod(test_names.NamesTest.setUpClass.__func__)
    start = test_names.NamesTest.start
    new_window = test_names.NamesTest.new_window
    gone = test_names.NamesTest.gone

    def test_a_shift_jis_name_from_the_dialog_its_list_and_a_drop(self):
        """A name written on Windows in Shift-JIS: typed in the open dialog as it is shown
        there, picked from the dialog's list, and dropped on the window, each opens the
        movie; its pictures and a saved image are written under the name's own bytes."""
        name = "テスト動画".encode("cp932")
        shown = "テスト動画.avi"
        for door, lang in (("typed", "ja_JP.UTF-8"), ("list", "C.UTF-8"), ("drop", "ja_JP.UTF-8")):
            with self.subTest(door=door, lang=lang):
                app = self.start(None, lang)
                # The dialog opens in the working folder: the movie is put there.
                movie = os.path.join(os.fsencode(app.workdir), name + b".avi")
                with open(self.source, "rb") as src, open(movie, "wb") as dst:
                    dst.write(src.read())
                with app:
                    main = app.wait_window("TALVERN")
                    if door == "drop":
                        harness.drop_files(main, [movie])
                    else:
                        main.key("ctrl+o")
                        dialog = self.new_window(app, [main])
                        if door == "typed":
                            harness.enter_name(app, dialog, shown)
                        else:
                            _, _, w, h = dialog.geometry()
                            listing = (w // 3, h // 4, w * 9 // 10, h * 3 // 4)  # no blinking cursor there
                            dialog.stable_crop(listing)  # the list has answered
                            dialog.click(w // 2, h // 2)  # the list's empty part: it takes the keys
                            # The first key makes the first row current; the rows Qt cannot
                            # list come after its own.
                            dialog.key("Home", "End")
                            dialog.stable_crop(listing)
                            dialog.key("Return")
                            self.gone(app, dialog)
                    # The title shows the name as the dialog lists it.
                    main = app.wait_window(re.escape(shown) + " - TALVERN")
                    main.key("alt+o", *["Down"] * OUTPUTS.index("png"), "Return")
                    main.key("ctrl+p")
                    out = os.fsencode(app.out_dir)
                    pictures = [name + b" %07d.png" % (n + 1) for n in range(FRAMES)]
                    poll("every picture under the movie's bytes",
                         lambda: sorted(n for n in os.listdir(out) if n.endswith(b".png")) == pictures)
                    if door == "typed":
                        # Save Image offers the movie's name; Return keeps its bytes.
                        main.key("alt+f", *["Down"] * SAVE_IMAGE_ITEM, "Return")
                        harness.return_until_gone(app, self.new_window(app, [main]))
                        still = os.path.join(out, name + b".jpg")
                        poll("the saved image", lambda: os.path.exists(still))
                        self.assertIn(b"mjpeg,160,120", output("ffprobe", "-v", "error", "-show_entries",
                                                              "stream=codec_name,width,height", "-of", "csv=p=0",
                                                              still))
                    main.key("alt+f", "x")
                    self.assertEqual(app.wait_exit(), 0, app.output())


if __name__ == "__main__":
    unittest.main()
