"""Test certificates for the secure fetch, made with openssl in a folder of one run, and the
trust in the test authority inside one Wine prefix (never the host's bundle).

    certs = TestCertificates(folder)       # every certificate below, made once
    certs.server("rsa")                    # (certificate file with its chain, key file)
    with_trusted_root(env, certs.root_der) # a context manager: trusted inside, removed after

Run as a script to make them for the benchmark:  tls_certs.py FOLDER
"""

import contextlib
import hashlib
import os
import ssl
import subprocess
import sys

CA_CONFIG = """
[ca]
default_ca = test_ca
[test_ca]
database = {dir}/index.txt
new_certs_dir = {dir}/issued
serial = {dir}/serial
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
[elsewhere]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:elsewhere.sitewake.test
[client]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = clientAuth
subjectAltName = DNS:localhost
[intermediate]
basicConstraints = critical, CA:TRUE, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
[many-names]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = @many_names
"""

# The names of the "many-names" certificate: localhost and enough others to make it about 50 KB,
# a chain as large as some real sites send.
MANY_NAMES = "[many_names]\nDNS.1 = localhost\n" + "".join(
    "DNS.%d = host%04d.many-names.sitewake.test\n" % (i + 2, i) for i in range(1500))

# Every server certificate made: (name, issuer, key kind, extensions, validity, chain sent).
SERVERS = [
    ("rsa", "root", "rsa", "server", None, []),
    ("ecdsa", "root", "ec", "server", None, []),
    ("expired", "root", "rsa", "server", ("200101000000Z", "210101000000Z"), []),
    ("client-only", "root", "rsa", "client", None, []),
    ("wrong-name", "root", "rsa", "elsewhere", None, []),
    ("untrusted", "rogue", "rsa", "server", None, ["rogue"]),
    ("via-intermediate", "intermediate", "rsa", "server", None, ["intermediate"]),
    ("leaf-without-chain", "intermediate", "rsa", "server", None, []),
    ("large-chain", "intermediate", "rsa", "many-names", None, ["intermediate"]),
]


class TestCertificates:
    """A trusted test root, an untrusted ("rogue") root, an intermediate under the trusted one,
    and the server certificates of SERVERS, all for the name localhost but "wrong-name" (for
    elsewhere.sitewake.test) and "large-chain" (about 50 KB, for localhost and 1500 other names)."""

    def __init__(self, folder):
        self.dir = folder
        os.makedirs(os.path.join(folder, "issued"), exist_ok=True)
        open(os.path.join(folder, "index.txt"), "w").close()
        with open(os.path.join(folder, "serial"), "w") as f:
            f.write("1000\n")
        self.config = os.path.join(folder, "ca.cnf")
        with open(self.config, "w") as f:
            f.write(CA_CONFIG.format(dir=folder) + MANY_NAMES)
        self._root("root", "Sitewake Test Root")
        self._root("rogue", "Sitewake Unknown Root")
        self._key("intermediate", "rsa")
        self._issue("intermediate", "root", "intermediate", "Sitewake Test Intermediate")
        for name, issuer, kind, extensions, dates, chain in SERVERS:
            self._key(name, kind)
            self._issue(name, issuer, extensions, "localhost", dates)
            with open(self.path(name + "-chain.pem"), "wb") as out:
                for part in [name] + chain:
                    with open(self.path(part + ".pem"), "rb") as f:
                        out.write(f.read())
        with open(self.path("root.pem")) as f:
            self.root_der = ssl.PEM_cert_to_DER_cert(f.read())

    def path(self, name):
        return os.path.join(self.dir, name)

    def server(self, name):
        """The certificate file (the certificate and the chain the server sends) and key file."""
        return self.path(name + "-chain.pem"), self.path(name + ".key")

    def _openssl(self, *args):
        subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE)

    def _key(self, name, kind):
        if kind == "ec":
            self._openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                          "-out", self.path(name + ".key"))
        else:
            self._openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048",
                          "-out", self.path(name + ".key"))

    def _root(self, name, subject):
        self._key(name, "rsa")
        self._openssl("req", "-x509", "-new", "-key", self.path(name + ".key"),
                      "-out", self.path(name + ".pem"), "-subj", "/CN=" + subject, "-days", "30",
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")

    def _issue(self, name, issuer, extensions, subject, dates=None):
        csr = self.path(name + ".csr")
        self._openssl("req", "-new", "-key", self.path(name + ".key"), "-out", csr,
                      "-subj", "/CN=" + subject)
        validity = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "30"]
        self._openssl("ca", "-batch", "-notext", "-config", self.config,
                      "-cert", self.path(issuer + ".pem"), "-keyfile", self.path(issuer + ".key"),
                      "-extensions", extensions, "-in", csr, "-out", self.path(name + ".pem"),
                      *validity)


def root_store_key(der):
    """The registry key of a certificate in the user's Root store."""
    return ("HKCU\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\"
            + hashlib.sha1(der).hexdigest().upper())


def store_blob(der):
    """The value Wine keeps for a stored certificate: its property record (id 0x20, 1, length)
    followed by the DER bytes."""
    return ((0x20).to_bytes(4, "little") + (1).to_bytes(4, "little")
            + len(der).to_bytes(4, "little") + der)


def _reg(env, *args):
    subprocess.run(["wine", "reg"] + list(args) + ["/f"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300)


def trust_root(env, der):
    _reg(env, "add", root_store_key(der), "/v", "Blob", "/t", "REG_BINARY",
         "/d", store_blob(der).hex())


def untrust_root(env, der):
    _reg(env, "delete", root_store_key(der))


@contextlib.contextmanager
def with_trusted_root(env, der):
    """The certificate trusted as a root by the Wine prefix of env while inside."""
    trust_root(env, der)
    try:
        yield
    finally:
        untrust_root(env, der)


if __name__ == "__main__":
    TestCertificates(os.path.abspath(sys.argv[1]))
