#!/usr/bin/env python3
"""A DSKPP enrollment server for the tests: four-pass DSKPP (RFC 6063) over HTTPS on 127.0.0.1.

It makes a fresh test certificate authority, a server certificate and an RSA key for the DSKPP
exchange on every start, in the folder given with --dir (nothing secret is kept in the
repository), writes the authority's certificate to <dir>/ca.pem for the client to trust, listens
on a free port and prints "READY <port>" on its standard output.

--lifeline PORT makes it connect to 127.0.0.1:PORT, report "READY <port>" there instead, and stop as
soon as that connection closes. A launcher that cannot wait for its child (Wine starts a Unix
program detached from the Windows process that asked for it, with no handle to it and no pipe for
its standard streams) stops the server by closing the connection, and a launcher that dies stops
it the same way.

The exchange is the one the client speaks: ClientHello -> ServerHello (R_S, the server's key as a
base64 SubjectPublicKeyInfo in ds:KeyName, an optional soft-PIN rule), ClientNonce (R_C under
RSA PKCS#1 v1.5, AD) -> ServerFinished (policy string, serial number, key confirmation MAC). It
checks AD against its user table, and logs every request and every provisioned K_TOKEN as one
JSON line in <dir>/events.jsonl.

--misbehave NAME (repeatable) makes it break the protocol in one way:
  content-type-param  Content-Type "application/dskpp+xml; charset=utf-8"
  no-pragma           no Pragma header
  abort               ServerFinished Status "Abort" with an "OVEnrollmentError" text
  expired             ServerFinished Status "ProvisioningPeriodExpired"
  wrong-mac           a key confirmation MAC with one character changed
  mac-blank           the MAC computed over a ClientHello with one blank more
  mac-line-breaks     the right MAC with a line break inside the base64 text
  slow-hello          answers the ClientHello only after --delay seconds
  slow-finished       answers the ClientNonce only after --delay seconds
  long-reply          a ServerHello of more than 64 KiB (a long comment inside), sent in pieces
  huge-reply          a ServerHello of more than 1 MiB
  nul-after-reply     a NUL byte and more text after the ServerHello, inside the same write
  no-policy           a ServerFinished without pskc:KeyProfileId (no policy string)
  other-session       a ServerFinished, right in every other way, with another SessionID
--certificate good|wrong-host|expired|untrusted chooses the server certificate: one for
127.0.0.1, one for another host name, one that has expired, one from an authority that ca.pem
does not hold.
"""

import argparse
import base64
import datetime
import hashlib
import hmac
import http.server
import ipaddress
import json
import os
import secrets
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import xml.etree.ElementTree as ET

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa
from cryptography.hazmat.primitives.asymmetric.utils import decode_dss_signature
from cryptography.x509.oid import NameOID

PRF_URN = "urn:ietf:params:xml:ns:keyprov:dskpp:prf-sha256"
KEY_TYPE = "urn:ietf:params:xml:ns:keyprov:pskc:hotp"
RSA_15 = "http://www.w3.org/2001/04/xmlenc#rsa_1_5"
KEY_PACKAGE = "urn:ietf:params:xml:ns:keyprov:dskpp:pskc-key-container"
NS = {
    "dskpp": "urn:ietf:params:xml:ns:keyprov:dskpp",
    "pskc": "urn:ietf:params:xml:ns:keyprov:pskc",
    "xenc": "http://www.w3.org/2001/04/xmlenc#",
    "ds": "http://www.w3.org/2000/09/xmldsig#",
    "ovdskpp": "urn:kelsa-inc:ov:dskppext",
    "xsi": "http://www.w3.org/2001/XMLSchema-instance",
}
ROOT_NAMESPACES = " ".join(
    "xmlns:%s='%s'" % (p, NS[p]) for p in ("pskc", "dskpp", "xenc", "ds", "ovdskpp"))

# The users the server knows. A --users JSON file (a list of such objects) replaces them.
DEFAULT_USERS = [
    {"user": "alice", "password": "secret", "policy": "event-policy", "serial": "OVT0000001"},
    {"user": "bob", "password": "pa&ss<word>", "policy": "pin-policy", "serial": "OVT0000002",
     "minlen": "4", "maxlen": "8", "alphanum": "true", "collect_device_name": True},
    {"user": "carol", "password": "hunter2", "policy": "transign-policy", "serial": "OVT0000003",
     "dslen": 192},
]


def prf(key, message, length):
    """DSKPP-PRF-SHA256: HMAC-SHA-256(key, INT(i) || message) for i = 1.., joined, cut."""
    out = b""
    i = 1
    while len(out) < length:
        out += hmac.new(key, i.to_bytes(4, "big") + message, hashlib.sha256).digest()
        i += 1
    return out[:length]


def auth_data(user, password, url, r_c, r_s, k, iterations):
    secret = password.encode().hex().upper().encode()
    k_ac = hashlib.pbkdf2_hmac("sha256", secret, r_c + k, iterations, 16)
    identifier = user.encode().hex().upper().encode()
    return prf(k_ac, identifier + url.encode() + r_c + r_s, 16)


def derive_keys(k, r_s, r_c, ds_len):
    k_prov = prf(r_c, b"Key generation" + k + r_s, ds_len)
    return k_prov[: ds_len // 2], k_prov[ds_len // 2:]


def confirmation_mac(k_mac, messages):
    digest = hashlib.sha256(b"".join(messages)).digest()
    return prf(k_mac, b"MAC 1 computation" + digest, 32)


def escape(text):
    return (text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace("'", "&apos;").replace('"', "&quot;"))


# --- certificates -------------------------------------------------------------------------

def _name(text):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, text)])


def _sign(builder, key):
    """Signs until r and s both fill their 32 bytes. Wine's certificate check joins them without
    padding, so it rejects a signature with a shorter one (about one in a hundred and twenty-eight)
    and the tests under Wine would fail now and then for no fault of the client."""
    while True:
        cert = builder.sign(key, hashes.SHA256())
        r, s = decode_dss_signature(cert.signature)
        if r.bit_length() > 248 and s.bit_length() > 248:
            return cert


def make_ca(label):
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.now(datetime.timezone.utc)
    builder = (x509.CertificateBuilder().subject_name(_name(label)).issuer_name(_name(label))
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(now - datetime.timedelta(days=1))
               .not_valid_after(now + datetime.timedelta(days=30))
               .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
               .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False,
                                            key_encipherment=False, data_encipherment=False,
                                            key_agreement=False, key_cert_sign=True, crl_sign=True,
                                            encipher_only=False, decipher_only=False), critical=True)
               .add_extension(x509.SubjectKeyIdentifier.from_public_key(key.public_key()),
                              critical=False))
    return key, _sign(builder, key)


def make_leaf(ca_key, ca_cert, names, expired=False):
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.now(datetime.timezone.utc)
    if expired:
        start, end = now - datetime.timedelta(days=30), now - datetime.timedelta(days=1)
    else:
        start, end = now - datetime.timedelta(days=1), now + datetime.timedelta(days=30)
    builder = (x509.CertificateBuilder().subject_name(_name("enrollment test server"))
               .issuer_name(ca_cert.subject).public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(start).not_valid_after(end)
               .add_extension(x509.SubjectAlternativeName(names), critical=False)
               .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
               .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                              critical=False)
               .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key()),
                              critical=False))
    return key, _sign(builder, ca_key)


def write_certificates(folder, kind):
    ca_key, ca_cert = make_ca("Orvanti enrollment test CA")
    with open(os.path.join(folder, "ca.pem"), "wb") as f:
        f.write(ca_cert.public_bytes(serialization.Encoding.PEM))
    local = [x509.IPAddress(ipaddress.ip_address("127.0.0.1")), x509.DNSName("localhost")]
    if kind == "good":
        key, cert = make_leaf(ca_key, ca_cert, local)
    elif kind == "wrong-host":
        key, cert = make_leaf(ca_key, ca_cert, [x509.DNSName("other-host.invalid")])
    elif kind == "expired":
        key, cert = make_leaf(ca_key, ca_cert, local, expired=True)
    elif kind == "untrusted":
        other_key, other_cert = make_ca("Some other CA")
        key, cert = make_leaf(other_key, other_cert, local)
    else:
        raise SystemExit("unknown certificate kind " + kind)
    cert_path = os.path.join(folder, "server.pem")
    key_path = os.path.join(folder, "server.key")
    with open(cert_path, "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(key_path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM,
                                  serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    return cert_path, key_path


# --- the protocol -------------------------------------------------------------------------

class Enrollment:
    def __init__(self, args):
        self.args = args
        self.misbehave = set(args.misbehave)
        self.users = {u["user"]: u for u in self.load_users(args.users)}
        self.rsa = rsa.generate_private_key(public_exponent=65537, key_size=args.key_bits)
        self.spki = self.rsa.public_key().public_bytes(
            serialization.Encoding.DER, serialization.PublicFormat.SubjectPublicKeyInfo)
        self.sessions = {}
        self.lock = threading.Lock()
        self.events = open(os.path.join(args.dir, "events.jsonl"), "a", buffering=1)

    @staticmethod
    def load_users(path):
        if not path:
            return DEFAULT_USERS
        with open(path) as f:
            return json.load(f)

    def event(self, **values):
        with self.lock:
            self.events.write(json.dumps(values) + "\n")

    def answer(self, root_name, handler, body):
        if root_name == "KeyProvClientHello":
            if "slow-hello" in self.misbehave:
                time.sleep(self.args.delay)
            return self.server_hello(body)
        if root_name == "KeyProvClientNonce":
            if "slow-finished" in self.misbehave:
                time.sleep(self.args.delay)
            return self.server_finished(handler, body)
        return None

    def server_hello(self, body):
        root = ET.fromstring(body)
        user_hex = root.findtext("dskpp:DeviceIdentifierData/ovdskpp:OVInfo/ovdskpp:userID",
                                 default="", namespaces=NS)
        user = bytes.fromhex(user_hex).decode("utf-8", "replace")
        row = self.users.get(user, {})
        session_id = secrets.token_hex(8)
        r_s = secrets.token_bytes(32)
        rule = ""
        for element in ("minlen", "maxlen", "alphanum"):
            if element in row:
                rule += "<ovdskpp:%s>%s</ovdskpp:%s>" % (element, escape(row[element]), element)
        if row.get("collect_device_name"):
            rule += "<ovdskpp:OVData Name='CollectDeviceName'>true</ovdskpp:OVData>"
        extensions = ""
        if rule:
            extensions = ("<dskpp:Extensions xmlns:xsi='%s'><dskpp:Extension "
                          "xsi:type='ovdskpp:OVDSKPPExtensionType'>%s</dskpp:Extension>"
                          "</dskpp:Extensions>" % (NS["xsi"], rule))
        text = ("<dskpp:KeyProvServerHello Status='Continue' SessionID='%s' Version='1.0' %s>"
                "<dskpp:KeyType>%s</dskpp:KeyType>"
                "<dskpp:EncryptionAlgorithm>%s</dskpp:EncryptionAlgorithm>"
                "<dskpp:MacAlgorithm>%s</dskpp:MacAlgorithm>"
                "<dskpp:EncryptionKey><ds:KeyName>%s</ds:KeyName></dskpp:EncryptionKey>"
                "<dskpp:KeyPackageFormat>%s</dskpp:KeyPackageFormat>"
                "<dskpp:Payload><dskpp:Nonce>%s</dskpp:Nonce></dskpp:Payload>%s"
                "%s</dskpp:KeyProvServerHello>" % (
                    session_id, ROOT_NAMESPACES, KEY_TYPE, RSA_15, PRF_URN,
                    base64.b64encode(self.spki).decode(), KEY_PACKAGE,
                    base64.b64encode(r_s).decode(), extensions, self.padding()))
        with self.lock:
            self.sessions[session_id] = {"user": user, "r_s": r_s, "client_hello": body,
                                         "server_hello": text.encode()}
        return text

    def padding(self):
        if "long-reply" in self.misbehave:
            return "<!-- %s -->" % ("long reply " * 6600)
        if "huge-reply" in self.misbehave:
            return "<!-- %s -->" % ("huge reply " * 100000)
        return ""

    def finished(self, session_id, status, inner=""):
        return ("<dskpp:KeyProvServerFinished Status='%s' SessionID='%s' Version='1.0' %s>%s"
                "</dskpp:KeyProvServerFinished>" % (status, escape(session_id), ROOT_NAMESPACES,
                                                    inner))

    def refuse(self, session_id, status, reason):
        self.event(event="refused", status=status, reason=reason)
        return self.finished(session_id, status)

    def server_finished(self, handler, body):
        root = ET.fromstring(body)
        session_id = root.get("SessionID", "")
        with self.lock:
            session = self.sessions.pop(session_id, None)
        if session is None:
            return self.refuse(session_id, "Abort", "unknown session")
        user = session["user"]
        row = self.users.get(user)
        r_s = session["r_s"]
        encrypted = base64.b64decode(root.findtext("dskpp:EncryptedNonce", "", NS))
        r_c = self.rsa.decrypt(encrypted, padding.PKCS1v15())
        client_id = root.findtext("dskpp:AuthenticationData/dskpp:ClientID", "", NS)
        mac_element = root.find("dskpp:AuthenticationData/dskpp:AuthenticationCodeMac/dskpp:Mac",
                                NS)
        iterations = int(root.findtext(
            "dskpp:AuthenticationData/dskpp:AuthenticationCodeMac/dskpp:IterationCount", "0", NS))
        data = {}
        for element in root.iterfind(".//ovdskpp:OVData", NS):
            data[element.get("Name")] = element.text or ""
        if row is None or bytes.fromhex(client_id).decode("utf-8", "replace") != user:
            return self.refuse(session_id, "AuthenticationDataInvalid", "unknown user")
        if mac_element is None or mac_element.get("MacAlgorithm") != PRF_URN:
            return self.refuse(session_id, "MalformedRequest", "no authentication MAC")
        url = "https://%s%s" % (handler.headers.get("Host", ""), handler.path)
        expected = auth_data(user, row["password"], url, r_c, r_s, self.spki, iterations)
        if not hmac.compare_digest(base64.b64encode(expected).decode(), mac_element.text or ""):
            return self.refuse(session_id, "AuthenticationDataInvalid", "wrong password")
        soft_pin = data.get("softPIN", "")
        if "minlen" in row and not int(row["minlen"]) <= len(soft_pin) <= int(row["maxlen"]):
            return self.refuse(session_id, "AuthenticationDataInvalid", "soft PIN refused")

        if "abort" in self.misbehave:
            return self.finished(session_id, "Abort", (
                "<dskpp:Extensions xmlns:xsi='%s'><dskpp:Extension "
                "xsi:type='ovdskpp:OVDSKPPExtensionType'><ovdskpp:OVData Name='OVEnrollmentError'>"
                "Enrollment refused &amp; logged</ovdskpp:OVData></dskpp:Extension>"
                "</dskpp:Extensions>" % NS["xsi"]))
        if "expired" in self.misbehave:
            return self.finished(session_id, "ProvisioningPeriodExpired")

        k_mac, k_token = derive_keys(self.spki, r_s, r_c, int(row.get("dslen", 64)))
        client_hello = session["client_hello"]
        if "mac-blank" in self.misbehave:
            client_hello = client_hello.replace(b"><", b"> <", 1)
        mac = base64.b64encode(confirmation_mac(
            k_mac, [client_hello, session["server_hello"], body])).decode()
        if "wrong-mac" in self.misbehave:
            mac = ("B" if mac[0] == "A" else "A") + mac[1:]
        if "mac-line-breaks" in self.misbehave:
            mac = mac[:20] + "\n" + mac[20:]
        key_id = "KEY-" + row["serial"]
        profile = ("" if "no-policy" in self.misbehave else
                   "<pskc:KeyProfileId>%s</pskc:KeyProfileId>" % escape(row["policy"]))
        inner = ("<dskpp:KeyPackage><dskpp:KeyContainer Version='1.0'><pskc:KeyPackage>"
                 "<pskc:DeviceInfo><pskc:Manufacturer>Kelsa, Inc.</pskc:Manufacturer>"
                 "<pskc:SerialNo>%s</pskc:SerialNo></pskc:DeviceInfo>"
                 "<pskc:Key Id='%s' Algorithm='%s'><pskc:Issuer>test</pskc:Issuer>"
                 "%s"
                 "<pskc:Policy><pskc:KeyUsage>OTP</pskc:KeyUsage></pskc:Policy></pskc:Key>"
                 "</pskc:KeyPackage></dskpp:KeyContainer></dskpp:KeyPackage>"
                 "<dskpp:Mac MacAlgorithm='%s'>%s</dskpp:Mac>" % (
                     escape(row["serial"]), escape(key_id), KEY_TYPE, profile, PRF_URN, mac))
        self.event(event="provisioned", user=user, k_token=k_token.hex().upper(),
                   serial=row["serial"], policy=row["policy"], soft_pin=soft_pin,
                   device_name=data.get("DeviceName"))
        if "other-session" in self.misbehave:
            session_id = secrets.token_hex(8)
        return self.finished(session_id, "Success", inner)


def make_handler(enrollment):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length)
            try:
                root_name = ET.fromstring(body).tag.rsplit("}", 1)[-1]
            except ET.ParseError:
                root_name = ""
            enrollment.event(event="request", message=root_name, client_port=self.client_address[1],
                             path=self.path, headers=[[k, v] for k, v in self.headers.items()],
                             body=body.decode("utf-8", "replace"))
            text = enrollment.answer(root_name, self, body)
            if text is None:
                self.send_error(400)
                return
            payload = text.encode()
            if "nul-after-reply" in enrollment.misbehave and root_name == "KeyProvClientHello":
                payload += b"\0 not part of the reply"
            self.send_response(200)
            content_type = "application/dskpp+xml"
            if "content-type-param" in enrollment.misbehave:
                content_type += "; charset=utf-8"
            self.send_header("Content-Type", content_type)
            self.send_header("Cache-Control", "no-cache, no-must-revalidate, private")
            if "no-pragma" not in enrollment.misbehave:
                self.send_header("Pragma", "no-cache")
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            try:
                self.wfile.write(payload)
            except OSError:
                pass  # the client gave up waiting

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def exit_with_parent(parent):
    """A test that dies without stopping the server leaves no server behind."""
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def exit_with_lifeline(lifeline):
    """Ends the server when the launcher closes the lifeline or goes away."""
    try:
        while lifeline.recv(64):
            pass
    except OSError:
        pass
    os._exit(0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--users")
    parser.add_argument("--misbehave", action="append", default=[])
    parser.add_argument("--certificate", default="good")
    parser.add_argument("--delay", type=float, default=5.0)
    parser.add_argument("--key-bits", type=int, default=2048)
    parser.add_argument("--lifeline", type=int)
    args = parser.parse_args()

    cert_path, key_path = write_certificates(args.dir, args.certificate)
    enrollment = Enrollment(args)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert_path, key_path)
    server = Server(("127.0.0.1", 0), make_handler(enrollment))
    server.socket = context.wrap_socket(server.socket, server_side=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    ready = "READY %d\n" % server.server_address[1]
    if args.lifeline:
        lifeline = socket.create_connection(("127.0.0.1", args.lifeline))
        lifeline.sendall(ready.encode())
        threading.Thread(target=exit_with_lifeline, args=(lifeline,), daemon=True).start()
    else:
        threading.Thread(target=exit_with_parent, args=(os.getppid(),), daemon=True).start()
        print(ready, end="", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
