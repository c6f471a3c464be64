"""A pyftpdlib FTP server for the tests, on 127.0.0.1 and an ephemeral port.

It prints the port on the first line of its output once it listens, logs every
command it receives (PASS masked) to a command log, and injects faults on
request so that tests can see how the client copes with a refusing, dropping
or silent server. Stop it with SIGTERM.

Run it with /usr/bin/python3: Debian's python3-pyftpdlib lives there.
"""

import argparse
import logging
import posixpath
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--root", required=True, help="folder the user sees as /")
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--command-log", help="file that receives one line per command")
    parser.add_argument("--quiet", action="store_true", help="log nothing but errors, for benchmarks")
    faults = parser.add_argument_group("faults")
    faults.add_argument("--refuse-mkd", action="append", default=[], metavar="PATH",
                        help="answer MKD of PATH (or of anything for '*') with 550")
    faults.add_argument("--refuse-cwd", action="append", default=[], metavar="PATH",
                        help="answer CWD to PATH with 550")
    faults.add_argument("--fail-stor", action="append", default=[], metavar="NAME:CODE",
                        help="answer STOR NAME with the reply code CODE, e.g. 552")
    faults.add_argument("--close-control-during-stor", type=int, metavar="BYTES",
                        help="close the control connection once a STOR has received BYTES")
    faults.add_argument("--cut-data-during-stor", type=int, metavar="BYTES",
                        help="close only the data connection once a STOR has received BYTES")
    faults.add_argument("--stall-stor", type=int, metavar="BYTES",
                        help="stop reading a STOR's data connection once it has received BYTES")
    faults.add_argument("--silent-after", type=int, metavar="COUNT",
                        help="answer the first COUNT commands of a connection, then nothing")
    faults.add_argument("--silent-on", metavar="COMMAND",
                        help="answer nothing from COMMAND on, e.g. PWD")
    faults.add_argument("--delay-reply", action="append", default=[], metavar="COMMAND:SECONDS",
                        help="answer COMMAND only after SECONDS")
    faults.add_argument("--refuse-listing", action="store_true", help="answer MLSD and LIST with 550")
    faults.add_argument("--hide-mlst", action="store_true", help="leave MLST out of the FEAT reply")
    faults.add_argument("--refuse-eprt", action="store_true", help="answer EPRT with 500")
    faults.add_argument("--broken-greeting", action="store_true",
                        help="send '220-first line' and close the connection")
    return parser.parse_args()


def same_path(first, second):
    return second == "*" or first.rstrip("/") == second.rstrip("/")


def make_handler(options):
    command_log = open(options.command_log, "ab", buffering=0) if options.command_log else None
    failed_stors = dict(entry.rsplit(":", 1) for entry in options.fail_stor)
    delays = {command.upper(): float(seconds)
              for command, seconds in (entry.rsplit(":", 1) for entry in options.delay_reply)}

    class FaultyDTPHandler(DTPHandler):
        # pyftpdlib aliases handle_read_event to handle_read, so the read
        # event itself has to be overridden to see every chunk.
        def handle_read_event(self):
            DTPHandler.handle_read(self)
            if self._closed:
                return
            received = self.tot_bytes_received
            if options.cut_data_during_stor is not None and received >= options.cut_data_during_stor:
                self._resp = ("426 Data connection cut by the test server; transfer aborted.",
                              logging.info)
                self.close()
            elif (options.close_control_during_stor is not None
                  and received >= options.close_control_during_stor):
                self.cmd_channel.close()
            elif options.stall_stor is not None and received >= options.stall_stor:
                self.del_channel()

    class TestHandler(FTPHandler):
        dtp_handler = FaultyDTPHandler
        auth_failed_timeout = 0
        # Names are bytes on the wire; surrogateescape carries any byte,
        # also Windows-1251 ones, unchanged to the file system and back.
        unicode_errors = "surrogateescape"

        def __init__(self, *arguments, **keywords):
            super().__init__(*arguments, **keywords)
            self.commands_seen = 0
            self.silenced = False

        def handle(self):
            if options.broken_greeting:
                self.push("220-first line\r\n")
                self.close_when_done()
                return
            super().handle()

        def pre_process_command(self, line, cmd, arg):
            if command_log is not None:
                logged = "PASS ******" if cmd == "PASS" else line
                command_log.write(logged.encode("utf-8", "surrogateescape") + b"\n")
            self.commands_seen += 1
            if options.silent_after is not None and self.commands_seen > options.silent_after:
                self.silenced = True
            if options.silent_on is not None and cmd == options.silent_on.upper():
                self.silenced = True
            if self.silenced:
                return
            refusal = self.refusal(cmd, arg)
            if refusal:
                self.respond(refusal)
            elif cmd in delays:
                self.ioloop.call_later(delays[cmd], super().pre_process_command, line, cmd, arg)
            else:
                super().pre_process_command(line, cmd, arg)

        def refusal(self, cmd, arg):
            if cmd == "MKD" and any(same_path(arg, path) for path in options.refuse_mkd):
                return "550 Directory creation refused by the test server."
            if cmd == "CWD" and any(same_path(arg, path) for path in options.refuse_cwd):
                return "550 Directory change refused by the test server."
            if cmd == "STOR" and posixpath.basename(arg) in failed_stors:
                return "%s Upload refused by the test server." % failed_stors[posixpath.basename(arg)]
            if cmd in ("MLSD", "LIST") and options.refuse_listing:
                return "550 Listing refused by the test server."
            if cmd == "EPRT" and options.refuse_eprt:
                return '500 Command "EPRT" not understood.'
            return None

        def ftp_FEAT(self, line):
            if not options.hide_mlst:
                return super().ftp_FEAT(line)
            self.push("211-Features supported:\r\n EPRT\r\n MDTM\r\n SIZE\r\n UTF8\r\n")
            self.respond("211 End FEAT.")

    return TestHandler


def main():
    options = parse_arguments()
    logging.basicConfig(level=logging.ERROR if options.quiet else logging.WARNING, stream=sys.stderr)
    authorizer = DummyAuthorizer()
    authorizer.add_user(options.user, options.password, options.root, perm="elradfmwMT")
    handler = make_handler(options)
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
