"""Test certificate authorities made with the openssl command line."""
import os
import subprocess


def authority(work, name):
    """A CA and a server certificate for 127.0.0.1 and localhost that it
    signed: (CA file, certificate, key), the key readable by its owner only."""
    base = os.path.join(work, name)
    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]

    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    openssl("req", "-x509", *ec, "-keyout", base + "-ca.key", "-out", base + "-ca.pem",
            "-days", "2", "-subj", "/CN=AC de teste " + name)
    openssl("req", *ec, "-keyout", base + ".key", "-out", base + ".csr", "-subj", "/CN=127.0.0.1")
    with open(base + ".ext", "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    openssl("x509", "-req", "-in", base + ".csr", "-CA", base + "-ca.pem", "-CAkey",
            base + "-ca.key", "-CAcreateserial", "-out", base + ".pem", "-days", "2",
            "-extfile", base + ".ext")
    os.chmod(base + ".key", 0o600)
    return base + "-ca.pem", base + ".pem", base + ".key"
