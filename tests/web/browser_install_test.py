#!/usr/bin/env python3
"""A web set as a real browser takes it: the converter's favicon sets, one
served from the site's root and one under --web-path, each linked from a
page by the lines the converter printed, opened in headless Chromium
through its driver. For each page the browser must parse the manifest
without errors, name the app as --title or --name says, find nothing that
keeps the app from being installed, and fetch every file the lines and the
manifest name, each answered 200 by the server.

Usage: browser_install_test.py TERVANA_CONVERT

Exits 77 when Chromium, its driver, Selenium or Pillow is missing (1 under
TERVANA_REQUIRE_TOOLS=1, as tests/missingtool.sh has it)."""
import functools
import http.server
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading


def missing(what):
    if os.environ.get("TERVANA_REQUIRE_TOOLS") == "1":
        print(f"FAIL: not installed: {what}, and TERVANA_REQUIRE_TOOLS=1 requires it", file=sys.stderr)
        sys.exit(1)
    print(f"SKIP: not installed: {what}")
    sys.exit(77)


try:
    from PIL import Image, ImageDraw
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
except ImportError as error:
    missing(error.name)
for tool in ("chromium", "chromedriver"):
    if not shutil.which(tool):
        missing(tool)

DRAWING = """<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 64 48">
<rect x="4" y="4" width="56" height="40" rx="8" fill="#2a6fdb"/><circle cx="32" cy="24" r="12" fill="#ffd23f"/></svg>"""

# The two sets: (what the server serves them under, the converter's
# arguments, the app's name the browser must read).
SETS = [
    ("/", ["--favicon", "root", "logo.svg"], "logo"),
    ("/static/icons/", ["--app-icons", "app", "--name", "tervana-demo", "--title", "Tervana Demo \u00e9",
                        "--web-path", "/static/icons", "--background", "#203040", "photo.png"],
     "Tervana Demo \u00e9"),
]
FOLDERS = {"/": "root", "/static/icons/": "app/web"}


def make_sets(convert, work):
    with open(os.path.join(work, "logo.svg"), "w") as drawing:
        drawing.write(DRAWING)
    photo = Image.new("RGB", (300, 200), (240, 240, 230))
    ImageDraw.Draw(photo).ellipse([60, 20, 240, 180], fill=(200, 40, 40))
    photo.save(os.path.join(work, "photo.png"))
    pages = {}
    for served, arguments, _ in SETS:
        run = subprocess.run([convert] + arguments, cwd=work, capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            sys.exit(f"FAIL: tervana-convert {' '.join(arguments)} exited {run.returncode}: {run.stderr}")
        # --app-icons prints the files it wrote first; the page takes the rest.
        lines = [line for line in run.stdout.splitlines() if line.startswith("<")]
        pages[served] = lines
    return pages


class Site(http.server.SimpleHTTPRequestHandler):
    """Serves each set's folder under its path, and a page of each set's
    lines; remembers what was asked and answered."""
    answered = []
    pages = {}
    work = ""

    def log_message(self, format, *args):
        pass

    def send_response(self, code, message=None):
        self.answered.append((self.path, code))
        super().send_response(code, message)

    def translate_path(self, path):
        path = path.split("?")[0]
        for served in sorted(FOLDERS, key=len, reverse=True):
            if path.startswith(served):
                return os.path.join(self.work, FOLDERS[served], path[len(served):])
        return os.path.join(self.work, "nothing")

    def do_GET(self):
        page = self.path.split("?")[0]
        if page in ("/page-root.html", "/page-app.html"):
            lines = self.pages["/" if page == "/page-root.html" else "/static/icons/"]
            body = ("<!doctype html><html><head><meta charset='utf-8'><title>t</title>\n" + "\n".join(lines)
                    + "\n</head><body>An app.</body></html>").encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html; charset=utf-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_GET()


def browser(profile):
    options = Options()
    options.binary_location = shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     f"--user-data-dir={profile}", "--no-first-run", "--disable-extensions"):
        options.add_argument(argument)
    # The driver and the browser keep their files in the test's own folder.
    environment = dict(os.environ, HOME=profile, TMPDIR=profile)
    service = Service(shutil.which("chromedriver"), env=environment)
    driver = webdriver.Chrome(service=service, options=options)
    driver.set_page_load_timeout(30)
    driver.set_script_timeout(30)
    return driver


# Fetches each URL from the page, as the page's own requests go; the
# statuses in order.
FETCH_ALL = """const done = arguments[arguments.length - 1];
Promise.all(arguments[0].map(u => fetch(u, {cache: 'no-store'}).then(r => r.status, () => 0))).then(done);"""


def check_page(driver, port, page, served, name):
    faults = []
    driver.get(f"http://127.0.0.1:{port}/{page}")
    manifest = driver.execute_cdp_cmd("Page.getAppManifest", {})
    if manifest.get("errors"):
        faults.append(f"the manifest has errors: {manifest['errors']}")
    if not manifest.get("url", "").endswith(served + "site.webmanifest"):
        faults.append(f"the manifest read is {manifest.get('url')!r}")
    parsed = manifest.get("manifest", {})
    if parsed.get("name") != name:
        faults.append(f"the app is named {parsed.get('name')!r}")
    errors = driver.execute_cdp_cmd("Page.getInstallabilityErrors", {}).get("installabilityErrors")
    if errors != []:
        faults.append(f"installing is refused: {errors}")
    linked = driver.execute_script("return [...document.querySelectorAll('link[href]')].map(l => l.href);")
    icons = [icon["url"] for icon in parsed.get("icons", [])]
    if len(icons) != 3 or len(linked) < 3:
        faults.append(f"links {linked} and manifest icons {icons}")
    statuses = driver.execute_async_script(FETCH_ALL, linked + icons)
    for url, status in zip(linked + icons, statuses):
        path = re.sub(r"^http://[^/]+", "", url)
        logged = [code for asked, code in Site.answered if asked.split("?")[0] == path]
        if status != 200 or 200 not in logged or not path.startswith(served):
            faults.append(f"{url}: the page got {status}, the server answered {logged}")
    return faults


def main():
    convert = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="tervana-browser-")
    server = None
    driver = None
    try:
        Site.pages = make_sets(convert, work)
        Site.work = work
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Site, directory=work))
        threading.Thread(target=server.serve_forever, daemon=True).start()
        profile = os.path.join(work, "profile")
        os.mkdir(profile)
        driver = browser(profile)
        faults = []
        for (served, _, name), page in zip(SETS, ("page-root.html", "page-app.html")):
            faults += [f"{page}: {fault}" for fault in check_page(driver, server.server_address[1], page, served, name)]
    finally:
        if driver:
            driver.quit()
        if server:
            server.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    for fault in faults:
        print("FAIL:", fault, file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"PASS: {len(SETS)} sets installable in Chromium, every linked file served")


if __name__ == "__main__":
    main()
