# A pyftpdlib FTP server for one test on 127.0.0.1: logs every command (PASS masked) and injects
# faults, so that tests see how the client copes with a refusing, dropping, slow or silent server.
import argparse
import os, logging, posixpath, re, socket, time

from OpenSSL import SSL
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, TLS_DTPHandler, TLS_FTPHandler
from pyftpdlib.servers import FTPServer

parser = argparse.ArgumentParser()
for name in ("--port", "--root", "--user", "--password", "--command-log"):
    parser.add_argument(name, required=True)
parser.add_argument("--answer", action="append", default=[],
                    help="'VERB[ ARG]=REPLY[|REPLY...]': answer so at once; ARG may be the argument or its base name")
parser.add_argument("--truncate-refused-stor", action="store_true", help="empty the target of an answered STOR first")
parser.add_argument("--cut-data-during-stor", type=int, help="BYTES, then close the data connection alone")
parser.add_argument("--stall-stor", action="store_true", help="read nothing of an upload's data, keeping its connection open")
parser.add_argument("--close-control-during-stor", type=int, help="BYTES, then close the control connection, once")
parser.add_argument("--refuse-together", action="append", default=[],
                    help="VERB: answer it 503 when it came in one read with the command before it")
parser.add_argument("--lose-together", action="append", default=[],
                    help="VERB: neither carry it out nor answer it when it came in one read with the command before it")
parser.add_argument("--dead-port-after",
                    help="VERB: an EPSV that came in one read right behind it is answered with port 1, where none listens")
parser.add_argument("--silent-on", default="", help="COMMAND, from which on nothing is answered")
parser.add_argument("--delay-reply", action="append", default=[], help="COMMAND:SECONDS")
parser.add_argument("--late-final-reply", type=float, help="SECONDS between an upload's last byte and its 226")
parser.add_argument("--never-connect-back", type=float, help="SECONDS: take EPRT/PORT, then answer 425 that late")
parser.add_argument("--masquerade", help="ADDRESS that PASV replies name")
parser.add_argument("--close-after", type=int, help="COMMANDS, then 421 and close, once")
parser.add_argument("--lose-reply", help="VERB: carry it out, then close without its reply, once")
parser.add_argument("--logons", type=int, help="how many logons succeed; later ones get 530")
parser.add_argument("--local-times", action="store_true", help="no MLSD; LIST in the server's zone (TZ)")
parser.add_argument("--local-mdtm", action="store_true", help="MDTM in the server's zone too, against the protocol")
parser.add_argument("--list-limit", type=int, help="ENTRIES a longer listing is cut to, saying so")
parser.add_argument("--keep-only", type=int, help="BYTES the first larger upload is cut to, confirmed all the same")
parser.add_argument("--hostile", choices=("greeting", "endless-listing", "trickling-listing", "huge-reply"),
                    help="a 120 greeting forever, a listing without end or a byte at a time, a FEAT of 1.2 MB")
parser.add_argument("--intruder", action="store_true",
                    help="race the server to every active data port from 127.0.0.2, offering a forged listing")
parser.add_argument("--tls-cert", help="FILE of the certificate (and key, without --tls-key): offer AUTH TLS")
parser.add_argument("--tls-key", help="FILE of the certificate's key")
parser.add_argument("--tls-required", action="store_true", help="no logon and no data connection without TLS")
parser.add_argument("--tls-version", help="1.2 or 1.3: the only TLS version spoken; otherwise any")
parser.add_argument("--data-cert", help="FILE (key and certificate): what data connections present instead")
options = parser.parse_args()
BaseDTP, BaseFTP = (TLS_DTPHandler, TLS_FTPHandler) if options.tls_cert else (DTPHandler, FTPHandler)
command_log = open(options.command_log, "ab", buffering=0)
answers = dict(entry.split("=", 1) for entry in options.answer)
delays = {command: float(seconds) for command, seconds in (entry.rsplit(":", 1) for entry in options.delay_reply)}
counts = {"commands": 0, "logons": 0, "control closed": False}


class LimitedFS(AbstractedFS):
    def listdir(self, path):
        names = sorted(AbstractedFS.listdir(self, path))
        self.cut = options.list_limit is not None and len(names) > options.list_limit
        return names[: options.list_limit] if self.cut else names


data_context = None


class FaultyDTPHandler(BaseDTP):
    # As a host in the way would: data connections with a certificate of its own, in no session of ours.
    def secure_connection(self, ssl_context):
        global data_context
        if options.data_cert and data_context is None:
            data_context = SSL.Context(SSL.TLS_METHOD)
            data_context.use_certificate_chain_file(options.data_cert)
            data_context.use_privatekey_file(options.data_cert)
        super().secure_connection(data_context or ssl_context)

    # pyftpdlib takes bytes before the transfer command for a hang-up, but they may be a TLS handshake.
    def readable(self):
        return getattr(self, "_ssl_accepting", False) or super().readable()

    def enable_receiving(self, type, cmd):
        super().enable_receiving(type, cmd)
        if options.stall_stor:
            self.del_channel()  # the client's sends fill the socket buffers, then wait

    # pyftpdlib aliases handle_read_event to handle_read: override the event to see every chunk.
    def handle_read_event(self):
        super().handle_read_event()
        received = -1 if self._closed else self.tot_bytes_received
        if options.cut_data_during_stor is not None and received >= options.cut_data_during_stor:
            self._resp = ("426 Data connection cut by the test server; transfer aborted.", logging.info)
            self.close()
        elif (options.close_control_during_stor is not None and received >= options.close_control_during_stor
              and not counts["control closed"]):
            counts["control closed"] = True
            self.cmd_channel.close()

    def close(self):
        reply = self._resp
        if reply and getattr(self.cmd_channel.fs, "cut", False) and self.cmd in ("LIST", "MLSD"):
            self._resp = ("226 Output truncated to %d matches" % options.list_limit, reply[1])
        if reply and self.receive and options.late_final_reply and not self._closed:
            self._resp = None
            self.cmd_channel.ioloop.call_later(options.late_final_reply, self.cmd_channel.respond, reply[0])
        super().close()


class EndlessListing:
    def more(self):
        if options.hostile == "trickling-listing":
            time.sleep(0.2)  # the whole server waits; it has but one client
            return b"x"
        return b"type=file;size=1;modify=20200101000000; x\r\n" * 1000


class TestHandler(BaseFTP):
    dtp_handler = FaultyDTPHandler
    certfile, keyfile = options.tls_cert, options.tls_key
    tls_control_required = tls_data_required = options.tls_required
    ssl_options = {"1.2": SSL.OP_NO_TLSv1_3, "1.3": SSL.OP_NO_TLSv1_2}.get(options.tls_version, 0)
    abstracted_fs = LimitedFS
    auth_failed_timeout = 0
    masquerade_address = options.masquerade
    use_gmt_times = not options.local_times
    # Names are bytes on the wire; surrogateescape carries Windows-1251 ones unchanged.
    unicode_errors = "surrogateescape"
    silenced = False
    fake_active = False
    losing_reply = False
    first_of_read = True
    previous_in_read = None

    def respond(self, resp, *args, **kwargs):
        if not self.losing_reply:
            return super().respond(resp, *args, **kwargs)
        self.losing_reply = False
        self.close()

    def handle_read(self):
        self.first_of_read = True
        super().handle_read()

    def pre_process_command(self, line, cmd, arg):
        together, self.first_of_read = not self.first_of_read, False
        behind, self.previous_in_read = self.previous_in_read if together else None, cmd
        command_log.write(("PASS ******" if cmd == "PASS" else line).encode("utf-8", "surrogateescape") + b"\n")
        counts["commands"] += 1
        counts["logons"] += cmd == "USER"
        self.silenced = self.silenced or cmd == options.silent_on
        # An upload's temporary name is answered as if it had no random part.
        asked = re.sub(r"^(.*)\.[0-9a-z]{6}(\.ostrel-upload)$", r"\1\2", arg or "")
        answer = answers.get("%s %s" % (cmd, asked), answers.get("%s %s" % (cmd, posixpath.basename(asked)),
                                                                  answers.get(cmd)))
        if self.silenced:
            pass
        elif together and cmd in options.lose_together:
            pass
        elif together and cmd in options.refuse_together:
            self.respond("503 One command at a time, as the test server was told.")
        elif cmd == "EPSV" and behind is not None and behind == options.dead_port_after:
            self.respond("229 Entering extended passive mode (|||1|).")
        elif counts["commands"] == options.close_after:
            self.respond("421 Closing the connection, as the test server was told.")
            self.close_when_done()
        elif cmd == "USER" and options.logons is not None and counts["logons"] > options.logons:
            self.respond("530 No more logons.")
        elif answer is not None:
            if cmd == "STOR" and options.truncate_refused_stor:
                open(self.fs.ftp2fs(self.fs.ftpnorm(arg)), "wb").close()
            for reply in answer.split("|"):
                self.respond(reply)
        elif cmd in ("EPRT", "PORT") and options.intruder:
            fields = arg.split("|") if cmd == "EPRT" else arg.split(",")
            port = int(fields[3]) if cmd == "EPRT" else int(fields[4]) * 256 + int(fields[5])
            intruder = socket.create_connection(("127.0.0.1", port), source_address=("127.0.0.2", 0))
            intruder.sendall(b"type=file;size=1;modify=29991231000000; a.htm\r\n")
            intruder.close()
            super().pre_process_command(line, cmd, arg)
        elif cmd in ("EPRT", "PORT") and options.never_connect_back is not None:
            self.fake_active = True
            self.respond("200 Active data connection will be made.")
        elif cmd in ("STOR", "LIST", "MLSD", "RETR") and self.fake_active:
            self.fake_active = False
            self.ioloop.call_later(options.never_connect_back, self.respond, "425 Can't open data connection.")
        elif cmd == options.lose_reply and not counts.get("reply lost"):
            counts["reply lost"] = True
            self.losing_reply = True
            super().pre_process_command(line, cmd, arg)
        elif cmd in delays:
            self.ioloop.call_later(delays[cmd], super().pre_process_command, line, cmd, arg)
        else:
            super().pre_process_command(line, cmd, arg)

    def handle(self):
        if options.hostile == "greeting":
            self.ioloop.call_every(0.2, self.respond, "120 Ready in a moment.")
        else:
            super().handle()

    def ftp_FEAT(self, line):
        if options.hostile != "huge-reply":
            return super().ftp_FEAT(line)
        self.push("211-Features:\r\n" + (" " + "y" * 60000 + "\r\n") * 20 + "211 End\r\n")

    def ftp_MLSD(self, path):
        if options.hostile not in ("endless-listing", "trickling-listing"):
            return super().ftp_MLSD(path)
        self.push_dtp_data(EndlessListing(), isproducer=True, cmd="MLSD")

    def on_file_received(self, file):
        if options.keep_only is not None and not counts.get("cut") and os.path.getsize(file) > options.keep_only:
            counts["cut"] = True
            os.truncate(file, options.keep_only)

    def ftp_MDTM(self, path):
        # UTC by the protocol, whatever the listing does, unless told to err.
        self.use_gmt_times = not options.local_mdtm
        try:
            return super().ftp_MDTM(path)
        finally:
            self.use_gmt_times = not options.local_times


if options.local_times:
    TestHandler.proto_cmds = {name: value for name, value in TestHandler.proto_cmds.items()
                              if name not in ("MLSD", "MLST")}
TestHandler.authorizer = DummyAuthorizer()
TestHandler.authorizer.add_user(options.user, options.password, options.root, perm="elradfmwMT")
FTPServer(("127.0.0.1", int(options.port)), TestHandler).serve_forever()
