"""Helpers shared by the publish benchmarks: the test user, page text, a
server started from an embedded script, a certificate for FTPS, and the
timing of a fresh, an unchanged and a 5-files-touched publish."""
import os
import shutil
import statistics
import subprocess
import sys
import time

USER, PASSWORD = "bench", "bench-password"

CYRILLIC = bytes(range(0xC0, 0x100)).decode("cp1251")


def make_page(rng, size):
    words = []
    while sum(len(w) + 1 for w in words) < size:
        words.append("".join(rng.choice(CYRILLIC) for _ in range(rng.randint(2, 10))))
    body = " ".join(words)
    head = ('<html>\r\n<head>\r\n<meta http-equiv="Content-Type" '
            'content="text/html; charset=windows-1251">\r\n<title>Page</title>\r\n</head>\r\n<body>\r\n')
    return (head + "<p>" + body + "</p>\r\n</body>\r\n</html>\r\n").encode("cp1251")


def wait_for_time_wait_to_fall(limit=3000, timeout=90):
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = subprocess.run(["ss", "-tan", "state", "time-wait"], capture_output=True, text=True).stdout
        if out.count("\n") < limit:
            return
        time.sleep(2)


def start_server(code, *args):
    """Runs `code` (which prints its port first) with `args`; returns the process and the port."""
    process = subprocess.Popen(["/usr/bin/python3", "-c", code, *map(str, args)], stdout=subprocess.PIPE, text=True)
    port = int(process.stdout.readline())
    return process, port


def make_certificate(directory):
    """Writes a self-signed certificate for 127.0.0.1, its key appended (pyftpdlib
    reads both from one file); returns the file, which the clients are told to trust."""
    certificate, key = os.path.join(directory, "server.pem"), os.path.join(directory, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                    "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True)
    with open(certificate, "a") as combined, open(key) as private:
        combined.write(private.read())
    return certificate


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


def measure(name, fresh_command, rerun_command, server_root, runs, local=None, after_fresh=None):
    """Median times of a fresh publish, a rerun and a rerun with 5 files touched;
    `after_fresh` (if given) is called after each fresh publish, to check it."""
    fresh, rerun, touched = [], [], []
    for _ in range(runs):
        shutil.rmtree(server_root)
        os.makedirs(os.path.join(server_root, "site"))
        wait_for_time_wait_to_fall()
        fresh.append(timed(fresh_command))
        if after_fresh:
            after_fresh()
        if rerun_command:
            wait_for_time_wait_to_fall()
            rerun.append(timed(rerun_command))
            touch(local, 5, time.time())
            wait_for_time_wait_to_fall()
            touched.append(timed(rerun_command))
            touch(local, 5, time.time() - 3600)
    result = tuple(statistics.median(times) if times else None for times in (fresh, rerun, touched))
    print("%-32s fresh %6.2f s   unchanged %s   5 touched %s" % (
        name, result[0], *("%6.3f s" % value if value is not None else "   n/a" for value in result[1:])), flush=True)
    return result


def write_site(root, directories, count, make_file):
    """Writes `count` files, make_file(index) -> (name, bytes), over the
    directories in turn, an hour old; returns the directory count and bytes."""
    for directory in directories:
        os.makedirs(directory, exist_ok=True)
    total = 0
    for index in range(count):
        name, data = make_file(index)
        with open(os.path.join(directories[index % len(directories)], name), "wb") as out:
            out.write(data)
        total += len(data)
    old = time.time() - 3600
    for directory, _, files in os.walk(root):
        for name in files:
            os.utime(os.path.join(directory, name), (old, old))
    return len(directories), total
