#!/usr/bin/python3
"""A small site in headless Chromium, opened from disk: the shared stylesheet applies, a link
to another thread shows its preview and leads to the post, the navigation line leads to the
next part, and a board's table sorts by a column.
Usage: site_browser_test.py PATH/TO/horofu [SCREENSHOT-FOLDER]"""
import base64
import os
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By

failed = 0


def check(name, ok, detail=""):
    global failed
    if not ok:
        failed += 1
        print(f"FAILED: {name} {detail}")


def dat(path, title, posts, first_body=""):
    """A Shift-JIS .dat thread: posts a minute apart, first_body in its first post."""
    lines = []
    for n in range(1, posts + 1):
        body = first_body if n == 1 else f"返信ありがとう >>{n - 1} <br> 二行目の本文 {n}"
        lines.append(f"名無しさん<>sage<>2024/09/10(火) 07:{n:02d}:00 ID:ab{n % 3}<> {body} <>"
                     + (title if n == 1 else ""))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(("\n".join(lines) + "\n").encode("cp932"))


def main():
    horofu = os.path.abspath(sys.argv[1])
    shots = sys.argv[2] if len(sys.argv) > 2 else None
    work = tempfile.mkdtemp(prefix="horofu-site-browser-")
    src = os.path.join(work, "logs", "onsen.example", "onsen")
    dat(f"{src}/1725900000.dat", "温泉総合スレ Part1", 6, "近場の温泉、おすすめを教えてください。")
    dat(f"{src}/1725990000.dat", "温泉総合スレ Part2", 8,
        "前スレ http://onsen.example/test/read.cgi/onsen/1725900000/ <br> "
        "露天の話は ttp://onsen.example/test/read.cgi/onsen/1725900000/4 あたりから")
    dat(f"{src}/1726080000.dat", "温泉総合スレ Part3", 3, "前スレ https://onsen.example/test/read.cgi/onsen/1725990000/")
    dat(f"{work}/logs/onsen.example/travel/1726000000.dat", "週末旅行の計画", 12,
        "温泉の話は http://onsen.example/test/read.cgi/onsen/1725990000/l3 で")
    site = os.path.join(work, "site")
    run = subprocess.run([horofu, "-q", f"--site={site}", os.path.join(work, "logs")],
                         capture_output=True, text=True)
    check("the site is built", run.returncode == 0, run.stderr)

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1000,800", "--disable-background-networking",
                # Headless Chromium knows of no mouse: this one is a desktop's, which hovers.
                "--blink-settings=primaryHoverType=2,availableHoverTypes=2,"
                "primaryPointerType=4,availablePointerTypes=4"]:
        options.add_argument(arg)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": 1000, "height": 800, "deviceScaleFactor": 1,
                                "mobile": False})
        driver.get(f"file://{site}/onsen/1725990000.html")
        background = driver.execute_script(
            "return getComputedStyle(document.body).backgroundColor")
        check("the shared stylesheet applies from disk", background == "rgb(251, 251, 246)",
              background)
        link = driver.find_element(By.CSS_SELECTOR, 'a.re[href="../onsen/1725900000.html#4"]')
        preview = link.find_element(By.XPATH, "following-sibling::span[1]")
        check("the preview is hidden at first", not preview.is_displayed())
        ActionChains(driver).move_to_element(link).perform()
        check("hovering shows the other thread's preview",
              preview.is_displayed() and "温泉総合スレ Part1" in preview.text, preview.text)
        if shots:
            shot(driver, os.path.join(shots, "site-thread-page.png"))
        link.click()
        check("the link leads to the post on the local page",
              driver.current_url.endswith("/onsen/1725900000.html#4") and
              driver.execute_script("return document.querySelector(':target').id") == "4",
              driver.current_url)
        driver.find_element(By.CSS_SELECTOR, 'nav.site a[rel="next"]').click()
        check("the navigation line leads to the next part",
              driver.current_url.endswith("/onsen/1725990000.html"), driver.current_url)
        driver.get(f"file://{site}/travel/1726000000.html")
        href = driver.find_element(By.CSS_SELECTOR, "a.re[href^='../onsen/']").get_attribute("href")
        check("l3 leads to the first of the last three posts", href.endswith("1725990000.html#6"),
              href)

        driver.get(f"file://{site}/onsen/index.html")
        titles = lambda: [a.text for a in driver.find_elements(By.CSS_SELECTOR, "tbody td:first-child a")]
        check("the board's threads, newest last post first",
              titles() == ["温泉総合スレ Part2", "温泉総合スレ Part1", "温泉総合スレ Part3"], titles())
        if shots:
            shot(driver, os.path.join(shots, "site-board-index.png"))
        driver.find_elements(By.CSS_SELECTOR, "th[data-sort]")[1].click()
        check("a click on a column sorts by it",
              titles() == ["温泉総合スレ Part3", "温泉総合スレ Part1", "温泉総合スレ Part2"], titles())
        driver.get(f"file://{site}/index.html")
        boards = [a.text for a in driver.find_elements(By.CSS_SELECTOR, "table a[href$='index.html']")]
        check("the site's index lists both boards", boards == ["onsen", "travel"], boards)
    finally:
        driver.quit()
        subprocess.run(["rm", "-rf", work])
    print(f"site_browser_test: {'ok' if failed == 0 else f'{failed} failed'}")
    return 1 if failed else 0


def shot(driver, path):
    height = driver.execute_script("return Math.min(document.body.scrollHeight, 800)")
    data = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "format": "png", "captureBeyondViewport": False,
        "clip": {"x": 0, "y": 0, "width": 1000, "height": height, "scale": 1}})
    with open(path, "wb") as f:
        f.write(base64.b64decode(data["data"]))


if __name__ == "__main__":
    sys.exit(main())
