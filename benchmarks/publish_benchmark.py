#!/usr/bin/python3
"""Times a real publish of a medium tree to a loopback pyftpdlib server.

Generates about 2,000 files in 100 directories (mostly small Windows-1251
pages, some images, a few files of 5 to 20 MB), then publishes it fresh,
again with nothing changed and again with 5 files touched, through Ostrel's
engine (active and passive data connections; pages replaced whole through a
rename, and in place on a server that cannot rename) and through the two
strongest one-connection peers from Debian's packages (lftp mirror -R in both
modes and over TLS, and ncftpput -R, the latter fresh only: it has no
incremental mode).
Prints the median wall time of each and the ratios.

Usage: publish_benchmark.py PUBLISH_DRIVER [--runs N] [--cli OSTREL_PUBLISH]
"""
import argparse
import os
import random
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

USER, PASSWORD = "bench", "bench-password"

SERVER_CODE = r"""
import logging, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.ERROR)
root, user, password, rename, certificate = sys.argv[1:6]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")
class NoRenameHandler(FTPHandler):
    def ftp_RNFR(self, path):
        self.respond("502 Command not implemented.")
handler = FTPHandler if rename == "rename" else NoRenameHandler
if certificate != "-":
    from pyftpdlib.handlers import TLS_FTPHandler
    handler = TLS_FTPHandler
    handler.certfile = certificate
    handler.tls_control_required = handler.tls_data_required = True
handler.authorizer = authorizer
handler.auth_failed_timeout = 0
server = FTPServer(("127.0.0.1", 0), handler)
server.max_cons = 256
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
"""

CYRILLIC = bytes(range(0xC0, 0x100)).decode("cp1251")


def make_page(rng, size):
    words = []
    while sum(len(w) + 1 for w in words) < size:
        words.append("".join(rng.choice(CYRILLIC) for _ in range(rng.randint(2, 10))))
    body = " ".join(words)
    head = ('<html>\r\n<head>\r\n<meta http-equiv="Content-Type" '
            'content="text/html; charset=windows-1251">\r\n<title>Page</title>\r\n</head>\r\n<body>\r\n')
    return (head + "<p>" + body + "</p>\r\n</body>\r\n</html>\r\n").encode("cp1251")


def generate_tree(root):
    rng = random.Random(20261206)
    directories = [root]
    for top in range(10):
        parent = os.path.join(root, "section%02d" % top)
        directories.append(parent)
        for sub in range(9):
            directories.append(os.path.join(parent, "part%02d" % sub))
    directories = directories[:100]
    for directory in directories:
        os.makedirs(directory, exist_ok=True)
    total = 0
    for index in range(2000):
        directory = directories[index % len(directories)]
        if index % 400 == 7:
            name, data = "archive%d.zip" % index, rng.randbytes(rng.randint(5, 20) * 1024 * 1024)
        elif index % 10 == 3:
            name, data = "image%d.gif" % index, rng.randbytes(rng.randint(2, 40) * 1024)
        else:
            name, data = "page%d.htm" % index, make_page(rng, rng.randint(1, 12) * 1024)
        with open(os.path.join(directory, name), "wb") as out:
            out.write(data)
        total += len(data)
    old = time.time() - 3600
    for directory, _, files in os.walk(root):
        for name in files:
            os.utime(os.path.join(directory, name), (old, old))
    return len(directories), total


def wait_for_time_wait_to_fall(limit=3000, timeout=90):
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = subprocess.run(["ss", "-tan", "state", "time-wait"], capture_output=True, text=True).stdout
        if out.count("\n") < limit:
            return
        time.sleep(2)


def start_server(root, rename="rename", certificate="-"):
    process = subprocess.Popen(["/usr/bin/python3", "-c", SERVER_CODE, root, USER, PASSWORD, rename, certificate],
                               stdout=subprocess.PIPE, text=True)
    port = int(process.stdout.readline())
    return process, port


def timed(command):
    start = time.perf_counter()
    result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (result.returncode, " ".join(command), result.stderr[-2000:]))
    return elapsed


def touch(local, count, when):
    """Gives `count` files spread over the tree the time `when`."""
    names = sorted(os.path.join(d, n) for d, _, files in os.walk(local) for n in files)
    for name in names[:: len(names) // count][:count]:
        os.utime(name, (when, when))


def measure(name, fresh_command, rerun_command, server_root, runs, local=None):
    fresh, rerun, touched = [], [], []
    for _ in range(runs):
        shutil.rmtree(server_root)
        os.makedirs(os.path.join(server_root, "site"))
        wait_for_time_wait_to_fall()
        fresh.append(timed(fresh_command))
        if rerun_command:
            wait_for_time_wait_to_fall()
            rerun.append(timed(rerun_command))
            touch(local, 5, time.time())
            wait_for_time_wait_to_fall()
            touched.append(timed(rerun_command))
            touch(local, 5, time.time() - 3600)
    result = tuple(statistics.median(times) if times else None for times in (fresh, rerun, touched))
    print("%-28s fresh %6.2f s   unchanged %s   5 touched %s" % (
        name, result[0], *("%6.3f s" % value if value is not None else "   n/a" for value in result[1:])), flush=True)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("driver")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", help="ostrel-publish executable, timed as well")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="ostrel-bench-")
    local, server_root = os.path.join(work, "local"), os.path.join(work, "server")
    os.makedirs(server_root)
    count, size = generate_tree(local)
    print("tree: %d directories, 2000 files, %.0f MB" % (count, size / 1e6), flush=True)
    server, port = start_server(server_root)
    in_place_root = os.path.join(work, "server-in-place")
    os.makedirs(in_place_root)
    in_place_server, in_place_port = start_server(in_place_root, "no-rename")
    # FTPS: a certificate for 127.0.0.1 that the clients are told to trust.
    certificate, key = os.path.join(work, "server.pem"), os.path.join(work, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True)
    with open(certificate, "a") as combined, open(key) as private:
        combined.write(private.read())  # the server reads its key from the same file
    tls_root = os.path.join(work, "server-tls")
    os.makedirs(tls_root)
    tls_server, tls_port = start_server(tls_root, "rename", certificate)
    host = "127.0.0.1:%d" % port
    try:
        results = {}
        engine = [args.driver, local, host, USER, PASSWORD, "/site", "--update-only"]
        results["engine"] = measure("ostrel engine, active", engine, engine, server_root, args.runs, local)
        results["engine passive"] = measure("ostrel engine, passive", engine + ["--passive"],
                                            engine + ["--passive"], server_root, args.runs, local)
        in_place = [args.driver, local, "127.0.0.1:%d" % in_place_port, USER, PASSWORD, "/site", "--update-only"]
        results["engine in place"] = measure("ostrel engine, in place", in_place, in_place, in_place_root,
                                             args.runs, local)
        if args.cli:
            env_command = ["env", "OSTREL_PASSWORD=" + PASSWORD, "XDG_CONFIG_HOME=" + work, args.cli,
                           "--quiet", "--local-dir", local, "--host", host, "--user", USER,
                           "--remote-dir", "/site", "--update-only", "--no-xcode"]
            results["ostrel-publish"] = measure("ostrel-publish", env_command, env_command, server_root,
                                                args.runs, local)
        tls_engine = ["env", "SSL_CERT_FILE=" + certificate, args.driver, local, "ftpes://127.0.0.1:%d" % tls_port,
                      USER, PASSWORD, "/site", "--update-only"]
        results["engine tls"] = measure("ostrel engine, FTPS", tls_engine, tls_engine, tls_root, args.runs, local)
        tls_lftp = ["lftp", "-u", "%s,%s" % (USER, PASSWORD), "-p", str(tls_port), "-e",
                    "set ftp:ssl-force true; set ssl:ca-file %s; set ftp:passive-mode off; "
                    "mirror -R --only-newer %s /site; quit" % (certificate, local), "127.0.0.1"]
        results["lftp tls"] = measure("lftp mirror -R, FTPS", tls_lftp, tls_lftp, tls_root, args.runs, local)
        for mode in ("off", "on"):
            lftp = ["lftp", "-u", "%s,%s" % (USER, PASSWORD), "-p", str(port), "-e",
                    "set ftp:passive-mode %s; mirror -R --only-newer %s /site; quit" % (mode, local), "127.0.0.1"]
            results["lftp " + mode] = measure("lftp mirror -R, passive " + mode, lftp, lftp, server_root,
                                              args.runs, local)
        ncftp = ["ncftpput", "-R", "-u", USER, "-p", PASSWORD, "-P", str(port), "127.0.0.1", "/site", local]
        results["ncftpput"] = measure("ncftpput -R", ncftp, None, server_root, args.runs)

        engine, passive, in_place = results["engine"], results["engine passive"], results["engine in place"]
        faster_peer = min(results["lftp off"][0], results["ncftpput"][0])
        print("fresh: engine / faster peer = %.2f (goal <= 0.8)" % (engine[0] / faster_peer))
        print("unchanged: engine / lftp = %.2f (goal <= 0.8)" % (engine[1] / results["lftp off"][1]))
        print("passive: engine / lftp, fresh %.2f, unchanged %.2f" % (
            passive[0] / results["lftp on"][0], passive[1] / results["lftp on"][1]))
        print("replaced whole / in place: fresh %.2f, unchanged %.2f, touched %.2f (goal <= 1.10)" % tuple(
            whole / place for whole, place in zip(engine, in_place)))
        print("passive / active: fresh %.2f, unchanged %.2f, touched %.2f (goal <= 1.05)" % tuple(
            p / a for p, a in zip(passive, engine)))
        print("FTPS: engine / lftp, fresh %.2f, unchanged %.2f (goal <= 0.8)" % (
            results["engine tls"][0] / results["lftp tls"][0], results["engine tls"][1] / results["lftp tls"][1]))
    finally:
        for process in (server, in_place_server, tls_server):
            process.send_signal(signal.SIGTERM)
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
