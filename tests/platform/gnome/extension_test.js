// Snaplark's GNOME Shell extensions (the module form for GNOME 45 and later, the older form for
// 43 and 44) against stand-ins: a display like Mutter's and an agent on a private session bus.
// Each must report the focused window's application id, and nothing else, whenever the focus
// moves and whenever the agent (re)appears, and stop when disabled.
//   dbus-run-session -- gjs -m extension_test.js DATA_DIR/gnome-shell
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [extensions] = ARGV;
let failures = 0;
const check = (ok, what) => {
    print(`${ok ? 'ok' : 'not ok'} - ${what}`);
    failures += ok ? 0 : 1;
};

// Turns the main loop until the condition holds, for at most 30 s.
const context = GLib.MainContext.default();
GLib.timeout_add(GLib.PRIORITY_DEFAULT, 20, () => GLib.SOURCE_CONTINUE);
const waitFor = condition => {
    const end = GLib.get_monotonic_time() + 30 * 1000 * 1000;
    while (!condition() && GLib.get_monotonic_time() < end)
        context.iteration(true);
    return condition();
};

class Display {
    constructor() {
        this.handlers = new Map();
        this.next = 1;
        this.focus_window = null;
    }

    connect(signal, handler) {
        this.handlers.set(this.next, [signal, handler]);
        return this.next++;
    }

    disconnect(id) {
        this.handlers.delete(id);
    }

    focus(window) {
        this.focus_window = window;
        for (const [signal, handler] of this.handlers.values()) {
            if (signal === 'notify::focus-window')
                handler();
        }
    }
}

const window = (wmClass, sandboxed = null) => ({
    get_wm_class: () => wmClass,
    get_sandboxed_app_id: () => sandboxed,
    get_title: () => 'a secret title',
});
globalThis.global = {display: new Display()};

// The agent, on a connection of its own, as the real one is another process.
const reports = [];
const agentConnection = Gio.DBusConnection.new_for_address_sync(
    Gio.dbus_address_get_for_bus_sync(Gio.BusType.SESSION, null),
    Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
    null, null);
const agent = Gio.DBusExportedObject.wrapJSObject(`<node>
  <interface name="example.snaplark.ActiveWindow">
    <method name="Report"><arg type="s" direction="in"/></method>
  </interface></node>`, {Report: id => reports.push(id)});
agent.export(agentConnection, '/example/snaplark/ActiveWindow');
let owner = 0;
const agentStarts = () => {
    owner = Gio.bus_own_name_on_connection(agentConnection, 'example.snaplark.Snaplark',
        Gio.BusNameOwnerFlags.NONE, null, null);
};
const agentStops = () => Gio.bus_unown_name(owner);

// GNOME 45 and later import the Extension base class from the shell's resources.
const stub = GLib.dir_make_tmp('snaplark-XXXXXX');
GLib.file_set_contents(`${stub}/extension.js`,
    'export class Extension { constructor(metadata) { this.metadata = metadata; } }\n');
GLib.file_set_contents(`${stub}/shell.xml`, `<gresources>
  <gresource prefix="/org/gnome/shell/extensions"><file>extension.js</file></gresource>
</gresources>`);
const [compiled] = GLib.spawn_sync(stub, ['glib-compile-resources', 'shell.xml'], null,
    GLib.SpawnFlags.SEARCH_PATH, null);
if (!compiled)
    throw new Error('glib-compile-resources failed');
Gio.resources_register(Gio.Resource.load(`${stub}/shell.gresource`));

const loaders = {
    'snaplark@snaplark.example': async dir => {
        const module = await import(`file://${dir}/extension.js`);
        return new module.default({uuid: 'snaplark@snaplark.example'});
    },
    'snaplark-legacy@snaplark.example': dir => {
        const [, source] = GLib.file_get_contents(`${dir}/extension.js`);
        const init = new Function('imports', `${new TextDecoder().decode(source)}\nreturn init;`);
        return init({gi: {Gio, GLib}})();
    },
};

const terminal = window('org.gnome.Terminal');
for (const [uuid, load] of Object.entries(loaders)) {
    // eslint-disable-next-line no-await-in-loop
    const extension = await load(`${extensions}/${uuid}`);
    reports.length = 0;
    global.display.focus(terminal);
    extension.enable();
    agentStarts();
    check(waitFor(() => reports.length === 1) && reports[0] === 'org.gnome.Terminal',
        `${uuid}: an agent that appears hears the focused window: ${reports}`);
    const moves = [
        [window('textpad.py'), 'textpad.py'],
        [window('ignored', 'org.example.Sandboxed'), 'org.example.Sandboxed'],
        [null, ''],
    ];
    for (const [focused, expected] of moves) {
        const before = reports.length;
        global.display.focus(focused);
        check(waitFor(() => reports.length === before + 1) && reports[before] === expected,
            `${uuid}: focus on ${expected || 'nothing'} is reported: ${reports.slice(before)}`);
    }
    agentStops();
    agentStarts();
    check(waitFor(() => reports.length === 5) && reports[4] === '',
        `${uuid}: an agent that comes back hears the focus again: ${reports}`);
    extension.disable();
    check(global.display.handlers.size === 0, `${uuid}: disabled, it follows the focus no more`);
    agentStops();
    check(!reports.some(id => id.includes('secret')), `${uuid}: no title is ever sent`);
}
System.exit(failures ? 1 : 0);
