#!/usr/bin/python3
"""Reads the main window through the AT-SPI accessibility tree, as a screen
reader would, and checks that every visible editor field is found by the
name of its label, that the buttons carry their captions and that the
gateway list exposes its rows and cells. Then it works the window as an
assistive tool does (a row selected, a port typed, "Set configuration"
pressed) and checks that the status line is read by its text.

Started by run-atspi-check.sh inside a virtual LAN, an X server and a D-Bus
session; it starts the simulator and the program itself and ends both.
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time

import pyatspi

TIMEOUT_S = 30

TEXTS = {
    "en": {
        "title": "Orvano IP-Gateway Admin",
        "fields": {
            "MAC address of the Gateway:": "text",
            "IP address of the Gateway:": "text",
            "Subnet-Mask:": "text",
            "IP address Default-GW:": "text",
            "Communication mode:": "combo box",
            "Network port:": "text",
            "Allowed remote IP address:": "text",
            "Mask of allowed IP addresses:": "text",
        },
        "buttons": ["Refresh list", "Set configuration", "Export list", "Password",
                    "Broadcast addr.", "Reset IP-Adr."],
        "list": "Gateways:",
        "headers": ["GW Type", "GW IP Address", "GW MAC Address"],
        "refused port": "Invalid network port: it must lie between 0 and 65535!",
    },
    "de": {
        "title": "Orvano IP-Gateway Admin",
        "fields": {
            "MAC-Adresse des Gateways:": "text",
            "IP-Adresse des Gateways:": "text",
            "Subnetz-Maske:": "text",
            "IP-Adresse Standard-GW:": "text",
            "Kommunikationsmodus:": "combo box",
            "Netzwerk-Port:": "text",
            "Erlaubte Remote IP-Adresse:": "text",
            "Maske erlaubter IP-Adressen:": "text",
        },
        "buttons": ["Liste auffrischen", "Konfiguration setzen", "Export Liste", "Passwortschutz",
                    "Broadcast Adr.", "Reset IP-Adr."],
        "list": "Gateways:",
        "headers": ["GW Typ", "GW IP Adresse", "GW MAC Adresse"],
        "refused port": "Ungültiger Netzwerk-Port: Er muss zwischen 0 und 65535 liegen!",
    },
}

GATEWAYS = [("198.18.0.10", "00-50-C2-4A-00-0A", "0x00000001", "Vantor EIB Gateway"),
            ("198.18.0.11", "00-50-C2-4A-00-0B", "0x00010001", "PLN KNX IP Gateway")]

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message, flush=True)
    return condition


def wait_for(what, probe, timeout=TIMEOUT_S):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            result = probe()
        except Exception:  # the tree changes under us while the window builds
            result = None
        if result:
            return result
        time.sleep(0.2)
    raise TimeoutError("timed out waiting for " + what)


def descendants(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(min(node.childCount, 500)):
        yield from descendants(node.getChildAtIndex(i), depth + 1)


def role(node):
    return node.getRoleName()


def start_simulator(simulator, workdir):
    config = {"gateways": [{"ip": ip, "mac": mac, "firmware": "1.0", "type": type_code}
                           for ip, mac, type_code, _ in GATEWAYS]}
    path = os.path.join(workdir, "gateways.json")
    with open(path, "w") as f:
        json.dump(config, f)
    process = subprocess.Popen(["ip", "netns", "exec", os.environ["GWLAN_GATEWAY_NS"], simulator,
                                "--config", path, "--interface", os.environ["GWLAN_GATEWAY_IF"]],
                               stdout=subprocess.PIPE, text=True)
    deadline = time.monotonic() + TIMEOUT_S
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if line.strip() == "ready":
            return process
        if not line and process.poll() is not None:
            break
    process.kill()
    raise RuntimeError("simulator did not become ready")


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)


def start_program(program, language, workdir):
    """Starts the program; a start that dies at once (the X connection of a
    freshly started server now and then fails) is repeated, at most twice."""
    for attempt in range(3):
        process = launch_program(program, language, workdir)
        try:
            process.wait(timeout=3)
        except subprocess.TimeoutExpired:
            return process
        print("program ended at start (status %s), attempt %d" % (process.returncode, attempt + 1), flush=True)
    raise RuntimeError("the program does not start")


def launch_program(program, language, workdir):
    config_home = os.path.join(workdir, "config-" + language)
    switch_dir = os.path.join(config_home, "Orvano GmbH")
    os.makedirs(switch_dir, exist_ok=True)
    with open(os.path.join(switch_dir, "OrvanoLanguageSwitch.ini"), "w") as f:
        f.write("[General]\nLanguage=%d\nSubLanguage=1\n" % (7 if language == "de" else 9))
    env = dict(os.environ, XDG_CONFIG_HOME=config_home, QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    return subprocess.Popen([program], env=env)


def find_window(title):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is None:
            continue
        for j in range(app.childCount):
            window = app.getChildAtIndex(j)
            if window is not None and window.name == title:
                return window
    return None


def labelled_field(nodes, label_text):
    """The field a label names: the target of the label's label-for relation,
    or the node whose labelled-by relation points at the label."""
    for node in nodes:
        if role(node) != "label" or node.name != label_text:
            continue
        for relation in node.getRelationSet():
            if relation.getRelationType() == pyatspi.RELATION_LABEL_FOR and relation.getNTargets() > 0:
                return relation.getTarget(0)
    for node in nodes:
        for relation in node.getRelationSet():
            if relation.getRelationType() != pyatspi.RELATION_LABELLED_BY:
                continue
            for k in range(relation.getNTargets()):
                if relation.getTarget(k).name == label_text:
                    return node
    return None


def check_window(language, texts):
    window = wait_for("the main window", lambda: find_window(texts["title"]))
    table = wait_for("the gateway list", lambda: next(
        (n for n in descendants(window) if role(n) in ("table", "tree table", "tree")
         and n.name == texts["list"]), None))
    # The first refresh runs at once; wait until both gateways are read.
    table_interface = table.queryTable()
    wait_for("two rows in the list", lambda: table_interface.nRows == len(GATEWAYS))
    wait_for("the refresh to end", lambda: any(
        n.name == texts["buttons"][0] and n.getState().contains(pyatspi.STATE_SENSITIVE)
        for n in descendants(window) if role(n) == "push button"))
    nodes = list(descendants(window))

    for label_text, field_role in texts["fields"].items():
        field = labelled_field(nodes, label_text)
        if check(field is not None, "%s: no field labelled %r" % (language, label_text)):
            check(role(field) == field_role,
                  "%s: field of %r is a %s, not a %s" % (language, label_text, role(field), field_role))
            if field_role == "text":
                check(field.name == label_text,
                      "%s: field of %r is named %r" % (language, label_text, field.name))

    button_names = {n.name for n in nodes if role(n) == "push button"}
    for caption in texts["buttons"]:
        check(caption in button_names, "%s: no button named %r" % (language, caption))

    headers = [table_interface.getColumnDescription(c) or
               (table_interface.getColumnHeader(c).name if table_interface.getColumnHeader(c) else "")
               for c in range(len(texts["headers"]))]
    check(headers == texts["headers"], "%s: list headers %r" % (language, headers))
    check(table_interface.nColumns == 14, "%s: list has %d columns" % (language, table_interface.nColumns))
    cells = sorted((table_interface.getAccessibleAt(r, 1).name, table_interface.getAccessibleAt(r, 0).name)
                   for r in range(table_interface.nRows))
    check(cells == sorted((ip, name) for ip, _, _, name in GATEWAYS),
          "%s: list cells %r" % (language, cells))
    check_refused_port(language, texts, window, table_interface, nodes)


def check_refused_port(language, texts, window, table_interface, nodes):
    """A port out of range is refused before anything is sent; the status line
    must then be found by the refusal's text, not by a fixed name."""
    field_labels = list(texts["fields"])  # the MAC address first, the network port sixth
    mac, port = labelled_field(nodes, field_labels[0]), labelled_field(nodes, field_labels[5])
    if mac is None or port is None:  # reported above
        return
    if not check(table_interface.addRowSelection(0), "%s: row 0 cannot be selected" % language):
        return
    # The selection loads the row into the editor, port included.
    wait_for("the editor to show the row", lambda: mac.queryText().getText(0, -1) != "")
    port.queryEditableText().setTextContents("70000")
    button = next(n for n in nodes if role(n) == "push button" and n.name == texts["buttons"][1])
    button.queryAction().doAction(0)
    status = wait_for("the refusal in the status line", lambda: next(
        (n for n in descendants(window) if n.name == texts["refused port"]), None), timeout=10)
    check(status.description == "Status", "%s: status line described as %r" % (language, status.description))
    named_status = [role(n) for n in descendants(window) if n.name == "Status"]
    check(not named_status, "%s: nodes named just \"Status\": %r" % (language, named_status))


def main():
    program, simulator = sys.argv[1], sys.argv[2]
    if "GWLAN_GATEWAY_NS" not in os.environ:
        print("check_main_window.py: runs only inside the virtual LAN", file=sys.stderr)
        return 2
    # The accessibility bus and registry come up before the program starts.
    wait_for("the accessibility registry", lambda: pyatspi.Registry.getDesktop(0) is not None)
    with tempfile.TemporaryDirectory() as workdir:
        sim = start_simulator(simulator, workdir)
        try:
            for language, texts in TEXTS.items():
                try:
                    app = start_program(program, language, workdir)
                except RuntimeError as error:
                    check(False, "%s: %s" % (language, error))
                    continue
                try:
                    check_window(language, texts)
                except TimeoutError as error:
                    check(False, "%s: %s" % (language, error))
                finally:
                    stop(app)
        finally:
            stop(sim)
    print("%d failure(s)" % len(failures), flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
