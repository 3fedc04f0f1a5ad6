#!/usr/bin/python3
"""The browser page's first load and its CPU in Chromium while the wall runs (scripts/perf/page.sh).

page_measure.py URL PASSWORD LOADS SECONDS: prints Markdown table rows.
"""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
import page_driver  # noqa: E402  (the tests' own start of Chromium)

url, password, loads, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])

# Every byte the page fetched for itself (headers included), and how long each part took,
# from the browser's own timings.
LOAD_FIGURES = """
const nav = performance.getEntriesByType('navigation')[0];
const files = performance.getEntriesByType('resource');
return {
  wire: nav.transferSize + files.reduce((sum, f) => sum + f.transferSize, 0),
  body: nav.decodedBodySize + files.reduce((sum, f) => sum + f.decodedBodySize, 0),
  requests: files.length + 1,
  loaded: nav.loadEventEnd,
};
"""


def cpu_ticks(root):
    """utime + stime of the process and all its descendants, in clock ticks."""
    children = {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            children.setdefault(int(fields[1]), []).append(int(pid))
        except OSError:
            continue
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        todo.extend(children.get(pid, []))
        try:
            with open(f"/proc/{pid}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            continue
    return total


def median_worst(values):
    return f"{statistics.median(values):.0f} | {max(values):.0f}"


driver = page_driver.start_browser(1280, 800)
steps = page_driver.Steps(driver)
steps.viewport(1280, 800)
try:
    wire, body, requests, shown, logged = [], [], [], [], []
    for _ in range(loads):
        # A first visit each time: nothing kept from the one before.
        driver.execute_cdp_cmd("Network.clearBrowserCache", {})
        driver.delete_all_cookies()
        began = time.monotonic()
        steps.open(url)
        steps.wait("!document.getElementById('frmLogin').hidden", 10000)
        shown.append((time.monotonic() - began) * 1000)
        figures = driver.execute_script(LOAD_FIGURES)
        wire.append(figures["wire"])
        body.append(figures["body"])
        requests.append(figures["requests"])
        steps.type("#txtPassword", password)
        steps.click("#cmdLogin")
        logged.append(steps.wait("document.getElementById('lblWall1').textContent !== ''", 10000))
    print(f"| Bytes over the wire, first visit ({requests[0]} requests, headers included) | {loads} "
          f"| {median_worst(wire)} |")
    print(f"| Bytes of the files as the browser holds them | {loads} | {median_worst(body)} |")
    print(f"| Address entered to the log-in form shown (ms) | {loads} | {median_worst(shown)} |")
    print(f"| `ログイン` clicked to the whole state shown (ms) | {loads} | {median_worst(logged)} |")

    # A show of two texts at "速く" on the wall, from the page itself.
    steps.choose("#ComboTSpeed", "速く")
    for text in ("ABC", "DEF"):
        steps.type("#Text1", text)
        steps.click("#cmdText")
    steps.wait("document.getElementById('List1').options.length === 2", 5000)
    steps.click("#cmdDisplay")
    steps.wait("document.getElementById('lblWall1').textContent.startsWith('1▶')", 15000)
    # Counts what the page redraws from the stream: the wall's cells and the run's captions.
    driver.execute_script("""
        window.changesSeen = 0;
        new MutationObserver((records) => { window.changesSeen += records.length; })
            .observe(document.getElementById('client'),
                     {subtree: true, childList: true, characterData: true, attributes: true});""")
    browser = driver.service.process.pid
    before, began = cpu_ticks(browser), time.monotonic()
    time.sleep(seconds)
    used, spent = cpu_ticks(browser) - before, time.monotonic() - began
    changes = driver.execute_script("return window.changesSeen;")
    percent = 100 * used / os.sysconf("SC_CLK_TCK") / spent
    print(f"| Chromium's CPU while the wall runs, {spent:.0f} s, {changes} changes drawn "
          f"(percent of one core) | 1 | {percent:.2f} % | |")
    steps.click("#cmdStop")
finally:
    driver.quit()
