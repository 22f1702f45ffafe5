#!/usr/bin/env python3
"""The web feed end to end: the program under Wine with a profile whose
WebPort is set and whose port is the virtual line COM2; pages as Python's
websockets and as the example page in headless Chromium, all on loopback.
Arguments: the program, the example page's folder."""
import asyncio, functools, http.server, json, os, socket, subprocess, sys, tempfile, threading, time, unittest
import urllib.request
import websockets

PROGRAM, PAGES = sys.argv.pop(1), sys.argv.pop(1)
HERE = os.path.dirname(os.path.abspath(__file__))
KEY = r"HKEY_CURRENT_USER\Software\Vimo Technologies\VimoBrindleQV\Profiles\WebPages"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def vline(request):
    with socket.create_connection(("127.0.0.1", int(os.environ["VLINE_PORT"]))) as s:
        s.sendall(request.encode() + b"\n")
        return s.makefile().readline().strip()


def asked():
    """What the program sent the device since the last look, up to a line end."""
    sent = bytearray()

    def more():
        sent.extend(bytes.fromhex(vline("READFAR COM2")[3:]))
        return sent.endswith(b"\r")
    wait_until(more, 5)
    return bytes(sent)


def wait_until(done, seconds=10):
    end = time.time() + seconds
    while not done() and time.time() < end:
        time.sleep(0.1)
    return done()


def wine(*args):
    subprocess.run([os.path.join(HERE, "wine-run.sh"), *args], check=True, capture_output=True)


def serve_pages():
    """The example page from a server on 127.0.0.1: its origin and the server."""
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=PAGES)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return "http://127.0.0.1:%d" % server.server_port, server


class WebFeed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        env = dict(l.split("=", 1) for l in open(os.path.join(os.environ["WEDGE_WINE_DIR"], "env")).read()
                   .replace("export ", "").split())
        os.environ.update(env)
        cls.port = free_port()
        cls.allowed, cls.allowed_server = serve_pages()
        cls.foreign, cls.foreign_server = serve_pages()
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as reg:
            reg.write('REGEDIT4\n\n[-%s]\n\n[%s]\n"COMMPORT"="COM 2"\n"LogOnly"="1"\n"ScanPattern"="(.+)"\n"ScanAtOnce"="1"\n"RequestCommand"="W\\\\r"\n'
                      '"WebPort"="%d"\n"WebOrigins"="%s"\n' % (KEY, KEY, cls.port, cls.allowed))
        wine("regedit", "/s", reg.name)
        vline("READFAR COM2")
        cls.program = subprocess.Popen([os.path.join(HERE, "wine-run.sh"), PROGRAM, "/profile", "WebPages", "/open"],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        assert wait_until(lambda: cls.last() is not None, 30), "the feed did not come up"

        async def port_open():   # the feed serves from the start, before /open opens the port
            async with websockets.connect("ws://127.0.0.1:%d/" % cls.port) as program:   # no Origin
                while json.loads(await asyncio.wait_for(program.recv(), 30)) != {"status": "open"}:
                    pass
        asyncio.run(port_open())

    @classmethod
    def tearDownClass(cls):
        cls.program.kill()
        cls.program.wait()
        with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as reg:
            reg.write("REGEDIT4\n\n[-%s]\n" % KEY)
        wine("regedit", "/s", reg.name)

    @classmethod
    def last(cls, origin=None):
        request = urllib.request.Request("http://127.0.0.1:%d/last" % cls.port, headers={"Origin": origin} if origin else {})
        try:
            with urllib.request.urlopen(request, timeout=2) as answer:
                return answer.headers.get("Access-Control-Allow-Origin"), json.load(answer)
        except OSError:
            return None

    def test_pages_of_listed_origins_get_values_and_ask_the_device_a_stalled_one_holds_nothing_up(self):
        async def run():
            uri = "ws://127.0.0.1:%d/" % self.port
            with self.assertRaises(websockets.InvalidStatusCode) as refused:
                await websockets.connect(uri, origin=self.foreign)
            self.assertEqual(refused.exception.status_code, 403)
            stalled = await websockets.connect(uri, origin=self.allowed, max_queue=1)
            async with websockets.connect(uri, origin=self.allowed) as page:
                self.assertEqual(json.loads(await page.recv()), {"status": "open"})
                for n in range(50):
                    vline("WRITE COM2 " + ("%04d\r" % n).encode().hex())
                    value = json.loads(await asyncio.wait_for(page.recv(), 5))
                    self.assertEqual((value["value"], value["result"]), ("%04d" % n, "not typed: only logged"))
                await page.send(json.dumps({"request": True}))
                self.assertEqual(asked(), b"W\r")
            await stalled.close()
        asyncio.run(run())
        self.assertEqual(self.last(self.allowed)[0], self.allowed)

    def test_the_example_page_in_chromium_shows_scans_and_asks_only_from_a_listed_origin(self):
        driver_port = free_port()
        driver = subprocess.Popen(["chromedriver", "--port=%d" % driver_port], stdout=subprocess.DEVNULL)
        base = "http://127.0.0.1:%d/session" % driver_port

        def call(path, body=None, method="POST"):
            data = json.dumps(body).encode() if body is not None else None
            request = urllib.request.Request(base + path, data=data, method=method,
                                             headers={"Content-Type": "application/json"})
            with urllib.request.urlopen(request, timeout=60) as answer:
                return json.load(answer)["value"]

        def text(element):
            return call("/%s/execute/sync" % session, {"script": "return document.getElementById('%s').textContent"
                                                       % element, "args": []})
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
                    call("/%s/execute/sync" % session, {"script": "document.getElementById('ask').click()", "args": []})
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
