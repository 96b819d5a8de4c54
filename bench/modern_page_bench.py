#!/usr/bin/python3
"""A 100,000-post modern page in headless Chromium (and Firefox): the page's size, the time to load it and
the time a hover takes to show a preview (top, middle and end of the page). Release builds
only. Usage: modern_page_bench.py PATH/TO/horofu [POSTS] [--firefox]
(--firefox: in headless Firefox too). The goals: load under 5 s, a hover under 100 ms."""
import os
import random
import signal
import statistics
import subprocess
import sys
import tempfile
import time


BODIES = ["週末に行ける近場の温泉、みんなのおすすめを教えてください。",
          "山あいの小さな共同浴場がいいよ。入浴料は300円、タオルは持参で。",
          "駅からバスで15分、終点の一つ手前で降りる。", "それな",
          "ｷﾀ━━━━(ﾟ∀ﾟ)━━━━!!", "http://example.invalid/onsen/map.html",
          "　　　∧＿∧\n　　（´・ω・｀）", "まとめ：1) 早めに行く 2) 小銭を用意 3) 長湯しない"]


def thread(posts):
    """A thread of realistic posts: a third reply to an earlier post, a few to a range."""
    rng = random.Random(20261207)
    out = []
    for n in range(1, posts + 1):
        out.append(f"{n} 名前：名無しさん 投稿日：2024/09/10(火) {n // 3600 % 24:02}:"
                   f"{n // 60 % 60:02}:{n % 60:02}.00 ID:id{rng.randrange(5000):06}")
        if n > 1 and rng.random() < 1 / 3:
            out.append(f">>{rng.randrange(1, n)}")
        if n > 10 and rng.random() < 0.02:
            start = rng.randrange(1, n - 5)
            out.append(f">>{start}-{start + 4}")
        out.extend(rng.choice(BODIES) for _ in range(rng.randrange(1, 4)))
        out.append("")
    return "\n".join(out) + "\n"


class Chromium:
    """Headless Chromium through Selenium, with a desktop's mouse."""
    name = "Chromium"

    def __init__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    "--window-size=1200,900", "--blink-settings=primaryHoverType=2,"
                    "availableHoverTypes=2,primaryPointerType=4,availablePointerTypes=4"):
            options.add_argument(arg)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_page_load_timeout(300)
        self.driver.set_script_timeout(300)

    def get(self, url):
        self.driver.get(url)

    def script(self, source, *args):
        return self.driver.execute_script(source, *args)

    def async_script(self, source, *args):
        return self.driver.execute_async_script(source, *args)

    def away(self):
        self.driver.execute_cdp_cmd("Input.dispatchMouseEvent",
                                    {"type": "mouseMoved", "x": 2, "y": 2})

    def hover(self, element):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver).move_to_element(element).perform()

    def quit(self):
        self.driver.quit()


class Firefox:
    """Headless Firefox over its own remote protocol (the tests' client)."""
    name = "Firefox"

    def __init__(self):
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                        "tests", "browser"))
        import marionette
        self.ff = marionette.Firefox(1200, 900)

    def get(self, url):
        self.ff.get(url)

    def script(self, source, *args):
        return self.ff.script(source, *args)

    def async_script(self, source, *args):
        return self.ff.command("WebDriver:ExecuteAsyncScript",
                               {"script": source, "args": list(args)})

    def away(self):
        self.ff.move_to(2, 2)

    def hover(self, element):
        self.ff.hover(element)

    def quit(self):
        self.ff.quit()


def measure(browser, page):
    try:
        started = time.perf_counter()
        browser.get("file://" + page)
        wall = time.perf_counter() - started
        # Parsing ends at domInteractive; what follows it is style, layout and the script.
        parsed, load, nodes = browser.script(
            "const n=performance.getEntriesByType('navigation')[0],"
            "w=document.createTreeWalker(document,NodeFilter.SHOW_ALL);let c=0;"
            "while(w.nextNode())++c;return [n.domInteractive,n.loadEventEnd,c]")
        print(f"{browser.name} load: {load / 1000:.2f} s (loadEventEnd; parsed at "
              f"{parsed / 1000:.2f} s), {wall:.2f} s until the driver had the page; "
              f"{nodes} nodes; load average {os.getloadavg()[0]:.1f}")
        for where in (0.0, 0.5, 0.98):
            browser.script(
                "scrollTo(0,document.documentElement.scrollHeight*arguments[0])", where)
            browser.async_script(
                "const done=arguments[arguments.length-1];"
                "requestAnimationFrame(()=>requestAnimationFrame(done))")
            # The posts on screen, found by point: asking every link where it is would
            # lay out the posts the browser skips.
            links = browser.script(
                "const s=new Set();for(let y=40;y<innerHeight-40;y+=8){"
                "const p=document.elementFromPoint(innerWidth/3,y);"
                "const a=p&&p.closest('.post');if(a)a.querySelectorAll('.re').forEach("
                "l=>{const r=l.getBoundingClientRect();"
                "if(r.top>40&&r.bottom<innerHeight-40)s.add(l)})}return [...s].slice(0,6)")
            times, inpage = [], []
            for link in links:
                # Away first: the last preview may cover the next link.
                browser.away()
                # In the page: from the pointer's arrival to the frame after the one
                # that shows the preview (the driver's round trips left out).
                browser.script(
                    "window.__hover=null;arguments[0].addEventListener('mouseover',()=>{"
                    "const t=performance.now();requestAnimationFrame(()=>"
                    "requestAnimationFrame(()=>{window.__hover=performance.now()-t}))},"
                    "{once:true})", link)
                started = time.perf_counter()
                browser.hover(link)
                browser.async_script(
                    "const done=arguments[arguments.length-1];"
                    "requestAnimationFrame(()=>requestAnimationFrame(done))")
                times.append((time.perf_counter() - started) * 1000)
                inpage.append(browser.script("return window.__hover") or float("nan"))
                shown = browser.script(
                    "const p=arguments[0].nextElementSibling;"
                    "return !!p&&getComputedStyle(p).display!=='none'", link)
                if not shown:
                    print("a hovered link showed no preview")
            if times:
                print(f"hover at {where:.0%} of the page, {len(times)} links: in the page "
                      f"median {statistics.median(inpage):.0f} ms, worst {max(inpage):.0f}"
                      f" ms; through the driver median {statistics.median(times):.0f} ms")
    finally:
        browser.quit()


def main():
    # A stopped run still removes its folder and Firefox's profile.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    args = [a for a in sys.argv[1:] if a != "--firefox"]
    horofu = args[0]
    posts = int(args[1]) if len(args) > 1 else 100000
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "thread.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(thread(posts))
        subprocess.run([horofu, "-m", "-q", path], check=True)
        page = os.path.join(folder, "thread.html")
        print(f"{posts} posts: thread {os.path.getsize(path) / 1e6:.1f} MB, "
              f"page {os.path.getsize(page) / 1e6:.1f} MB")
        measure(Chromium(), page)
        if "--firefox" in sys.argv[1:]:
            measure(Firefox(), page)


main()
