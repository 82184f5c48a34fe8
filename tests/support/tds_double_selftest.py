#!/usr/bin/env python3
"""Checks of the SQL Server test double: its answers on the wire, its journal, its faults.

It talks raw TDS through a small client of its own, written independently of the double's
encoders, so that a fault in one is not hidden by the same fault in the other."""

from __future__ import annotations

import json
import os
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import uuid
from dataclasses import dataclass, field
from typing import Any, Optional

DOUBLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tds_double.py")
WAIT = 20.0  # generous bound for anything that should happen at once

TDS71 = 0x71000001
TDS74 = 0x74000004


# ---- a minimal TDS client ---------------------------------------------------------------

def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


def obfuscate(password: str) -> bytes:
    return bytes((((b << 4) & 0xF0) | (b >> 4)) ^ 0xA5 for b in utf16(password))


def prelogin_payload(encryption: int = 0) -> bytes:
    # VERSION and ENCRYPTION (by default off: login-only encryption, as most clients ask).
    version = struct.pack(">BBHH", 9, 0, 0, 0)
    header = struct.pack(">BHH", 0, 11, 6) + struct.pack(">BHH", 1, 17, 1) + b"\xff"
    return header + version + bytes([encryption])


def login7_payload(user: str, password: str, database: str, tds_version: int = TDS74,
                   app: str = "selftest", host: str = "testhost") -> bytes:
    fields = [("host", utf16(host)), ("user", utf16(user)), ("password", obfuscate(password)),
              ("app", utf16(app)), ("server", utf16("127.0.0.1")), ("unused", b""),
              ("library", utf16("selftest-lib")), ("language", b""), ("database", utf16(database))]
    fixed_len = 94
    offsets, data = b"", b""
    for name, value in fields:
        chars = 0 if name == "unused" else len(value) // 2
        offsets += struct.pack("<HH", fixed_len + len(data), chars)
        data += value
    offsets += b"\x00" * 6  # client id
    offsets += struct.pack("<HH", fixed_len + len(data), 0) * 3  # SSPI, attach file, new password
    offsets += struct.pack("<I", 0)  # long SSPI length
    head = struct.pack("<IIIIII", 0, tds_version, 4096, 7, os.getpid(), 0)
    head += bytes([0xE0, 0x03, 0x00, 0x00]) + struct.pack("<iI", 0, 0x0409)
    record = head + offsets + data
    assert len(head + offsets) == fixed_len
    return struct.pack("<I", len(record)) + record[4:]


def prelogin_options(answer: bytes) -> dict[int, bytes]:
    options, pos = {}, 0
    while answer[pos] != 0xFF:
        option, offset, length = struct.unpack(">BHH", answer[pos:pos + 5])
        options[option] = answer[offset:offset + length]
        pos += 5
    return options


def all_headers() -> bytes:
    return struct.pack("<IIH", 22, 18, 2) + b"\x00" * 8 + struct.pack("<I", 1)


@dataclass
class Reply:
    """The tokens of one answer, decoded into what the tests look at."""
    envchanges: list[tuple[int, Any, Any]] = field(default_factory=list)
    errors: list[dict] = field(default_factory=list)
    infos: list[dict] = field(default_factory=list)
    loginack: Optional[dict] = None
    columns: list[dict] = field(default_factory=list)
    rows: list[list[Any]] = field(default_factory=list)
    dones: list[dict] = field(default_factory=list)
    return_status: Optional[int] = None
    return_values: list[Any] = field(default_factory=list)


class Cursor:
    def __init__(self, data: bytes):
        self.data, self.pos = data, 0

    def take(self, count: int) -> bytes:
        if self.pos + count > len(self.data):
            raise AssertionError(f"reply ends early at {self.pos} (+{count}): {self.data.hex()}")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def unpack(self, fmt: str) -> Any:
        values = struct.unpack(fmt, self.take(struct.calcsize(fmt)))
        return values[0] if len(values) == 1 else values

    def text(self, chars: int) -> str:
        return self.take(chars * 2).decode("utf-16-le")


def decode_value(cur: Cursor, column: dict) -> Any:
    kind = column["type"]
    if kind == 0x38:
        return cur.unpack("<i")
    if kind == 0x34:
        return cur.unpack("<h")
    if kind == 0x30:
        return cur.unpack("<B")
    if kind == 0x26:
        size = cur.unpack("<B")
        return None if size == 0 else int.from_bytes(cur.take(size), "little", signed=True)
    if kind == 0xE7:
        size = cur.unpack("<H")
        return None if size == 0xFFFF else cur.take(size).decode("utf-16-le")
    if kind == 0x62:
        size = cur.unpack("<I")
        if size == 0:
            return None
        inner = Cursor(cur.take(size))
        base, prop_len = inner.unpack("<BB")
        props = inner.take(prop_len)
        rest = inner.take(size - 2 - prop_len)
        return {"base": base, "props": props, "value": rest}
    raise AssertionError(f"column type 0x{kind:02X} not expected")


def parse_reply(payload: bytes, tds_version: int = TDS74) -> Reply:
    wide = tds_version >= 0x72000000
    reply, cur = Reply(), Cursor(payload)
    while cur.pos < len(payload):
        token = cur.unpack("<B")
        if token == 0xE3:
            body = Cursor(cur.take(cur.unpack("<H")))
            kind = body.unpack("<B")
            if kind in (7, 8, 9, 10):
                new = body.take(body.unpack("<B"))
                old = body.take(body.unpack("<B"))
            else:
                new = body.text(body.unpack("<B"))
                old = body.text(body.unpack("<B"))
            reply.envchanges.append((kind, new, old))
        elif token in (0xAA, 0xAB):
            body = Cursor(cur.take(cur.unpack("<H")))
            number, state, severity = body.unpack("<iBB")
            message = body.text(body.unpack("<H"))
            server = body.text(body.unpack("<B"))
            proc = body.text(body.unpack("<B"))
            line = body.unpack("<i" if wide else "<H")
            assert body.pos == len(body.data), "message token has trailing bytes"
            entry = {"number": number, "state": state, "class": severity, "text": message,
                     "server": server, "proc": proc, "line": line}
            (reply.errors if token == 0xAA else reply.infos).append(entry)
        elif token == 0xAD:
            body = Cursor(cur.take(cur.unpack("<H")))
            interface, version = body.unpack("<B"), body.unpack(">I")
            name = body.text(body.unpack("<B"))
            reply.loginack = {"interface": interface, "tds_version": version, "name": name,
                              "version": tuple(body.take(4))}
        elif token == 0x81:
            for _ in range(cur.unpack("<H")):
                cur.take(4 if wide else 2)
                flags, kind = cur.unpack("<HB")
                column = {"type": kind, "flags": flags}
                if kind == 0x62:
                    column["max"] = cur.unpack("<I")
                elif kind == 0xE7:
                    column["max"] = cur.unpack("<H")
                    column["collation"] = cur.take(5)
                elif kind == 0x26:
                    column["max"] = cur.unpack("<B")
                column["name"] = cur.text(cur.unpack("<B"))
                reply.columns.append(column)
        elif token == 0xD1:
            reply.rows.append([decode_value(cur, column) for column in reply.columns])
        elif token in (0xFD, 0xFE, 0xFF):
            status, curcmd = cur.unpack("<HH")
            count = cur.unpack("<Q" if wide else "<I")
            reply.dones.append({"token": token, "status": status, "curcmd": curcmd, "count": count})
        elif token == 0x79:
            reply.return_status = cur.unpack("<i")
        elif token == 0xAC:
            cur.unpack("<H")
            cur.text(cur.unpack("<B"))
            cur.unpack("<B")
            cur.take(4 if wide else 2)
            cur.unpack("<H")
            kind, size = cur.unpack("<BB")
            reply.return_values.append(decode_value(cur, {"type": kind, "max": size}))
        else:
            raise AssertionError(f"unexpected token 0x{token:02X} at {cur.pos - 1}")
    return reply


class Client:
    def __init__(self, port: int):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=WAIT)
        self.tds_version = TDS74
        self.spid = 0
        self.tls: Optional[ssl.SSLObject] = None
        self.tls_for_login_only = False
        self.bio_in, self.bio_out, self.plain = ssl.MemoryBIO(), ssl.MemoryBIO(), b""

    def close(self) -> None:
        self.sock.close()

    def send(self, ptype: int, payload: bytes) -> None:
        room = 4096 - 8
        chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b""]
        for number, chunk in enumerate(chunks, start=1):
            last = number == len(chunks)
            packet = struct.pack(">BBHHBB", ptype, 1 if last else 0, len(chunk) + 8, 0, number,
                                 0) + chunk
            if self.tls is None:
                self.sock.sendall(packet)
                continue
            self.tls.write(packet)
            self.sock.sendall(self.bio_out.read())
            if self.tls_for_login_only:
                self.tls = None

    def start_tls(self, login_only: bool) -> None:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        context.check_hostname, context.verify_mode = False, ssl.CERT_NONE
        tls = context.wrap_bio(self.bio_in, self.bio_out)
        while True:
            try:
                tls.do_handshake()
                done = True
            except ssl.SSLWantReadError:
                done = False
            if self.bio_out.pending:
                self.send(0x12, self.bio_out.read())
            if done:
                break
            self.bio_in.write(self.receive(0x12))
        self.tls, self.tls_for_login_only = tls, login_only

    def receive(self, expected_type: int = 0x04) -> Optional[bytes]:
        """One whole reply message, or None when the server closed the connection."""
        parts = []
        while True:
            header = self.read_exact(8)
            if header is None:
                return None
            ptype, status, length, self.spid = struct.unpack(">BBHH", header[:6])
            if ptype != expected_type:
                raise AssertionError(f"reply packet type 0x{ptype:02X}")
            body = self.read_exact(length - 8)
            if body is None:
                return None
            parts.append(body)
            if status & 0x01:
                return b"".join(parts)

    def read_exact(self, count: int) -> Optional[bytes]:
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data)) if self.tls is None else self.decrypted(count - len(data))
            if not chunk:
                return None
            data += chunk
        return data

    def request(self, ptype: int, payload: bytes) -> Reply:
        self.send(ptype, payload)
        message = self.receive()
        if message is None:
            raise AssertionError("server closed the connection instead of answering")
        return parse_reply(message, self.tds_version)

    def decrypted(self, count: int) -> bytes:
        while True:
            try:
                return self.tls.read(count)
            except ssl.SSLWantReadError:
                raw = self.sock.recv(65536)
                if not raw:
                    return b""
                self.bio_in.write(raw)

    def prelogin(self, encryption: int = 0) -> bytes:
        """Sends PRELOGIN and, when the answer asks for it, shakes hands for TLS."""
        self.send(0x12, prelogin_payload(encryption))
        answer = self.receive()
        assert answer is not None
        answered = prelogin_options(answer)[1][0]
        if encryption != 2 and answered != 2:
            self.start_tls(login_only=encryption == answered == 0)
        return answer

    def login(self, user: str, password: str, database: str = "",
              tds_version: int = TDS74) -> Reply:
        self.prelogin()
        self.tds_version = tds_version
        return self.request(0x10, login7_payload(user, password, database, tds_version))

    def batch(self, text: str) -> Reply:
        headers = all_headers() if self.tds_version >= 0x72000000 else b""
        return self.request(0x01, headers + utf16(text))

    def rpc(self, body: bytes) -> Reply:
        return self.request(0x03, all_headers() + body)


def rpc_by_name(name: str, params: list[bytes]) -> bytes:
    return struct.pack("<H", len(name)) + utf16(name) + b"\x00\x00" + b"".join(params)


def param(type_and_value: bytes, name: str = "") -> bytes:
    return bytes([len(name)]) + utf16(name) + b"\x00" + type_and_value


COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])


def guid_null() -> bytes:
    return b"\x24\x10\x00"


def guid(value: uuid.UUID) -> bytes:
    return b"\x24\x10\x10" + value.bytes_le


def nvarchar(value: Optional[str]) -> bytes:
    head = b"\xe7" + struct.pack("<H", 256) + COLLATION
    if value is None:
        return head + b"\xff\xff"
    return head + struct.pack("<H", len(utf16(value))) + utf16(value)


def bitn(value: Optional[bool]) -> bytes:
    return b"\x68\x01" + (b"\x00" if value is None else b"\x01" + bytes([int(value)]))


def int4(value: int) -> bytes:
    return b"\x38" + struct.pack("<i", value)


def delete_job_params(job: Optional[str]) -> list[bytes]:
    return [param(guid_null()), param(nvarchar(job)), param(nvarchar(None)),
            param(bitn(None)), param(bitn(None))]


# ---- running the double -----------------------------------------------------------------

class Double:
    """The double as a child process with a journal in a temporary folder."""

    def __init__(self, *args: str, wait_for_port: bool = True):
        self.folder = tempfile.TemporaryDirectory(prefix="tds_double_selftest.")
        self.journal_path = os.path.join(self.folder.name, "journal.jsonl")
        self.port_file = os.path.join(self.folder.name, "port")
        self.process = subprocess.Popen(
            [sys.executable, DOUBLE, "--port", "0", "--port-file", self.port_file,
             "--journal", self.journal_path, *args],
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.port = self.wait_for_port() if wait_for_port else 0

    def wait_for_port(self) -> int:
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            if os.path.exists(self.port_file):
                with open(self.port_file, encoding="ascii") as handle:
                    return int(handle.read())
            if self.process.poll() is not None:
                raise AssertionError(f"double exited: {self.process.stderr.read().decode()}")
            time.sleep(0.05)
        raise AssertionError("double wrote no port file")

    def connect(self) -> Client:
        return Client(self.port)

    def events(self, kind: Optional[str] = None) -> list[dict]:
        if not os.path.exists(self.journal_path):
            return []
        with open(self.journal_path, encoding="utf-8") as handle:
            events = [json.loads(line) for line in handle]
        return [e for e in events if kind is None or e["event"] == kind]

    def wait_for_event(self, kind: str, count: int = 1) -> list[dict]:
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            events = self.events(kind)
            if len(events) >= count:
                return events
            time.sleep(0.05)
        raise AssertionError(f"journal has no {count} {kind} events: {self.events()}")

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout=WAIT)
        finally:
            self.process.stderr.close()

    def close(self) -> None:
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        if not self.process.stderr.closed:
            self.process.stderr.close()
        self.folder.cleanup()


class DoubleTest(unittest.TestCase):
    args: tuple[str, ...] = ("--account", "sa:p:w}d", "--database", "Orvo",
                             "--job", "ORVO_Schedule_Archive", "--job", "ORVO_Daily_Tx_Log_Backup",
                             "--edition", "Express Edition (64-bit)", "--lifetime", "120")

    def setUp(self) -> None:
        self.double = Double(*self.args)
        self.addCleanup(self.double.close)
        self.clients: list[Client] = []

    def client(self) -> Client:
        client = self.double.connect()
        self.clients.append(client)
        self.addCleanup(client.close)
        return client

    def logged_in(self, database: str = "msdb") -> Client:
        client = self.client()
        reply = client.login("sa", "p:w}d", database)
        self.assertIsNotNone(reply.loginack, reply)
        return client


# ---- the tests --------------------------------------------------------------------------

class LoginTest(DoubleTest):
    def test_prelogin_answers_as_a_server_without_force_encryption(self) -> None:
        options = prelogin_options(self.client().prelogin())
        self.assertEqual(options[1], b"\x00")
        self.assertGreaterEqual(options[0][0], 15, "a SQL Server 2019 or later version")
        event = self.double.wait_for_event("prelogin")[0]
        self.assertEqual((event["version"], event["encryption"], event["answer"]),
                         ("9.0.0.0", 0, "off"))

    def test_accepted_login_without_database_lands_in_master(self) -> None:
        reply = self.client().login("SA", "p:w}d", "")
        self.assertEqual(reply.errors, [])
        self.assertIn((1, "master", "master"), reply.envchanges)
        self.assertIn((2, "us_english", ""), reply.envchanges)
        self.assertIn((4, "4096", "4096"), reply.envchanges)
        self.assertIn((7, COLLATION, b""), reply.envchanges)
        self.assertEqual([i["number"] for i in reply.infos], [5701, 5703])
        self.assertEqual(reply.infos[0]["text"], "Changed database context to 'master'.")
        self.assertEqual(reply.loginack["tds_version"], TDS74)
        self.assertEqual(reply.loginack["name"], "Microsoft SQL Server")
        self.assertEqual(reply.dones, [{"token": 0xFD, "status": 0, "curcmd": 0, "count": 0}])
        login = self.double.wait_for_event("login")[0]
        self.assertEqual(
            {k: login[k] for k in ("user", "password", "database", "app", "host", "ok", "error")},
            {"user": "SA", "password": "p:w}d", "database": "", "app": "selftest",
             "host": "testhost", "ok": True, "error": None})

    def test_tds71_login_uses_the_older_layouts(self) -> None:
        client = self.client()
        reply = client.login("sa", "p:w}d", "Orvo", tds_version=TDS71)
        self.assertEqual(reply.loginack["tds_version"], TDS71)
        self.assertIn((1, "Orvo", "master"), reply.envchanges)
        self.assertEqual(client.batch("select 1").rows, [[1]])

    def test_wrong_password_and_unknown_login_are_refused(self) -> None:
        for user, password in (("sa", "p:w"), ("nobody", "p:w}d")):
            with self.subTest(user=user):
                client = self.client()
                reply = client.login(user, password, "msdb")
                self.assertIsNone(reply.loginack)
                self.assertEqual(reply.errors, [{
                    "number": 18456, "state": 1, "class": 14, "server": reply.errors[0]["server"],
                    "text": f"Login failed for user '{user}'.", "proc": "", "line": 1}])
                self.assertTrue(reply.dones[-1]["status"] & 0x02)
                self.assertIsNone(client.receive(), "connection stays open after a refusal")
        logins = self.double.wait_for_event("login", 2)
        self.assertEqual([(e["ok"], e["error"], e["password"]) for e in logins],
                         [(False, 18456, "p:w"), (False, 18456, "p:w}d")])

    def test_unknown_database_is_refused_with_4060_then_18456(self) -> None:
        reply = self.client().login("sa", "p:w}d", "NoSuchDb")
        self.assertEqual([(e["number"], e["class"], e["state"]) for e in reply.errors],
                         [(4060, 11, 1), (18456, 14, 1)])
        self.assertEqual(reply.errors[0]["text"],
                         'Cannot open database "NoSuchDb" requested by the login. The login failed.')
        self.assertEqual(self.double.wait_for_event("login")[0]["error"], 4060)


class EncryptionTest(unittest.TestCase):
    # server mode, the client's ENCRYPTION, the answer, the login's TLS, the whole session in TLS
    CASES = [("off", 0, 0, "TLSv1.2", False), ("off", 1, 1, "TLSv1.2", True),
             ("off", 2, 2, None, False), ("required", 0, 3, "TLSv1.2", True),
             ("required", 3, 1, "TLSv1.2", True), ("required", 2, 3, "closed", False),
             ("not-supported", 0, 2, None, False), ("not-supported", 1, 2, None, False)]

    def test_each_mode_answers_each_client_as_sql_server_does(self) -> None:
        for mode, offer, answer, login_tls, session_tls in self.CASES:
            with self.subTest(mode=mode, offer=offer):
                double = Double("--account", "sa:x", "--encryption", mode)
                self.addCleanup(double.close)
                client = double.connect()
                self.addCleanup(client.close)
                if offer == 1 and answer == 2:  # the client hangs up; the server would go on
                    client.sock.sendall(struct.pack(">BBHHBB", 0x12, 1, 8 + len(prelogin_payload()),
                                                    0, 1, 0) + prelogin_payload(offer))
                    self.assertEqual(prelogin_options(client.receive())[1][0], answer)
                    continue
                self.assertEqual(prelogin_options(client.prelogin(offer))[1][0], answer)
                if login_tls == "closed":
                    self.assertIsNone(client.receive())
                    self.assertEqual(double.events("login"), [])
                    continue
                self.assertIsNotNone(client.request(0x10, login7_payload("sa", "x", "")).loginack)
                self.assertEqual(client.batch("SELECT 1").rows, [[1]])
                login = double.wait_for_event("login")[0]
                self.assertEqual((login["tls"], login["session_tls"]), (login_tls, session_tls))

    def test_a_broken_handshake_or_a_clear_login_after_agreeing_to_tls_ends_the_connection(self) -> None:
        for junk, event in (((0x12, b"no TLS at all"), "tls_error"),
                            ((0x10, login7_payload("sa", "x", "")), "protocol_error")):
            with self.subTest(event=event):
                double = Double("--account", "sa:x")
                self.addCleanup(double.close)
                client = double.connect()
                self.addCleanup(client.close)
                client.send(0x12, prelogin_payload())
                client.receive()
                if event == "protocol_error":
                    client.start_tls(login_only=True)
                    client.tls = None
                client.send(*junk)
                try:
                    self.assertIsNone(client.receive())
                except ConnectionResetError:
                    pass  # closed with the clear login unread
                double.wait_for_event(event)
                self.assertEqual(double.events("login"), [])


class BatchTest(DoubleTest):
    def test_edition_query_returns_sql_variant_nvarchar(self) -> None:
        client = self.logged_in()
        reply = client.batch("  select\tServerProperty ( 'Edition' )  AS  SERVER ;\r\n")
        self.assertEqual(len(reply.columns), 1)
        self.assertEqual((reply.columns[0]["name"], reply.columns[0]["type"], reply.columns[0]["max"]),
                         ("SERVER", 0x62, 8016))
        (value,), = reply.rows
        self.assertEqual(value["base"], 0xE7)
        self.assertEqual(value["props"][:5], COLLATION)
        self.assertEqual(value["value"].decode("utf-16-le"), "Express Edition (64-bit)")
        self.assertEqual(reply.dones, [{"token": 0xFD, "status": 0x10, "curcmd": 0xC1, "count": 1}])
        batch = self.double.wait_for_event("batch")[0]
        self.assertEqual((batch["text"], batch["database"]),
                         ("  select\tServerProperty ( 'Edition' )  AS  SERVER ;\r\n", "msdb"))

    def test_small_client_queries_get_plausible_rows(self) -> None:
        client = self.logged_in()
        self.assertEqual(client.batch("SELECT 1").rows, [[1]])
        spid_reply = client.batch("select @@spid as spid, @@trancount")
        self.assertEqual([c["name"] for c in spid_reply.columns], ["spid", ""])
        self.assertEqual(spid_reply.rows, [[client.spid, 0]])

    def test_other_batches_succeed_without_rows_and_are_journaled(self) -> None:
        client = self.logged_in()
        for text in ("SET TEXTSIZE 2147483647", "CREATE TABLE t (a int)", "exec sp_who"):
            reply = client.batch(text)
            self.assertEqual((reply.errors, reply.rows), ([], []))
            self.assertEqual(reply.dones[-1]["status"] & 0x02, 0)
        self.assertEqual([e["text"] for e in self.double.wait_for_event("batch", 3)],
                         ["SET TEXTSIZE 2147483647", "CREATE TABLE t (a int)", "exec sp_who"])

    def test_use_changes_the_database_or_fails_for_an_unknown_one(self) -> None:
        client = self.logged_in("master")
        reply = client.batch("USE [Orvo]")
        self.assertIn((1, "Orvo", "master"), reply.envchanges)
        reply = client.batch("use Nowhere")
        self.assertEqual(reply.errors[0]["number"], 911)
        client.batch("SELECT 1")
        self.assertEqual([e["database"] for e in self.double.wait_for_event("batch", 3)],
                         ["master", "Orvo", "Orvo"])


class DeleteJobTest(DoubleTest):
    def test_known_job_is_deleted_once(self) -> None:
        client = self.logged_in("msdb")
        reply = client.rpc(rpc_by_name("sp_delete_job", delete_job_params("orvo_schedule_archive")))
        self.assertEqual((reply.errors, reply.return_status), ([], 0))
        self.assertEqual([(d["token"], d["status"] & 0x02) for d in reply.dones], [(0xFE, 0)])

        reply = client.rpc(rpc_by_name("sp_delete_job", delete_job_params("orvo_schedule_archive")))
        self.assertEqual([(e["number"], e["class"], e["state"], e["text"]) for e in reply.errors],
                         [(14262, 16, 1, "The specified @job_name ('orvo_schedule_archive') "
                                         "does not exist.")])
        self.assertEqual(reply.return_status, 1)
        self.assertEqual(reply.dones[-1]["token"], 0xFE)
        self.assertTrue(reply.dones[-1]["status"] & 0x02)

        first, second = self.double.wait_for_event("rpc", 2)
        self.assertEqual((first["ok"], first["error"], second["ok"], second["error"]),
                         (True, None, False, 14262))
        self.assertEqual(first["procedure"], "sp_delete_job")
        self.assertEqual(
            [(p["name"], p["type"], p["tds_type"], p["null"], p["value"]) for p in first["params"]],
            [("", "uniqueidentifier", "GUIDTYPE", True, None),
             ("", "nvarchar", "NVARCHARTYPE", False, "orvo_schedule_archive"),
             ("", "nvarchar", "NVARCHARTYPE", True, None),
             ("", "bit", "BITNTYPE", True, None), ("", "bit", "BITNTYPE", True, None)])

    def test_named_parameters_and_qualified_name_from_master(self) -> None:
        client = self.logged_in("master")
        job_id = uuid.UUID("12345678-9abc-def0-1234-56789abcdef0")
        reply = client.rpc(rpc_by_name("[msdb].dbo.SP_DELETE_JOB", [
            param(nvarchar("ORVO_Daily_Tx_Log_Backup"), "@job_name"),
            param(bitn(True), "@delete_history"), param(int4(7), "@extra"),
            param(guid_null(), "@job_id")]))
        self.assertEqual((reply.errors, reply.return_status), ([], 0))
        reply = client.rpc(rpc_by_name("msdb.dbo.sp_delete_job", [
            param(guid(job_id), "@job_id"), param(nvarchar("ORVO_Schedule_Archive"), "@owner")]))
        self.assertEqual(reply.errors[0]["text"],
                         f"The specified @job_id ('{str(job_id).upper()}') does not exist.")
        params = self.double.wait_for_event("rpc", 2)[0]["params"]
        self.assertEqual([(p["name"], p["type"], p["value"]) for p in params],
                         [("@job_name", "nvarchar", "ORVO_Daily_Tx_Log_Backup"),
                          ("@delete_history", "bit", True), ("@extra", "int", 7),
                          ("@job_id", "uniqueidentifier", None)])

    def test_unqualified_call_outside_msdb_finds_no_procedure(self) -> None:
        client = self.logged_in("master")
        reply = client.rpc(rpc_by_name("sp_delete_job", delete_job_params("ORVO_Schedule_Archive")))
        self.assertEqual(reply.errors[0]["number"], 2812)
        self.assertIsNone(reply.return_status)
        # The job is still there for a call in msdb.
        reply = self.logged_in("msdb").rpc(
            rpc_by_name("sp_delete_job", delete_job_params("ORVO_Schedule_Archive")))
        self.assertEqual(reply.return_status, 0)

    def test_deletion_is_seen_by_other_connections(self) -> None:
        first, second = self.logged_in(), self.logged_in()
        self.assertEqual(first.rpc(rpc_by_name(
            "sp_delete_job", delete_job_params("ORVO_Schedule_Archive"))).return_status, 0)
        self.assertEqual(second.rpc(rpc_by_name(
            "sp_delete_job", delete_job_params("ORVO_Schedule_Archive"))).return_status, 1)
        connections = {e["conn"] for e in self.double.wait_for_event("rpc", 2)}
        self.assertEqual(len(connections), 2)

    def test_executesql_by_proc_id_runs_its_statement(self) -> None:
        client = self.logged_in()
        statement = "SELECT SERVERPROPERTY('EDITION') AS SERVER"
        ntext = b"\x63" + struct.pack("<I", 2 * len(statement)) + COLLATION \
            + struct.pack("<I", 2 * len(statement)) + utf16(statement)
        reply = client.rpc(b"\xff\xff" + struct.pack("<H", 10) + b"\x00\x00" + param(ntext))
        self.assertEqual(reply.rows[0][0]["value"].decode("utf-16-le"), "Express Edition (64-bit)")
        self.assertEqual(reply.return_status, 0)
        event = self.double.wait_for_event("rpc")[0]
        self.assertEqual((event["procedure"], event["proc_id"]), ("sp_executesql", 10))
        self.assertEqual(event["params"][0]["value"], statement)


class AttentionAndFaultTest(DoubleTest):
    def test_attention_is_answered_with_the_attention_flag(self) -> None:
        client = self.logged_in()
        reply = client.request(0x06, b"")
        self.assertEqual([d["status"] & 0x20 for d in reply.dones], [0x20])
        self.double.wait_for_event("attention")


class SlowFaultTest(DoubleTest):
    args = DoubleTest.args + ("--fault", "slow=0.5")

    def test_slow_answers_are_still_right_and_can_be_cancelled(self) -> None:
        client = self.logged_in()
        self.assertEqual(client.batch("SELECT 1").rows, [[1]])
        # A cancel during the delay replaces the answer; the job is then left alone.
        client.send(0x03, all_headers() + rpc_by_name(
            "sp_delete_job", delete_job_params("ORVO_Schedule_Archive")))
        client.send(0x06, b"")
        reply = parse_reply(client.receive())
        self.assertEqual((reply.return_status, [d["status"] for d in reply.dones]), (None, [0x20]))
        rpc = self.double.wait_for_event("rpc")[0]
        self.assertEqual((rpc["ok"], rpc["cancelled"]), (False, True))
        self.assertEqual(client.rpc(rpc_by_name(
            "sp_delete_job", delete_job_params("ORVO_Schedule_Archive"))).return_status, 0)


class RefuseFaultTest(unittest.TestCase):
    def test_connections_are_refused(self) -> None:
        double = Double("--fault", "refuse")
        self.addCleanup(double.close)
        with self.assertRaises(ConnectionRefusedError):
            double.connect()
        self.assertEqual(double.stop(), 0)
        self.assertEqual(double.events(), [])


class CloseInLoginFaultTest(DoubleTest):
    args = ("--account", "sa:x", "--fault", "close-in-login")

    def test_socket_closes_without_a_login_answer(self) -> None:
        client = self.client()
        client.prelogin()
        client.send(0x10, login7_payload("sa", "x", "msdb"))
        self.assertIsNone(client.receive())
        login = self.double.wait_for_event("login")[0]
        self.assertEqual((login["user"], login["ok"], login["fault"]), ("sa", False, "close-in-login"))
        self.double.wait_for_event("disconnect")


class SilentFaultTest(DoubleTest):
    args = ("--account", "sa:x", "--fault", "silent")

    def test_connection_is_accepted_and_never_answered(self) -> None:
        client = self.client()
        client.sock.settimeout(0.5)
        client.send(0x12, prelogin_payload())
        with self.assertRaises(socket.timeout):
            client.receive()
        self.assertEqual(self.double.wait_for_event("fault")[0]["name"], "silent")


class GarbageFaultTest(DoubleTest):
    args = ("--account", "sa:x", "--fault", "garbage")

    def test_first_message_gets_bytes_that_are_no_tds_reply(self) -> None:
        client = self.client()
        client.send(0x12, prelogin_payload())
        with self.assertRaises(AssertionError):
            client.receive()
        self.assertEqual(self.double.wait_for_event("fault")[0]["name"], "garbage")


class DropInRpcFaultTest(DoubleTest):
    args = ("--account", "sa:x", "--job", "ORVO_Schedule_Archive", "--fault", "drop-in-rpc")

    def test_login_works_and_an_rpc_closes_the_socket_unanswered(self) -> None:
        client = self.client()
        client.login("sa", "x", "msdb")
        client.send(0x03, rpc_by_name("sp_delete_job", delete_job_params("ORVO_Schedule_Archive")))
        self.assertIsNone(client.receive())
        self.assertEqual(self.double.wait_for_event("fault")[0]["name"], "drop-in-rpc")
        self.assertEqual(self.double.events("rpc"), [])


class MessageFaultTest(unittest.TestCase):
    def test_refusals_and_call_errors_carry_as_many_and_as_long_messages_as_asked(self) -> None:
        for fault, count, chars in (("login-errors=3:600", 3, 600), ("login-errors=1:32000", 1, 32000),
                                    ("call-errors=2:100", 2, 100)):
            with self.subTest(fault=fault):
                double = Double("--account", "sa:x", "--fault", fault)
                self.addCleanup(double.close)
                client = double.connect()
                self.addCleanup(client.close)
                reply = client.login("sa", "x", "msdb")
                if fault.startswith("call-"):
                    self.assertIsNotNone(reply.loginack)
                    reply = client.rpc(rpc_by_name("sp_delete_job", delete_job_params("A")))
                    self.assertTrue(reply.dones[-1]["status"] & 0x02)
                else:
                    self.assertIsNone(reply.loginack)
                self.assertEqual([len(e["text"]) for e in reply.errors], [chars] * count)
                self.assertEqual(len({e["text"] for e in reply.errors}), count)


class StallFaultTest(unittest.TestCase):
    def test_a_stalled_request_is_answered_only_by_a_cancel_and_a_dead_one_never(self) -> None:
        for kind in ("stall", "dead"):
            for stage in ("login", "select", "rpc"):
                with self.subTest(kind=kind, stage=stage):
                    double = Double("--account", "sa:x", "--fault", f"{kind}={stage}")
                    self.addCleanup(double.close)
                    client = double.connect()
                    self.addCleanup(client.close)
                    if stage == "login":
                        client.prelogin()
                        client.send(0x10, login7_payload("sa", "x", "msdb"))
                    else:
                        client.login("sa", "x", "msdb")
                        self.assertEqual(client.batch("SET TEXTSIZE 10").errors, [])
                        client.send(*((0x01, all_headers() + utf16("SELECT 1")) if stage == "select" else
                                      (0x03, all_headers() + rpc_by_name("sp_delete_job", delete_job_params("A")))))
                    client.sock.settimeout(0.5)
                    with self.assertRaises(socket.timeout):
                        client.receive()
                    client.send(0x06, b"")
                    if kind == "stall":
                        self.assertEqual([d["status"] for d in parse_reply(client.receive()).dones], [0x20])
                    else:
                        with self.assertRaises(socket.timeout):
                            client.receive()
                    fault = double.wait_for_event("fault")[0]
                    self.assertEqual((fault["stage"], fault["dead"]), (stage, kind == "dead"))


class ProcessTest(unittest.TestCase):
    def test_sigterm_stops_it_and_closes_open_connections(self) -> None:
        double = Double("--account", "sa:x")
        self.addCleanup(double.close)
        client = double.connect()
        self.addCleanup(client.close)
        client.login("sa", "x")
        self.assertEqual(double.stop(), 0)
        events = double.events()
        self.assertEqual([e["event"] for e in events], ["connect", "prelogin", "login", "disconnect"])
        self.assertEqual({e["conn"] for e in events}, {1})

    def test_lifetime_ends_it_by_itself(self) -> None:
        double = Double("--lifetime", "0.5")
        self.addCleanup(double.close)
        self.assertEqual(double.process.wait(timeout=WAIT), 0)

    def test_bad_arguments_are_reported(self) -> None:
        for args in (("--account", "nocolon"), ("--fault", "slow=soon"), ("--fault", "explode"),
                     ("--fault", "login-errors=2"), ("--fault", "stall=later")):
            with self.subTest(args=args):
                result = subprocess.run([sys.executable, DOUBLE, *args], capture_output=True,
                                        text=True, timeout=WAIT)
                self.assertEqual(result.returncode, 2)
                self.assertIn(args[1], result.stderr)


if __name__ == "__main__":
    unittest.main(verbosity=2)
