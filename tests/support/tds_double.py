#!/usr/bin/env python3
"""A SQL Server test double that speaks TDS 7.x on loopback, for Talvorin's tests.

It lets a real client (unixODBC with FreeTDS's driver) log in, run the edition query and call
msdb's sp_delete_job, answers the way SQL Server 2022 does, and writes every request it receives
to a JSON-lines journal that the tests read afterwards.

    python3 tests/support/tds_double.py --port 0 --port-file PORTFILE --journal JOURNAL \
        --account sa:secret --database Orvo --job ORVO_Schedule_Archive [--fault slow=2]

Options: --port N (0: a free one), --port-file F (the port, written by rename once listening),
--account USER:PASSWORD (split at the first ':'), --database NAME (besides master, msdb, tempdb,
model), --job NAME, --edition TEXT, --journal F, --lifetime SECONDS (default 600),
--encryption off | required | not-supported (default off, see TLS below), and
--fault refuse | close-in-login | silent | garbage | drop-in-rpc | job-error=TEXT | slow=SECONDS |
login-errors=COUNT:CHARS | call-errors=COUNT:CHARS | stall=STAGE | dead=STAGE.  Every option but
--port, --port-file, --journal, --edition, --encryption and --lifetime may be repeated.  Logins are
matched without regard to case, passwords
exactly; database and job names without regard to case.

Journal: one JSON object a line, flushed as it is written, appended to the file.  Every object has
"event" and "conn" (the connection id, counted from 1):

    connect         peer
    prelogin        version, encryption, instance, mars (as the client sent them), answer (the
                    ENCRYPTION answered: "off", "on", "required" or "not-supported")
    tls_error       detail (the TLS handshake failed; the connection is closed)
    login           user, password, database (as sent, "" for none), app, host, tds_version,
                    packet_size, tls (the TLS version the LOGIN7 came under, null for none),
                    session_tls (whether the whole session runs inside TLS), ok, error (the
                    first error number of a refused login, else null); the fault
                    close-in-login adds "fault"
    batch           text, database (the connection's database when it arrived)
    rpc             procedure (as sent, or the name of a ProcID), proc_id (or null), database,
                    params [{name, type (SQL Server's type name), tds_type, null, value,
                    output}], ok, error; "cancelled": true when an attention replaced the answer
    transaction     request ("begin", "commit", "rollback", ...)
    attention
    protocol_error  detail (a request the double could not decode)
    fault           name: silent (the connection is accepted and never answered), garbage
                    (the first message gets bytes that are no TDS, then the socket closes),
                    drop-in-rpc (an RPC closes the socket before any answer),
                    stall (with "stage"; see Answers)
    disconnect

TLS, as SQL Server 2005 and later negotiate it in PRELOGIN (the client's ENCRYPTION, then the
answer):
  - off (a server without Force Encryption): off -> off, only the LOGIN7 packet inside TLS;
    on or required -> on, the whole session; not-supported -> not-supported, no TLS.
  - required (Force Encryption): off, on or required -> required or on, the whole session;
    not-supported -> required, and the server closes the connection.
  - not-supported (a server without TLS): always not-supported; the session stays clear.
  The handshake travels in PRELOGIN packets (type 0x12, both ways); after it, TLS records go
  straight on TCP.  Login-only TLS ends after the LOGIN7's first packet: the login's answer
  and everything after it are clear.  TLS 1.2 at most (SQL Server keeps TLS 1.3 for TDS 8),
  with the self-signed test certificate tds_double_test_key.pem.

Answers:
  - Login: ENVCHANGE database, INFO 5701, ENVCHANGE collation, ENVCHANGE language, INFO 5703,
    LOGINACK (the client's TDS version up to 7.4, SQL Server 16.0.1000), [FEATUREEXTACK],
    ENVCHANGE packet size, DONE.  Refusals: 18456 (bad login), 4060 then 18456 (unknown
    database), each followed by DONE with the error flag, then the socket is closed.
  - Batches: no SQL is executed.  SELECT of literals, @@globals and SERVERPROPERTY(...) without
    FROM gives one row (SERVERPROPERTY as sql_variant); USE <database> switches or fails with 911;
    any other batch (SET ... included) gets a plain DONE.
  - RPC: sp_delete_job (in msdb, or qualified with msdb) deletes from the --job list, shared by
    all connections, or fails with 14262 (under job-error=TEXT every call fails with 50000 and
    TEXT, which may hold any character); elsewhere it is not found (2812).  sp_executesql,
    sp_prepare, sp_prepexec, sp_execute and sp_unprepare run their statement as a batch would.
    Every other procedure returns status 0 and does nothing.
  - Attention: DONE with the attention flag.  Under slow=SECONDS every answer waits; an
    attention that arrives meanwhile is answered instead, and the request has no effect.
  - login-errors=COUNT:CHARS refuses every login with COUNT errors 18456 whose texts are CHARS
    characters long; call-errors=COUNT:CHARS answers every RPC so (error 50000, then DONE with
    the error flag): a long message, a flood of them.
  - stall=STAGE leaves the request of STAGE (login: LOGIN7; rpc: any RPC; select: a batch that
    starts with SELECT) unanswered until the client cancels it, then answers the attention, as
    a busy server does; dead=STAGE never answers anything on that connection again, not even
    the attention, as a server that is gone.  --fault silent is the same for the connect itself.

Limits:
  - No TDS 8 (TLS before PRELOGIN), no client certificates.  No SSPI, federated
    authentication, MARS, TDS 8.0 or Sybase logins (TDS 4.2/5.0).
  - Server cursors (sp_cursoropen and the other sp_cursor procedures) fail with error 50000.
  - RPC parameters of UDT or TVP types, or with encrypted values, are refused (error 8009).
  - A batch is recognised only as a whole: one with several statements is "any other batch".
  - Collation is always SQL_Latin1_General_CP1_CI_AS; 8-bit text parameters are read as cp1252.
"""

from __future__ import annotations

import argparse
import datetime
import decimal
import json
import os
import re
import select
import signal
import socket
import ssl
import struct
import sys
import threading
import time
import uuid
from dataclasses import dataclass, field
from typing import Any, Callable, Optional

# =====================================================================================
# TDS wire format: packets, tokens, request decoding
# =====================================================================================

PKT_SQL_BATCH = 0x01
PKT_RPC = 0x03
PKT_REPLY = 0x04
PKT_ATTENTION = 0x06
PKT_TRANSACTION = 0x0E
PKT_LOGIN7 = 0x10
PKT_PRELOGIN = 0x12

STATUS_EOM = 0x01
HEADER_LEN = 8

TOKEN_RETURNSTATUS = 0x79
TOKEN_RETURNVALUE = 0xAC
TOKEN_COLMETADATA = 0x81
TOKEN_ERROR = 0xAA
TOKEN_INFO = 0xAB
TOKEN_LOGINACK = 0xAD
TOKEN_FEATUREEXTACK = 0xAE
TOKEN_ROW = 0xD1
TOKEN_ENVCHANGE = 0xE3
TOKEN_DONE = 0xFD
TOKEN_DONEPROC = 0xFE
TOKEN_DONEINPROC = 0xFF

DONE_FINAL = 0x00
DONE_MORE = 0x01
DONE_ERROR = 0x02
DONE_COUNT = 0x10
DONE_ATTN = 0x20

CURCMD_SELECT = 0xC1
CURCMD_EXECUTE = 0xE0

ENV_DATABASE = 1
ENV_LANGUAGE = 2
ENV_PACKET_SIZE = 4
ENV_COLLATION = 7
ENV_BEGIN_TRAN = 8
ENV_COMMIT_TRAN = 9
ENV_ROLLBACK_TRAN = 10

ENCRYPT_OFF, ENCRYPT_ON, ENCRYPT_NOT_SUP, ENCRYPT_REQ = 0x00, 0x01, 0x02, 0x03

TDS71 = 0x71000001
TDS72 = 0x72090002
TDS74 = 0x74000004

# SQL_Latin1_General_CP1_CI_AS: LCID 0x0409, ignore case/kana/width, sort id 52.
COLLATION = bytes([0x09, 0x04, 0xD0, 0x00, 0x34])

# Product version reported in PRELOGIN and LOGINACK: SQL Server 2022 RTM.
SERVER_VERSION = (16, 0, 1000, 6)
PROG_NAME = "Microsoft SQL Server"

PROC_IDS = {
    1: "sp_cursor", 2: "sp_cursoropen", 3: "sp_cursorprepare", 4: "sp_cursorexecute",
    5: "sp_cursorprepexec", 6: "sp_cursorunprepare", 7: "sp_cursorfetch", 8: "sp_cursoroption",
    9: "sp_cursorclose", 10: "sp_executesql", 11: "sp_prepare", 12: "sp_execute",
    13: "sp_prepexec", 14: "sp_prepexecrpc", 15: "sp_unprepare",
}


class ProtocolError(Exception):
    """The client sent something this double cannot decode."""


def version_text(tds_version: int) -> str:
    return {0x70000000: "7.0", 0x71000000: "7.1", 0x71000001: "7.1", 0x72090002: "7.2",
            0x730A0003: "7.3A", 0x730B0003: "7.3B", 0x74000004: "7.4"}.get(
                tds_version, f"0x{tds_version:08X}")


# ---- primitive encoders ------------------------------------------------------------------

def ucs2(text: str) -> bytes:
    return text.encode("utf-16-le")


def b_varchar(text: str) -> bytes:
    data = ucs2(text)
    return bytes([len(data) // 2]) + data


def us_varchar(text: str) -> bytes:
    data = ucs2(text)
    return struct.pack("<H", len(data) // 2) + data


def token_with_length(token: int, body: bytes) -> bytes:
    return bytes([token]) + struct.pack("<H", len(body)) + body


# ---- a cursor over a received message ----------------------------------------------------

class Reader:
    """Little-endian reads from a message, failing with ProtocolError instead of IndexError."""

    def __init__(self, data: bytes, pos: int = 0):
        self.data = data
        self.pos = pos

    def remaining(self) -> int:
        return len(self.data) - self.pos

    def take(self, count: int) -> bytes:
        if count < 0 or self.pos + count > len(self.data):
            raise ProtocolError(f"message ends early: need {count} bytes at offset {self.pos}")
        chunk = self.data[self.pos:self.pos + count]
        self.pos += count
        return chunk

    def u8(self) -> int:
        return self.take(1)[0]

    def peek_u8(self) -> int:
        if self.pos >= len(self.data):
            raise ProtocolError("message ends early")
        return self.data[self.pos]

    def u16(self) -> int:
        return struct.unpack("<H", self.take(2))[0]

    def u32(self) -> int:
        return struct.unpack("<I", self.take(4))[0]

    def u64(self) -> int:
        return struct.unpack("<Q", self.take(8))[0]

    def b_varchar(self) -> str:
        return self.take(self.u8() * 2).decode("utf-16-le", "replace")

    def us_varchar(self) -> str:
        return self.take(self.u16() * 2).decode("utf-16-le", "replace")


# ---- packets -----------------------------------------------------------------------------

def read_exact(sock: socket.socket, count: int) -> Optional[bytes]:
    """Read count bytes; None when the peer closed the connection first."""
    chunks = []
    while count:
        chunk = sock.recv(count)
        if not chunk:
            return None
        chunks.append(chunk)
        count -= len(chunk)
    return b"".join(chunks)


def read_message(sock: socket.socket) -> Optional[tuple[int, bytes]]:
    """Read packets up to the end-of-message flag; returns (packet type, payload) or None at EOF."""
    payload = []
    while True:
        header = read_exact(sock, HEADER_LEN)
        if header is None:
            return None
        ptype, status, length = header[0], header[1], struct.unpack(">H", header[2:4])[0]
        if length < HEADER_LEN:
            raise ProtocolError(f"packet length {length} is shorter than its header")
        body = read_exact(sock, length - HEADER_LEN)
        if body is None:
            return None
        payload.append(body)
        if status & STATUS_EOM:
            return ptype, b"".join(payload)


def frame_message(ptype: int, payload: bytes, packet_size: int, spid: int) -> bytes:
    """Split a message into packets of at most packet_size bytes."""
    room = packet_size - HEADER_LEN
    out = []
    chunks = [payload[i:i + room] for i in range(0, len(payload), room)] or [b""]
    for number, chunk in enumerate(chunks, start=1):
        status = STATUS_EOM if number == len(chunks) else 0
        out.append(struct.pack(">BBHHBB", ptype, status, HEADER_LEN + len(chunk), spid,
                               number % 256, 0) + chunk)
    return b"".join(out)


# ---- TLS ---------------------------------------------------------------------------------

TLS_KEY_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tds_double_test_key.pem")
TLS_RECORD_HEADER = 5
TLS_CONTENT_TYPES = range(20, 24)  # change_cipher_spec, alert, handshake, application_data
_tls_context: Optional[ssl.SSLContext] = None
_tls_context_lock = threading.Lock()


def tls_context() -> ssl.SSLContext:
    global _tls_context
    with _tls_context_lock:
        if _tls_context is None:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            # SQL Server offers TLS 1.3 only to TDS 8 clients, which shake hands before PRELOGIN.
            context.maximum_version = ssl.TLSVersion.TLSv1_2
            context.load_cert_chain(TLS_KEY_FILE)
            _tls_context = context
        return _tls_context


class Channel:
    """A session's byte stream: clear TCP, or TLS records straight on TCP once the handshake
    (carried in PRELOGIN packets) is done.  Reads like a socket to the rest of the double."""

    def __init__(self, sock: socket.socket):
        self.sock = sock
        self.tls: Optional[ssl.SSLObject] = None
        self._incoming = ssl.MemoryBIO()
        self._outgoing = ssl.MemoryBIO()
        self._plain = bytearray()
        self._login_only = False
        self._login_seen = bytearray()
        self.login_tls: Optional[str] = None  # the TLS version the LOGIN7 came under
        self.session_tls = False

    def __getattr__(self, name: str) -> Any:
        return getattr(self.sock, name)  # fileno, getpeername, close, ...

    def handshake(self, whole_session: bool) -> str:
        """Answers the client's TLS handshake in PRELOGIN packets; returns the TLS version."""
        tls = tls_context().wrap_bio(self._incoming, self._outgoing, server_side=True)
        while True:
            try:
                tls.do_handshake()
                done = True
            except ssl.SSLWantReadError:
                done = False
            finally:
                self._flush_handshake()
            if done:
                break
            message = read_message(self.sock)
            if message is None:
                raise ProtocolError("the client closed the connection during the TLS handshake")
            if message[0] != PKT_PRELOGIN:
                raise ProtocolError(f"packet type 0x{message[0]:02X} during the TLS handshake")
            self._incoming.write(message[1])
        self.tls, self._login_only, self.session_tls = tls, not whole_session, whole_session
        if whole_session:
            self.login_tls = tls.version()
        return tls.version() or "?"

    def _flush_handshake(self) -> None:
        data = self._outgoing.read()
        if data:
            self.sock.sendall(frame_message(PKT_PRELOGIN, data, DEFAULT_PACKET_SIZE, 0))

    def recv(self, count: int, flags: int = 0) -> bytes:
        if not self._plain:
            if self.tls is None:
                return self.sock.recv(count, flags)
            self._decrypt_record()
        data = bytes(self._plain[:count])
        if not flags & socket.MSG_PEEK:
            del self._plain[:count]
        return data

    def _decrypt_record(self) -> None:
        """Reads whole records, never more, until one yields data (nothing at EOF)."""
        assert self.tls is not None
        while not self._plain:
            header = read_exact(self.sock, TLS_RECORD_HEADER)
            if header is None:
                return
            if header[0] not in TLS_CONTENT_TYPES:
                raise ProtocolError(f"clear data (0x{header[0]:02X}) where TLS was agreed")
            body = read_exact(self.sock, struct.unpack(">H", header[3:5])[0])
            if body is None:
                return
            self._incoming.write(header + body)
            try:
                while True:
                    self._plain += self.tls.read(65536)
            except ssl.SSLWantReadError:
                pass
            except ssl.SSLZeroReturnError:
                return
            except ssl.SSLError as exc:
                raise ProtocolError(f"TLS: {exc.reason or exc}") from None
            self.sock.sendall(self._outgoing.read())
        if self._login_only:
            self._end_tls_after_login()

    def _end_tls_after_login(self) -> None:
        # Login-only encryption covers the first packet; both sides drop TLS right after it.
        if not self._login_seen:
            self.login_tls = self.tls.version() if self.tls else None
        self._login_seen += self._plain
        if len(self._login_seen) >= HEADER_LEN and \
                len(self._login_seen) >= struct.unpack(">H", self._login_seen[2:4])[0]:
            self.tls, self._login_only = None, False

    def sendall(self, data: bytes) -> None:
        if self.tls is None:
            self.sock.sendall(data)
            return
        self.tls.write(data)
        self.sock.sendall(self._outgoing.read())


# ---- PRELOGIN ----------------------------------------------------------------------------

PL_VERSION, PL_ENCRYPTION, PL_INSTOPT, PL_THREADID, PL_MARS, PL_TERMINATOR = 0, 1, 2, 3, 4, 0xFF


def parse_prelogin(payload: bytes) -> dict[int, bytes]:
    options = {}
    reader = Reader(payload)
    while True:
        option = reader.u8()
        if option == PL_TERMINATOR:
            return options
        offset, length = struct.unpack(">HH", reader.take(4))
        if offset + length > len(payload):
            raise ProtocolError(f"PRELOGIN option {option} lies outside the message")
        options[option] = payload[offset:offset + length]


ENCRYPTION_MODES = ("off", "required", "not-supported")
ENCRYPTION_NAMES = {ENCRYPT_OFF: "off", ENCRYPT_ON: "on", ENCRYPT_NOT_SUP: "not-supported",
                    ENCRYPT_REQ: "required"}
# (server mode, the client's ENCRYPTION) -> (the answer, what follows), as SQL Server negotiates.
ENCRYPTION_TABLE = {
    ("off", ENCRYPT_OFF): (ENCRYPT_OFF, "login"),
    ("off", ENCRYPT_ON): (ENCRYPT_ON, "session"),
    ("off", ENCRYPT_NOT_SUP): (ENCRYPT_NOT_SUP, "none"),
    ("off", ENCRYPT_REQ): (ENCRYPT_ON, "session"),
    ("required", ENCRYPT_OFF): (ENCRYPT_REQ, "session"),
    ("required", ENCRYPT_ON): (ENCRYPT_ON, "session"),
    ("required", ENCRYPT_NOT_SUP): (ENCRYPT_REQ, "close"),
    ("required", ENCRYPT_REQ): (ENCRYPT_ON, "session"),
}


def negotiate_encryption(mode: str, offered: Optional[int]) -> tuple[int, str]:
    """The ENCRYPTION answer and what follows it: "login" (only the LOGIN7 inside TLS),
    "session" (everything after the handshake), "none", or "close" (the server hangs up)."""
    if mode == "not-supported":
        return ENCRYPT_NOT_SUP, "none"  # a client that insists hangs up by itself
    # A missing option reads as "off"; the client-certificate bit (0x80) is not modelled.
    return ENCRYPTION_TABLE.get((mode, (offered or 0) & 0x03), (ENCRYPT_NOT_SUP, "none"))


def build_prelogin_reply(encryption: int) -> bytes:
    major, minor, build, sub = SERVER_VERSION
    options = [
        (PL_VERSION, struct.pack(">BBHH", major, minor, build, sub)),
        (PL_ENCRYPTION, bytes([encryption])),
        (PL_INSTOPT, b"\x00"),
        (PL_THREADID, b""),
        (PL_MARS, b"\x00"),
    ]
    offset = len(options) * 5 + 1
    table, data = b"", b""
    for option, value in options:
        table += struct.pack(">BHH", option, offset + len(data), len(value))
        data += value
    return table + bytes([PL_TERMINATOR]) + data


# ---- LOGIN7 ------------------------------------------------------------------------------

@dataclass
class Login:
    tds_version: int
    packet_size: int
    host: str
    user: str
    password: str
    app: str
    server: str
    library: str
    language: str
    database: str
    sspi: bool
    features: list[int]


def unscramble_password(data: bytes) -> str:
    plain = bytes(((b ^ 0xA5) >> 4) | (((b ^ 0xA5) & 0x0F) << 4) for b in data)
    return plain.decode("utf-16-le", "replace")


def parse_login7(payload: bytes) -> Login:
    if len(payload) < 86:
        raise ProtocolError(f"LOGIN7 of {len(payload)} bytes is too short")
    reader = Reader(payload)
    reader.take(4)  # total length
    tds_version = reader.u32()
    packet_size = reader.u32()
    reader.take(12)  # client program version, process id, connection id
    reader.take(3)  # option flags 1 and 2, type flags
    flags3 = reader.u8()
    reader.take(8)  # time zone, LCID

    def field_at(pos: int) -> tuple[int, int]:
        return struct.unpack_from("<HH", payload, pos)

    def text(pos: int, scrambled: bool = False) -> str:
        offset, chars = field_at(pos)
        raw = payload[offset:offset + chars * 2]
        if len(raw) != chars * 2:
            raise ProtocolError("LOGIN7 field lies outside the message")
        return unscramble_password(raw) if scrambled else raw.decode("utf-16-le", "replace")

    features: list[int] = []
    if flags3 & 0x10 and tds_version >= TDS74:
        ext_offset, ext_len = field_at(56)
        if ext_len >= 4 and ext_offset + 4 <= len(payload):
            features = parse_feature_ext(payload, struct.unpack_from("<I", payload, ext_offset)[0])
    _, sspi_len = field_at(80)
    return Login(
        tds_version=tds_version, packet_size=packet_size,
        host=text(36), user=text(40), password=text(44, scrambled=True), app=text(48),
        server=text(52), library=text(60), language=text(64), database=text(68),
        sspi=sspi_len > 0, features=features)


def parse_feature_ext(payload: bytes, offset: int) -> list[int]:
    ids = []
    reader = Reader(payload, offset)
    while reader.remaining() > 0:
        feature = reader.u8()
        if feature == 0xFF:
            break
        ids.append(feature)
        reader.take(reader.u32())
    return ids


# ---- tokens the server sends -------------------------------------------------------------

class Tokens:
    """Builds one reply's token stream in the layout of the negotiated TDS version."""

    def __init__(self, tds_version: int, server_name: str):
        self.v72 = tds_version >= TDS72
        self.v71 = tds_version >= 0x71000000
        self.server_name = server_name
        self.parts: list[bytes] = []

    def payload(self) -> bytes:
        return b"".join(self.parts)

    def env_text(self, kind: int, new: str, old: str) -> None:
        self.parts.append(token_with_length(TOKEN_ENVCHANGE,
                                            bytes([kind]) + b_varchar(new) + b_varchar(old)))

    def env_bytes(self, kind: int, new: bytes, old: bytes) -> None:
        body = bytes([kind, len(new)]) + new + bytes([len(old)]) + old
        self.parts.append(token_with_length(TOKEN_ENVCHANGE, body))

    def message(self, token: int, number: int, state: int, severity: int, text: str,
                proc: str = "", line: int = 1) -> None:
        body = (struct.pack("<iBB", number, state, severity) + us_varchar(text)
                + b_varchar(self.server_name) + b_varchar(proc)
                + (struct.pack("<i", line) if self.v72 else struct.pack("<H", line)))
        self.parts.append(token_with_length(token, body))

    def error(self, number: int, state: int, severity: int, text: str, proc: str = "",
              line: int = 1) -> None:
        self.message(TOKEN_ERROR, number, state, severity, text, proc, line)

    def info(self, number: int, state: int, text: str) -> None:
        self.message(TOKEN_INFO, number, state, 0, text)

    def loginack(self, tds_version: int) -> None:
        major, minor, build, _ = SERVER_VERSION
        body = (bytes([1]) + struct.pack(">I", tds_version) + b_varchar(PROG_NAME)
                + bytes([major, minor, build >> 8, build & 0xFF]))
        self.parts.append(token_with_length(TOKEN_LOGINACK, body))

    def featureextack(self) -> None:
        self.parts.append(bytes([TOKEN_FEATUREEXTACK, 0xFF]))

    def done(self, status: int = DONE_FINAL, curcmd: int = 0, rows: int = 0,
             token: int = TOKEN_DONE) -> None:
        count = struct.pack("<Q", rows) if self.v72 else struct.pack("<I", rows & 0xFFFFFFFF)
        self.parts.append(bytes([token]) + struct.pack("<HH", status, curcmd) + count)

    def return_status(self, value: int) -> None:
        self.parts.append(bytes([TOKEN_RETURNSTATUS]) + struct.pack("<i", value))

    def return_value(self, name: str, value: int) -> None:
        """An int output parameter, as the first parameter of the call."""
        user_type = struct.pack("<I", 0) if self.v72 else struct.pack("<H", 0)
        self.parts.append(bytes([TOKEN_RETURNVALUE]) + struct.pack("<H", 0) + b_varchar(name)
                          + bytes([0x01]) + user_type + struct.pack("<H", 0x0001)
                          + bytes([0x26, 4, 4]) + struct.pack("<i", value))

    def result(self, columns: list["Column"], rows: list[list[Any]]) -> None:
        meta = bytes([TOKEN_COLMETADATA]) + struct.pack("<H", len(columns))
        for column in columns:
            user_type = struct.pack("<I", 0) if self.v72 else struct.pack("<H", 0)
            meta += user_type + struct.pack("<H", column.flags) + column.type_info(self.v71)
            meta += b_varchar(column.name)
        self.parts.append(meta)
        for row in rows:
            self.parts.append(bytes([TOKEN_ROW]) + b"".join(
                column.encode(value, self.v71) for column, value in zip(columns, row)))


@dataclass
class Column:
    """A result column of one of the few types the double returns."""
    name: str
    kind: str  # "int", "smallint", "tinyint", "nvarchar", "variant"
    nullable: bool = False

    @property
    def flags(self) -> int:
        return 0x0001 if self.nullable else 0x0000

    def type_info(self, v71: bool) -> bytes:
        if self.kind == "variant" and not v71:
            return bytes([0xE7]) + struct.pack("<H", 256)
        if self.kind == "variant":
            return bytes([0x62]) + struct.pack("<I", 8016)
        if self.kind == "nvarchar":
            return bytes([0xE7]) + struct.pack("<H", 8000) + (COLLATION if v71 else b"")
        size = {"int": 4, "smallint": 2, "tinyint": 1}[self.kind]
        if self.nullable:
            return bytes([0x26, size])
        return bytes([{4: 0x38, 2: 0x34, 1: 0x30}[size]])

    def encode(self, value: Any, v71: bool) -> bytes:
        if self.kind == "variant" and v71:
            if value is None:
                return struct.pack("<I", 0)
            if isinstance(value, int):
                instance = bytes([0x38, 0]) + struct.pack("<i", value)
            else:
                instance = bytes([0xE7, 7]) + COLLATION + struct.pack("<H", 256) + ucs2(str(value))
            return struct.pack("<I", len(instance)) + instance
        if self.kind in ("variant", "nvarchar"):
            if value is None:
                return b"\xff\xff"
            data = ucs2(str(value))
            return struct.pack("<H", len(data)) + data
        size = {"int": 4, "smallint": 2, "tinyint": 1}[self.kind]
        fmt = {4: "<i", 2: "<h", 1: "<B"}[size]
        if self.nullable:
            return b"\x00" if value is None else bytes([size]) + struct.pack(fmt, value)
        return struct.pack(fmt, value)


# ---- RPC and batch requests --------------------------------------------------------------

def skip_all_headers(payload: bytes, tds_version: int) -> int:
    """Offset of the request proper: TDS 7.2+ requests start with ALL_HEADERS."""
    if len(payload) < 4:
        return 0
    total = struct.unpack_from("<I", payload, 0)[0]
    if tds_version >= TDS72 or (22 <= total <= len(payload) and total < 0x10000):
        if not 4 <= total <= len(payload):
            raise ProtocolError(f"ALL_HEADERS length {total} does not fit the message")
        return total
    return 0


def parse_sql_batch(payload: bytes, tds_version: int) -> str:
    start = skip_all_headers(payload, tds_version)
    return payload[start:].decode("utf-16-le", "replace")


@dataclass
class Param:
    name: str
    sql_type: str
    tds_type: str
    is_null: bool
    value: Any
    output: bool

    def journal(self) -> dict:
        return {"name": self.name, "type": self.sql_type, "tds_type": self.tds_type,
                "null": self.is_null, "value": self.value, "output": self.output}


@dataclass
class RpcCall:
    procedure: str
    proc_id: Optional[int]
    params: list[Param] = field(default_factory=list)


FIXED_TYPES = {  # TDS type: (MS-TDS name, SQL type, size)
    0x1F: ("NULLTYPE", "null", 0), 0x30: ("INT1TYPE", "tinyint", 1),
    0x32: ("BITTYPE", "bit", 1), 0x34: ("INT2TYPE", "smallint", 2),
    0x38: ("INT4TYPE", "int", 4), 0x3A: ("DATETIM4TYPE", "smalldatetime", 4),
    0x3B: ("FLT4TYPE", "real", 4), 0x3C: ("MONEYTYPE", "money", 8),
    0x3D: ("DATETIMETYPE", "datetime", 8), 0x3E: ("FLT8TYPE", "float", 8),
    0x7A: ("MONEY4TYPE", "smallmoney", 4), 0x7F: ("INT8TYPE", "bigint", 8),
}
BYTELEN_TYPES = {
    0x24: ("GUIDTYPE", "uniqueidentifier"), 0x26: ("INTNTYPE", "int"),
    0x68: ("BITNTYPE", "bit"), 0x6D: ("FLTNTYPE", "float"), 0x6E: ("MONEYNTYPE", "money"),
    0x6F: ("DATETIMNTYPE", "datetime"), 0x37: ("DECIMALTYPE", "decimal"),
    0x3F: ("NUMERICTYPE", "numeric"), 0x6A: ("DECIMALNTYPE", "decimal"),
    0x6C: ("NUMERICNTYPE", "numeric"), 0x2F: ("CHARTYPE", "char"),
    0x27: ("VARCHARTYPE", "varchar"), 0x2D: ("BINARYTYPE", "binary"),
    0x25: ("VARBINARYTYPE", "varbinary"),
}
SCALE_TYPES = {0x29: ("TIMENTYPE", "time"), 0x2A: ("DATETIME2NTYPE", "datetime2"),
               0x2B: ("DATETIMEOFFSETNTYPE", "datetimeoffset")}
USHORTLEN_TYPES = {
    0xA5: ("BIGVARBINARYTYPE", "varbinary"), 0xA7: ("BIGVARCHARTYPE", "varchar"),
    0xAD: ("BIGBINARYTYPE", "binary"), 0xAF: ("BIGCHARTYPE", "char"),
    0xE7: ("NVARCHARTYPE", "nvarchar"), 0xEF: ("NCHARTYPE", "nchar"),
}
LONGLEN_TYPES = {0x23: ("TEXTTYPE", "text"), 0x63: ("NTEXTTYPE", "ntext"),
                 0x22: ("IMAGETYPE", "image"), 0x62: ("SSVARIANTTYPE", "sql_variant")}
CHAR_TYPES = {0xA7, 0xAF, 0xE7, 0xEF, 0x23, 0x63}
DATE_TYPE = 0x28
XML_TYPE = 0xF1


@dataclass
class TypeInfo:
    code: int
    tds_name: str
    sql_type: str
    size: int = 0  # fixed size, or the declared maximum length
    precision: int = 0
    scale: int = 0
    plp: bool = False


def read_type_info(reader: Reader) -> TypeInfo:
    code = reader.u8()
    if code in FIXED_TYPES:
        name, sql, size = FIXED_TYPES[code]
        return TypeInfo(code, name, sql, size)
    if code in BYTELEN_TYPES:
        name, sql = BYTELEN_TYPES[code]
        info = TypeInfo(code, name, sql, reader.u8())
        if code in (0x37, 0x3F, 0x6A, 0x6C):
            info.precision, info.scale = reader.u8(), reader.u8()
        elif code == 0x26:
            info.sql_type = {1: "tinyint", 2: "smallint", 4: "int", 8: "bigint"}.get(info.size, "int")
        elif code == 0x6D:
            info.sql_type = "real" if info.size == 4 else "float"
        elif code == 0x6E:
            info.sql_type = "smallmoney" if info.size == 4 else "money"
        elif code == 0x6F:
            info.sql_type = "smalldatetime" if info.size == 4 else "datetime"
        return info
    if code == DATE_TYPE:
        return TypeInfo(code, "DATENTYPE", "date", 3)
    if code in SCALE_TYPES:
        name, sql = SCALE_TYPES[code]
        return TypeInfo(code, name, sql, scale=reader.u8())
    if code in USHORTLEN_TYPES:
        name, sql = USHORTLEN_TYPES[code]
        info = TypeInfo(code, name, sql, reader.u16())
        info.plp = info.size == 0xFFFF
        if code in CHAR_TYPES:
            reader.take(5)  # collation
        return info
    if code in LONGLEN_TYPES:
        name, sql = LONGLEN_TYPES[code]
        info = TypeInfo(code, name, sql, reader.u32())
        if code in CHAR_TYPES:
            reader.take(5)
        return info
    if code == XML_TYPE:
        if reader.u8():  # schema present
            reader.b_varchar()
            reader.b_varchar()
            reader.us_varchar()
        return TypeInfo(code, "XMLTYPE", "xml", plp=True)
    raise ProtocolError(f"parameter type 0x{code:02X} is not supported by the double")


def read_plp(reader: Reader) -> Optional[bytes]:
    total = reader.u64()
    if total == 0xFFFFFFFFFFFFFFFF:
        return None
    chunks = []
    while True:
        size = reader.u32()
        if size == 0:
            return b"".join(chunks)
        chunks.append(reader.take(size))


def read_value_bytes(reader: Reader, info: TypeInfo) -> Optional[bytes]:
    """The raw bytes of a parameter value, None for NULL."""
    if info.code in FIXED_TYPES:
        return None if info.code == 0x1F else reader.take(info.size)
    if info.plp:
        return read_plp(reader)
    if info.code in USHORTLEN_TYPES:
        size = reader.u16()
        return None if size == 0xFFFF else reader.take(size)
    if info.code in LONGLEN_TYPES:
        size = reader.u32()
        if size == 0xFFFFFFFF or (info.code == 0x62 and size == 0):
            return None
        return reader.take(size)
    size = reader.u8()  # BYTELEN types, date, time, datetime2, datetimeoffset
    return None if size == 0 else reader.take(size)


def days_to_date(days: int, epoch: datetime.date) -> str:
    return (epoch + datetime.timedelta(days=days)).isoformat()


def time_value(raw: bytes, scale: int) -> str:
    ticks = int.from_bytes(raw, "little")
    seconds, fraction = divmod(ticks, 10 ** scale)
    text = str(datetime.timedelta(seconds=seconds)).zfill(8)
    return f"{text}.{fraction:0{scale}d}" if scale else text


def decode_value(info: TypeInfo, raw: bytes) -> Any:
    """A JSON-friendly form of a parameter value."""
    sql = info.sql_type
    if sql in ("tinyint",):
        return raw[0]
    if sql in ("smallint", "int", "bigint"):
        return int.from_bytes(raw, "little", signed=True)
    if sql == "bit":
        return raw[0] != 0
    if sql in ("real", "float"):
        return struct.unpack("<f" if len(raw) == 4 else "<d", raw)[0]
    if sql in ("money", "smallmoney"):
        if len(raw) == 8:
            high, low = struct.unpack("<iI", raw)
            units = (high << 32) | low
        else:
            units = struct.unpack("<i", raw)[0]
        return str(decimal.Decimal(units).scaleb(-4))
    if sql in ("decimal", "numeric"):
        magnitude = int.from_bytes(raw[1:], "little")
        return str(decimal.Decimal(magnitude if raw[0] else -magnitude).scaleb(-info.scale))
    if sql == "datetime" and len(raw) == 8:
        days, ticks = struct.unpack("<iI", raw)
        stamp = datetime.datetime(1900, 1, 1) + datetime.timedelta(days=days,
                                                                    milliseconds=ticks * 10 / 3)
        return stamp.isoformat(sep=" ", timespec="milliseconds")
    if sql in ("datetime", "smalldatetime"):
        days, minutes = struct.unpack("<HH", raw)
        stamp = datetime.datetime(1900, 1, 1) + datetime.timedelta(days=days, minutes=minutes)
        return stamp.isoformat(sep=" ")
    if sql == "uniqueidentifier":
        return str(uuid.UUID(bytes_le=raw)).upper()
    if sql in ("nvarchar", "nchar", "ntext", "xml"):
        return raw.decode("utf-16-le", "replace")
    if sql in ("varchar", "char", "text"):
        return raw.decode("cp1252", "replace")
    if sql == "date":
        return days_to_date(int.from_bytes(raw, "little"), datetime.date(1, 1, 1))
    if sql == "time":
        return time_value(raw, info.scale)
    if sql == "datetime2":
        return days_to_date(int.from_bytes(raw[-3:], "little"), datetime.date(1, 1, 1)) + " " \
            + time_value(raw[:-3], info.scale)
    if sql == "datetimeoffset":
        offset = struct.unpack("<h", raw[-2:])[0]
        sign, offset = ("-" if offset < 0 else "+"), abs(offset)
        return days_to_date(int.from_bytes(raw[-5:-2], "little"), datetime.date(1, 1, 1)) + " " \
            + time_value(raw[:-5], info.scale) + f" {sign}{offset // 60:02d}:{offset % 60:02d}"
    if sql == "sql_variant":
        inner = Reader(raw)
        base, prop_len = inner.u8(), inner.u8()
        props = Reader(inner.take(prop_len))
        info_inner = read_type_info(Reader(bytes([base]) + props.data))
        return decode_value(info_inner, inner.take(inner.remaining()))
    return raw.hex()  # binary, varbinary, image


def read_param(reader: Reader) -> Param:
    name = reader.b_varchar()
    status = reader.u8()
    if status & 0x08:
        raise ProtocolError(f"parameter {name!r} is encrypted")
    info = read_type_info(reader)
    raw = read_value_bytes(reader, info)
    value = None if raw is None else decode_value(info, raw)
    return Param(name=name, sql_type=info.sql_type, tds_type=info.tds_name,
                 is_null=raw is None, value=value, output=bool(status & 0x01))


BATCH_SEPARATORS = (0x80, 0xFE, 0xFF)


def parse_rpc(payload: bytes, tds_version: int) -> list[RpcCall]:
    reader = Reader(payload, skip_all_headers(payload, tds_version))
    calls = []
    while reader.remaining() > 0:
        length = reader.u16()
        if length == 0xFFFF:
            proc_id = reader.u16()
            call = RpcCall(PROC_IDS.get(proc_id, f"#{proc_id}"), proc_id)
        else:
            call = RpcCall(reader.take(length * 2).decode("utf-16-le", "replace"), None)
        reader.u16()  # option flags
        while reader.remaining() > 0 and reader.peek_u8() not in BATCH_SEPARATORS:
            call.params.append(read_param(reader))
        calls.append(call)
        if reader.remaining() > 0:
            reader.u8()  # separator between RPCs
    return calls


# =====================================================================================
# Server: configuration, journal, one session per connection, the listener
# =====================================================================================

DEFAULT_DATABASES = ("master", "msdb", "tempdb", "model")
SERVER_NAME = "SQLDOUBLE"
LANGUAGE = "us_english"
DEFAULT_PACKET_SIZE = 4096


@dataclass
class Config:
    accounts: dict[str, str]  # login name in lower case -> password
    databases: list[str]
    jobs: list[str]
    edition: str
    encryption: str = "off"
    slow: float = 0.0
    refuse: bool = False
    close_in_login: bool = False
    silent: bool = False
    garbage: bool = False
    drop_in_rpc: bool = False
    login_errors: Optional[tuple[int, int]] = None  # count, characters
    call_errors: Optional[tuple[int, int]] = None
    stall: set[str] = field(default_factory=set)  # stages answered only by a cancel
    dead: set[str] = field(default_factory=set)   # stages never answered
    job_error: Optional[str] = None  # every sp_delete_job fails with this message

    def find_database(self, name: str) -> Optional[str]:
        for known in self.databases:
            if known.lower() == name.lower():
                return known
        return None


class Journal:
    def __init__(self, path: Optional[str]):
        self._lock = threading.Lock()
        self._file = open(path, "a", encoding="utf-8") if path else None

    def write(self, event: str, conn: int, **fields: Any) -> None:
        if self._file is None:
            return
        line = json.dumps({"event": event, "conn": conn, **fields}, ensure_ascii=False)
        with self._lock:
            if self._file.closed:
                return
            self._file.write(line + "\n")
            self._file.flush()

    def close(self) -> None:
        with self._lock:
            if self._file is not None:
                self._file.close()


class JobList:
    """The agent jobs msdb holds; shared by every connection."""

    def __init__(self, names: list[str]):
        self._lock = threading.Lock()
        self._names = list(names)

    def remove(self, name: str) -> bool:
        with self._lock:
            for known in self._names:
                if known.lower() == name.lower():
                    self._names.remove(known)
                    return True
            return False


def unquote_identifier(part: str) -> str:
    part = part.strip()
    if len(part) >= 2 and (part[0], part[-1]) in (("[", "]"), ('"', '"')):
        return part[1:-1]
    return part


def split_procedure_name(name: str) -> tuple[str, str]:
    """(database or "", procedure) of a possibly qualified name like [msdb].dbo.sp_delete_job."""
    parts = [unquote_identifier(p) for p in name.split(".")]
    database = parts[0] if len(parts) >= 3 else ""
    return database, parts[-1]


# ---- the small SELECTs a client sends on its own -----------------------------------------

SELECT_ITEM = re.compile(
    r"""\s*(?:
        (?P<global>@@\w+)
      | (?P<number>-?\d+)
      | N?'(?P<string>(?:[^']|'')*)'
      | SERVERPROPERTY\s*\(\s*N?'(?P<property>[^']*)'\s*\)
    )
    (?:\s+(?:AS\s+)?(?P<alias>\w+|\[[^\]]*\]|"[^"]*"|'[^']*'))?\s*""",
    re.IGNORECASE | re.VERBOSE)


def parse_simple_select(text: str) -> Optional[list[tuple[str, str, Optional[str]]]]:
    """Items of 'SELECT item, ...' without FROM as (kind, value, alias); None for anything else."""
    match = re.match(r"\s*SELECT\s", text, re.IGNORECASE)
    if not match:
        return None
    body = re.sub(r"[\s;]*$", "", text[match.end():])
    items, pos = [], 0
    while True:
        item = SELECT_ITEM.match(body, pos)
        if not item:
            return None
        kind = next(k for k in ("global", "number", "string", "property") if item.group(k) is not None)
        alias = item.group("alias")
        if alias and alias.upper() == "FROM":
            return None
        items.append((kind, item.group(kind), unquote_identifier(alias.strip("'")) if alias else None))
        pos = item.end()
        if pos == len(body):
            return items
        if body[pos] != ",":
            return None
        pos += 1


class Session:
    """One client connection, served on its own thread."""

    def __init__(self, server: "DoubleServer", sock: socket.socket, conn_id: int):
        self.server = server
        self.config = server.config
        self.journal = server.journal
        self.sock = Channel(sock)
        self.conn_id = conn_id
        self.spid = 50 + conn_id
        self.tds_version = TDS74
        self.packet_size = DEFAULT_PACKET_SIZE
        self.logged_in = False
        self.database = "master"
        self.text_size = 4096
        self.transaction = 0  # descriptor of the open transaction, 0 for none
        self.last_transaction = 0
        self.prepared: dict[int, str] = {}
        self.last_handle = 0

    # -- plumbing --

    def log(self, event: str, **fields: Any) -> None:
        self.journal.write(event, self.conn_id, **fields)

    def tokens(self) -> Tokens:
        return Tokens(self.tds_version, SERVER_NAME)

    def send(self, payload: bytes) -> None:
        self.sock.sendall(frame_message(PKT_REPLY, payload, self.packet_size, self.spid))

    def delay_answer(self) -> bool:
        """Hold an answer back for the slow fault; True when the client cancelled meanwhile."""
        if self.config.slow <= 0:
            return False
        deadline = time.monotonic() + self.config.slow
        while not self.server.stopping.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            readable, _, _ = select.select([self.sock], [], [], min(left, 0.2))
            if readable:
                return self.sock.recv(1, socket.MSG_PEEK)[:1] == bytes([PKT_ATTENTION])
        return False

    # -- the connection --

    def run(self) -> None:
        peer = self.sock.getpeername()
        self.log("connect", peer=f"{peer[0]}:{peer[1]}")
        try:
            if self.config.silent:
                self.log("fault", name="silent")
                # Read and drop whatever comes until the client gives up.
                while not self.server.stopping.is_set():
                    readable, _, _ = select.select([self.sock], [], [], 0.2)
                    if readable and not self.sock.recv(65536):
                        break
                return
            while not self.server.stopping.is_set():
                message = read_message(self.sock)
                if message is None:
                    break
                if not self.dispatch(*message):
                    break
        except ProtocolError as exc:
            self.log("protocol_error", detail=str(exc))
        except OSError:
            pass  # the client went away, or the server is stopping
        finally:
            self.log("disconnect")
            try:
                self.sock.close()
            except OSError:
                pass

    def dispatch(self, ptype: int, payload: bytes) -> bool:
        """Answer one message; False ends the connection."""
        if self.config.garbage:
            self.log("fault", name="garbage")
            self.sock.sendall(b"\x17\x03\x03\x00\x02HTTP/1.0 400 Bad Request\r\n\r\n" + bytes(range(256)) * 8)
            return False
        if ptype == PKT_RPC and self.logged_in and self.config.drop_in_rpc:
            self.log("fault", name="drop-in-rpc")
            return False
        if ptype == PKT_ATTENTION:
            self.log("attention")
            self.answer_attention()
            return True
        if not self.logged_in:
            if ptype == PKT_PRELOGIN:
                return self.handle_prelogin(payload)
            if ptype == PKT_LOGIN7:
                return self.handle_login(payload)
            self.log("protocol_error", detail=f"packet type 0x{ptype:02X} before login")
            return False
        handlers: dict[int, Callable[[bytes], None]] = {
            PKT_SQL_BATCH: self.handle_batch, PKT_RPC: self.handle_rpc,
            PKT_TRANSACTION: self.handle_transaction,
        }
        handler = handlers.get(ptype)
        if handler is None:
            self.log("protocol_error", detail=f"packet type 0x{ptype:02X} is not supported")
            return False
        handler(payload)
        return True

    def answer_attention(self) -> None:
        tokens = self.tokens()
        tokens.done(DONE_ATTN)
        self.send(tokens.payload())

    def answer_cancel(self) -> None:
        """The client sent an attention while an answer was held back: it replaces the answer."""
        read_message(self.sock)
        self.log("attention")
        self.answer_attention()

    def cancelled(self) -> bool:
        """Apply the slow fault to a request already journaled; True when it was cancelled."""
        if not self.delay_answer():
            return False
        self.answer_cancel()
        return True

    def stalled(self, stage: str) -> bool:
        """Apply stall or dead to a request of `stage`; True when it is not to be answered."""
        dead = stage in self.config.dead
        if not dead and stage not in self.config.stall:
            return False
        self.log("fault", name="stall", stage=stage, dead=dead)
        while not self.server.stopping.is_set():
            readable, _, _ = select.select([self.sock], [], [], 0.2)
            if not readable:
                continue
            message = read_message(self.sock)
            if message is None:
                break
            if message[0] == PKT_ATTENTION:
                self.log("attention")
                if not dead:
                    self.answer_attention()
                    return True
        raise OSError("the client gave up")

    def padded(self, text: str, chars: int) -> str:
        return (text + " " + "x" * chars)[:chars] if chars > len(text) else text[:chars]

    def add_errors(self, tokens: Tokens, errors: tuple[int, int], number: int, text: str) -> None:
        count, chars = errors
        for index in range(count):
            tokens.error(number, 1, 16 if number != 18456 else 14,
                         self.padded(f"{text} ({index + 1} of {count})", chars))

    # -- login --

    def handle_prelogin(self, payload: bytes) -> bool:
        options = parse_prelogin(payload)
        version = options.get(PL_VERSION, b"")
        if len(version) >= 6:
            major, minor, build, sub = struct.unpack(">BBHH", version[:6])
            version_str: Optional[str] = f"{major}.{minor}.{build}.{sub}"
        else:
            version_str = None
        encryption = options.get(PL_ENCRYPTION, b"")
        offered = encryption[0] if encryption else None
        answer, follows = negotiate_encryption(self.config.encryption, offered)
        mars = options.get(PL_MARS, b"")
        self.log("prelogin", version=version_str, encryption=offered,
                 instance=options.get(PL_INSTOPT, b"").rstrip(b"\x00").decode("latin-1"),
                 mars=mars[0] if mars else None, answer=ENCRYPTION_NAMES[answer])
        self.delay_answer()
        self.sock.sendall(frame_message(PKT_REPLY, build_prelogin_reply(answer), DEFAULT_PACKET_SIZE, 0))
        if follows == "close":
            return False
        if follows in ("login", "session"):
            try:
                self.sock.handshake(whole_session=follows == "session")
            except ssl.SSLError as exc:
                self.log("tls_error", detail=str(exc.reason or exc))
                return False
        return True

    def handle_login(self, payload: bytes) -> bool:
        login = parse_login7(payload)
        requested = login.tds_version
        self.tds_version = requested if requested <= TDS74 else TDS74
        if 512 <= login.packet_size <= 32767:
            self.packet_size = login.packet_size
        entry = {"user": login.user, "password": login.password, "database": login.database,
                 "app": login.app, "host": login.host,
                 "tds_version": version_text(requested), "packet_size": login.packet_size}
        entry.update(tls=self.sock.login_tls, session_tls=self.sock.session_tls)
        if self.config.close_in_login:
            self.log("login", **entry, ok=False, error=None, fault="close-in-login")
            return False

        tokens = self.tokens()
        if self.config.login_errors:
            self.add_errors(tokens, self.config.login_errors, 18456, f"Login failed for user '{login.user}'.")
            error: Optional[int] = 18456
        else:
            error = self.check_login(login, tokens)
        self.log("login", **entry, ok=error is None, error=error)
        if self.stalled("login"):
            return False
        self.delay_answer()
        if error is not None:
            tokens.done(DONE_ERROR)
            self.send(tokens.payload())
            return False

        self.database = self.config.find_database(login.database or "master") or "master"
        tokens.env_text(ENV_DATABASE, self.database, "master")
        tokens.info(5701, 2, f"Changed database context to '{self.database}'.")
        if self.tds_version >= 0x71000000:
            tokens.env_bytes(ENV_COLLATION, COLLATION, b"")
        tokens.env_text(ENV_LANGUAGE, LANGUAGE, "")
        tokens.info(5703, 1, f"Changed language setting to {LANGUAGE}.")
        tokens.loginack(self.tds_version)
        if login.features:
            tokens.featureextack()
        tokens.env_text(ENV_PACKET_SIZE, str(self.packet_size), str(login.packet_size))
        tokens.done()
        self.send(tokens.payload())
        self.logged_in = True
        return True

    def check_login(self, login: Login, tokens: Tokens) -> Optional[int]:
        """Add the errors SQL Server gives a refused login; returns the first number or None."""
        if login.sspi and not login.user:
            tokens.error(18452, 1, 14, "Login failed. The login is from an untrusted domain and "
                         "cannot be used with Integrated authentication.")
            return 18452
        password = self.config.accounts.get(login.user.lower())
        if password is None or password != login.password:
            tokens.error(18456, 1, 14, f"Login failed for user '{login.user}'.")
            return 18456
        if login.database and self.config.find_database(login.database) is None:
            tokens.error(4060, 1, 11, f'Cannot open database "{login.database}" requested by '
                         "the login. The login failed.")
            tokens.error(18456, 1, 14, f"Login failed for user '{login.user}'.")
            return 4060
        return None

    # -- SQL batches --

    def handle_batch(self, payload: bytes) -> None:
        text = parse_sql_batch(payload, self.tds_version)
        self.log("batch", text=text, database=self.database)
        if re.match(r"\s*SELECT\b", text, re.IGNORECASE) and self.stalled("select"):
            return
        if self.cancelled():
            return
        tokens = self.tokens()
        self.answer_statement(text, tokens, final_status=DONE_FINAL, token=TOKEN_DONE)
        self.send(tokens.payload())

    def answer_statement(self, text: str, tokens: Tokens, final_status: int, token: int) -> None:
        """Answer what a batch (or sp_executesql's statement) would produce."""
        use = re.fullmatch(r"\s*USE\s+(\[[^\]]+\]|\"[^\"]+\"|[^\s;]+)[\s;]*", text, re.IGNORECASE)
        if use:
            self.answer_use(unquote_identifier(use.group(1)), tokens, final_status, token)
            return
        items = parse_simple_select(text)
        if items is not None:
            columns, row = zip(*(self.select_item(kind, value, alias)
                                 for kind, value, alias in items))
            tokens.result(list(columns), [list(row)])
            tokens.done(final_status | DONE_COUNT, CURCMD_SELECT, 1, token)
            return
        textsize = re.fullmatch(r"\s*SET\s+TEXTSIZE\s+(\d+)[\s;]*", text, re.IGNORECASE)
        if textsize:
            self.text_size = int(textsize.group(1))
        tokens.done(final_status, 0, 0, token)

    def answer_use(self, name: str, tokens: Tokens, final_status: int, token: int) -> None:
        database = self.config.find_database(name)
        if database is None:
            tokens.error(911, 1, 16, f"Database '{name}' does not exist. Make sure that the "
                         "name is entered correctly.")
            tokens.done(final_status | DONE_ERROR, 0, 0, token)
            return
        tokens.env_text(ENV_DATABASE, database, self.database)
        tokens.info(5701, 1, f"Changed database context to '{database}'.")
        self.database = database
        tokens.done(final_status, 0, 0, token)

    def select_item(self, kind: str, value: str, alias: Optional[str]) -> tuple[Column, Any]:
        name = alias or ""
        if kind == "number":
            return Column(name, "int"), int(value)
        if kind == "string":
            return Column(name, "nvarchar"), value.replace("''", "'")
        if kind == "property":
            return Column(name, "variant", nullable=True), self.server_property(value)
        return self.global_variable(value.lower(), name)

    def server_property(self, name: str) -> Any:
        major, minor, build, sub = SERVER_VERSION
        return {
            "edition": self.config.edition,
            "productversion": f"{major}.{minor}.{build}.{sub}",
            "productlevel": "RTM",
            "engineedition": 3,
            "servername": SERVER_NAME,
            "machinename": SERVER_NAME,
            "collation": "SQL_Latin1_General_CP1_CI_AS",
            "isintegratedsecurityonly": 0,
        }.get(name.lower())

    def global_variable(self, name: str, alias: str) -> tuple[Column, Any]:
        major, minor, build, sub = SERVER_VERSION
        known: dict[str, tuple[str, Any]] = {
            "@@version": ("nvarchar", f"{PROG_NAME} 2022 (RTM) - {major}.{minor}.{build}.{sub} "
                                      f"(X64)\n\t{self.config.edition} on Linux\n"),
            "@@spid": ("smallint", self.spid),
            "@@servername": ("nvarchar", SERVER_NAME),
            "@@servicename": ("nvarchar", "MSSQLSERVER"),
            "@@language": ("nvarchar", LANGUAGE),
            "@@trancount": ("int", 1 if self.transaction else 0),
            "@@textsize": ("int", self.text_size),
            "@@max_precision": ("tinyint", 38),
            "@@options": ("int", 5176),
            "@@langid": ("smallint", 0),
            "@@error": ("int", 0),
            "@@rowcount": ("int", 0),
        }
        kind, value = known.get(name, ("int", None))
        return Column(alias, kind, nullable=kind == "nvarchar" or value is None), value

    # -- RPC --

    def handle_rpc(self, payload: bytes) -> None:
        try:
            calls = parse_rpc(payload, self.tds_version)
        except ProtocolError as exc:
            self.log("protocol_error", detail=str(exc))
            tokens = self.tokens()
            tokens.error(8009, 1, 16, "The incoming tabular data stream (TDS) remote procedure "
                         f"call (RPC) protocol stream is incorrect. {exc}")
            tokens.done(DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
            self.send(tokens.payload())
            return
        stalled = self.stalled("rpc")
        if stalled or self.delay_answer():
            # The client gave up before the answer: the calls do nothing.
            for call in calls:
                self.log_rpc(call, ok=False, error=None, cancelled=True)
            if not stalled:
                self.answer_cancel()
            return
        tokens = self.tokens()
        if self.config.call_errors:
            self.add_errors(tokens, self.config.call_errors, 50000, "The call failed.")
            tokens.done(DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
            for call in calls:
                self.log_rpc(call, ok=False, error=50000)
            self.send(tokens.payload())
            return
        for index, call in enumerate(calls):
            more = DONE_MORE if index + 1 < len(calls) else DONE_FINAL
            error = self.answer_call(call, tokens, more)
            self.log_rpc(call, ok=error is None, error=error)
        self.send(tokens.payload())

    def log_rpc(self, call: RpcCall, ok: bool, error: Optional[int], **extra: Any) -> None:
        self.log("rpc", procedure=call.procedure, proc_id=call.proc_id, database=self.database,
                 params=[p.journal() for p in call.params], ok=ok, error=error, **extra)

    def answer_call(self, call: RpcCall, tokens: Tokens, more: int) -> Optional[int]:
        database, name = split_procedure_name(call.procedure)
        in_database = (database or self.database).lower()
        if name.lower() == "sp_delete_job":
            if in_database != "msdb":
                tokens.error(2812, 62, 16, f"Could not find stored procedure '{call.procedure}'.")
                tokens.done(more | DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
                return 2812
            return self.delete_job(call, tokens, more)
        prepared = self.prepared_statement(name.lower(), call, tokens, more)
        if prepared is not False:
            return prepared
        tokens.return_status(0)
        tokens.done(more, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
        return None

    def prepared_statement(self, name: str, call: RpcCall, tokens: Tokens,
                           more: int) -> Optional[int] | bool:
        """The procedures ODBC drivers run statements through; False for any other procedure.

        A statement runs as a batch would; handles are numbered per connection."""
        params = call.params

        def text(index: int) -> Optional[str]:
            return None if index >= len(params) or params[index].is_null else str(params[index].value)

        if name.startswith("sp_cursor"):
            tokens.error(50000, 1, 16, f"tds_double: server cursors ({name}) are not emulated.")
            tokens.done(more | DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
            return 50000
        if name == "sp_executesql":
            statement = text(0)
        elif name in ("sp_prepare", "sp_prepexec"):
            statement = text(2)
            self.last_handle += 1
            self.prepared[self.last_handle] = statement or ""
        elif name == "sp_execute":
            handle = params[0].value if params and not params[0].is_null else None
            statement = self.prepared.get(handle) if isinstance(handle, int) else None
            if statement is None:
                tokens.error(8179, 4, 16, f"Could not find prepared statement with handle {handle}.")
                tokens.done(more | DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
                return 8179
        elif name == "sp_unprepare":
            if params and isinstance(params[0].value, int):
                self.prepared.pop(params[0].value, None)
            statement = None
        else:
            return False
        if statement is not None and name != "sp_prepare":
            self.answer_statement(statement, tokens, DONE_MORE, TOKEN_DONEINPROC)
        tokens.return_status(0)
        if name in ("sp_prepare", "sp_prepexec") and params:
            tokens.return_value(params[0].name, self.last_handle)
        tokens.done(more, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
        return None

    def delete_job(self, call: RpcCall, tokens: Tokens, more: int) -> Optional[int]:
        job_id = self.param(call, "@job_id", 0)
        job_name = self.param(call, "@job_name", 1)
        has_id = job_id is not None and not job_id.is_null
        has_name = job_name is not None and not job_name.is_null
        if self.config.job_error is not None:
            error, text = 50000, self.config.job_error
        elif has_id == has_name:
            error, text = 14294, "Supply either @job_id or @job_name to identify the job."
        elif has_name and self.server.jobs.remove(str(job_name.value)):
            tokens.return_status(0)
            tokens.done(more, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
            return None
        elif has_name:
            error, text = 14262, f"The specified @job_name ('{job_name.value}') does not exist."
        else:
            error, text = 14262, f"The specified @job_id ('{job_id.value}') does not exist."
        tokens.error(error, 1, 16, text, proc="sp_verify_job_identifiers", line=67)
        tokens.return_status(1)
        tokens.done(more | DONE_ERROR, CURCMD_EXECUTE, 0, TOKEN_DONEPROC)
        return error

    @staticmethod
    def param(call: RpcCall, name: str, position: int) -> Optional[Param]:
        """A parameter by name; by position when the client sent no names."""
        for param in call.params:
            if param.name.lower() == name:
                return param
        if all(not p.name for p in call.params) and position < len(call.params):
            return call.params[position]
        return None

    # -- transaction manager requests --

    def handle_transaction(self, payload: bytes) -> None:
        """Transaction manager requests, which FreeTDS sends for SQLEndTran and autocommit off."""
        reader = Reader(payload, skip_all_headers(payload, self.tds_version))
        request = reader.u16()
        names = {5: "begin", 7: "commit", 8: "rollback", 9: "save"}
        begin_again = False
        if request in (7, 8) and reader.remaining() > 0:
            reader.b_varchar()  # transaction name
            begin_again = reader.remaining() > 0 and bool(reader.u8() & 0x01)
        self.log("transaction", request=names.get(request, request))
        if self.cancelled():
            return
        tokens = self.tokens()
        if request in (7, 8) and self.transaction:
            kind = ENV_COMMIT_TRAN if request == 7 else ENV_ROLLBACK_TRAN
            tokens.env_bytes(kind, b"", struct.pack("<Q", self.transaction))
            self.transaction = 0
        if request == 5 or begin_again:
            self.last_transaction += 1
            self.transaction = self.last_transaction
            tokens.env_bytes(ENV_BEGIN_TRAN, struct.pack("<Q", self.transaction), b"")
        tokens.done()
        self.send(tokens.payload())


class DoubleServer:
    def __init__(self, config: Config, journal: Journal):
        self.config = config
        self.journal = journal
        self.jobs = JobList(config.jobs)
        self.stopping = threading.Event()
        self._listener: Optional[socket.socket] = None
        self._sessions: dict[int, socket.socket] = {}
        self._lock = threading.Lock()
        self._threads: list[threading.Thread] = []

    def listen(self, port: int) -> int:
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", port))
        listener.listen(64)
        chosen = listener.getsockname()[1]
        if self.config.refuse:
            listener.close()  # nothing listens on the port from now on
        else:
            self._listener = listener
        return chosen

    def serve(self) -> None:
        """Accept connections until stop(); each gets its own thread."""
        if self._listener is None:
            self.stopping.wait()
            return
        next_id = 1
        while not self.stopping.is_set():
            readable, _, _ = select.select([self._listener], [], [], 0.2)
            if not readable:
                continue
            try:
                sock, _ = self._listener.accept()
            except OSError:
                continue
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            session = Session(self, sock, next_id)
            with self._lock:
                self._sessions[next_id] = sock
            thread = threading.Thread(target=self._run_session, args=(session,), daemon=True)
            self._threads.append(thread)
            thread.start()
            next_id += 1
        self.close_listener()

    def close_listener(self) -> None:
        if self._listener is not None:
            self._listener.close()

    def _run_session(self, session: Session) -> None:
        try:
            session.run()
        finally:
            with self._lock:
                self._sessions.pop(session.conn_id, None)

    def stop(self) -> None:
        self.stopping.set()

    def close_sessions(self) -> None:
        with self._lock:
            sockets = list(self._sessions.values())
        for sock in sockets:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for thread in self._threads:
            thread.join(timeout=2)


def write_port_file(path: str, port: int) -> None:
    temporary = f"{path}.{os.getpid()}.tmp"
    with open(temporary, "w", encoding="ascii") as handle:
        handle.write(f"{port}\n")
    os.replace(temporary, path)


def parse_arguments(argv: list[str]) -> argparse.Namespace:
    parser = argparse.ArgumentParser(description="SQL Server test double speaking TDS on 127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="TCP port, 0 chooses a free one")
    parser.add_argument("--port-file", help="write the port here once listening")
    parser.add_argument("--account", action="append", default=[], metavar="USER:PASSWORD",
                        help="a login that is accepted (repeatable)")
    parser.add_argument("--database", action="append", default=[], metavar="NAME",
                        help="a database besides master, msdb, tempdb and model (repeatable)")
    parser.add_argument("--job", action="append", default=[], metavar="NAME",
                        help="an agent job that sp_delete_job can delete (repeatable)")
    parser.add_argument("--edition", default="Developer Edition (64-bit)",
                        help="what SERVERPROPERTY('EDITION') returns")
    parser.add_argument("--journal", help="append one JSON object per event to this file")
    parser.add_argument("--encryption", choices=ENCRYPTION_MODES, default="off",
                        help="what PRELOGIN answers: off (the login inside TLS), required (the "
                             "whole session inside TLS) or not-supported (no TLS)")
    parser.add_argument("--fault", action="append", default=[],
                        help="refuse | close-in-login | silent | garbage | drop-in-rpc | job-error=TEXT | "
                             "slow=SECONDS | login-errors=COUNT:CHARS | call-errors=COUNT:CHARS | "
                             "stall=STAGE | dead=STAGE (repeatable)")
    parser.add_argument("--lifetime", type=float, default=600.0,
                        help="stop by itself after this many seconds")
    return parser.parse_args(argv)


def build_config(args: argparse.Namespace) -> Config:
    accounts = {}
    for account in args.account:
        user, colon, password = account.partition(":")
        if not colon or not user:
            raise ValueError(f"--account {account!r} is not USER:PASSWORD")
        accounts[user.lower()] = password
    databases = list(DEFAULT_DATABASES)
    for name in args.database:
        if name.lower() not in (d.lower() for d in databases):
            databases.append(name)
    config = Config(accounts=accounts, databases=databases, jobs=list(args.job),
                    edition=args.edition, encryption=args.encryption)
    for fault in args.fault:
        if fault == "refuse":
            config.refuse = True
        elif fault == "close-in-login":
            config.close_in_login = True
        elif fault in ("silent", "garbage", "drop-in-rpc"):
            setattr(config, fault.replace("-", "_"), True)
        elif fault.startswith(("login-errors=", "call-errors=")):
            name, _, value = fault.partition("=")
            count, colon, chars = value.partition(":")
            if not (colon and count.isdigit() and chars.isdigit() and int(count) > 0 and 0 < int(chars) <= 65535):
                raise ValueError(f"--fault {fault!r}: not COUNT:CHARS (CHARS 1 to 65535)")
            setattr(config, name.replace("-", "_"), (int(count), int(chars)))
        elif fault.startswith(("stall=", "dead=")):
            name, _, stage = fault.partition("=")
            if stage not in ("login", "rpc", "select"):
                raise ValueError(f"--fault {fault!r}: STAGE is not login, rpc or select")
            getattr(config, name).add(stage)
        elif fault.startswith("job-error="):
            config.job_error = fault[len("job-error="):]
        elif fault.startswith("slow="):
            try:
                config.slow = float(fault[len("slow="):])
            except ValueError:
                raise ValueError(f"--fault {fault!r}: SECONDS is not a number") from None
            if config.slow < 0:
                raise ValueError(f"--fault {fault!r}: SECONDS is negative")
        else:
            raise ValueError(f"--fault {fault!r} is not refuse, close-in-login, silent, garbage, "
                             "drop-in-rpc, job-error=TEXT, slow=SECONDS, login-errors=COUNT:CHARS, "
                             "call-errors=COUNT:CHARS, stall=STAGE or dead=STAGE")
    return config


def main(argv: list[str]) -> int:
    args = parse_arguments(argv)
    try:
        config = build_config(args)
        if not 0 <= args.port <= 65535:
            raise ValueError(f"--port {args.port} is not a TCP port")
    except ValueError as exc:
        print(f"tds_double: {exc}", file=sys.stderr)
        return 2
    try:
        journal = Journal(args.journal)
    except OSError as exc:
        print(f"tds_double: cannot open the journal: {exc}", file=sys.stderr)
        return 1
    server = DoubleServer(config, journal)
    try:
        port = server.listen(args.port)
        if args.port_file:
            write_port_file(args.port_file, port)
    except OSError as exc:
        print(f"tds_double: cannot serve on 127.0.0.1:{args.port}: {exc}", file=sys.stderr)
        server.close_listener()
        journal.close()
        return 1

    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: server.stop())
    timer = threading.Timer(args.lifetime, server.stop)
    timer.daemon = True
    timer.start()
    acceptor = threading.Thread(target=server.serve, daemon=True)
    acceptor.start()
    while not server.stopping.is_set():
        server.stopping.wait(0.5)
    acceptor.join(timeout=2)
    server.close_sessions()
    timer.cancel()
    journal.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
