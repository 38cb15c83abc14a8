#!/usr/bin/python3
"""A mail server for the forwarding tests: STARTTLS required, AUTH required
(user "fax", password "secret"), each message decoded with Python's email
package and written to OUT/N/: body.txt, the attachments under their names,
and session.txt saying whether the session was encrypted and who logged in.

usage: smtp_server.py PORT CERT KEY OUT
"""
import email
import email.policy
import os
import ssl
import sys
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def authenticate(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == b"fax" \
        and auth_data.password == b"secret"
    return AuthResult(success=ok, auth_data=auth_data)


class Keep:
    def __init__(self, out):
        self.out = out
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = os.path.join(self.out, str(self.count))
        os.makedirs(folder + ".part")
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        with open(os.path.join(folder + ".part", "session.txt"), "w") as f:
            f.write("tls=%s login=%s to=%s subject=%s\n" % (
                session.ssl is not None, session.auth_data.login.decode() if session.authenticated else "",
                ",".join(envelope.rcpt_tos), message["Subject"]))
        for part in message.walk():
            if part.get_content_maintype() == "multipart":
                continue
            name = part.get_filename()
            if name:
                with open(os.path.join(folder + ".part", name), "wb") as f:
                    f.write(part.get_payload(decode=True))
            elif part.get_content_type() == "text/plain":
                with open(os.path.join(folder + ".part", "body.txt"), "w") as f:
                    f.write(part.get_content())
        os.rename(folder + ".part", folder)
        return "250 kept"


def main():
    port, cert, key, out = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    controller = Controller(Keep(out), hostname="127.0.0.1", port=port, tls_context=context,
                            require_starttls=True, auth_required=True,
                            authenticator=authenticate)
    controller.start()
    print("ready", flush=True)
    try:
        while True:
            time.sleep(1)
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
