"""A portal stand-in for the fetch tests: fixed answers on 127.0.0.1.

  portal_server.py --answer FILE --log FILE [--cert CERT --key KEY]

Listens on 127.0.0.1 on a free port and prints that port on the first line of
its output. Every request is logged as one JSON line (path, headers) before it
is answered, so a test that got its answer can read the log at once.
  /missing...  404
  /moved...    302 to /kiv
  anything else: 200 with the bytes of the answer file
"""
import argparse
import http.server
import json
import ssl
import sys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--answer", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            record = {"path": self.path, "headers": {k.lower(): v for k, v in self.headers.items()}}
            with open(options.log, "a", encoding="utf-8") as log:
                log.write(json.dumps(record) + "\n")
            if self.path.startswith("/missing"):
                self.send_error(404)
                return
            if self.path.startswith("/moved"):
                self.send_response(302)
                self.send_header("Location", "/kiv")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            with open(options.answer, "rb") as answer:
                body = answer.read()
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, format, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if options.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
