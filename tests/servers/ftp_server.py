# A pyftpdlib FTP server for one test on 127.0.0.1: logs every command (PASS masked) and injects
# faults, so that tests see how the client copes with a refusing, dropping, slow or silent server.
import argparse, logging, posixpath

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
for name in ("--port", "--root", "--user", "--password", "--command-log"):
    parser.add_argument(name, required=True)
parser.add_argument("--fail-stor", action="append", default=[], help="NAME:CODE, refuse STOR NAME at once")
parser.add_argument("--cut-data-during-stor", type=int, help="BYTES, then close the data connection alone")
parser.add_argument("--close-control-during-stor", type=int, help="BYTES, then close the control connection")
parser.add_argument("--silent-on", default="", help="COMMAND, from which on nothing is answered")
parser.add_argument("--delay-reply", action="append", default=[], help="COMMAND:SECONDS")
options = parser.parse_args()
command_log = open(options.command_log, "ab", buffering=0)
failed_stors = dict(entry.rsplit(":", 1) for entry in options.fail_stor)
delays = {command: float(seconds) for command, seconds in (entry.rsplit(":", 1) for entry in options.delay_reply)}


class FaultyDTPHandler(DTPHandler):
    # pyftpdlib aliases handle_read_event to handle_read: override the event to see every chunk.
    def handle_read_event(self):
        DTPHandler.handle_read(self)
        received = -1 if self._closed else self.tot_bytes_received
        if options.cut_data_during_stor is not None and received >= options.cut_data_during_stor:
            self._resp = ("426 Data connection cut by the test server; transfer aborted.", logging.info)
            self.close()
        elif options.close_control_during_stor is not None and received >= options.close_control_during_stor:
            self.cmd_channel.close()


class TestHandler(FTPHandler):
    dtp_handler = FaultyDTPHandler
    auth_failed_timeout = 0
    # Names are bytes on the wire; surrogateescape carries Windows-1251 ones unchanged.
    unicode_errors = "surrogateescape"
    silenced = False

    def pre_process_command(self, line, cmd, arg):
        command_log.write(("PASS ******" if cmd == "PASS" else line).encode("utf-8", "surrogateescape") + b"\n")
        self.silenced = self.silenced or cmd == options.silent_on
        if self.silenced:
            pass
        elif cmd == "STOR" and posixpath.basename(arg) in failed_stors:
            self.respond("%s Upload refused by the test server." % failed_stors[posixpath.basename(arg)])
        elif cmd in delays:
            self.ioloop.call_later(delays[cmd], super().pre_process_command, line, cmd, arg)
        else:
            super().pre_process_command(line, cmd, arg)


TestHandler.authorizer = DummyAuthorizer()
TestHandler.authorizer.add_user(options.user, options.password, options.root, perm="elradfmwMT")
FTPServer(("127.0.0.1", int(options.port)), TestHandler).serve_forever()
