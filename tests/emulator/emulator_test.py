#!/usr/bin/env python3
"""Checks the platform emulator against what its users rely on: the routes and
their schemes, the answer shapes, the control API, hang-ups, the request log,
the ready file and the emulator's own end. Runs one emulator on ports the
system picks; standard library only."""

import http.client
import json
import os
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
EMULATOR = os.path.join(HERE, "platform_emulator.py")
INSECURE = ssl._create_unverified_context()

CHANNEL_PATHS = {
    "1": ("http", "/rest/api3.do?api=mtop.common.getTimestamp"),
    "2": ("https", "/client.action?functionId=queryMaterialProducts&client=wh5"),
    "3": ("https", "/v1/toolkit/time"),
    "4": ("http", "/api/server/_stm"),
    "5": ("https", "/api/ct.do"),
}


def stamp_of(channel, answer):
    """The timestamp at the channel's key, and whether it came as a string."""
    value = {"1": lambda a: a["data"]["t"], "2": lambda a: a["currentTime2"], "3": lambda a: a["timestamp"],
             "4": lambda a: a["server_time"], "5": lambda a: a["currentTime"]}[channel](answer)
    return int(value), isinstance(value, str)


def start(directory, *extra):
    process = subprocess.Popen([sys.executable, EMULATOR, "--dir", directory, "--http-port", "0",
                                "--https-port", "0", *extra])
    ready = os.path.join(directory, "ready")
    for _ in range(200):
        if os.path.exists(ready):
            break
        if process.poll() is not None:
            raise RuntimeError("the emulator ended before it was ready")
        time.sleep(0.05)
    with open(os.path.join(directory, "ports")) as f:
        fields = dict(item.split("=") for item in f.read().split())
    return process, int(fields["http"]), int(fields["https"])


class EmulatorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="emulator-test-")
        cls.process, cls.http_port, cls.https_port = start(cls.dir, "--skew-ms", "250", "--version", "7")

    @classmethod
    def tearDownClass(cls):
        cls.process.send_signal(signal.SIGTERM)
        cls.process.wait(timeout=10)
        shutil.rmtree(cls.dir, ignore_errors=True)

    def connection(self, scheme):
        if scheme == "https":
            return http.client.HTTPSConnection("127.0.0.1", self.https_port, timeout=10, context=INSECURE)
        return http.client.HTTPConnection("127.0.0.1", self.http_port, timeout=10)

    def request(self, scheme, path, method="GET", body=None, headers=None):
        c = self.connection(scheme)
        try:
            c.request(method, path, body=body, headers=headers or {})
            response = c.getresponse()
            return response.status, dict(response.getheaders()), response.read(), response.version
        finally:
            c.close()

    def control(self, what, payload=None):
        body = None if payload is None else json.dumps(payload).encode("utf-8")
        status, _, data, _ = self.request("http", "/__emulator/" + what, "GET" if payload is None else "POST", body)
        return status, json.loads(data.decode("utf-8"))

    def setUp(self):
        self.assertEqual(self.control("reset", {})[0], 200)

    def test_the_ready_file_holds_the_pid_and_the_certificate_is_in_the_directory(self):
        with open(os.path.join(self.dir, "ready")) as f:
            self.assertEqual(int(f.read()), self.process.pid)
        self.assertTrue(os.path.exists(os.path.join(self.dir, "cert.pem")))

    def test_each_channel_answers_on_its_scheme_with_the_skewed_time_at_its_key(self):
        self.assertEqual(self.control("config", {"skew_ms": 1500})[0], 200)
        for channel, (scheme, path) in CHANNEL_PATHS.items():
            with self.subTest(channel=channel):
                before = int(time.time() * 1000)
                status, headers, data, version = self.request(scheme, path)
                after = int(time.time() * 1000)
                self.assertEqual((status, version), (200, 11))
                self.assertEqual(headers["Content-Type"], "application/json;charset=UTF-8")
                self.assertEqual(int(headers["Content-Length"]), len(data))
                stamp, as_string = stamp_of(channel, json.loads(data.decode("utf-8")))
                self.assertEqual(as_string, channel in ("1", "2"))
                self.assertTrue(before + 1500 <= stamp <= after + 1500, (before, stamp, after))
                # The other scheme does not serve the channel.
                other = "http" if scheme == "https" else "https"
                self.assertEqual(self.request(other, path)[0], 404)
        log = self.control("requests")[1]
        self.assertEqual([e["channel"] for e in log], [x for c in CHANNEL_PATHS for x in (c, "other")])
        self.assertEqual([e["path"] for e in log[::2]], [p for _, p in CHANNEL_PATHS.values()])

    def test_answers_have_the_platforms_shapes(self):
        status, _, data, _ = self.request("http", CHANNEL_PATHS["1"][1])
        answer = json.loads(data.decode("utf-8"))
        self.assertEqual(answer["ret"], ["SUCCESS::接口调用成功"])
        self.assertEqual(answer["api"], "mtop.common.getTimestamp")
        answer = json.loads(self.request("https", CHANNEL_PATHS["2"][1])[2])
        self.assertEqual(answer["code"], "0")
        self.assertIn("currentTime", answer)
        answer = json.loads(self.request("https", CHANNEL_PATHS["5"][1])[2])
        self.assertEqual((answer["api"], answer["code"], answer["msg"]), ("time", "1", ""))

    def test_a_channel_without_its_query_is_another_request(self):
        self.assertEqual(self.request("http", "/rest/api3.do")[0], 404)
        self.assertEqual(self.request("https", "/client.action?functionId=queryMaterialProducts")[0], 404)
        self.assertEqual([e["channel"] for e in self.control("requests")[1]], ["other", "other"])

    def test_the_manifest_sends_the_version_as_configured(self):
        for version in (3, "3", 2.9, 2):
            with self.subTest(version=version):
                self.assertEqual(self.control("config", {"version": version})[0], 200)
                status, _, data, _ = self.request("https", "/config/qinglanWin.json")
                self.assertEqual(status, 200)
                self.assertEqual(json.loads(data), {"currentVersion": version})
        self.assertEqual(self.request("http", "/config/qinglanWin.json")[0], 404)

    def test_down_means_the_connection_ends_without_an_answer(self):
        self.assertEqual(self.control("config", {"manifest": "down", "channel_down": ["3", "4"]})[0], 200)
        for scheme, path in (("https", "/config/qinglanWin.json"), ("https", CHANNEL_PATHS["3"][1]),
                             ("http", CHANNEL_PATHS["4"][1])):
            with self.subTest(path=path):
                with self.assertRaises((http.client.RemoteDisconnected, ConnectionError, ssl.SSLError)):
                    self.request(scheme, path)
        self.assertEqual(self.request("http", CHANNEL_PATHS["1"][1])[0], 200)
        self.assertEqual([e["channel"] for e in self.control("requests")[1]], ["manifest", "3", "4", "1"])

    def test_a_body_template_replaces_the_answer_until_null_restores_it(self):
        self.assertEqual(self.control("config", {"skew_ms": -60000, "bodies": {"4": "x{ms}y{ms}"}})[0], 200)
        before = int(time.time() * 1000)
        data = self.request("http", CHANNEL_PATHS["4"][1])[2].decode("utf-8")
        first, second = data[1:].split("y")
        self.assertEqual(first, second)
        self.assertTrue(before - 60000 <= int(first) <= int(time.time() * 1000) - 60000)
        self.assertEqual(self.control("config", {"bodies": {"4": None}})[0], 200)
        self.assertIn("server_time", json.loads(self.request("http", CHANNEL_PATHS["4"][1])[2]))

    def test_a_bad_configuration_changes_nothing(self):
        state = self.control("state")[1]
        for bad in ({"skew_ms": "5"}, {"skew_ms": True}, {"version": None}, {"manifest": "up"},
                    {"bodies": {"6": "x"}}, {"bodies": {"1": 5}}, {"channel_down": ["0"]},
                    {"skew_ms": 5, "colour": 1}, [1]):
            with self.subTest(bad=bad):
                status, _ = self.control("config", bad)
                self.assertEqual(status, 400)
                self.assertEqual(self.control("state")[1], state)
        status, _, _, _ = self.request("http", "/__emulator/config", "POST", b"{not json")
        self.assertEqual(status, 400)

    def test_reset_restores_the_defaults_and_empties_the_log(self):
        self.control("config", {"skew_ms": 9, "version": "5", "manifest": "down", "bodies": {"1": "x"},
                                "channel_down": [2]})
        self.request("http", CHANNEL_PATHS["1"][1])
        self.assertEqual(self.control("state")[1]["channel_down"], ["2"])
        self.assertEqual(self.control("reset", {})[0], 200)
        self.assertEqual(self.control("state")[1], {"skew_ms": 0, "version": 2, "manifest": "ok", "bodies": {},
                                                    "channel_down": []})
        self.assertEqual(self.control("requests")[1], [])

    def test_the_log_holds_lower_case_headers_and_the_arrival_time(self):
        before = int(time.time() * 1000)
        c = self.connection("https")
        c.putrequest("GET", CHANNEL_PATHS["2"][1])
        c.putheader("User-Agent", "probe/1")
        c.putheader("X-Twice", "a")
        c.putheader("x-twice", "b")
        c.endheaders()
        c.getresponse().read()
        c.close()
        after = int(time.time() * 1000)
        (entry,) = self.control("requests")[1]
        self.assertEqual(entry["channel"], "2")
        self.assertEqual(entry["headers"]["user-agent"], "probe/1")
        self.assertEqual(entry["headers"]["x-twice"], "a, b")  # a header sent twice shows both values
        self.assertTrue(before <= entry["time_ms"] <= after)


class LifetimeTest(unittest.TestCase):
    def test_it_ends_by_itself_and_removes_its_ready_file(self):
        directory = tempfile.mkdtemp(prefix="emulator-life-")
        self.addCleanup(shutil.rmtree, directory, True)
        process, http_port, _ = start(directory, "--lifetime", "1", "--skew-ms", "-5", "--version", '"3"')
        c = http.client.HTTPConnection("127.0.0.1", http_port, timeout=10)
        c.request("GET", "/__emulator/state")
        state = json.loads(c.getresponse().read())
        c.close()
        self.assertEqual((state["skew_ms"], state["version"]), (-5, "3"))
        self.assertEqual(process.wait(timeout=15), 0)
        self.assertFalse(os.path.exists(os.path.join(directory, "ready")))

    def test_sigterm_ends_it_at_once(self):
        directory = tempfile.mkdtemp(prefix="emulator-term-")
        self.addCleanup(shutil.rmtree, directory, True)
        process, _, _ = start(directory, "--lifetime", "600")
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=10), 0)


if __name__ == "__main__":
    unittest.main()
