#!/usr/bin/env python3
"""Virtual serial lines for a Wine prefix, built from socat pty pairs.

Each line is a pair of linked ptys: the NEAR end is mapped as a COM port in
the prefix (the Windows program opens it), the FAR end is where the "device"
writes.  Subcommands:

  serve --prefix P --dir D --port-file F COM1 COM2 ...   control over TCP
  scan  --prefix P [--port COM1] [TEXT ...]            virtual barcode scanner
        (--scale-while FILE: a 7E1 scale's weight instead while FILE exists;
        it holds how the port reads the line, 8N1 or 7E1)
  map   --prefix P COM1=/dev/ttyUSB0 ...                 just map ports
"""
import argparse, fcntl, logging, os, signal, socketserver, struct, subprocess
import sys, tempfile, termios, threading, time, select

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("WINESERVER", "/usr/bin/wineserver")
CMSPAR = 0o10000000000  # Linux value; Python's termios does not export it
SPEEDS = {getattr(termios, n): int(n[1:]) for n in dir(termios)
          if n[:1] == "B" and n[1:].isdigit()}
log = logging.getLogger("vline")


def wine_env(prefix):
    return dict(os.environ, WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all")


def restart_wineserver(prefix):
    """Wine reads the Ports key only when its server starts, so stop it now;
    the next wine start rewrites dosdevices/comN.  Kills running Wine programs."""
    env = wine_env(prefix)
    subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)


def map_ports(prefix, mapping):
    """Write {"COM1": "/unix/tty", ...} to HKLM\\Software\\Wine\\Ports with one
    wine start (a .reg import), then restart the wineserver."""
    esc = lambda s: s.replace("\\", "\\\\").replace('"', '\\"')
    lines = ["REGEDIT4", "", r"[HKEY_LOCAL_MACHINE\Software\Wine\Ports]"]
    lines += ['"%s"="%s"' % (esc(k.upper()), esc(v)) for k, v in mapping.items()]
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as f:
        f.write("\r\n".join(lines) + "\r\n")
    try:
        subprocess.run([WINE, "regedit", "/S", f.name], env=wine_env(prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)
    finally:
        os.unlink(f.name)
    restart_wineserver(prefix)


class Line:
    """One socat pty pair; holds NEAR open so socat survives the Windows
    program closing the port (it is never read here) and FAR for the device."""

    def __init__(self, directory, name, logfile=None, timeout=5.0):
        self.name = name.upper()
        self.near = os.path.join(os.path.abspath(directory), self.name + ".near")
        self.far = os.path.join(os.path.abspath(directory), self.name + ".far")
        self.logfile = logfile
        self.start(timeout)

    def start(self, timeout=5.0):
        for p in (self.near, self.far):
            if os.path.lexists(p):
                os.unlink(p)
        self.proc = subprocess.Popen(
            ["socat", "-d", "-d", "pty,raw,echo=0,link=" + self.near,
             "pty,raw,echo=0,link=" + self.far],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=self.logfile or subprocess.DEVNULL, start_new_session=True)
        self.near_fd = self.far_fd = None
        deadline = time.monotonic() + timeout
        while not (os.path.exists(self.near) and os.path.exists(self.far)):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise RuntimeError("socat did not create %s" % self.near)
            time.sleep(0.02)
        flags = os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK
        self.near_fd = os.open(self.near, flags)
        self.far_fd = os.open(self.far, flags)  # non-blocking: READFAR must not hang

    def write(self, data, timeout=5.0):
        """Write all of data to FAR (the line may be full if nobody reads NEAR)."""
        if self.far_fd is None:
            raise RuntimeError("%s is dropped" % self.name)
        view = memoryview(data)
        while view:
            if not select.select([], [self.far_fd], [], timeout)[1]:
                raise TimeoutError("line full, %d bytes unsent" % len(view))
            try:
                view = view[os.write(self.far_fd, view):]
            except BlockingIOError:
                pass
        termios.tcdrain(self.far_fd)
        return len(data)

    def write_paced(self, data, ms_per_byte):
        """Write data to FAR at the pace, as a device on a real line sends it
        (about 1 ms a byte at 9600 baud): each byte once its time has come,
        all those whose time has come at once, so that the pace holds when a
        sleep oversleeps.  A device does not wait for a full line: what it
        cannot take is lost.  Returns the bytes the line took and the ms from
        the first byte to the last."""
        if self.far_fd is None:
            raise RuntimeError("%s is dropped" % self.name)
        start, sent, taken = time.monotonic(), 0, 0
        while sent < len(data):
            due = min(len(data), int((time.monotonic() - start) * 1000 / ms_per_byte) + 1)
            if due == sent:
                time.sleep(max(0.0, start + sent * ms_per_byte / 1000 - time.monotonic()))
                continue
            try:
                taken += os.write(self.far_fd, data[sent:due])
            except BlockingIOError:
                pass
            sent = due
        return taken, (time.monotonic() - start) * 1000

    def read_far(self):
        chunks = []
        while select.select([self.far_fd], [], [], 0)[0]:
            try:
                chunk = os.read(self.far_fd, 65536)
            except BlockingIOError:
                break
            if not chunk:
                break
            chunks.append(chunk)
        return b"".join(chunks)

    def settings(self):
        """Line settings the program applied, as seen on the NEAR tty."""
        iflag, _, cflag, _, ispeed, ospeed, _ = termios.tcgetattr(self.near_fd)
        code = ospeed or ispeed
        bit = lambda v, m: int(bool(v & m))
        out = {"speed": SPEEDS.get(code, "raw%d" % code),
               "csize": {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7,
                         termios.CS8: 8}[cflag & termios.CSIZE],
               "parenb": bit(cflag, termios.PARENB),
               "parodd": bit(cflag, termios.PARODD),
               "cmspar": bit(cflag, CMSPAR),
               "cstopb": bit(cflag, termios.CSTOPB),
               "crtscts": bit(cflag, termios.CRTSCTS),
               "ixon": bit(iflag, termios.IXON), "ixoff": bit(iflag, termios.IXOFF)}
        try:  # ptys normally refuse modem-line ioctls
            m = struct.unpack("i", fcntl.ioctl(self.near_fd, termios.TIOCMGET,
                                               struct.pack("i", 0)))[0]
            out["dtr"], out["rts"] = bit(m, termios.TIOCM_DTR), bit(m, termios.TIOCM_RTS)
        except OSError:
            out["dtr"] = out["rts"] = "na"
        return out

    def hangup(self):
        """Close FAR so socat forwards what is still queued, sees EOF and
        exits by itself; killing it at once can lose the last bytes written."""
        if self.far_fd is not None:
            os.close(self.far_fd)
            self.far_fd = None

    def close(self):
        self.hangup()
        try:
            self.proc.wait(2)
        except subprocess.TimeoutExpired:
            self.proc.terminate()
            self.proc.wait()
        if self.near_fd is not None:
            os.close(self.near_fd)
            self.near_fd = None
        for p in (self.near, self.far):
            if os.path.lexists(p):
                os.unlink(p)

    # A device that goes away and comes back: a USB adapter pulled out and
    # plugged in again.

    def drop(self):
        """End socat at once (what it still holds is lost, as in a pulled
        adapter): both ptys close and the links go, so a handle the program
        holds is left on a pty whose other end is gone."""
        if self.proc.poll() is None:
            self.proc.terminate()
            self.proc.wait()
        for fd in (self.far_fd, self.near_fd):
            if fd is not None:
                os.close(fd)
        self.near_fd = self.far_fd = None
        for p in (self.near, self.far):
            if os.path.lexists(p):
                os.unlink(p)

    def restore(self):
        """A new pty pair under the same link paths."""
        if self.proc.poll() is None:
            raise RuntimeError("%s is not dropped" % self.name)
        self.start()


# ---- serve ---------------------------------------------------------------

# DROP <name>: the device goes away; RESTORE <name>: it is back.
PRESENCE = {"DROP": Line.drop, "RESTORE": Line.restore}


def answer(lines, request):
    """One protocol line in, one reply line out."""
    parts = request.split()
    if not parts:
        return "ERR empty request"
    cmd, args = parts[0].upper(), parts[1:]
    if cmd == "PING":
        return "OK"
    if cmd in PRESENCE:
        if len(args) != 1 or args[0].upper() not in lines:
            return "ERR usage: %s <name>" % cmd
        PRESENCE[cmd](lines[args[0].upper()])
        return "OK"
    if cmd not in ("WRITE", "TERMIOS", "READFAR"):
        return "ERR unknown command " + cmd
    if not args or args[0].upper() not in lines:
        return "ERR unknown line"
    line = lines[args[0].upper()]
    if cmd == "WRITE":
        if len(args) > 3:
            return "ERR usage: WRITE <name> <hex> [<ms per byte>]"
        try:
            data = bytes.fromhex(args[1] if len(args) > 1 else "")
            pace = float(args[2]) if len(args) > 2 else 0.0
        except ValueError:
            return "ERR bad hex or pace"
        if pace:  # the bytes the line took, and the ms the writing took
            return "OK %d %.3f" % line.write_paced(data, pace)
        return "OK %d" % line.write(data)
    if cmd == "TERMIOS":
        return "OK " + " ".join("%s=%s" % kv for kv in line.settings().items())
    return "OK " + line.read_far().hex()


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True  # an idle client must not delay shutdown
    allow_reuse_address = True


def serve(args):
    os.makedirs(args.dir, exist_ok=True)
    logging.basicConfig(filename=os.path.join(args.dir, "vline.log"), level=logging.INFO,
                        format="%(asctime)s %(levelname)s %(message)s")
    stop, lines, lock = threading.Event(), {}, threading.Lock()
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: stop.set())
    server = None
    # open for as long as the lines live: a restored line's socat logs here too
    socat_log = open(os.path.join(args.dir, "socat.log"), "ab")
    try:
        for name in args.names:
            line = Line(args.dir, name, socat_log)
            lines[line.name] = line
        map_ports(args.prefix, {n: l.near for n, l in lines.items()})
        log.info("mapped %s", ", ".join("%s=%s" % (n, l.near) for n, l in lines.items()))

        class Handler(socketserver.StreamRequestHandler):
            def handle(self):
                for raw in self.rfile:
                    req = raw.decode("ascii", "replace").strip()
                    try:
                        with lock:  # one request at a time keeps fd use simple
                            reply = answer(lines, req)
                    except Exception as e:
                        reply = "ERR %s" % e
                    log.info("%.200r -> %.200r", req, reply)  # WRITE lines can be huge
                    self.wfile.write((reply + "\n").encode("ascii", "replace"))
                    self.wfile.flush()

        server = Server(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        port = server.server_address[1]
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)  # readers never see half
        log.info("listening on 127.0.0.1:%d", port)
        while not stop.wait(1):  # wake regularly so signals are handled promptly
            pass
    except Exception as e:
        log.exception("failed")
        print("vline: %s" % e, file=sys.stderr)
        return 1
    finally:
        if server:
            server.shutdown()
            server.server_close()
        for line in lines.values():
            line.hangup()  # all at once: each socat lingers ~0.5 s after EOF
        for line in lines.values():
            line.close()
        socat_log.close()
        log.info("stopped")
    return 0


# ---- scan / map ----------------------------------------------------------

BARCODES = [  # EAN-13 / UPC-A with valid check digits, Code 128 texts
    "4006381333931\r", "5901234123457\r\n", "9780201379624\r",
    "036000291452\r\n", "PO-2026/118-AB\r", "SN:XK-4471.b\r\n", "LOT#A12+7\r",
]


SCALE_LINE = b"ST,GS,+0001.23kg\r\n"


def seven_e1(read_as, data):
    """What a scale sending 7 data bits with even parity puts on the wire, as
    a port reads it: read as 8N1 each byte carries its parity bit as the 8th;
    read as 7E1, the bytes as they are. A pty cannot tell (Linux keeps every
    pty at 8 data bits without parity), so the caller says how it reads."""
    if read_as.strip() == "7E1":
        return data
    return bytes(b | (0x80 if bin(b).count("1") % 2 else 0) for b in data)


def unescape(text):
    """Interpret \\r, \\n, \\t, \\xNN ...; other characters stay as UTF-8."""
    return text.encode("utf-8").decode("unicode_escape").encode("latin-1")


def scan(args):
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    texts = [unescape(t) for t in args.text] or [t.encode() for t in BARCODES]
    tmp = tempfile.mkdtemp(prefix="vline-")
    line = None
    try:
        line = Line(tmp, args.port)
        map_ports(args.prefix, {line.name: line.near})
        print("%s -> %s (device end %s); start the program now, sending %gs after %s"
              % (line.name, line.near, line.far, args.first_delay,
                 args.after + " exists" if args.after else "now"), flush=True)
        if args.after:
            while not os.path.exists(args.after):
                time.sleep(0.1)
        time.sleep(args.first_delay)
        rounds = 0
        while args.repeat == 0 or rounds < args.repeat:
            for i, data in enumerate(texts):
                if rounds or i:
                    time.sleep(args.pause)
                if args.scale_while and os.path.exists(args.scale_while):
                    with open(args.scale_while) as f:
                        data = seven_e1(f.read(), SCALE_LINE)
                line.write(data)
                print("%s sent %r" % (time.strftime("%H:%M:%S"), data), flush=True)
            rounds += 1
    except KeyboardInterrupt:
        pass
    finally:
        if line:
            line.close()
        os.rmdir(tmp)
    return 0


def map_cmd(args):
    mapping = {}
    for item in args.pairs:
        name, sep, tty = item.partition("=")
        if not sep or not name or not tty:
            sys.exit("vline: expected NAME=TTY, got %r" % item)
        mapping[name] = os.path.abspath(tty)
    map_ports(args.prefix, mapping)
    return 0


def main(argv=None):
    ap = argparse.ArgumentParser(description="virtual serial lines for Wine")
    sub = ap.add_subparsers(dest="cmd", required=True)
    p = sub.add_parser("serve", help="make lines and serve a TCP control protocol")
    p.add_argument("--prefix", required=True)
    p.add_argument("--dir", required=True)
    p.add_argument("--port-file", required=True)
    p.add_argument("names", nargs="+", metavar="COMNAME")
    p.set_defaults(func=serve)
    p = sub.add_parser("scan", help="act as a barcode scanner on a COM port")
    p.add_argument("--prefix", required=True)
    p.add_argument("--port", default="COM1")
    p.add_argument("--pause", type=float, default=2.0)
    p.add_argument("--repeat", type=int, default=1, help="0 = forever")
    p.add_argument("--first-delay", type=float, default=5.0)
    p.add_argument("--after", metavar="FILE",
                   help="wait for FILE to exist before the first delay")
    p.add_argument("--scale-while", metavar="FILE",
                   help="while FILE (8N1 or 7E1: how the port reads) exists, send a 7E1 scale's weight line instead")
    p.add_argument("text", nargs="*")
    p.set_defaults(func=scan)
    p = sub.add_parser("map", help="map COM names to ttys and restart wineserver")
    p.add_argument("--prefix", required=True)
    p.add_argument("pairs", nargs="+", metavar="NAME=TTY")
    p.set_defaults(func=map_cmd)
    args = ap.parse_args(argv)
    return args.func(args)


if __name__ == "__main__":
    sys.exit(main())
