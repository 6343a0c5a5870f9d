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

On every port, a recipient in the domain reject.test is refused with 550.

The certificate and key (CN=localhost, subjectAltName IP:127.0.0.1 and
DNS:localhost) are made with openssl in --workdir when the server starts.
When all ports listen, one JSON line goes to standard output:

  {"clear": PORT, "starttls": PORT, "tls": PORT, "auth": PORT, "slow": PORT,
   "late": PORT, "cert": "/path/cert.pem", "messages": "/path/messages"}

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


class Handler:
    counter = itertools.count(1)

    def __init__(self, mode, store, delay=0.0):
        self.mode = mode
        self.store = store
        self.delay = delay

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower().endswith(REJECTED_DOMAIN):
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.delay:
            await asyncio.sleep(self.delay)
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

    def factory(mode, delay=0.0, **options):
        handler = Handler(mode, store, delay)
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
