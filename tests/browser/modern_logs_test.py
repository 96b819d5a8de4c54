#!/usr/bin/python3
"""The modern pages of kept logs in headless Chromium: a quoted header stays inside its post,
the board's and deleted posts show as such, a badge is never fetched, and a filtered post
leaves no text, previews included.

Usage: modern_logs_test.py PATH/TO/horofu PATH/TO/tests/data/logs
Exits 77 (skipped) where Chromium or Selenium is missing."""
import os
import shutil
import subprocess
import sys
import tempfile

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
except ImportError:
    print("skipped: no python3-selenium")
    sys.exit(77)

CHROMIUM, DRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
    print("skipped: no chromium or chromium-driver")
    sys.exit(77)

horofu, logs = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp(prefix="horofu-browser-")
failures = []


def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def page(log, *options):
    source = os.path.join(work, log)
    shutil.copy(os.path.join(logs, log), source)
    out = os.path.join(work, "%s%d.html" % (log, len(options)))
    subprocess.run([horofu, "-m", "-q", "-f", "-o", out, *options, source], check=True)
    return "file://" + out


try:
    ng = os.path.join(work, "ng.txt")
    with open(ng, "w", encoding="utf-8") as f:
        f.write("id:Abc12345\n")
    copy_page = page("copy-sjis.txt")
    board_page = page("board.dat")
    marked_page = page("board.dat", "--ng", ng, "--ng-mode=mark")

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1000,800"):
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    try:
        js = driver.execute_script
        driver.get(copy_page)
        check("the quoted header is text of post 5",
              "980 名前：" in js("return document.getElementById('5').innerText"))
        check("post 980 is the thread's own",
              "2023/04/29" not in js("return document.getElementById('980').innerText"))
        check("the 1001st post is the board's",
              js("return document.getElementById('1001').classList.contains('board')"))
        check("the page is titled by the copy's title line",
              driver.title == "【雑談】週末の温泉めぐり その12")

        driver.get(board_page)
        check("nothing is fetched (the badge is no image)",
              js("return performance.getEntriesByType('resource').length") == 0
              and js("return document.images.length") == 0)
        check("the badge is shown", js(
            "const b = document.querySelector('.badge'); const r = b.getBoundingClientRect();"
            "return r.width > 0 && r.height > 0 && r.height < 40"))
        check("a deleted post's text is muted", js(
            "const c = e => getComputedStyle(e).color;"
            "return c(document.querySelector('[id=\"2\"] .text')) !="
            " c(document.querySelector('[id=\"3\"] .text'))"))
        check("the title's tail is gone", driver.title == "温泉めぐり その12")

        driver.get(marked_page)
        text = js("return document.documentElement.textContent")
        check("a filtered post leaves no text, previews included",
              "な温泉" not in text and "また来た" not in text and "Abc12345" not in text)
        check("a marked post keeps its number only",
              js("return document.getElementById('1').innerText.trim()") == "1NG")
    finally:
        driver.quit()
finally:
    shutil.rmtree(work, ignore_errors=True)

sys.exit(1 if failures else 0)
