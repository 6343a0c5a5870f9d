#!/usr/bin/python3
"""A local SMTP server for the integration tests, on Debian's python3-aiosmtpd.

Listens on 127.0.0.1 only, on ports the system picks, one port per mode:

  clear     plain SMTP, no authentication
  starttls  STARTTLS offered and required before MAIL
  tls       TLS from the first byte (implicit TLS)
  auth      plain SMTP that requires AUTH PLAIN with --user / --password
  slow      plain SMTP that waits --delay seconds before answering each message
  late      plain SMTP that answers the end of each message only after --late
            seconds (longer than a test waits: the answer comes too late)
  stall     plain SMTP that stops still at one point of one message, as the
            file WORKDIR/stall.json says: {"stage": S, "message": N} with S
            one of mail (MAIL received, not answered), rcpt (RCPT received,
            not answered), dot (the message's final dot received, the
            message not stored), reply (the message stored, 250 not sent);
            N counts the MAILs on this port from the file's last change, from
            1. Stopped there, the server writes WORKDIR/stalled (the stage)
            and waits until stall.json is removed.

On every port, a recipient in the domain reject.test is refused with 550
5.1.1, and one in later.test with 451 4.3.0 (try again later).

The certificate and key (CN=localhost, subjectAltName IP:127.0.0.1 and
DNS:localhost) are made with openssl in --workdir when the server starts.
When all ports listen, one JSON line goes to standard output:

  {"clear": PORT, "starttls": PORT, "tls": PORT, "auth": PORT, "slow": PORT,
   "late": PORT, "stall": PORT, "cert": "/path/cert.pem",
   "messages": "/path/messages"}

Every accepted message is stored, before the server answers 250, as
messages/NNNNNN-MODE.json: the envelope, the raw bytes (base64) and the parse
of ../support/read_message.py, as the tests read the messages they build.

The server stops on SIGTERM or SIGINT, and when its standard input closes
(the test that started it has gone), so nothing is left running.
"""

import argparse
import asyncio
import base64
import itertools
import json
import logging
import os
import signal
import ssl
import subprocess
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from read_message import parse_message  # noqa: E402

REJECTED_DOMAIN = "@reject.test"
LATER_DOMAIN = "@later.test"


def make_certificate(workdir):
    cert = os.path.join(workdir, "cert.pem")
    key = os.path.join(workdir, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
         "-keyout", key, "-out", cert, "-subj", "/CN=localhost",
         "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def b64(data):
    return base64.b64encode(data).decode("ascii")


class Stall:
    """The stall port's control file and its count of MAILs."""

    def __init__(self, workdir):
        self.control = os.path.join(workdir, "stall.json")
        self.stalled = os.path.join(workdir, "stalled")
        self.version = None
        self.mails = 0

    def plan(self):
        try:
            version = os.stat(self.control).st_mtime_ns
            with open(self.control, encoding="utf-8") as f:
                plan = json.load(f)
        except (OSError, ValueError):
            return None
        if version != self.version:
            self.version = version
            self.mails = 0
        return plan

    def mail_seen(self, session):
        plan = self.plan()
        if plan is None:
            session.stall_stage = None
            return
        self.mails += 1
        session.stall_stage = plan["stage"] if self.mails == plan["message"] else None

    async def at(self, session, stage):
        if getattr(session, "stall_stage", None) != stage:
            return
        with open(self.stalled, "w", encoding="utf-8") as f:
            f.write(stage)
        while os.path.exists(self.control):
            await asyncio.sleep(0.02)


class Handler:
    counter = itertools.count(1)

    def __init__(self, mode, store, delay=0.0, stall=None):
        self.mode = mode
        self.store = store
        self.delay = delay
        self.stall = stall

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.stall:
            self.stall.mail_seen(session)
            await self.stall.at(session, "mail")
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.stall:
            await self.stall.at(session, "rcpt")
        if address.lower().endswith(REJECTED_DOMAIN):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        if address.lower().endswith(LATER_DOMAIN):
            return "451 4.3.0 <%s>: try again later" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.delay:
            await asyncio.sleep(self.delay)
        if self.stall:
            await self.stall.at(session, "dot")
        raw = envelope.original_content or envelope.content
        record = {
            "mode": self.mode,
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "raw_b64": b64(raw),
            "parsed": parse_message(raw),
        }
        name = "%06d-%s.json" % (next(Handler.counter), self.mode)
        temporary = os.path.join(self.store, "." + name)
        with open(temporary, "w", encoding="utf-8") as out:
            json.dump(record, out)
        os.replace(temporary, os.path.join(self.store, name))
        if self.stall:
            await self.stall.at(session, "reply")
        return "250 Message accepted for delivery"


def authenticator_for(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login == user.encode()
              and auth_data.password == password.encode())
        # handled=False: aiosmtpd itself answers 535 to a failed login.
        return AuthResult(success=ok, handled=False)
    return authenticate


async def serve(args):
    workdir = os.path.abspath(args.workdir)
    store = os.path.join(workdir, "messages")
    os.makedirs(store, exist_ok=True)
    cert, key = make_certificate(workdir)
    tls_context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    tls_context.load_cert_chain(cert, key)

    def factory(mode, delay=0.0, stall=None, **options):
        handler = Handler(mode, store, delay, stall)
        return lambda: SMTP(handler, hostname="localhost", ident="Quillcast test server", **options)

    loop = asyncio.get_running_loop()
    servers = {
        "clear": await loop.create_server(factory("clear"), "127.0.0.1", 0),
        "starttls": await loop.create_server(
            factory("starttls", tls_context=tls_context, require_starttls=True), "127.0.0.1", 0),
        "tls": await loop.create_server(factory("tls"), "127.0.0.1", 0, ssl=tls_context),
        "auth": await loop.create_server(
            factory("auth", authenticator=authenticator_for(args.user, args.password),
                    auth_required=True, auth_require_tls=False, auth_exclude_mechanism=["LOGIN"]),
            "127.0.0.1", 0),
        "slow": await loop.create_server(factory("slow", delay=args.delay), "127.0.0.1", 0),
        "late": await loop.create_server(factory("late", delay=args.late), "127.0.0.1", 0),
        "stall": await loop.create_server(factory("stall", stall=Stall(workdir)), "127.0.0.1", 0),
    }
    ports = {mode: server.sockets[0].getsockname()[1] for mode, server in servers.items()}
    ports.update({"cert": cert, "messages": store})
    print(json.dumps(ports), flush=True)

    stop = asyncio.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(signum, stop.set)

    def watch_stdin():
        sys.stdin.buffer.read()  # returns at end of input
        loop.call_soon_threadsafe(stop.set)
    threading.Thread(target=watch_stdin, daemon=True).start()

    await stop.wait()
    for server in servers.values():
        server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--user", default="quill")
    parser.add_argument("--password", default="s3cret")
    parser.add_argument("--delay", type=float, default=1.5)
    parser.add_argument("--late", type=float, default=100.0)
    args = parser.parse_args()
    logging.basicConfig(level=logging.ERROR)
    asyncio.run(serve(args))


if __name__ == "__main__":
    main()
