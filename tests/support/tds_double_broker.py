#!/usr/bin/env python3
"""Starts SQL Server test doubles (tds_double.py) for Windows test programs under Wine.

A Windows program cannot start and wait for a Linux program, so the test script runs this
broker on loopback and names it in TALVORIN_DOUBLE_BROKER (host:port). A test connects and
sends one line, a JSON array of tds_double.py options (without --port, --port-file and
--journal; --encryption and the rest pass through as given); it gets one line back, {"port": N, "journal": "Z:\\..."} or {"error": "..."}.
The double lives as long as that connection: when the test closes it (or dies), the double
is stopped and its files are removed.
"""
import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DOUBLE = os.path.join(HERE, "tds_double.py")
LISTEN_TIMEOUT = 15.0
RUNNING = {}  # process -> folder, for the doubles still alive when the broker stops
RUNNING_LOCK = threading.Lock()


def windows_path(path: str) -> str:
    # Wine shows the Linux root as drive Z:.
    return "Z:" + path.replace("/", "\\")


def start_double(options: list) -> tuple:
    folder = tempfile.mkdtemp(prefix="tds-double-")
    port_file = os.path.join(folder, "port")
    journal = os.path.join(folder, "journal.jsonl")
    process = subprocess.Popen([sys.executable, DOUBLE, "--port", "0", "--port-file", port_file,
                                "--journal", journal, *options],
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
    with RUNNING_LOCK:
        RUNNING[process] = folder
    deadline = time.monotonic() + LISTEN_TIMEOUT
    while time.monotonic() < deadline:
        try:
            with open(port_file, encoding="ascii") as handle:
                text = handle.read()
            if text.endswith("\n"):
                return process, folder, int(text), journal
        except FileNotFoundError:
            pass
        if process.poll() is not None:
            break
        time.sleep(0.02)
    stop_double(process, folder)
    raise RuntimeError("the SQL Server double did not listen")


def stop_double(process: subprocess.Popen, folder: str) -> None:
    with RUNNING_LOCK:
        RUNNING.pop(process, None)
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    shutil.rmtree(folder, ignore_errors=True)


def serve_client(client: socket.socket) -> None:
    with client:
        reader = client.makefile("rb")
        line = reader.readline()
        try:
            options = json.loads(line.decode("utf-8"))
            if not isinstance(options, list) or not all(isinstance(o, str) for o in options):
                raise ValueError("expected a JSON array of strings")
            process, folder, port, journal = start_double(options)
        except (ValueError, RuntimeError, OSError) as exc:
            client.sendall((json.dumps({"error": str(exc)}) + "\n").encode("utf-8"))
            return
        try:
            client.sendall((json.dumps({"port": port, "journal": windows_path(journal)}) + "\n").encode("utf-8"))
            # The test's end (or death) closes the connection.
            while reader.read(1):
                pass
        except OSError:
            pass
        finally:
            stop_double(process, folder)


def main(argv: list) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port-file", required=True, help="write the broker's port here once listening")
    parser.add_argument("--lifetime", type=float, default=5400.0, help="stop by itself after this many seconds")
    args = parser.parse_args(argv)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    temporary = args.port_file + ".tmp"
    with open(temporary, "w", encoding="ascii") as handle:
        handle.write(f"{listener.getsockname()[1]}\n")
    os.replace(temporary, args.port_file)
    stopping = threading.Event()
    for signum in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signum, lambda *_: stopping.set())
    timer = threading.Timer(args.lifetime, stopping.set)
    timer.daemon = True
    timer.start()
    listener.settimeout(0.5)
    while not stopping.is_set():
        try:
            client, _ = listener.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve_client, args=(client,), daemon=True).start()
    listener.close()
    with RUNNING_LOCK:
        left = list(RUNNING.items())
    for process, folder in left:
        stop_double(process, folder)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
