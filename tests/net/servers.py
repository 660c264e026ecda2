#!/usr/bin/python3
"""The servers the net tests download from, all on the loopback interface, all below one folder.

http/ is served over HTTP, over HTTPS with a certificate from a test authority (ca.der, which the
test installs as a trusted root), over HTTPS with a self-signed certificate nobody trusts, and by a
server that announces the whole file but closes the connection halfway; http/private/ asks for the
login "tav" with the password "secret". A file NAME.status beside a
served NAME makes the servers answer with the status code it holds instead. ftp/ is served over FTP
to anonymous users and to the user "tav" with the password "secret". Every file request is appended
to requests.log as "<server> <path>". Once everything listens, the ports are written to ports.env
(and a port where nothing listens); the servers run until the process is ended.
"""
import base64
import http.server
import logging
import os
import socket
import ssl
import subprocess
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ROOT = os.path.abspath(sys.argv[1])
HTTP_ROOT = os.path.join(ROOT, "http")
FTP_ROOT = os.path.join(ROOT, "ftp")
LOG = os.path.join(ROOT, "requests.log")
PRIVATE = base64.b64encode(b"tav:secret").decode()  # http/private/ is served to this login only
log_lock = threading.Lock()


def record(server, path):
    with log_lock, open(LOG, "a") as f:
        f.write("%s %s\n" % (server, path))


def openssl(*args):
    subprocess.run(["openssl", *args], cwd=ROOT, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(crl_port):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "3",
            "-subj", "/CN=Tavenrik Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("x509", "-in", "ca.pem", "-outform", "der", "-out", "ca.der")
    # The authority's (empty) revocation list, which the client fetches to check the server's certificate.
    with open(os.path.join(ROOT, "ca.cnf"), "w") as f:
        f.write("[ca]\ndefault_ca=ca_default\n[ca_default]\ndatabase=index.txt\ncrlnumber=crlnumber\n"
                "default_md=sha256\ndefault_crl_days=3\n")
    open(os.path.join(ROOT, "index.txt"), "w").close()
    with open(os.path.join(ROOT, "crlnumber"), "w") as f:
        f.write("01\n")
    openssl("ca", "-gencrl", "-config", "ca.cnf", "-keyfile", "ca.key", "-cert", "ca.pem", "-out", "ca.crl.pem")
    openssl("crl", "-in", "ca.crl.pem", "-outform", "der", "-out", "ca.crl")
    with open(os.path.join(ROOT, "server.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\nsubjectAltName=DNS:localhost,IP:127.0.0.1\n"
                "crlDistributionPoints=URI:http://127.0.0.1:%d/ca.crl\n" % crl_port)
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
            "-subj", "/CN=localhost")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "server.pem", "-days", "3", "-extfile", "server.ext")
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "untrusted.key", "-out", "untrusted.pem",
            "-days", "3", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1")


def handler_for(name, cut=False):
    class Handler(http.server.SimpleHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def __init__(self, *args, **kwargs):
            super().__init__(*args, directory=HTTP_ROOT, **kwargs)

        def log_message(self, *args):
            pass

        def do_GET(self):
            if self.path == "/ca.crl":  # the authority's, not one of the served files
                with open(os.path.join(ROOT, "ca.crl"), "rb") as f:
                    data = f.read()
                self.send_response(200)
                self.send_header("Content-Type", "application/pkix-crl")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data)
                return
            record(name, self.path)
            if self.path.startswith("/private/") and self.headers.get("Authorization") != "Basic " + PRIVATE:
                self.send_response(401)
                self.send_header("WWW-Authenticate", 'Basic realm="private"')
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            local = self.translate_path(self.path)
            if os.path.isfile(local + ".status"):
                with open(local + ".status") as f:
                    status = int(f.read().strip())
                body = b"<html><body>Something went wrong</body></html>"
                self.send_response(status)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            if cut and os.path.isfile(local):
                with open(local, "rb") as f:
                    data = f.read()
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(data)))
                self.end_headers()
                self.wfile.write(data[: len(data) // 2])
                self.wfile.flush()
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            super().do_GET()

    return Handler


def http_server(name, cut=False, cert=None):
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler_for(name, cut))
    server.daemon_threads = True
    if cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(ROOT, cert + ".pem"), os.path.join(ROOT, cert + ".key"))
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


class LoggingFTPHandler(FTPHandler):
    def ftp_RETR(self, file):
        record("ftp", self.fs.fs2ftp(file))
        return super().ftp_RETR(file)


def main():
    os.makedirs(HTTP_ROOT, exist_ok=True)
    os.makedirs(FTP_ROOT, exist_ok=True)
    open(LOG, "w").close()
    logging.basicConfig(level=logging.ERROR)

    http_port = http_server("http")
    make_certificates(http_port)
    ports = {
        "TAV_NET_HTTP": http_port,
        "TAV_NET_CUT": http_server("cut", cut=True),
        "TAV_NET_HTTPS": http_server("https", cert="server"),
        "TAV_NET_UNTRUSTED": http_server("untrusted", cert="untrusted"),
    }
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(FTP_ROOT, perm="elr")
    authorizer.add_user("tav", "secret", FTP_ROOT, perm="elr")
    LoggingFTPHandler.authorizer = authorizer
    LoggingFTPHandler.passive_ports = None
    ftp = FTPServer(("127.0.0.1", 0), LoggingFTPHandler)
    ports["TAV_NET_FTP"] = ftp.address[1]
    # A port that was free a moment ago and that nothing listens on.
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    ports["TAV_NET_CLOSED"] = probe.getsockname()[1]
    probe.close()

    with open(os.path.join(ROOT, "ports.tmp"), "w") as f:
        for key, value in ports.items():
            f.write("%s=%d\n" % (key, value))
    os.rename(os.path.join(ROOT, "ports.tmp"), os.path.join(ROOT, "ports.env"))
    ftp.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
