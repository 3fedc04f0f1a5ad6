#!/usr/bin/python3
"""A real Chromium, headless, for the end-to-end tests of the browser page (BrowserPage.h).

Reads one step a line on standard input, a JSON array ["step", arguments...], and answers each
with one JSON line: {"ok": true, "value": ...} or {"ok": false, "error": "..."}. The first
line it writes says whether the browser started. Debian's chromium, chromium-driver and
python3-selenium (scripts/install-deps.sh); Debian's own /usr/bin/python3, which has Selenium.
"""
import hashlib
import json
import os
import ssl
import sys
import time

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
PACKAGES = "chromium chromium-driver python3-selenium (scripts/install-deps.sh tests)"


def answer(**fields):
    sys.stdout.write(json.dumps(fields, ensure_ascii=False) + "\n")
    sys.stdout.flush()


def start_browser(width, height):
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError as error:
        raise RuntimeError(f"no Selenium for {sys.executable} ({error}): install {PACKAGES}")
    for program in (CHROMIUM, CHROMEDRIVER):
        if not os.access(program, os.X_OK):
            raise RuntimeError(f"no {program}: install {PACKAGES}")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    # The certificate is self-signed; the test checks its fingerprint itself ("fingerprint").
    for argument in ("--headless=new", "--no-sandbox", "--ignore-certificate-errors",
                     "--disable-gpu", "--lang=ja", f"--window-size={width},{height}"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


class Steps:
    def __init__(self, driver):
        self.driver = driver

    # The element once it can be used, scrolled to the middle of the page as a person would,
    # clear of the wall's strip at the bottom.
    def element(self, css):
        from selenium.webdriver.common.by import By
        from selenium.webdriver.support import expected_conditions
        from selenium.webdriver.support.wait import WebDriverWait
        found = WebDriverWait(self.driver, 5).until(
            expected_conditions.element_to_be_clickable((By.CSS_SELECTOR, css)))
        self.driver.execute_script("arguments[0].scrollIntoView({block: 'center'});", found)
        return found

    def fingerprint(self, host, port):
        der = ssl.PEM_cert_to_DER_cert(ssl.get_server_certificate((host, port)))
        digest = hashlib.sha256(der).hexdigest().upper()
        return ":".join(digest[i:i + 2] for i in range(0, len(digest), 2))

    def open(self, url):
        self.driver.get(url)

    def type(self, css, text):
        field = self.element(css)
        field.clear()
        field.send_keys(text)

    def click(self, css):
        self.element(css).click()

    def choose(self, css, value):
        from selenium.webdriver.support.select import Select
        Select(self.element(css)).select_by_value(value)

    def evaluate(self, expression):
        return self.driver.execute_script(f"return ({expression});")

    # Milliseconds until the expression held, measured in the page; -1 when it did not within
    # ms. The expression runs as the driver's script, which the page's policy does not block.
    def wait(self, expression, ms):
        self.driver.set_script_timeout(ms / 1000 + 5)
        return self.driver.execute_async_script(f"""
            const done = arguments[arguments.length - 1];
            const began = performance.now();
            const check = () => {{
                let held = false;
                try {{ held = !!({expression}); }} catch (e) {{}}
                const spent = performance.now() - began;
                if (held) done(Math.round(spent));
                else if (spent > {ms}) done(-1);
                else setTimeout(check, 5);
            }};
            check();""")

    def viewport(self, width, height):
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600})

    def shot(self, path):
        if not self.driver.save_screenshot(path):
            raise RuntimeError(f"no screenshot written to {path}")

    # What the page wrote to the console, and the refusals of the browser itself (a blocked
    # file, a script error), one a line.
    def logs(self):
        return [entry["message"] for entry in self.driver.get_log("browser")]


def main():
    width, height = (int(n) for n in sys.argv[1:3])
    began = time.monotonic()
    try:
        driver = start_browser(width, height)
    except Exception as error:
        answer(ok=False, error=f"the browser did not start: {error}")
        return 3
    answer(ok=True, value=round((time.monotonic() - began) * 1000))
    steps = Steps(driver)
    try:
        for line in sys.stdin:
            request = json.loads(line)
            if request[0] == "quit":
                break
            try:
                answer(ok=True, value=getattr(steps, request[0])(*request[1:]))
            except Exception as error:
                answer(ok=False, error=f"{request[0]}: {type(error).__name__}: {error}")
    finally:
        driver.quit()
    return 0


if __name__ == "__main__":
    sys.exit(main())
