#!/usr/bin/python3
"""The archive's search page in headless Chromium, opened from disk and from a static web
server: one-character, Japanese, mixed-width, longer and absent texts give the same results
as horofu --search on the same index; markup in posts stays text; a result's link leads to the
post; "more" shows the rest.

    search_page_test.py MAKE_SEARCH_SITE HOROFU WORKDIR    (exit 77: skipped)
"""
import functools
import http.server
import os
import shutil
import subprocess
import sys
import threading
import urllib.parse

CHROMIUM, CHROMEDRIVER = "/usr/bin/chromium", "/usr/bin/chromedriver"


def skip(why):
    print("search_page_test: skipped: " + why)
    sys.exit(77)


try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    skip("python3-selenium is not installed (apt-get install python3-selenium)")
if not (os.access(CHROMIUM, os.X_OK) and os.access(CHROMEDRIVER, os.X_OK)):
    skip("chromium and chromium-driver are not installed (apt-get install chromium chromium-driver)")

make_site, horofu, work = sys.argv[1:4]
site = os.path.join(work, "site")
shutil.rmtree(work, ignore_errors=True)
os.makedirs(site)
subprocess.run([make_site, site], check=True)

failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}:\n  got      {got!r}\n  expected {expected!r}")


def command_results(query):
    """horofu --search's hits as (link, title, date, name, before, match, after), its status."""
    run = subprocess.run([horofu, "--search=" + site, "--all", "--color=always", query],
                         capture_output=True)
    lines = run.stdout.decode().split("\n")
    hits = []
    for head, text in zip(lines[0::2], lines[1::2]):
        link, title, date, name = head.split("\t")
        before, rest = text[1:].split("\x1b[1;31m", 1)
        match, after = rest.split("\x1b[m", 1)
        hits.append((link, title, date, name, before, match, after))
    return hits, run.returncode


PAGE_RESULTS = """
return Array.from(document.querySelectorAll('#results li'), li => {
  const text = li.querySelector('.hit-text');
  const mark = text.querySelector('mark');
  return [decodeURIComponent(li.querySelector('a').getAttribute('href')),
          li.querySelector('a').textContent, li.querySelector('.hit-date').textContent,
          li.querySelector('.hit-name').textContent, mark.previousSibling.textContent,
          mark.textContent, mark.nextSibling.textContent, text.children.length];
});"""


def page_search(driver, query):
    box = driver.find_element(By.ID, "query")
    driver.execute_script(
        "arguments[0].value = arguments[1];"
        "arguments[0].dispatchEvent(new Event('input'));", box, query)
    WebDriverWait(driver, 20).until(lambda d: d.execute_script(
        "const s = document.getElementById('status');"
        "return s.dataset.state === 'done' && new URL(location.href).searchParams.get('q') === "
        "arguments[0] && s.textContent !== '';", query))
    rows = driver.execute_script(PAGE_RESULTS)
    hits = []
    for link, heading, date, name, before, match, after, elements in rows:
        check(f"{query}: only the mark is an element in a snippet", elements, 1)
        hits.append((link, heading, date, name, before, match, after))
    return hits, driver.find_element(By.ID, "status").text


def compare(driver, where):
    for query in ["温", "温泉", "ｐｃ", "ｶﾞｿﾘﾝ", "の温泉", "120分", "太字", "温泉旅館", "存在しない"]:
        page, status = page_search(driver, query)
        command, code = command_results(query)
        check(f"{where} {query}: page and command", page, command)
        check(f"{where} {query}: exit status", code, 0 if command else 1)
        if not command:
            check(f"{where} {query}: status", status, "見つかりませんでした。")
        else:
            check(f"{where} {query}: total", status.split("件")[0], str(len(command)))
    page, _ = page_search(driver, "ＰＣ")
    check(f"{where} mixed width", [h[5] for h in page], ["Pc", "pc", "ＰＣ"])
    page, _ = page_search(driver, "太字")
    check(f"{where} markup stays text", page[0][4:7], ("<b>", "太字", "</b> & \"引用\" \x1b[31m赤\x1b[m"))

    # The newest 100 of 130, then the rest.
    page, status = page_search(driver, "連番")
    check(f"{where} first page", (len(page), page[0][0], status.split("件")[0]),
          (100, "many/1500000000.html#130", "130"))
    driver.find_element(By.ID, "more").click()
    WebDriverWait(driver, 20).until(
        lambda d: len(d.find_elements(By.CSS_SELECTOR, "#results li")) == 130)
    check(f"{where} more hidden at the end", driver.find_element(By.ID, "more").is_displayed(),
          False)

    # A result leads to its post.
    page_search(driver, "ガソリン")
    driver.find_element(By.CSS_SELECTOR, "#results li a").click()
    WebDriverWait(driver, 20).until(lambda d: "#" in d.current_url)
    check(f"{where} link", (urllib.parse.unquote(d_path(driver.current_url)),
                            driver.execute_script("return document.querySelector(':target').id")),
          ("onsen/1600100000.html#2", "2"))


def d_path(url):
    return url.split("/site/", 1)[1] if "/site/" in url else url.split("/", 3)[3]


options = webdriver.ChromeOptions()
options.binary_location = CHROMIUM
for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
            "--window-size=1000,800"]:
    options.add_argument(arg)
driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0),
                                         functools.partial(QuietHandler, directory=site))
threading.Thread(target=server.serve_forever, daemon=True).start()
try:
    driver.get("file://" + os.path.abspath(site) + "/search.html")
    compare(driver, "file://")
    driver.get(f"http://127.0.0.1:{server.server_address[1]}/search.html?q=" +
               urllib.parse.quote("湯"))
    compare(driver, "http://")
finally:
    driver.quit()
    server.shutdown()

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("search_page_test: the page and the command agree")
