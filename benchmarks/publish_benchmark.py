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
import signal
import shutil
import tempfile

from bench_common import (PASSWORD, USER, make_certificate, make_page, measure, start_server as start_script,
                          write_site)

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


def generate_tree(root):
    rng = random.Random(20261206)
    directories = [root]
    for top in range(10):
        parent = os.path.join(root, "section%02d" % top)
        directories.append(parent)
        for sub in range(9):
            directories.append(os.path.join(parent, "part%02d" % sub))
    directories = directories[:100]

    def make_file(index):
        if index % 400 == 7:
            return "archive%d.zip" % index, rng.randbytes(rng.randint(5, 20) * 1024 * 1024)
        if index % 10 == 3:
            return "image%d.gif" % index, rng.randbytes(rng.randint(2, 40) * 1024)
        return "page%d.htm" % index, make_page(rng, rng.randint(1, 12) * 1024)

    return write_site(root, directories, 2000, make_file)


def start_server(root, rename="rename", certificate="-"):
    return start_script(SERVER_CODE, root, USER, PASSWORD, rename, certificate)


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
    certificate = make_certificate(work)  # for FTPS
    tls_root = os.path.join(work, "server-tls")
    os.makedirs(tls_root)
    tls_server, tls_port = start_server(tls_root, "rename", certificate)
    host = "127.0.0.1:%d" % port
    try:
        results = {}
        # One connection in active mode, as every run was before extra
        # connections, and in passive mode, the default; pyftpdlib stalls when
        # several sessions open active data connections at once (lftp
        # --parallel too), so several connections are timed as the defaults
        # have them, passive.
        engine = [args.driver, local, host, USER, PASSWORD, "/site", "--update-only", "--one-connection"]
        results["engine"] = measure("ostrel engine, active, 1 conn.", engine + ["--active"], engine + ["--active"],
                                    server_root, args.runs, local)
        results["engine passive"] = measure("ostrel engine, passive, 1 conn.", engine, engine, server_root, args.runs,
                                            local)
        parallel = engine[:-1]
        results["engine 4"] = measure("ostrel engine, passive, 4 conn.", parallel, parallel, server_root, args.runs,
                                      local)
        in_place = [args.driver, local, "127.0.0.1:%d" % in_place_port, USER, PASSWORD, "/site", "--update-only",
                    "--one-connection"]
        results["engine in place"] = measure("ostrel engine, in place", in_place, in_place, in_place_root,
                                             args.runs, local)
        if args.cli:
            env_command = ["env", "OSTREL_PASSWORD=" + PASSWORD, "XDG_CONFIG_HOME=" + work, args.cli,
                           "--quiet", "--local-dir", local, "--host", host, "--user", USER,
                           "--remote-dir", "/site", "--update-only", "--no-xcode", "--connections", "1"]
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
        print("4 connections / 1 (passive): fresh %.2f, unchanged %.2f, touched %.2f" % tuple(
            four / one for four, one in zip(results["engine 4"], passive)))
        print("FTPS: engine / lftp, fresh %.2f, unchanged %.2f (goal <= 0.8)" % (
            results["engine tls"][0] / results["lftp tls"][0], results["engine tls"][1] / results["lftp tls"][1]))
    finally:
        for process in (server, in_place_server, tls_server):
            process.send_signal(signal.SIGTERM)
            process.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
