#!/usr/bin/python3
"""The modern page as its readers meet it, in headless Chromium: hover and keyboard previews,
Escape, previews opening upward near the window's bottom, taps on a phone (and nothing left
open after Back), the post jumped to, the accessibility tree, tap target sizes, fields that
cannot reorder each other. Usage: modern_page_test.py PATH/TO/horofu; exits 77 (skipped)
without Chromium, chromedriver or Selenium."""
import os
import subprocess
import sys
import tempfile
import time

from sample_thread import thread

CHROMIUM, DRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print("skipped: python3-selenium is not installed")
    sys.exit(77)
if not (os.access(CHROMIUM, os.X_OK) and os.access(DRIVER, os.X_OK)):
    print("skipped: chromium and chromium-driver are not installed")
    sys.exit(77)

failures = []


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what + (f": {detail}" if detail and not ok else ""))
    if not ok:
        failures.append(what)


def browser(phone=False):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--window-size=1000,700"):
        options.add_argument(arg)
    if not phone:
        # Headless Chromium knows of no mouse: this one is a desktop's, which hovers.
        options.add_argument("--blink-settings=primaryHoverType=2,availableHoverTypes=2,"
                             "primaryPointerType=4,availablePointerTypes=4")
    else:
        options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
            "width": 375, "height": 667, "pixelRatio": 2, "mobile": True, "touch": True}})
    driver = webdriver.Chrome(service=Service(DRIVER), options=options)
    if not phone:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 1000, "height": 700, "deviceScaleFactor": 1, "mobile": False})
    return driver


def shown(driver, element):
    return driver.execute_script(
        "const r=arguments[0].getBoundingClientRect();"
        "return getComputedStyle(arguments[0]).display!=='none'&&r.height>0", element)


def rect(driver, element):
    return driver.execute_script("return arguments[0].getBoundingClientRect().toJSON()", element)


def shot(driver, variable):
    """Saves the window for the README when the variable names a file."""
    if os.environ.get(variable):
        driver.save_screenshot(os.environ[variable])


def link_in(driver, post, index=0):
    return driver.find_elements(By.CSS_SELECTOR, f"[id='{post}'] .re")[index]


def desktop(url):
    driver = browser()
    try:
        driver.get(url)
        # Hover shows the preview below the link; it stays while the pointer is on it.
        link = link_in(driver, 2)
        preview = link.find_element(By.XPATH, "following-sibling::*[1]")
        ActionChains(driver).move_to_element(link).perform()
        check("hover shows the preview", shown(driver, preview))
        check("the preview opens below a link with room below",
              rect(driver, preview)["top"] >= rect(driver, link)["bottom"] - 1)
        driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
        check("Escape hides a hovered preview", not shown(driver, preview))
        ActionChains(driver).move_by_offset(0, 300).perform()

        # Near the window's bottom a preview opens upward and stays inside the window.
        low = link_in(driver, 52)
        driver.execute_script("const r=arguments[0].getBoundingClientRect();"
                              "scrollBy(0,r.bottom-innerHeight+8)", low)
        up = low.find_element(By.XPATH, "following-sibling::*[1]")
        # A group of posts scrolled into view is laid out at the next frame, which a loaded
        # machine may give late: a pointer placed before it hovers nothing, so it moves again.
        for _ in range(25):
            ActionChains(driver).move_to_element(low).perform()
            if shown(driver, up):
                break
            time.sleep(0.2)
        r, height = rect(driver, up), driver.execute_script("return innerHeight")
        check("a preview near the bottom is shown", shown(driver, up))
        check("a preview near the bottom opens upward, inside the window",
              r["top"] >= 0 and r["bottom"] <= rect(driver, low)["top"] + 1 and r["bottom"] <= height,
              f"{r} in {height}")
        shot(driver, "HOROFU_SHOT_UP")
        ActionChains(driver).move_by_offset(300, 0).perform()

        # Keyboard focus shows a preview; Escape hides it (the focus stays).
        driver.execute_script("scrollTo(0,0)")
        body = driver.find_element(By.TAG_NAME, "body")
        body.click()
        for _ in range(20):
            ActionChains(driver).send_keys(Keys.TAB).perform()
            if driver.switch_to.active_element.get_attribute("class") == "re":
                break
        focused = driver.switch_to.active_element
        fpreview = focused.find_element(By.XPATH, "following-sibling::*[1]")
        check("keyboard focus shows the preview", shown(driver, fpreview))
        ActionChains(driver).send_keys(Keys.ESCAPE).perform()
        check("Escape hides a focused preview", not shown(driver, fpreview))

        # Spoofing: the date and ID after a name ending in U+202E stay in place; marks show.
        name, date, ident = (driver.find_element(By.CSS_SELECTOR, f"[id='2'] .ph .{c}")
                             for c in ("name", "date", "id"))
        check("a name cannot move the date and ID after it",
              rect(driver, name)["right"] <= rect(driver, date)["left"] + 1 <=
              rect(driver, ident)["left"] + 1)
        check("a zero-width space in an ID is shown",
              "U+200B" in driver.find_element(By.CSS_SELECTOR, "[id='3'] .ph .id").text)
        check("U+202E after an address is shown",
              "U+202Egpj.exe" in driver.find_element(By.CSS_SELECTOR, "[id='2'] .text").text)

        # Tap targets: reply links, the far end of a range and back-links.
        small = driver.execute_script(
            "return [...document.querySelectorAll('.re,.refs a')].filter(a=>{"
            "const r=a.getBoundingClientRect();return r.width<24||r.height<24})"
            ".map(a=>a.textContent)")
        check("links are at least 24x24 px", not small, small)

        # The post jumped to is marked, and the last post can reach the window's top.
        driver.get(url + "#61")
        last = driver.find_element(By.CSS_SELECTOR, "[id='61']")
        check("the last post reaches the window's top", abs(rect(driver, last)["top"]) < 20,
              rect(driver, last))
        check("the post jumped to is marked", driver.execute_script(
            "return getComputedStyle(arguments[0]).backgroundColor!=="
            "getComputedStyle(document.querySelector(\"[id='60']\")).backgroundColor", last))

        # The accessibility tree: a main landmark, articles named by number, a reply link
        # described by its preview.
        nodes = driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]

        def prop(node, key):
            return (node.get(key) or {}).get("value")
        roles = [(prop(n, "role"), prop(n, "name"), prop(n, "description")) for n in nodes]
        check("the page has a main landmark", any(r == "main" for r, _, _ in roles))
        check("posts are articles named by their number",
              ("article", "1", None) in roles or any(r == "article" and n == "1"
                                                    for r, n, _ in roles), roles[:5])
        described = [d for r, n, d in roles if r == "link" and n == ">>1"]
        check("a reply link is described by its preview",
              any(d and "週末に行ける" in d for d in described), described[:3])
    finally:
        driver.quit()


def phone(url):
    driver = browser(phone=True)
    try:
        driver.get(url)
        date = driver.find_element(By.CSS_SELECTOR, "[id='1'] .date")
        check("at 375 px a date keeps its time", driver.execute_script(
            "return arguments[0].getClientRects().length", date) == 1)
        # A tap shows the preview and stays on the page; the number in it follows the link.
        link = link_in(driver, 2)
        preview = link.find_element(By.XPATH, "following-sibling::*[1]")
        link.click()
        check("a tap shows the preview", driver.execute_script(
            "return arguments[0].matches(':popover-open')", preview))
        check("a tap does not jump", driver.execute_script("return location.hash") == "")
        r = rect(driver, preview)
        check("the tapped preview is inside the window", r["left"] >= 0 and r["right"] <= 375
              and r["bottom"] <= 667, r)
        shot(driver, "HOROFU_SHOT_PHONE")
        preview.find_element(By.CSS_SELECTOR, ".num").click()
        check("the number in the preview follows the link",
              driver.execute_script("return location.hash") == "#1")
        driver.back()
        open_after = driver.execute_script(
            "return [...document.querySelectorAll('.pv')].filter(p=>p.matches(':popover-open')"
            "||getComputedStyle(p).display!=='none').length")
        check("nothing stays open after Back", open_after == 0, open_after)
        # A second tap on the same link follows it.
        link = link_in(driver, 4)
        link.click()
        link.click()
        check("a second tap follows the link",
              driver.execute_script("return location.hash") == "#1")
        driver.back()
        check("nothing stays open after the second Back", driver.execute_script(
            "return document.querySelectorAll('.pv:popover-open').length") == 0)
    finally:
        driver.quit()


def main():
    horofu = sys.argv[1]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "thread.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(thread())
        subprocess.run([horofu, "-m", "-q", path], check=True)
        url = "file://" + os.path.join(folder, "thread.html")
        desktop(url)
        phone(url)
    if failures:
        print(f"{len(failures)} failed")
        sys.exit(1)


main()
