"""What the Python tests share: the test prefix's environment, ports picked
at run time on loopback, the program's registry through regedit, and the
program started under Wine with a profile."""
import os, socket, subprocess, tempfile, time

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROFILES = r"HKEY_CURRENT_USER\Software\Vimo Technologies\VimoBrindleQV\Profiles"


def take_wine_env():
    for line in open(os.path.join(os.environ["WEDGE_WINE_DIR"], "env")).read().replace("export ", "").split():
        os.environ.__setitem__(*line.split("=", 1))


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(done, seconds=10):
    end = time.time() + seconds
    while not done() and time.time() < end:
        time.sleep(0.1)
    return done()


def regedit(profile, values):
    """The profile's key holds only the values given (a dict of texts); None removes it."""
    key = PROFILES + "\\" + profile
    text = "REGEDIT4\n\n[-%s]\n\n" % key
    if values is not None:
        text += "[%s]\n" % key + "".join('"%s"="%s"\n' % (name, value.replace("\\", "\\\\").replace('"', '\\"'))
                                         for name, value in values.items())
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as reg:
        reg.write(text)
    subprocess.run([os.path.join(TESTS, "wine-run.sh"), "regedit", "/s", reg.name], check=True, capture_output=True)
    os.unlink(reg.name)


def start(program, profile):
    """The program with the profile, its port opened as at log-on."""
    return subprocess.Popen([os.path.join(TESTS, "wine-run.sh"), program, "/profile", profile, "/open"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def stop(process):
    process.kill()
    process.wait()
