#!/usr/bin/env python3
"""The web feed end to end: the program under Wine with a profile whose
WebPort is set, LogOnly on, and whose port is the virtual line COM2; pages as
Python's websockets and as the example page in headless Chromium, all on
loopback. Arguments: the program, the example page's folder."""
import asyncio, functools, http.server, json, os, socket, subprocess, sys, tempfile, threading, time, unittest
import urllib.request
import websockets
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from wine_program import free_port, regedit, start, stop, take_wine_env, wait_until

PROGRAM, PAGES = sys.argv.pop(1), sys.argv.pop(1)
PROFILE = "WebPages"


def vline(request):
    with socket.create_connection(("127.0.0.1", int(os.environ["VLINE_PORT"]))) as s:
        s.sendall(request.encode() + b"\n")
        return s.makefile().readline().strip()


def asked():
    """What the program sent the device since the last look, up to a line end."""
    sent = bytearray()
    wait_until(lambda: sent.extend(bytes.fromhex(vline("READFAR COM2")[3:])) or sent.endswith(b"\r"), 5)
    return bytes(sent)


def serve_pages():
    """The example page from a server of its own on 127.0.0.1; returns its origin."""
    server = http.server.ThreadingHTTPServer(
        ("127.0.0.1", 0), functools.partial(http.server.SimpleHTTPRequestHandler, directory=PAGES))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d" % server.server_port


class WebFeed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        take_wine_env()
        cls.port, cls.allowed, cls.foreign = free_port(), serve_pages(), serve_pages()
        cls.uri = "ws://127.0.0.1:%d/" % cls.port
        regedit(PROFILE, {"COMMPORT": "COM 2", "LogOnly": "1", "ScanPattern": "(.+)", "ScanAtOnce": "1",
                          "RequestCommand": "W\\r", "WebPort": str(cls.port), "WebOrigins": cls.allowed})
        vline("READFAR COM2")
        cls.program = start(PROGRAM, PROFILE)
        assert wait_until(lambda: socket.socket().connect_ex(("127.0.0.1", cls.port)) == 0, 30), "no feed"

        async def port_open():   # the feed serves from the start, before /open opens the port
            async with websockets.connect(cls.uri) as program:   # no Origin: a program on this machine
                while json.loads(await asyncio.wait_for(program.recv(), 30)) != {"status": "open"}:
                    pass
        asyncio.run(port_open())

    @classmethod
    def tearDownClass(cls):
        stop(cls.program)
        regedit(PROFILE, None)

    def test_a_page_gets_every_value_logged_only_while_a_stalled_one_holds_nothing_up(self):
        async def run():
            stalled = await websockets.connect(self.uri, origin=self.allowed, max_queue=1)
            async with websockets.connect(self.uri, origin=self.allowed) as page:
                self.assertEqual(json.loads(await page.recv()), {"status": "open"})
                for n in range(50):
                    vline("WRITE COM2 " + ("%04d\r" % n).encode().hex())
                    value = json.loads(await asyncio.wait_for(page.recv(), 5))
                    self.assertEqual((value["value"], value["result"]), ("%04d" % n, "not typed: only logged"))
            await stalled.close()
        asyncio.run(run())
        request = urllib.request.Request(self.uri.replace("ws:", "http:") + "last", headers={"Origin": self.allowed})
        with urllib.request.urlopen(request, timeout=5) as answer:
            self.assertEqual(answer.headers["Access-Control-Allow-Origin"], self.allowed)
            self.assertEqual(json.load(answer)["value"], "0049")

    def test_the_example_page_in_chromium_shows_scans_and_asks_only_from_a_listed_origin(self):
        driver_port = free_port()
        driver = subprocess.Popen(["chromedriver", "--port=%d" % driver_port], stdout=subprocess.DEVNULL)

        def call(path, body=None, method="POST"):
            request = urllib.request.Request("http://127.0.0.1:%d/session%s" % (driver_port, path), method=method,
                                             data=json.dumps(body).encode() if body is not None else None)
            with urllib.request.urlopen(request, timeout=60) as answer:
                return json.load(answer)["value"]

        def run(script):
            return call("/%s/execute/sync" % session, {"script": script, "args": []})

        def text(element):
            return run("return document.getElementById('%s').textContent" % element)
        try:
            wait_until(lambda: socket.socket().connect_ex(("127.0.0.1", driver_port)) == 0)
            with tempfile.TemporaryDirectory() as profile:
                args = ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile,
                        "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1"]
                session = call("", {"capabilities": {"alwaysMatch": {"goog:chromeOptions": {"args": args}}}})["sessionId"]
                try:
                    call("/%s/url" % session, {"url": "%s/index.html?port=%d" % (self.allowed, self.port)})
                    self.assertTrue(wait_until(lambda: text("state") == "connected"), text("state"))
                    vline("WRITE COM2 " + b"12.34 kg\r".hex())
                    self.assertTrue(wait_until(lambda: text("value") == "12.34 kg"), text("value"))
                    run("document.getElementById('ask').click()")
                    self.assertEqual(asked(), b"W\r")
                    call("/%s/url" % session, {"url": "%s/index.html?port=%d" % (self.foreign, self.port)})
                    vline("WRITE COM2 " + b"56.78 kg\r".hex())
                    time.sleep(3)
                    self.assertEqual((text("state"), text("value")), ("not connected", ""))
                finally:
                    call("/" + session, method="DELETE")
        finally:
            driver.kill()
            driver.wait()


if __name__ == "__main__":
    unittest.main()
