#!/usr/bin/env python3
"""Network ports end to end: the program under Wine with LogOnly and a log
file, reading devices played by Python on loopback: a device server it
connects to, which drops the connection and comes back; devices that connect
to its listening port, each greeted, one of them from an address it does not allow; and a
GPS-like sender of datagrams that the request answers. Argument: the program."""
import os, socket, sys, tempfile, unittest
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from wine_program import free_port, regedit, start, stop, take_wine_env, wait_until

PROGRAM = sys.argv.pop(1)


class NetworkPorts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        take_wine_env()

    def run_program(self, profile, port, **values):
        """The program reading the port, every value logged and none typed."""
        folder = tempfile.mkdtemp()
        self.log = os.path.join(folder, "values.csv")
        regedit(profile, dict(COMMPORT=port, LogOnly="1", LogFile="Z:" + self.log.replace("/", "\\"),
                              ScanAtOnce="1", ScanQuietMs="5", **values))
        program = start(PROGRAM, profile)
        self.addCleanup(regedit, profile, None)
        self.addCleanup(stop, program)

    def logged(self):
        try:
            with open(self.log, encoding="utf-8-sig", errors="replace") as log:
                return log.read()
        except FileNotFoundError:
            return ""

    def assertLogged(self, value):
        self.assertTrue(wait_until(lambda: value in self.logged(), 15), self.logged())

    def test_a_device_server_is_connected_to_greeted_and_connected_to_again_after_it_drops(self):
        server = socket.create_server(("127.0.0.1", 0))
        server.settimeout(30)
        # A name: a literal address of this PC would listen instead.
        self.run_program("DeviceServer", "tcp://localhost:%d" % server.getsockname()[1], OpenCommand="HELLO\\r")
        for value in ("0001", "0002"):
            device, _ = server.accept()
            with device:
                device.settimeout(10)
                self.assertEqual(device.recv(16), b"HELLO\r")   # each connection is greeted, as a port that opens
                device.sendall(value.encode() + b"\r")
                self.assertLogged(value)
        server.close()

    def test_devices_connect_to_a_listening_port_and_a_sender_not_allowed_types_nothing(self):
        port = free_port()
        self.run_program("Listening", "tcp://127.0.0.1:%d" % port, AllowedSenders="127.0.0.1", OpenCommand="HI\\r")
        self.assertTrue(wait_until(lambda: socket.socket().connect_ex(("127.0.0.1", port)) == 0, 30))
        foreign = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.2", 0))
        try:
            foreign.sendall(b"EVIL\r")
        except ConnectionError:   # refused already
            pass
        for value in (b"SCANNER-1", b"SCANNER-2"):
            with socket.create_connection(("127.0.0.1", port), timeout=10) as device:
                self.assertEqual(device.recv(16), b"HI\r")   # each device that connects is greeted
                device.sendall(value + b"\r")
                self.assertLogged(value.decode())
        foreign.close()
        self.assertNotIn("EVIL", self.logged())

    def test_datagrams_are_read_as_a_line_and_the_request_answers_their_sender(self):
        port = free_port(socket.SOCK_DGRAM)
        self.run_program("Datagrams", "udp://127.0.0.1:%d" % port, RequestCommand="SI\\r\\n", RequestInterval="500")
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as gps:
            gps.bind(("127.0.0.1", 0))
            gps.settimeout(2)
            request = b""

            def sent_and_asked():
                nonlocal request
                gps.sendto(b"12.5 kg\r\n", ("127.0.0.1", port))   # until the program is up
                try:
                    request = gps.recv(64)
                except socket.timeout:
                    pass
                return request != b""
            self.assertTrue(wait_until(sent_and_asked, 30))
            self.assertEqual(request, b"SI\r\n")
            self.assertLogged("12.5 kg")


if __name__ == "__main__":
    unittest.main()
