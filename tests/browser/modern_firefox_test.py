#!/usr/bin/python3
"""The modern page in headless Firefox, as in Chromium: a hover shows the preview below its
link and Escape hides it, keyboard focus shows one, a preview near the window's bottom opens
upward, the post jumped to is marked and the last one reaches the top, fields cannot reorder
each other, links are large enough to tap. Usage: modern_firefox_test.py PATH/TO/horofu;
exits 77 (skipped) without Firefox."""
import os
import signal
import subprocess
import sys
import tempfile
import time

from marionette import ESCAPE, FIREFOX, TAB, Firefox
from sample_thread import thread

if FIREFOX is None:
    print("skipped: firefox-esr is not installed")
    sys.exit(77)

failures = []


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(what)


SHOWN = ("const r=arguments[0].getBoundingClientRect();"
         "return getComputedStyle(arguments[0]).display!=='none'&&r.height>0")
RECT = "return arguments[0].getBoundingClientRect().toJSON()"


def hover_shows(ff, link, preview):
    """Hovers link until preview shows, for up to 5 s: a group of posts scrolled into view is
    laid out at the next frame, which a loaded machine may give late, and a pointer placed
    before it hovers nothing."""
    for _ in range(25):
        ff.hover(link)
        if ff.script(SHOWN, preview):
            return True
        time.sleep(0.2)
    return False


def run(url):
    with Firefox(1000, 700) as ff:
        ff.get(url)
        link = ff.find("[id='2'] .re")
        preview = ff.script("return arguments[0].nextElementSibling", link)
        ff.hover(link)
        check("hover shows the preview", ff.script(SHOWN, preview))
        check("the preview opens below a link with room below",
              ff.script(RECT, preview)["top"] >= ff.script(RECT, link)["bottom"] - 1)
        ff.key(ESCAPE)
        check("Escape hides a hovered preview", not ff.script(SHOWN, preview))
        ff.move_to(900, 550)

        low = ff.find("[id='52'] .re")
        ff.script("const r=arguments[0].getBoundingClientRect();"
                  "scrollBy(0,r.bottom-innerHeight+8)", low)
        up = ff.script("return arguments[0].nextElementSibling", low)
        check("a preview near the bottom is shown", hover_shows(ff, low, up))
        r, height = ff.script(RECT, up), ff.script("return innerHeight")
        check("a preview near the bottom opens upward, inside the window",
              r["top"] >= 0 and r["bottom"] <= ff.script(RECT, low)["top"] + 1
              and r["bottom"] <= height, f"{r} in {height}")
        ff.move_to(990, 10)

        ff.script("scrollTo(0,0);document.activeElement.blur()")
        for _ in range(20):
            ff.key(TAB)
            if ff.script("return document.activeElement.className") == "re":
                break
        focused = ff.script("return document.activeElement")
        fpreview = ff.script("return arguments[0].nextElementSibling", focused)
        check("keyboard focus shows the preview", ff.script(SHOWN, fpreview))
        ff.key(ESCAPE)
        check("Escape hides a focused preview", not ff.script(SHOWN, fpreview))

        name, date, ident = (ff.find(f"[id='2'] .ph .{c}") for c in ("name", "date", "id"))
        check("a name cannot move the date and ID after it",
              ff.script(RECT, name)["right"] <= ff.script(RECT, date)["left"] + 1
              <= ff.script(RECT, ident)["left"] + 1)
        check("a zero-width space in an ID is shown",
              "U+200B" in ff.script("return arguments[0].textContent", ff.find("[id='3'] .ph .id")))
        check("U+202E after an address is shown", "U+202Egpj.exe" in ff.script(
            "return arguments[0].textContent", ff.find("[id='2'] .text")))
        small = ff.script(
            "return [...document.querySelectorAll('.re,.refs a')].filter(a=>{"
            "const r=a.getBoundingClientRect();return r.width<24||r.height<24})"
            ".map(a=>a.textContent)")
        check("links are at least 24x24 px", not small, small)

        ff.get(url + "#61")
        last = ff.find("[id='61']")
        check("the last post reaches the window's top", abs(ff.script(RECT, last)["top"]) < 20,
              ff.script(RECT, last))
        check("the post jumped to is marked", ff.script(
            "return getComputedStyle(arguments[0]).backgroundColor!=="
            "getComputedStyle(document.querySelector(\"[id='60']\")).backgroundColor", last))


def main():
    # A stopped run still removes its folder and Firefox's profile.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    horofu = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "thread.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(thread())
        subprocess.run([horofu, "-m", "-q", path], check=True)
        run("file://" + os.path.join(folder, "thread.html"))
    if failures:
        print(f"{len(failures)} failed")
        sys.exit(1)


main()
