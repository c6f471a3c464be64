#!/usr/bin/python3
"""Measures how ostrel-publish fares, with its defaults, against four FTP
servers started as their users start them: pyftpdlib, vsftpd, proftpd and
pure-ftpd, all on 127.0.0.1 only, each on a free port.

For each server:
- a 16-file site (two directories of 8 files, 40,000 and 45,000 bytes of
  random data) is published into an emptied remote directory three times each
  with the defaults, with --active and with --connections 1. Every run has an
  empty settings file (OSTREL_SETTINGS_FILE), the password in OSTREL_PASSWORD
  and only --local-dir, --host, --user and --remote-dir besides the option
  named; it is killed after --timeout seconds. The remote tree is then
  compared byte for byte with the local one.
- modes: a remote run.cgi of mode 0755 and page.htm of mode 0640, older than
  the local ones (and owned by the logon's user where the server runs
  sessions as that user), are replaced by a publish with the defaults; their
  modes afterwards are printed.
- stop (pyftpdlib and vsftpd): a 50 MB file is being published with the
  defaults when the server's processes are stopped (SIGSTOP); about 1 s later
  ostrel-publish gets SIGTERM, and the time until it exits is measured (it is
  killed after --stop-timeout seconds).

How the servers are started:
- pyftpdlib (python3-pyftpdlib): `python3 -m pyftpdlib -w -i 127.0.0.1 -p PORT
  -d ROOT -u USER -P PASSWORD`, nothing else.
- vsftpd (vsftpd): Debian's /etc/vsftpd.conf with the lines the script prints
  changed or added (listen on 127.0.0.1 and the port, write_enable, and what
  containers need: seccomp_sandbox=NO, isolate=NO, isolate_network=NO).
- proftpd (proftpd-core; Debian 12's proftpd-basic holds no files) and
  pure-ftpd (pure-ftpd-common and pure-ftpd) clash with vsftpd as packages, so
  their .debs are fetched with `apt-get download` into build/stock-servers/
  and unpacked there with `dpkg-deb -x`; the libraries they need are installed
  with apt-get. proftpd runs with the package's proftpd.conf and
  modules.conf, its log, pid, scoreboard and delay files moved to a temporary
  directory, plus the port, DefaultAddress 127.0.0.1 and SocketBindTight;
  the package's postinst creates the system user `proftpd` that it names, and
  so does this script. pure-ftpd gets the options Debian's pure-ftpd-wrapper
  makes of the package's /etc/pure-ftpd/conf and auth files (its transfer log
  moved to the temporary directory), plus -S 127.0.0.1,PORT and a pid file.
- vsftpd, proftpd and pure-ftpd log on a local user, `ostrelbench`, created
  if missing, its password set with chpasswd; the remote directory is
  ~ostrelbench/site (none of the three confines a local user by default).

Needs root, python3-pyftpdlib and vsftpd (scripts/install-deps.sh) and the
built ostrel-publish. A measurement, not a test: it fails only when it cannot
set up; every figure is printed.

Usage: stock_servers.py [--publisher PATH] [--servers pyftpdlib,vsftpd,proftpd,pure-ftpd] [--quick]
                        [--timeout 60] [--stop-timeout 90]
"""
import argparse
import filecmp
import os
import pwd
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

from bench_common import wait_for_time_wait_to_fall, write_site

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CACHE = os.path.join(REPO, "build", "stock-servers")
USER, PASSWORD = "ostrelbench", "ostrel-bench-password"
SERVERS = ("pyftpdlib", "vsftpd", "proftpd", "pure-ftpd")
STOP_SERVERS = ("pyftpdlib", "vsftpd")
VARIANTS = (("defaults", []), ("--active", ["--active"]), ("--connections 1", ["--connections", "1"]))
BIG_FILE_BYTES = 50 * 1000 * 1000


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


# --- getting the servers -------------------------------------------------------------------------------------------

def fetch_package(package):
    """The package's files unpacked under CACHE; fetched once."""
    unpacked = os.path.join(CACHE, package)
    os.makedirs(CACHE, exist_ok=True)
    debs = [name for name in os.listdir(CACHE) if name.startswith(package + "_") and name.endswith(".deb")]
    if not debs:
        if subprocess.run(["apt-get", "download", package], cwd=CACHE, capture_output=True).returncode != 0:
            run(["apt-get", "update", "-qq"])
            run(["apt-get", "download", package], cwd=CACHE, capture_output=True)
        debs = [name for name in os.listdir(CACHE) if name.startswith(package + "_") and name.endswith(".deb")]
    deb = os.path.join(CACHE, sorted(debs)[-1])
    if not os.path.isdir(unpacked):
        run(["dpkg-deb", "-x", deb, unpacked + ".part"])
        os.rename(unpacked + ".part", unpacked)
    install_libraries(deb)
    return unpacked


def install_libraries(deb):
    """Installs the shared libraries the .deb depends on, as installing it would."""
    depends = subprocess.run(["dpkg-deb", "-f", deb, "Depends"], capture_output=True, text=True).stdout
    wanted = [item.split("|")[0].split("(")[0].strip() for item in depends.split(",")]
    missing = [name for name in wanted if name.startswith("lib") and not installed(name)]
    if missing:
        print("installing libraries for %s: %s" % (os.path.basename(deb), " ".join(missing)), flush=True)
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        run(["apt-get", "install", "-y", "-qq", "--no-install-recommends", *missing], env=env,
            stdout=subprocess.DEVNULL)


def installed(package):
    status = subprocess.run(["dpkg-query", "-W", "-f=${Status}", package], capture_output=True, text=True).stdout
    return "install ok installed" in status


def check_libraries(*binaries):
    for binary in binaries:
        out = subprocess.run(["ldd", binary], capture_output=True, text=True).stdout
        lost = [line.split()[0] for line in out.splitlines() if "not found" in line]
        if lost:
            sys.exit("%s lacks the libraries %s: find their packages with apt-file or apt-cache search and "
                     "apt-get install them" % (binary, ", ".join(lost)))


def ensure_user(name, *useradd_options):
    try:
        return pwd.getpwnam(name)
    except KeyError:
        run(["useradd", *useradd_options, name])
        return pwd.getpwnam(name)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


# --- the servers ---------------------------------------------------------------------------------------------------

class Server:
    """One server: how it is started, where the remote directory lies on disk and who owns it."""
    banner = ""
    owner = None  # pwd entry of the user whose files the server's sessions touch

    def __init__(self, work):
        self.work = os.path.join(work, self.name)
        os.makedirs(self.work)
        self.process = None
        self.port = None

    def start(self):
        for _ in range(3):  # another program may take the free port before the server binds it
            self.port = free_port()
            log = open(os.path.join(self.work, "server.log"), "ab")
            self.process = subprocess.Popen(self.command(), stdout=log, stderr=subprocess.STDOUT,
                                            stdin=subprocess.DEVNULL, start_new_session=True)
            log.close()
            if self.wait_for_banner():
                return
            self.stop()
        sys.exit("%s did not start; its log: %s" % (self.name, os.path.join(self.work, "server.log")))

    def wait_for_banner(self):
        deadline = time.time() + 10
        while time.time() < deadline and self.process.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=5) as control:
                    first = control.makefile("rb").readline().decode("latin-1")
                    control.sendall(b"QUIT\r\n")
                    return self.banner in first and self.process.poll() is None
            except OSError:
                time.sleep(0.1)
        return False

    def processes(self):
        """The server's process and all its descendants (vsftpd and proftpd fork per session)."""
        children = {}
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry) as stat:
                        parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                except (OSError, IndexError, ValueError):
                    continue
                children.setdefault(parent, []).append(int(entry))
        found, queue = [], [self.process.pid]
        while queue:
            pid = queue.pop()
            found.append(pid)
            queue.extend(children.get(pid, []))
        return found

    def signal_all(self, number, pids=None):
        for pid in pids if pids is not None else self.processes():
            try:
                os.kill(pid, number)
            except ProcessLookupError:
                pass

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        pids = self.processes()
        self.signal_all(signal.SIGCONT)
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        for pid in pids[1:]:  # sessions still running
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

    def empty_remote(self):
        shutil.rmtree(self.site_on_disk, ignore_errors=True)
        os.makedirs(self.site_on_disk)
        self.give_to_owner(self.site_on_disk)

    def give_to_owner(self, path):
        if self.owner:
            os.chown(path, self.owner.pw_uid, self.owner.pw_gid)


class Pyftpdlib(Server):
    name, banner = "pyftpdlib", "pyftpdlib"

    def __init__(self, work):
        super().__init__(work)
        self.root = os.path.join(self.work, "root")
        os.makedirs(self.root)
        self.site_on_disk, self.remote_dir = os.path.join(self.root, "site"), "/site"

    def command(self):
        return ["/usr/bin/python3", "-m", "pyftpdlib", "-w", "-i", "127.0.0.1", "-p", str(self.port),
                "-d", self.root, "-u", USER, "-P", PASSWORD]


class LocalUserServer(Server):
    def __init__(self, work):
        super().__init__(work)
        self.owner = pwd.getpwnam(USER)
        self.site_on_disk = self.remote_dir = os.path.join(self.owner.pw_dir, "site")


class Vsftpd(LocalUserServer):
    name, banner = "vsftpd", "vsFTPd"
    # Only what the measurement needs; the container lines are explained in the notes on test servers.
    CHANGES = [("listen", "YES"), ("listen_ipv6", "NO"), ("listen_address", "127.0.0.1"), ("listen_port", None),
               ("write_enable", "YES"), ("seccomp_sandbox", "NO"), ("isolate", "NO"), ("isolate_network", "NO")]

    def command(self):
        values = dict(self.CHANGES, listen_port=str(self.port))
        lines = []
        with open("/etc/vsftpd.conf") as packaged:
            for line in packaged.read().splitlines():
                key = line.split("=", 1)[0].strip()
                lines.append("# (changed below) " + line if key in values and not line.startswith("#") else line)
        lines.append("# added for the measurement")
        lines += ["%s=%s" % (key, values[key]) for key, _ in self.CHANGES]
        config = os.path.join(self.work, "vsftpd.conf")
        with open(config, "w") as out:
            out.write("\n".join(lines) + "\n")
        os.makedirs("/var/run/vsftpd/empty", exist_ok=True)
        return ["/usr/sbin/vsftpd", config]

    def describe(self):
        return "Debian's /etc/vsftpd.conf with " + ", ".join(
            "%s=%s" % (key, value or "PORT") for key, value in self.CHANGES)


class Proftpd(LocalUserServer):
    name, banner = "proftpd", "ProFTPD"

    def __init__(self, work):
        super().__init__(work)
        self.unpacked = fetch_package("proftpd-core")
        self.binary = os.path.join(self.unpacked, "usr/sbin/proftpd")
        modules = os.path.join(self.unpacked, "usr/lib/proftpd")
        check_libraries(self.binary, *(os.path.join(modules, name) for name in os.listdir(modules)))
        # The package's postinst creates the user its proftpd.conf runs as.
        ensure_user("proftpd", "--system", "--home-dir", "/run/proftpd", "--no-create-home",
                    "--shell", "/usr/sbin/nologin", "--gid", "nogroup")

    def command(self):
        templates = os.path.join(self.unpacked, "usr/share/proftpd/templates")
        with open(os.path.join(templates, "modules.conf")) as packaged:
            modules = packaged.read().replace("ModulePath /usr/lib/proftpd",
                                              "ModulePath " + os.path.join(self.unpacked, "usr/lib/proftpd"))
        with open(os.path.join(self.work, "modules.conf"), "w") as out:
            out.write(modules)
        lines = []
        with open(os.path.join(templates, "proftpd.conf")) as packaged:
            for line in packaged.read().splitlines():
                if line.startswith("Include /etc/proftpd/modules.conf"):
                    line = "Include " + os.path.join(self.work, "modules.conf")
                elif line.startswith("Include /etc/proftpd/conf.d/"):
                    line = "# (empty in the package) " + line
                elif line.startswith("Port "):
                    line = "Port %d" % self.port
                lines.append(line.replace("/var/log/proftpd/", self.work + "/").replace("/var/run/proftpd/",
                                                                                     self.work + "/"))
        lines += ["# added for the measurement", "DefaultAddress 127.0.0.1", "SocketBindTight on"] + [
            "%s %s/%s" % (directive, self.work, name) for directive, name in (
                ("ScoreboardFile", "proftpd.scoreboard"), ("PidFile", "proftpd.pid"), ("DelayTable", "proftpd.delay"))]
        config = os.path.join(self.work, "proftpd.conf")
        with open(config, "w") as out:
            out.write("\n".join(lines) + "\n")
        return [self.binary, "--nodaemon", "--config", config]

    def describe(self):
        return ("the package's proftpd.conf and modules.conf; Port PORT, DefaultAddress 127.0.0.1, "
                "SocketBindTight on; logs, pid, scoreboard and delay table in a temporary directory")


class PureFtpd(LocalUserServer):
    name, banner = "pure-ftpd", "Pure-FTPd"
    # What Debian's pure-ftpd-wrapper turns each packaged file in /etc/pure-ftpd/conf into (None: it skips it).
    WRAPPER = {"AltLog": "-O", "FSCharset": None, "MinUID": "-u", "NoAnonymous": "-E", "TLSCipherSuite": "-J"}
    AUTHENTICATION = {"PAMAuthentication": "pam", "UnixAuthentication": "unix"}

    def __init__(self, work):
        super().__init__(work)
        self.etc = os.path.join(fetch_package("pure-ftpd-common"), "etc/pure-ftpd")
        self.binary = os.path.join(fetch_package("pure-ftpd"), "usr/sbin/pure-ftpd")
        check_libraries(self.binary)
        self.options = self.packaged_options()

    def packaged_options(self):
        options = []
        auth = os.path.join(self.etc, "auth")
        for link in sorted(os.listdir(auth)):
            name = os.path.basename(os.readlink(os.path.join(auth, link)))
            if self.read_conf(name).lower() in ("yes", "1", "on") and name in self.AUTHENTICATION:
                options += ["-l", self.AUTHENTICATION[name]]
        for name in sorted(os.listdir(os.path.join(self.etc, "conf"))):
            if name in self.AUTHENTICATION or name == "PureDB":
                continue  # read only through the auth links, as the wrapper does
            if name not in self.WRAPPER:
                sys.exit("pure-ftpd: the packaged setting %s is new to this script; add what "
                         "pure-ftpd-wrapper makes of it to PureFtpd.WRAPPER" % name)
            flag, value = self.WRAPPER[name], self.read_conf(name)
            if flag == "-E":
                options.append(flag)
            elif flag == "-O":
                options += [flag, value.replace("/var/log/pure-ftpd/", self.work + "/")]
            elif flag:
                options += [flag, value]
        return options

    def read_conf(self, name):
        with open(os.path.join(self.etc, "conf", name)) as conf:
            return conf.read().strip()

    def command(self):
        return [self.binary, *self.options, "-S", "127.0.0.1,%d" % self.port,
                "-g", os.path.join(self.work, "pure-ftpd.pid")]

    def describe(self):
        return "pure-ftpd-wrapper's options from the package's files: %s; plus -S 127.0.0.1,PORT -g PIDFILE" % (
            " ".join(self.options))


# --- sites and comparisons -----------------------------------------------------------------------------------------

def make_site(root):
    rng = random.Random(686)
    return write_site(root, [os.path.join(root, "pages"), os.path.join(root, "images")], 16,
                      lambda index: ("file%02d.bin" % index, rng.randbytes(40000 if index % 2 == 0 else 45000)))


def make_mode_site(root):
    os.makedirs(root)
    old = time.time() - 3600
    for name, text in MODE_FILES.items():
        path = os.path.join(root, name)
        with open(path, "w") as out:
            out.write(text)
        os.chmod(path, 0o644)
        os.utime(path, (old, old))


MODE_FILES = {"run.cgi": "#!/bin/sh\necho 'Content-Type: text/plain'\necho\necho new\n",
              "page.htm": "<html><body><p>new page</p></body></html>\n"}
REMOTE_MODES = {"run.cgi": 0o755, "page.htm": 0o640}


def compare_trees(local, remote):
    """"whole" when the remote tree holds exactly the local files, byte for byte; else what differs."""
    def files(root):
        return {os.path.relpath(os.path.join(d, n), root) for d, _, names in os.walk(root) for n in names}
    want, got = files(local), files(remote)
    missing, extra = sorted(want - got), sorted(got - want)
    differ = [name for name in sorted(want & got)
              if not filecmp.cmp(os.path.join(local, name), os.path.join(remote, name), shallow=False)]
    if not (missing or extra or differ):
        return "whole"
    parts = []
    if missing:
        parts.append("%d missing" % len(missing))
    if differ:
        parts.append("%d differ (%s)" % (len(differ), ", ".join(
            "%s %d of %d bytes" % (name, os.path.getsize(os.path.join(remote, name)),
                                   os.path.getsize(os.path.join(local, name))) for name in differ[:2])))
    if extra:
        parts.append("%d extra (%s)" % (len(extra), ", ".join(extra[:2])))
    return ", ".join(parts)


# --- publishing ----------------------------------------------------------------------------------------------------

class Publisher:
    def __init__(self, path, work):
        self.path, self.work = path, work
        self.count = 0

    def start(self, server, local, extra):
        self.count += 1
        settings = os.path.join(self.work, "settings-%d.ini" % self.count)
        open(settings, "w").close()
        env = {key: value for key, value in os.environ.items() if not key.startswith("OSTREL_")}
        env.update(OSTREL_SETTINGS_FILE=settings, OSTREL_PASSWORD=PASSWORD)
        command = [self.path, "--local-dir", local, "--host", "127.0.0.1:%d" % server.port, "--user", USER,
                   "--remote-dir", server.remote_dir, *extra]
        self.log = os.path.join(self.work, "publish-%d.log" % self.count)
        with open(self.log, "wb") as log:
            return subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, env=env)

    def last_message(self):
        with open(self.log, errors="replace") as log:
            lines = [line.strip() for line in log if line.strip()]
        return lines[-1] if lines else ""


def wait_bounded(process, timeout):
    """(seconds, exit status or "killed") of a process given `timeout` seconds."""
    start = time.perf_counter()
    try:
        status = process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        status = "killed"
    return time.perf_counter() - start, status


def outcome(seconds, status):
    return "%6.2f s %s" % (seconds, "exit %s" % status if status != "killed" else "KILLED")


def publish_runs(server, publisher, site, runs, timeout):
    rows = []
    for label, extra in VARIANTS:
        results = []
        for number in range(runs):
            server.empty_remote()
            wait_for_time_wait_to_fall()
            seconds, status = wait_bounded(publisher.start(server, site, extra), timeout)
            tree = compare_trees(site, server.site_on_disk)
            results.append((seconds, status, tree))
            note = "" if status == 0 else "   last line: " + publisher.last_message()[:100]
            print("  %-16s run %d: %s, remote tree %s%s" % (label, number + 1, outcome(seconds, status), tree, note),
                  flush=True)
        rows.append((server.name, label, results))
    return rows


def mode_run(server, publisher, site, timeout):
    server.empty_remote()
    two_days_ago = time.time() - 2 * 86400
    for name, mode in REMOTE_MODES.items():
        path = os.path.join(server.site_on_disk, name)
        with open(path, "w") as out:
            out.write("old\n")
        server.give_to_owner(path)
        os.chmod(path, mode)
        os.utime(path, (two_days_ago, two_days_ago))
    wait_for_time_wait_to_fall()
    seconds, status = wait_bounded(publisher.start(server, site, []), timeout)
    after = {}
    for name in REMOTE_MODES:
        path = os.path.join(server.site_on_disk, name)
        if not os.path.exists(path):
            after[name] = "gone"
            continue
        with open(path) as remote:
            replaced = remote.read() == MODE_FILES[name]
        after[name] = "%04o%s" % (os.stat(path).st_mode & 0o7777, "" if replaced else " (not replaced)")
    print("  modes after a publish with the defaults (%s): run.cgi 0755 -> %s, page.htm 0640 -> %s" % (
        outcome(seconds, status).strip(), after["run.cgi"], after["page.htm"]), flush=True)
    return server.name, outcome(seconds, status).strip(), after


def remote_bytes(server):
    """Bytes in the files of the remote directory, -1 while it holds none."""
    with os.scandir(server.site_on_disk) as entries:
        sizes = [entry.stat().st_size for entry in entries if entry.is_file()]
    return sum(sizes) if sizes else -1


def stop_run(server, publisher, site, stop_timeout):
    """Stops the server in the middle of an upload, then ostrel-publish with SIGTERM."""
    server.empty_remote()
    wait_for_time_wait_to_fall()
    process = publisher.start(server, site, [])
    # Loopback takes 50 MB in well under 0.1 s, less than a scan of /proc, and vsftpd's sessions leave the
    # server's process group: the processes are listed while the upload is awaited (sessions begin at
    # logon, before any STOR) and stopped from that list, then from a fresh scan for any stragglers.
    # The upload may go to another name first, so any file in the remote directory counts.
    deadline = time.time() + 30
    pids = []
    while time.time() < deadline and process.poll() is None:
        if remote_bytes(server) > 0:
            break
        if remote_bytes(server) < 0:
            pids = server.processes()
    server.signal_all(signal.SIGSTOP, pids)
    server.signal_all(signal.SIGSTOP)
    stopped_at = max(0, remote_bytes(server))
    if process.poll() is not None:
        server.signal_all(signal.SIGCONT)
        result = (server.name, "publish ended before the stop (exit %s)" % process.returncode, "", "")
    else:
        time.sleep(1)
        during = "upload under way, %.1f MB on the server" % (stopped_at / 1e6) if stopped_at else (
            "no upload begun within 30 s")
        process.send_signal(signal.SIGTERM)
        seconds, status = wait_bounded(process, stop_timeout)
        server.signal_all(signal.SIGCONT)
        result = (server.name, during, outcome(seconds, status).strip(), publisher.last_message()[:110])
    print("  stop: server stopped with %s; SIGTERM to exit: %s" % (result[1], result[2] or "-"), flush=True)
    return result


# --- the run -------------------------------------------------------------------------------------------------------

def print_table(title, header, rows):
    widths = [max(len(str(row[column])) for row in [header] + rows) for column in range(len(header))]
    print("\n" + title)
    for row in [header, ["-" * width for width in widths]] + rows:
        print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())


def find_publisher(given):
    candidates = [given] if given else [os.path.join(REPO, "build/release/src/cli/ostrel-publish"),
                                        os.path.join(REPO, "build/test/src/cli/ostrel-publish")]
    for candidate in candidates:
        if os.access(candidate, os.X_OK):
            return os.path.abspath(candidate)
    sys.exit("ostrel-publish not found at %s; build it (cmake --build build/release --target ostrel-publish) "
             "or give --publisher PATH" % " or ".join(candidates))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--publisher", help="ostrel-publish to measure (default: build/release/src/cli/"
                        "ostrel-publish, else build/test/src/cli/ostrel-publish)")
    parser.add_argument("--servers", default=",".join(SERVERS), help="comma-separated, from " + ", ".join(SERVERS))
    parser.add_argument("--quick", action="store_true", help="one run of each kind instead of three")
    parser.add_argument("--timeout", type=float, default=60, help="seconds a publish may take (default 60)")
    parser.add_argument("--stop-timeout", type=float, default=90,
                        help="seconds ostrel-publish may take after SIGTERM (default 90)")
    args = parser.parse_args()
    chosen = [name.strip() for name in args.servers.split(",") if name.strip()]
    unknown = [name for name in chosen if name not in SERVERS]
    if unknown or not chosen:
        sys.exit("unknown server %s; choose from %s" % (", ".join(unknown) or "(none)", ", ".join(SERVERS)))
    if os.geteuid() != 0:
        sys.exit("run as root: the servers log on a local user, and vsftpd and proftpd start as root")
    publisher_path = find_publisher(args.publisher)
    if "pyftpdlib" in chosen and subprocess.run(["/usr/bin/python3", "-c", "import pyftpdlib"]).returncode:
        sys.exit("pyftpdlib is missing: apt-get install -y python3-pyftpdlib (or scripts/install-deps.sh)")
    if "vsftpd" in chosen and not os.access("/usr/sbin/vsftpd", os.X_OK):
        sys.exit("vsftpd is missing: apt-get install -y vsftpd (or scripts/install-deps.sh)")
    if any(name != "pyftpdlib" for name in chosen):
        ensure_user(USER, "--create-home", "--shell", "/bin/bash")
        run(["chpasswd"], input="%s:%s\n" % (USER, PASSWORD), text=True)
    runs = 1 if args.quick else 3

    work = tempfile.mkdtemp(prefix="ostrel-stock-")
    os.chmod(work, 0o755)
    publisher = Publisher(publisher_path, work)
    site, mode_site, big_site = (os.path.join(work, name) for name in ("site", "mode-site", "big-site"))
    directories, total = make_site(site)
    make_mode_site(mode_site)
    os.makedirs(big_site)
    with open(os.path.join(big_site, "big.bin"), "wb") as out:
        out.write(random.Random(50).randbytes(BIG_FILE_BYTES))
    print("ostrel-publish: %s" % publisher_path)
    print("site: %d directories, 16 files, %d bytes; %d run(s) of each kind, each killed after %g s" % (
        directories, total, runs, args.timeout))

    classes = {"pyftpdlib": Pyftpdlib, "vsftpd": Vsftpd, "proftpd": Proftpd, "pure-ftpd": PureFtpd}
    publish_rows, mode_rows, stop_rows, started = [], [], [], []
    try:
        for name in chosen:
            server = classes[name](work)
            started.append(server)
            server.start()
            version = {"pyftpdlib": "python3 -m pyftpdlib -w -i 127.0.0.1 -p PORT -d ROOT -u USER -P PASSWORD"}
            print("\n%s on 127.0.0.1:%d (%s)" % (name, server.port, version.get(name) or server.describe()),
                  flush=True)
            publish_rows += publish_runs(server, publisher, site, runs, args.timeout)
            mode_rows.append(mode_run(server, publisher, mode_site, args.timeout))
            if name in STOP_SERVERS:
                stop_rows.append(stop_run(server, publisher, big_site, args.stop_timeout))
            server.stop()
            shutil.rmtree(server.site_on_disk, ignore_errors=True)
    finally:
        for server in started:
            server.stop()
            shutil.rmtree(server.site_on_disk, ignore_errors=True)

    table = []
    for server_name, label, results in publish_rows:
        trees = [tree for _, _, tree in results]
        table.append([server_name, label, *(outcome(seconds, status).strip() for seconds, status, _ in results),
                      # the names are in the lines printed during the runs
                      "whole" if all(tree == "whole" for tree in trees) else "; ".join(
                          re.sub(r" \([^)]*\)", "", tree) for tree in trees)])
    print_table("Publishing the 16-file site into an emptied remote directory",
                ["server", "options", *("run %d" % (n + 1) for n in range(runs)), "remote tree"], table)
    print_table("Modes after a publish with the defaults over a remote run.cgi 0755 and page.htm 0640",
                ["server", "publish", "run.cgi", "page.htm"],
                [[server_name, result, after["run.cgi"], after["page.htm"]]
                 for server_name, result, after in mode_rows])
    if stop_rows:
        print_table("SIGTERM about 1 s after the server stopped answering (SIGSTOP) during a 50 MB upload",
                    ["server", "server stopped", "SIGTERM to exit", "last line of output"],
                    [list(row) for row in stop_rows])
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
