#!/usr/bin/python3
"""Times the archive's search on a generated archive (bench/make_search_archive): the first
results in headless Chromium, from the moment the text is typed, and horofu --search, for a
common two-character word and a rare eight-character phrase. Targets: 200 ms and 100 ms.

    bench/search_bench.py SITE HOROFU       (SITE built by make_search_archive SITE)
"""
import os
import statistics
import subprocess
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

site, horofu = sys.argv[1:3]
QUERIES = [("common two-character word", "温泉"), ("rare eight-character phrase", "秘湯の露天風呂跡")]
RUNS = 5

print(f"search benchmark on {site} ({RUNS} runs each, median and slowest)")
for what, query in QUERIES:
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        run = subprocess.run([horofu, "--search=" + site, query], capture_output=True)
        times.append((time.perf_counter() - start) * 1000)
    found = run.stderr.decode().strip()
    print(f"  horofu --search, {what} ({query}): {statistics.median(times):.0f} ms, "
          f"slowest {max(times):.0f} ms  [{found}]  target 100 ms")

options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for arg in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"]:
    options.add_argument(arg)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(60)
TYPE_AND_WAIT = """
const [query, done] = arguments;
const box = document.getElementById('query'), list = document.getElementById('results');
const start = performance.now();
new MutationObserver((_, observer) => {
  if (list.children.length) { observer.disconnect(); done([performance.now() - start, list.children.length]); }
}).observe(list, {childList: true});
box.value = query;
box.dispatchEvent(new Event('input'));
"""
try:
    for what, query in QUERIES:
        times = []
        for _ in range(RUNS):
            driver.get("file://" + os.path.abspath(site) + "/search.html")
            time.sleep(1.5)  # the page has loaded its catalog; the reader starts typing
            ms, shown = driver.execute_async_script(TYPE_AND_WAIT, query)
            times.append(ms)
        print(f"  Chromium, first results for the {what}: {statistics.median(times):.0f} ms, "
              f"slowest {max(times):.0f} ms ({shown} shown)  target 200 ms")
finally:
    driver.quit()
