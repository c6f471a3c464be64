#!/usr/bin/python3
"""Times ostrel-publish beside lftp mirror -R against an FTP server that behaves
as if it were a WAN round trip away.

The server is pyftpdlib on 127.0.0.1 with these changes, all made on its one
event loop through timers (nothing sleeps, so every connection keeps going):
- every reply on a control connection leaves the server RTT after it was made,
  in the order the replies were made; a reply made while earlier ones still
  wait goes out after them. So a command answered in one round trip costs one
  RTT, and commands sent back to back without waiting cost one RTT together.
- a preliminary reply (150 or 125, the one that opens a transfer) waits one RTT
  more, for the handshake of the new data connection; the final reply of the
  transfer queues behind it. This holds for passive and active connections.
- the greeting waits RTT too, which stands for the handshake of the control
  connection.
- the bytes received on all data connections together are held to the upload
  cap (--upload-mbit, a token bucket shared by all connections; 0: no cap).
Not simulated: latency inside a data stream (a listing or a file arrives at
once after its preliminary reply), TCP slow start and windows, loss.
A reply still waiting when its connection closes is dropped; a QUIT's reply is
sent before the connection closes.

--tls: the same server speaks explicit FTPS (AUTH TLS; TLS required on the
control connection before USER and on every data connection), with a
self-signed certificate the clients are told to trust. Charged: the replies to
AUTH, PBSZ and PROT, one RTT each like any other (the handshake begins once
the 234 has left), and the CPU time of the encryption on both ends, which is
real. Not charged: the TLS handshakes themselves, which run at loopback speed;
in reality each costs at least one round trip more (two with TLS 1.2), the
control connection's after AUTH TLS and each data connection's unless the
client overlaps it with the round trip of its STOR or LIST.

--max-logons N: the server accepts at most N control connections at once
(pyftpdlib's max_cons_per_ip; every client comes from 127.0.0.1; data
connections do not count). One more gets "421 Too many connections from the
same IP address." in place of the greeting, RTT late, and is closed; it counts
towards the limit until its 421 has left.

The site: about 300 files in 30 directories, about 20 MB (mostly small
Windows-1251 pages, some images, 3 files of 5 to 6 MB), from a fixed seed.
Each client publishes it fresh (the server's tree is then compared with the
local one), unchanged and with 5 files touched, in passive mode.

Usage: wan_benchmark.py --cli OSTREL_PUBLISH [--rtts 20,60,150] [--runs 3] [--upload-mbit 20]
                        [--connections 1,4] [--lftp-parallel 1,4] [--tls] [--max-logons N]
Needs python3-pyftpdlib and lftp (apt-get install -y python3-pyftpdlib lftp),
and for --tls python3-openssl and openssl.
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile

from bench_common import PASSWORD, USER, make_certificate, make_page, measure, start_server, write_site

SERVER_CODE = r"""
import logging, sys
from collections import deque
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.ioloop import timer
from pyftpdlib.servers import FTPServer
logging.basicConfig(level=logging.ERROR)
root, user, password = sys.argv[1:4]
rtt, rate = float(sys.argv[4]) / 1000, float(sys.argv[5]) * 1e6 / 8
certificate, max_logons = sys.argv[6], int(sys.argv[7])
if certificate == "-":
    from pyftpdlib.handlers import DTPHandler, FTPHandler
else:  # the TLS handlers under the same names: the classes below derive from them alike
    from pyftpdlib.handlers import TLS_DTPHandler as DTPHandler, TLS_FTPHandler as FTPHandler
bucket = {"tokens": 0.0, "time": timer()}

class WanHandler(FTPHandler):
    def __init__(self, *args, **kwargs):
        self._replies = deque()  # [text, due yet] in the order the replies were made
        self._close_when_sent = False
        super().__init__(*args, **kwargs)

    def push(self, text):
        entry = [text, False, None]  # the third: what to do once the reply has left
        self._replies.append(entry)
        # self.call_later is cancelled when the connection closes
        self.call_later(rtt * (2 if text[:4] in ("150 ", "125 ") else 1), self._due, entry)

    def _due(self, entry):
        entry[1] = True
        while self._replies and self._replies[0][1] and not self._closed:
            text, _, then = self._replies.popleft()
            FTPHandler.push(self, text)
            if then:
                then()
        if self._close_when_sent and not self._replies and not self._closed:
            FTPHandler.close_when_done(self)

    def close_when_done(self):
        if self._replies:
            self._close_when_sent = True
        else:
            FTPHandler.close_when_done(self)

    def secure_connection(self, ssl_context):
        # AUTH TLS: the handshake begins once the 234, still held, has left in clear text
        self._replies[-1][2] = lambda: FTPHandler.secure_connection(self, ssl_context)

class CappedDTPHandler(DTPHandler):
    def recv(self, size):
        chunk = super().recv(size)
        if rate and chunk and not self._closed:
            now = timer()
            # one bucket for all connections: a debt makes each reader wait its share
            bucket["tokens"] = min(rate / 20, bucket["tokens"] + (now - bucket["time"]) * rate) - len(chunk)
            bucket["time"] = now
            if bucket["tokens"] < 0:
                self.del_channel()
                self.call_later(-bucket["tokens"] / rate, self.add_channel, events=self.ioloop.READ)
        return chunk

authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")
WanHandler.authorizer = authorizer
WanHandler.auth_failed_timeout = 0
WanHandler.dtp_handler = CappedDTPHandler
if certificate != "-":
    WanHandler.certfile = certificate
    WanHandler.tls_control_required = WanHandler.tls_data_required = True
server = FTPServer(("127.0.0.1", 0), WanHandler)
server.max_cons = 256
server.max_cons_per_ip = max_logons
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
"""


def generate_tree(root):
    rng = random.Random(4711)
    directories = [root] + [os.path.join(root, "topic%d" % top, *(["sub%d" % sub] if sub else []))
                            for top in range(6) for sub in range(5)][:29]

    def make_file(index):
        if index % 100 == 41:
            return "archive%d.zip" % index, rng.randbytes(rng.randint(5 * 1024, 6 * 1024) * 1024)
        if index % 10 == 3:
            return "image%d.gif" % index, rng.randbytes(rng.randint(2, 60) * 1024)
        return "page%d.htm" % index, make_page(rng, rng.randint(1, 20) * 1024)

    return write_site(root, directories, 300, make_file)


def listing(root):
    return {os.path.relpath(os.path.join(d, n), root): os.path.getsize(os.path.join(d, n))
            for d, _, files in os.walk(root) for n in files}


def check_published(local, remote, name):
    want, got = listing(local), listing(remote)
    if want != got:
        missing = sorted(set(want) - set(got))[:5]
        extra = sorted(set(got) - set(want))[:5]
        wrong = sorted(n for n in set(want) & set(got) if want[n] != got[n])[:5]
        sys.exit("%s: the published tree differs from the local one: missing %s, extra %s, other size %s" % (
            name, missing, extra, wrong))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True, help="ostrel-publish executable")
    parser.add_argument("--rtts", default="20,60,150", help="round trip times in ms, comma-separated")
    parser.add_argument("--connections", default="1,4", help="ostrel-publish's connection counts to time")
    parser.add_argument("--lftp-parallel", default="1,4", help="lftp's --parallel values to time (4 is the yardstick)")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--upload-mbit", type=float, default=20, help="upload cap over all connections (0: none)")
    parser.add_argument("--tls", action="store_true", help="explicit FTPS, TLS required on control and data")
    parser.add_argument("--max-logons", type=int, default=0, help="logons the server accepts at once (0: no limit)")
    args = parser.parse_args()
    for tool, package in (("lftp", "lftp"), ("ss", "iproute2")) + ((("openssl", "openssl"),) if args.tls else ()):
        if not shutil.which(tool):
            sys.exit("%s is missing: apt-get install -y %s" % (tool, package))
    if subprocess.run(["/usr/bin/python3", "-c", "import pyftpdlib"], capture_output=True).returncode:
        sys.exit("pyftpdlib is missing: apt-get install -y python3-pyftpdlib")
    if args.tls and subprocess.run(["/usr/bin/python3", "-c", "import OpenSSL"], capture_output=True).returncode:
        sys.exit("pyOpenSSL is missing: apt-get install -y python3-openssl")
    has_connections = "--connections" in subprocess.run([args.cli, "--help"], capture_output=True, text=True).stdout

    work = tempfile.mkdtemp(prefix="ostrel-wan-")
    local, server_root = os.path.join(work, "local"), os.path.join(work, "server")
    os.makedirs(server_root)
    count, size = generate_tree(local)
    certificate = make_certificate(work) if args.tls else "-"
    print("tree: %d directories, 300 files, %.1f MB; upload cap %s%s%s" % (
        count, size / 1e6, "%g Mbit/s over all connections" % args.upload_mbit if args.upload_mbit else "none",
        "; explicit FTPS" if args.tls else "",
        "; at most %d logons at once" % args.max_logons if args.max_logons else ""))
    if not has_connections:
        print("note: %s --help lists no --connections; ostrel-publish runs with its default only" % args.cli)
    check = (lambda name: lambda: check_published(local, os.path.join(server_root, "site"), name))
    summary = []
    try:
        for rtt in (int(value) for value in args.rtts.split(",")):
            server, port = start_server(SERVER_CODE, server_root, USER, PASSWORD, rtt, args.upload_mbit, certificate,
                                        args.max_logons)
            try:
                print("RTT %d ms" % rtt, flush=True)
                scheme = "ftpes" if args.tls else "ftp"
                ostrel = ["env", "OSTREL_PASSWORD=" + PASSWORD, "XDG_CONFIG_HOME=" + work,
                          *(["SSL_CERT_FILE=" + certificate] if args.tls else []), args.cli, "--quiet",
                          "--local-dir", local, "--host", "%s://127.0.0.1:%d" % (scheme, port), "--user", USER,
                          "--remote-dir", "/site", "--update-only", "--no-xcode", "--passive"]
                variants = [("ostrel-publish", [], "default")]
                if has_connections:
                    variants = [("ostrel-publish --connections %d" % n, ["--connections", str(n)], n)
                                for n in (int(value) for value in args.connections.split(","))]
                results = {}
                for name, extra, key in variants:
                    results[key] = measure(name, ostrel + extra, ostrel + extra, server_root, args.runs, local,
                                           check(name))
                lftp_tls = ("set ftp:ssl-force true; set ssl:ca-file %s; set ftp:ssl-protect-data true" % certificate
                            if args.tls else "set ftp:ssl-allow no")
                for parallel in (int(value) for value in args.lftp_parallel.split(",")):
                    name = "lftp mirror -R" + (" --parallel=%d" % parallel if parallel > 1 else "")
                    lftp = ["lftp", "-u", "%s,%s" % (USER, PASSWORD), "-p", str(port), "-e",
                            "set ftp:passive-mode on; %s; set net:max-retries 1; "
                            "set net:reconnect-interval-base 1; mirror -R --only-newer%s %s /site; quit" % (
                                lftp_tls, " --parallel=%d" % parallel if parallel > 1 else "", local), "127.0.0.1"]
                    results["lftp%d" % parallel] = measure(name, lftp, lftp, server_root, args.runs, local,
                                                           check(name))
                ours = results.get(4, results.get("default"))
                label = "ostrel 4 conn." if has_connections else "ostrel (default connections)"
                if ours and "lftp4" in results:  # the ratio only when both were timed
                    for index, what in ((0, "fresh"), (1, "unchanged")):
                        ratio = ours[index] / results["lftp4"][index]
                        summary.append("RTT %3d ms, %-9s %s / lftp --parallel=4 = %.2f  (goal <= 0.8: %s)" % (
                            rtt, what, label, ratio, "met" if ratio <= 0.8 else "MISSED"))
            finally:
                server.send_signal(signal.SIGTERM)
                server.wait()
        print("\n".join(summary))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
