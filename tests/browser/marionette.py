"""A small client of Firefox's own remote protocol (Marionette), for the browser tests and the
benchmark: Firefox is packaged without a WebDriver server, but speaks WebDriver's commands over
a socket as length-prefixed JSON ("N:[0, id, command, parameters]"). Firefox runs headless in
a profile of its own, removed when the session ends; it picks a free port and says which in
the profile, so that runs side by side do not meet."""
import json
import os
import shutil
import socket
import subprocess
import tempfile
import time

FIREFOX = shutil.which("firefox-esr") or shutil.which("firefox")
ELEMENT = "element-6066-11e4-a52f-4f735466cecf"
ESCAPE, TAB = "\ue00c", "\ue004"


class MarionetteError(Exception):
    pass


class Firefox:
    """Headless Firefox with one session; use as a context manager."""

    def __init__(self, width=1000, height=700):
        self.profile = tempfile.mkdtemp(prefix="horofu-firefox-")
        with open(os.path.join(self.profile, "user.js"), "w") as f:
            # Port 0: Firefox takes a free one and writes it to MarionetteActivePort.
            f.write('user_pref("marionette.port", 0);\n'
                    'user_pref("browser.shell.checkDefaultBrowser", false);\n'
                    'user_pref("datareporting.policy.dataSubmissionEnabled", false);\n'
                    'user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);\n'
                    'user_pref("browser.startup.homepage_override.mstone", "ignore");\n'
                    # Headless Firefox knows of no mouse: this one has a desktop's, which
                    # hovers (fine pointer 2, hover 4).
                    'user_pref("ui.primaryPointerCapabilities", 6);\n'
                    'user_pref("ui.allPointerCapabilities", 6);\n')
        self.process = subprocess.Popen(
            [FIREFOX, "--headless", "--marionette", "--no-remote", "--profile", self.profile],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            env=dict(os.environ, MOZ_HEADLESS="1"))
        self.socket, self.next_id = None, 0
        try:
            self._connect()
            self.command("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {
                "acceptInsecureCerts": True, "pageLoadStrategy": "normal"}}})
            self.command("WebDriver:SetTimeouts", {"pageLoad": 300000, "script": 300000})
            self.command("WebDriver:SetWindowRect", {"width": width, "height": height})
        except BaseException:
            self.quit()
            raise

    def _connect(self):
        port_file = os.path.join(self.profile, "MarionetteActivePort")
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise MarionetteError("Firefox ended before it listened")
            try:
                with open(port_file) as f:
                    port = int(f.read().strip())
                self.socket = socket.create_connection(("127.0.0.1", port), timeout=600)
                self._receive()  # the greeting
                return
            except (OSError, ValueError):
                time.sleep(0.2)
        raise MarionetteError("Firefox did not open its remote port within 60 s")

    def _receive(self):
        length = b""
        while not length.endswith(b":"):
            byte = self.socket.recv(1)
            if not byte:
                raise MarionetteError("Firefox closed the connection")
            length += byte
        size, data = int(length[:-1]), b""
        while len(data) < size:
            chunk = self.socket.recv(size - len(data))
            if not chunk:
                raise MarionetteError("Firefox closed the connection")
            data += chunk
        return json.loads(data)

    def command(self, name, parameters=None):
        self.next_id += 1
        data = json.dumps([0, self.next_id, name, parameters or {}]).encode()
        self.socket.sendall(str(len(data)).encode() + b":" + data)
        while True:
            kind, message_id, error, result = self._receive()
            if kind == 1 and message_id == self.next_id:
                break
        if error:
            raise MarionetteError(f"{name}: {error.get('error')}: {error.get('message')}")
        return result.get("value") if isinstance(result, dict) else result

    def get(self, url):
        self.command("WebDriver:Navigate", {"url": url})

    def script(self, source, *args):
        """Runs source as a function body with arguments; elements pass both ways."""
        return self.command("WebDriver:ExecuteScript", {"script": source, "args": list(args)})

    def find(self, css):
        return self.command("WebDriver:FindElement", {"using": "css selector", "value": css})

    def hover(self, element):
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "duration": 0, "origin": element,
                         "x": 0, "y": 0}]}]})

    def move_to(self, x, y):
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "pointer", "id": "mouse", "parameters": {"pointerType": "mouse"},
            "actions": [{"type": "pointerMove", "duration": 0, "origin": "viewport",
                         "x": x, "y": y}]}]})

    def key(self, value):
        self.command("WebDriver:PerformActions", {"actions": [{
            "type": "key", "id": "keyboard",
            "actions": [{"type": "keyDown", "value": value}, {"type": "keyUp", "value": value}]}]})

    def quit(self):
        try:
            if self.socket is not None:
                self.command("Marionette:Quit", {"flags": ["eForceQuit"]})
        except (OSError, MarionetteError):
            pass
        finally:
            if self.socket is not None:
                self.socket.close()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.quit()
