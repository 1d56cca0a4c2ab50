# SPDX-License-Identifier: GPL-3.0-or-later
"""Every board of a labgrid environment runs a Varnix script.

labgrid's pytest plugin reads the environment file (--lg-env); each target's
NetworkSerialPort resource becomes a line of a Varnix ports file, and one
`varnix --run` drives all the boards at once and verifies their displays.
VARNIX (the program, "varnix" by default) and VARNIX_SCRIPT (the script,
"screen.vnx" by default) may be set in the environment.
"""
import os
import subprocess

from labgrid.resource import NetworkSerialPort


def ports_line(name, port):
    """The target's board as a ports file line: name, address, settings."""
    if port.protocol == "raw":
        # A raw port runs at the server's own settings.
        return f"{name} tcp://{port.host}:{port.port}"
    return f"{name} rfc2217://{port.host}:{port.port} {port.speed},n,8,1"


def test_every_board_shows_the_screen(env, tmp_path):
    lines = []
    for name in env.config.get_targets():
        port = env.get_target(name).get_resource(NetworkSerialPort)
        lines.append(ports_line(name, port))
    ports = tmp_path / "rack.ports"
    ports.write_text("\n".join(lines) + "\n")
    report = tmp_path / "varnix.xml"
    run = subprocess.run(
        [os.environ.get("VARNIX", "varnix"), "--run", os.environ.get("VARNIX_SCRIPT", "screen.vnx"),
         "--ports", str(ports), "--verify", "--junit", str(report)],
        capture_output=True, text=True, check=False)
    print(run.stdout)
    assert run.returncode == 0, run.stdout + run.stderr
